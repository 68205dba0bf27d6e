"""The demo: starts the bare stub under Wine, reads its box, presses OK."""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "harness"))
import wine  # noqa: E402


def main():
    size = os.path.getsize(wine.STUB)
    print(f"stub: {wine.STUB} ({size} bytes)")
    with wine.Prefix(gui=True, name="demo") as prefix:
        stub = prefix.start([wine.STUB])
        rows = prefix.window_texts("FATAL ERROR")
        shot = prefix.screenshot("demo-bare-stub")
        prefix.driver("press", "FATAL ERROR", "OK")
        code = prefix.wait(stub)
    for kind, _, text in rows:
        if kind in ("caption", "Static") and text:
            print(f"{kind}: {text}")
    print(f"screenshot: {shot}")
    print(f"exit code: {code}")


if __name__ == "__main__":
    main()

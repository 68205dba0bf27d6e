"""The demo: the bare stub explains itself; then qpack builds the example
project into an installer, `qpack inspect` shows what it holds, and the
installer runs under Wine: with /a it installs the example product; started
plainly it shows the language list and the opening question, which the demo
answers No.

It uses the shippable folder build/dist (a Release qpack with both stubs
beside it) and the stub this machine's Wine runs: the 32-bit one where
32-bit programs run, else the 64-bit one under wine64."""

import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "harness"))
import wine  # noqa: E402

QPACK = os.path.join(wine.ROOT, "build", "dist", "qpack")
QPACK_ARCH = "x86" if wine.ARCH == "32" else "x64"
PROJECT = os.path.join(HERE, "project", "example.qpp")


def bare_stub():
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


def example_installer():
    out = os.path.join(wine.ROOT, "build", "demo")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    setup = os.path.join(out, "Setup.exe")
    print(f"\n$ build/dist/qpack build {os.path.relpath(PROJECT, wine.ROOT)} -o {os.path.relpath(setup, wine.ROOT)}"
          f" --arch {QPACK_ARCH}")
    built = subprocess.run([QPACK, "build", PROJECT, "-o", setup, "--arch", QPACK_ARCH],
                           capture_output=True, text=True)
    print(built.stdout + built.stderr, end="")
    if built.returncode != 0:
        sys.exit(built.returncode)
    print(f"\n$ build/dist/qpack inspect {os.path.relpath(setup, wine.ROOT)}")
    inspected = subprocess.run([QPACK, "inspect", setup], capture_output=True, text=True)
    print(inspected.stdout, end="")
    print(f"(inspect exit code {inspected.returncode})")
    installed = "C:\\Program Files\\Quillpack Examples\\Quill Notes"
    for args in (["/a"], []):
        with wine.Prefix(gui=True, name="demo") as prefix:
            shutil.copy(setup, prefix.drive_c)
            process = prefix.start([os.path.join(prefix.drive_c, "Setup.exe")] + args)
            if not args:
                prefix.driver("wait", "Choose Your Language", 20000, "press", "Choose Your Language", "#1001",
                              "wait", "Quillpack Utility v5.1", 20000)
                prefix.screenshot("demo-opening-question")
                prefix.driver("press", "Quillpack Utility v5.1", "No")
            code = prefix.wait(process)
            folder = prefix.host_path(installed)
            files = sorted(os.listdir(folder)) if os.path.isdir(folder) else []
            print(f"\nSetup.exe {' '.join(args)}: exit code {code} (0 finished, 1 declined, 3 problems in the log)")
            print(f"{installed}: {', '.join(files) if files else 'not installed'}")
            log = os.path.join(folder, "Uninstall", "Install.LOG")
            if os.path.isfile(log):
                with open(log, errors="replace") as f:
                    print(f.read().strip())


if __name__ == "__main__":
    print(f"Wine: {wine.WINE} ({wine.WINE_ENV['WINEARCH']} prefix), stub {os.path.basename(wine.STUB)}")
    bare_stub()
    example_installer()

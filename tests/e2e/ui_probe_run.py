"""Runs tests/win/helpers/ui_probe.exe in a GUI prefix and reads its result file."""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import wine  # noqa: E402

PROBE = os.path.join(wine.BUILD_WIN, "tests", "ui_probe.exe")
RESULT = "C:\\result.txt"
STOP = "C:\\stop"


class ProbeRun:
    """One ui_probe process; `finish` waits for it and returns (exit code, result lines)."""

    def __init__(self, prefix, *args):
        self.prefix = prefix
        self.process = prefix.start([PROBE, RESULT] + list(args))

    def result_lines(self):
        path = self.prefix.host_path(RESULT)
        if not os.path.exists(path):
            return []
        with open(path, newline="") as result:
            return result.read().splitlines()

    def stop(self):
        with open(self.prefix.host_path(STOP), "w"):
            pass

    def finish(self, timeout=60):
        code = self.prefix.wait(self.process, timeout)
        return code, self.result_lines()

    def driver(self, *commands):
        """Runs driver commands that must succeed; returns their output lines."""
        code, lines, err = self.prefix.driver(*commands)
        if code != 0:
            raise AssertionError(f"qpdriver {commands}: {err}")
        return lines

    def still_open(self, title, settle_ms=600):
        """True when the window is still there after a short wait."""
        code, _, _ = self.prefix.driver("sleep", settle_ms, "wait", title, 500)
        return code == 0

    def texts(self, title):
        """Control id (0 for the caption) to text; list items as ('item', index)."""
        rows = {}
        for kind, ident, text in self.prefix.window_texts(title):
            if kind == "caption":
                rows[0] = text
            elif kind == "item":
                rows[("item", ident)] = text
            else:
                rows.setdefault(ident, text)
        return rows

"""The bare stub under Wine: start-up reports, read from the real boxes."""

import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import wine  # noqa: E402

NO_ARCHIVE = ("This program performs installations and uninstallations.\r\nThere is no installation "
              "archive present.\r\nNo Uninstallation parameters were specified.\r\n\r\nYou should not "
              "delete this program or execute it directly.")
USAGE = ("\n\nUsage:\nUninstall.EXE [/a] [/d:<dir>] [/n:<name>] [/u:<name>] [/norestart]\n\n/a\tAutomatic mode\n"
         "/d:\"dir\"\tOverride installation directory\n/n:\"name\"\tOverride product name\n"
         "/u:\"name\"\tUninstall product by name\n"
         "/norestart\tNever restart Windows; exit code 4 when a restart is needed")


def box_text(rows):
    """The message text of a message box (its static control 0xFFFF)."""
    texts = [text for kind, ident, text in rows if kind == "Static" and ident == 0xFFFF]
    return texts[0] if texts else None


class FatalBoxes(unittest.TestCase):
    def run_and_read_box(self, args, screenshot=None):
        with wine.Prefix(gui=True, name="startup") as prefix:
            stub = prefix.start([wine.STUB] + args)
            rows = prefix.window_texts("FATAL ERROR")
            if screenshot:
                prefix.screenshot(screenshot)
            code, _, err = prefix.driver("press", "FATAL ERROR", "OK")
            self.assertEqual(code, 0, err)
            exit_code = prefix.wait(stub)
        buttons = [text for kind, _, text in rows if kind == "Button"]
        return box_text(rows), buttons, exit_code

    def test_reports_and_exit_codes(self):
        cases = [
            ([], NO_ARCHIVE),
            (["/x"], "Illegal command line atom:\nx" + USAGE),
            (["setup.exe"], "Unexpected command line parameter:\nsetup.exe" + USAGE),
            (["/u"], "Product name required" + USAGE),
            (["/a", "/q"], "Illegal command line atom:\nq" + USAGE),
            # Only 19 atoms are read: an illegal 20th is never seen, and the
            # bare stub goes on to report that it carries no archive.
            (["/a"] * 19 + ["/illegal"], NO_ARCHIVE),
        ]
        for args, expected in cases:
            with self.subTest(args=" ".join(args)):
                text, buttons, exit_code = self.run_and_read_box(
                    args, screenshot="fatal-no-archive" if not args else None)
                self.assertEqual(text, expected)
                self.assertEqual(buttons, ["OK"])
                self.assertEqual(exit_code, 2)

    def test_headless_run_still_ends_with_fatal_exit_code(self):
        # Without a display the box cannot be shown; the run still ends as fatal.
        with wine.Prefix(gui=False, name="startup") as prefix:
            result = prefix.run([wine.STUB, "/a"])
        self.assertEqual(result.returncode, 2)


if __name__ == "__main__":
    unittest.main()

"""One installer in two languages: automatic mode takes the first one, an
interactive run the one chosen in the language dialog, and that language's
texts land everywhere the run leaves them: the background title kept for
the uninstaller, the messages saved in Uninstall.DAT, the uninstall
shortcut's name, the log's failure lines and the question offering the log
(answered No)."""

import os
import re
import shutil
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import wine  # noqa: E402
from test_archive_corrupt import box_text  # noqa: E402
from test_install_run import (INSTALL, PROBLEMS, QUESTION, UNINSTALL, UNINSTALL_KEY, Installer,  # noqa: E402
                              log_sections, project, record_entries, reg_values)

LANGUAGE = "Choose Your Language"
LOG = UNINSTALL + "\\Install.LOG"

# The saved messages (the ones the uninstaller shows) and the ones the run
# uses, in German; a non-ASCII letter shows the code page on the way.
GERMAN = {
    0: "<product> Installation",
    10: "Einige Teile von <product> blieben: %s",
    15: "Deinstallation abgeschlossen",
    20: "<product> Installation",
    30: "Das Entfernen von <product> wurde abgebrochen.",
    31: "Nicht installiert:",
    33: "Entfernen",
    34: "<PRODUCT> wurde entfernt.",
    35: "Gemeinsame Datei entfernen?",
    40: "Es gab Probleme, siehe %s. Jetzt lesen?",
    41: "Installation mit Problemen beendet",
    53: "M\u00f6chten Sie <product> entfernen?",
    55: "<product> entfernen",
    56: "Schriftart %s entfernen?",
    57: "Schriftart aus <os>\\Fonts entfernen?",
    58: "Nicht entfernt:",
    59: "Die Datei %s wird nicht mehr benutzt.",
}
SAVED = [10, 15, 20, 30, 34, 35, 53, 55, 56, 57, 58, 59]


def filled(text):
    """A message as shown: the product's name and the Windows folder put in."""
    return re.sub("<product>", "QP Run", text, flags=re.IGNORECASE).replace("<os>", "C:\\windows")


# What each language must leave behind.
EXPECTED = {
    "Deutsch": {
        "title": "QP Run Installation",
        "uninstall link": "Entfernen QP Run.LNK",
        "failure": "Nicht installiert: " + INSTALL + "\\blocked.txt",
        "log caption": "Installation mit Problemen beendet",
        "log question": f"Es gab Probleme, siehe {LOG}. Jetzt lesen?",
        "saved": b"".join(f"~{n}\r\n{filled(GERMAN[n])}\r\n".encode("cp1252") for n in SAVED),
    },
    "English": {
        "title": "QP Run Setup",
        "uninstall link": "Uninstall QP Run.LNK",
        "failure": "Unable to install " + INSTALL + "\\blocked.txt",
        "log caption": "Installation Finished With Problems",
        "log question": "The installation has finished, but some problems occurred.\r\nThey are listed in the log\r\n"
                        + LOG + "\r\n\r\nDo you want to read the log now?",
        "saved": None,  # qpack's own texts: checked by their first words below
    },
}


class TwoLanguages(unittest.TestCase):
    def test_the_language_of_the_run_is_the_language_of_its_traces(self):
        # A message file writes a backslash as two.
        messages = "".join(f"{n} = " + text.replace("\\", "\\\\") + "\n" for n, text in GERMAN.items())
        body = "[Languages]\nDeutsch = deutsch.msg\nEnglish = builtin\n[Files]\napp.txt\nblocked.txt\n"
        setup = Installer(self, project(body), {"app.txt": "app", "blocked.txt": "b", "deutsch.msg": messages})
        cases = [
            # (automatic, the item chosen in the language dialog, the language expected)
            (True, None, "Deutsch"),
            (False, 1, "English"),
            (False, 0, "Deutsch"),
        ]
        for automatic, item, language in cases:
            expected = EXPECTED[language]
            with self.subTest(automatic=automatic, item=item), wine.Prefix(gui=True, name="languages") as prefix:
                # A folder where blocked.txt must go: one failure line, so
                # that the run ends with the log question.
                os.makedirs(prefix.host_path(INSTALL + "\\blocked.txt"))
                shutil.copy(setup.setup, prefix.drive_c)
                process = prefix.start([os.path.join(prefix.drive_c, "Setup.exe")] + (["/a"] if automatic else []))
                if not automatic:
                    self.drive(prefix, [("wait", LANGUAGE, 20000, "select", LANGUAGE, 1017, item,
                                         "press", LANGUAGE, "#1001"),
                                        ("wait", QUESTION, 20000, "press", QUESTION, "Yes")])
                    rows = prefix.window_texts(expected["log caption"])
                    self.assertEqual(box_text(rows), expected["log question"])
                    self.drive(prefix, [("press", expected["log caption"], "No")])
                self.assertEqual(prefix.wait(process, timeout=120), PROBLEMS)

                self.assertEqual(reg_values(prefix, UNINSTALL_KEY)["DisplayTitle"][1], expected["title"])
                entries, strings = record_entries(prefix)
                self.assertEqual(entries[-1], UNINSTALL + "\\" + expected["uninstall link"])
                self.assertTrue(os.path.isfile(prefix.host_path(entries[-1])))
                if expected["saved"] is not None:
                    self.assertEqual(strings, expected["saved"])
                else:
                    self.assertTrue(strings.startswith(b"~10\r\nSome parts of QP Run"), strings[:40])
                    self.assertIn(b"~58\r\nUnable to remove\r\n", strings)
                self.assertIn(expected["failure"], log_sections(prefix)[0])

    def drive(self, prefix, steps):
        for step in steps:
            code, _, err = prefix.driver(*step)
            self.assertEqual(code, 0, f"{step}: {err}")


if __name__ == "__main__":
    unittest.main()

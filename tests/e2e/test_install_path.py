"""The installation folder on the PATH (add-to-path) on Windows NT, which
Wine reports: the machine's "Path" value gets the folder once, however
often the product is installed, autoexec.bat gets its PATH line, and the
product record names the entry this installation added, so that removal
takes out that entry and no other. (Windows 95's way, the autoexec.bat
line alone, cannot be had here: Wine always reports NT.)"""

import os
import re
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import wine  # noqa: E402
from test_install_run import FINISHED, INSTALL, UNINSTALL_KEY, Installer, project, read, reg_values  # noqa: E402

ENVIRONMENT = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager\\Environment"
AUTOEXEC = "C:\\autoexec.bat"


def machine_path(prefix):
    """The machine's PATH value as (type, text); value names are not case-sensitive."""
    values = {name.lower(): value for name, value in reg_values(prefix, ENVIRONMENT).items()}
    return values.get("path")


def names_installation(prefix, directory):
    """Whether Wine finds the installed app.txt in `directory`: the PATH
    line names the folder in its short form, whose names Wine hashes."""
    with open(prefix.host_path("C:\\probe.bat"), "w") as f:
        f.write(f"@if exist {directory}\\app.txt echo found\r\n")
    result = prefix.run(["cmd", "/c", "C:\\probe.bat"])
    os.remove(prefix.host_path("C:\\probe.bat"))
    return result.stdout.strip() == "found"


class PathEntry(unittest.TestCase):
    def test_folder_goes_on_the_path_once(self):
        setup = Installer(self, project("[Files]\napp.txt\n", flags=("register-product", "add-to-path")),
                          {"app.txt": "app"})
        cases = [
            # (an entry for the folder already on the machine's Path, as typed by someone else)
            None,
            '"' + INSTALL.lower() + '"',
        ]
        for listed in cases:
            with self.subTest(listed=listed), wine.Prefix(name="path") as prefix:
                kind, before = machine_path(prefix)
                self.assertEqual(kind, "REG_EXPAND_SZ")
                if listed:
                    before += ";" + listed
                    prefix.run(["reg", "add", ENVIRONMENT, "/v", "Path", "/t", "REG_EXPAND_SZ", "/d", before, "/f"])
                expected_path = before if listed else before + ";" + INSTALL

                for run in ("first", "again"):
                    result = setup.install(prefix)
                    self.assertEqual(result.returncode, FINISHED, f"{run}: {result.stdout + result.stderr}")
                    self.assertEqual(machine_path(prefix), ("REG_EXPAND_SZ", expected_path), run)
                    # A new file is an empty one, whose last line is ended first.
                    autoexec = re.fullmatch(r"\r\nPATH=%PATH%;(C:\\[^ ;\r\n]+)\r\n", read(prefix, AUTOEXEC))
                    self.assertIsNotNone(autoexec, read(prefix, AUTOEXEC))
                    self.assertTrue(names_installation(prefix, autoexec.group(1)), autoexec.group(1))
                    record = reg_values(prefix, UNINSTALL_KEY)
                    # Only an entry this product put there is its to remove;
                    # a reinstallation keeps what the first run recorded.
                    self.assertEqual(record.get("PathEntryAdded"), None if listed else ("REG_SZ", INSTALL), run)
                    self.assertEqual(int(record["ProductFlags"][1], 16) & 0x1000, 0x1000)


if __name__ == "__main__":
    unittest.main()

"""A real payload placed: qpack builds an installer, the program's own reader
and placement put its records into a prefix (tests/win/helpers/archive_place),
and everything is read back from outside: the prefix's files and times,
Uninstall.DAT's bytes, and the registry through Wine's reg.exe."""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import wine  # noqa: E402

QPACK = os.path.join(wine.BUILD_HOST, "tools", "qpack", "qpack")
PLACE = os.path.join(wine.BUILD_WIN, "tests", "archive_place.exe")
HOST_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
INSTALL = "C:\\Placed"
SHARED = "C:\\Program Files\\Common Files\\QP Tests"

PROJECT = """[Product]
Name = Placed
Publisher = QP Tests
UninstallSubdir = Uninstall
[Flags]
register-product = yes
[Files]
app.txt | shortcuts=desktop | shortcut-name=App | time=2024-04-30 09:15:00
f.txt | target=data\\sub\\deep\\f.txt
common.txt | kind=shared
sans.ttf | kind=font | font-name=QP Placed Sans
qpsys.dat | kind=system | version=none
late.txt | kind=startup | shortcuts=program-group | shortcut-name=Late
"""


def sections(output):
    """The helper's "== name" sections as {name: [lines]}."""
    result, name = {}, None
    for line in output.splitlines():
        if line.startswith("== "):
            name = line[3:]
            result[name] = []
        elif name is not None:
            result[name].append(line)
    return result


class RealPayloadPlacement(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="qp-place.")
        self.addCleanup(shutil.rmtree, self.dir)
        contents = {"app.txt": "the app", "f.txt": "deep file", "common.txt": "shared by products",
                    "qpsys.dat": "system data", "late.txt": "remind me"}
        for name, text in contents.items():
            with open(os.path.join(self.dir, name), "w") as f:
                f.write(text)
        shutil.copy(HOST_FONT, os.path.join(self.dir, "sans.ttf"))
        with open(os.path.join(self.dir, "p.qpp"), "w") as f:
            f.write(PROJECT)
        self.setup = os.path.join(self.dir, "Setup.exe")
        built = subprocess.run([QPACK, "build", os.path.join(self.dir, "p.qpp"), "-o", self.setup, "--stub", wine.STUB],
                               capture_output=True, text=True)
        self.assertEqual(built.returncode, 0, built.stderr)
        self.contents = contents

    def test_every_kind_lands_in_its_folder_and_is_recorded(self):
        with wine.Prefix(name="place") as prefix:
            for program in (self.setup, PLACE):
                shutil.copy(program, prefix.drive_c)
            result = prefix.run([os.path.join(prefix.drive_c, "archive_place.exe"), "C:\\Setup.exe", INSTALL])
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
            out = sections(result.stdout)

            placed = {
                INSTALL + "\\app.txt": self.contents["app.txt"],
                INSTALL + "\\data\\sub\\deep\\f.txt": self.contents["f.txt"],
                INSTALL + "\\late.txt": self.contents["late.txt"],
                SHARED + "\\common.txt": self.contents["common.txt"],
                "C:\\windows\\system32\\qpsys.dat": self.contents["qpsys.dat"],
            }
            for path, text in placed.items():
                with self.subTest(path=path), open(prefix.host_path(path)) as f:
                    self.assertEqual(f.read(), text)
            with open(prefix.host_path("C:\\windows\\Fonts\\sans.ttf"), "rb") as f, open(HOST_FONT, "rb") as g:
                self.assertEqual(f.read(), g.read())
            # The record's time (local time; Wine and this process share TZ).
            self.assertEqual(os.path.getmtime(prefix.host_path(INSTALL + "\\app.txt")),
                             time.mktime((2024, 4, 30, 9, 15, 0, 0, 0, -1)))

            # Only the installation folder's kinds are recorded; every folder
            # placement made below it is entered once, deepest first.
            with open(prefix.host_path(INSTALL + "\\Uninstall\\Uninstall.DAT"), "rb") as f:
                record = f.read()
            entries = [INSTALL + "\\app.txt", "~" + INSTALL + "\\data\\sub\\deep", "~" + INSTALL + "\\data\\sub",
                       "~" + INSTALL + "\\data", INSTALL + "\\data\\sub\\deep\\f.txt", INSTALL + "\\late.txt"]
            self.assertEqual(record.split(b"[Strings]\r\n")[0].decode().split("\r\n"), entries + ["", "", ""])

            shared_value = prefix.run(["reg", "query", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
                                       "/v", SHARED + "\\common.txt"])
            self.assertRegex(shared_value.stdout, r"REG_DWORD\s+0x1\b")
            font_value = prefix.run(["reg", "query", "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                                     "/v", "QP Placed Sans"])
            self.assertRegex(font_value.stdout, r"REG_SZ\s+sans\.ttf")

        self.assertEqual(out["problems"], [])
        # Each font quoted name and file, each followed by a blank; shared
        # names relative to the shared folder, quoted.
        self.assertEqual(out["fonts"], ['"QP Placed Sans" "sans.ttf" '])
        self.assertEqual(out["shared"], ['"common.txt"'])
        self.assertEqual(out["shortcuts"], ["App|100|" + INSTALL + "\\app.txt", "Late|011|" + INSTALL + "\\late.txt"])
        self.assertEqual(out["record written"], [])


if __name__ == "__main__":
    unittest.main()

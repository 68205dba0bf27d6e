"""The stubs as programs, read from outside with the cross binutils: the
shipped i686 stub is checked on every machine, whether or not it can run
here, and the x86-64 one beside it."""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import wine  # noqa: E402

# The DLLs every Windows has in its system folder and always loads from there
# (KnownDLLs); the stub links nothing else. Any other system DLL (VERSION,
# COMCTL32) is loaded at run time, after DLL search is restricted to the
# system folder: imported, a copy planted beside the installer could be
# loaded in its place before any code of the program runs.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
               "msvcrt.dll"}

STUBS = [
    # (path, objdump, file format, optional-header magic)
    (wine.STUB32, "i686-w64-mingw32-objdump", "pei-i386", "(PE32)"),
    (wine.STUB64, "x86_64-w64-mingw32-objdump", "pei-x86-64", "(PE32+)"),
]


def headers(objdump, path):
    return subprocess.run([objdump, "-p", path], capture_output=True, text=True, check=True).stdout


class StubPrograms(unittest.TestCase):
    def test_each_stub_is_a_gui_program_of_its_machine_linking_system_dlls_only(self):
        for path, objdump, file_format, magic in STUBS:
            with self.subTest(stub=os.path.basename(path)):
                text = headers(objdump, path)
                self.assertIn("file format " + file_format, text)
                magic_line = next(line for line in text.splitlines() if line.startswith("Magic"))
                self.assertIn(magic, magic_line)
                self.assertRegex(text, r"Subsystem\s+00000002\s+\(Windows GUI\)")
                dlls = {line.split(":", 1)[1].strip().lower()
                        for line in text.splitlines() if "DLL Name:" in line}
                self.assertTrue(dlls, "no imports read")
                self.assertLessEqual(dlls, SYSTEM_DLLS)
                with open(path, "rb") as f:
                    self.assertEqual(f.read()[-4:], b"\0\0\0\0", "the bare stub ends in the zero trailer")
                print(f"\n{os.path.basename(path)}: {os.path.getsize(path)} bytes, imports "
                      f"{', '.join(sorted(dlls))}", file=sys.stderr)


if __name__ == "__main__":
    unittest.main()

"""The qpack program itself: a bad project ends with exit code 1, a
FILE:LINE: message on stderr and no output file; a good one writes the
installer, and inspect exits with the corrupt-archive code of a damaged one."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import wine  # noqa: E402

QPACK = os.path.join(wine.BUILD_HOST, "tools", "qpack", "qpack")


class QpackCommandLine(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="qpack-cli.")
        self.addCleanup(shutil.rmtree, self.dir, True)
        with open(os.path.join(self.dir, "a.txt"), "w") as f:
            f.write("a")
        self.out = os.path.join(self.dir, "out")
        os.makedirs(self.out)

    def qpack(self, *args):
        return subprocess.run([QPACK] + list(args), capture_output=True, text=True, cwd=self.dir)

    def build(self, project_text):
        project = os.path.join(self.dir, "p.qpp")
        with open(project, "w") as f:
            f.write(project_text)
        return self.qpack("build", project, "-o", os.path.join(self.out, "Setup.exe"), "--stub", wine.STUB)

    def test_bad_projects(self):
        project = os.path.join(self.dir, "p.qpp")
        cases = [
            ("[Product]\nName = P\n[Files]\na.txt\nmissing.txt\n", f"{project}:5: file not found: "),
            ("[Product]\nName = P\n[Flags]\nwarp-speed = yes\n[Files]\na.txt\n", f"{project}:4: unknown flag 'warp-speed'"),
            ("[Product]\nName = P\n[Appearance]\nTitleColor = red\n[Files]\na.txt\n", f"{project}:4: bad colour 'red'"),
            ("[Product]\nName = P\n[Files]\na.txt | target=..\\..\\Windows\\a.txt\n", f"{project}:4: unsafe target name"),
        ]
        for text, message in cases:
            with self.subTest(message=message):
                result = self.build(text)
                self.assertEqual(result.returncode, 1)
                self.assertIn("qpack: error: " + message, result.stderr)
                self.assertEqual(os.listdir(self.out), [])

    def test_build_then_inspect_and_damage(self):
        result = self.build("[Product]\nName = P\n[Files]\na.txt\n")
        self.assertEqual(result.returncode, 0, result.stderr)
        setup = os.path.join(self.out, "Setup.exe")
        self.assertEqual(os.listdir(self.out), ["Setup.exe"])
        inspected = self.qpack("inspect", setup)
        self.assertEqual(inspected.returncode, 0)
        self.assertIn('productName: "P"', inspected.stdout)
        with open(setup, "r+b") as f:
            f.seek(-6, os.SEEK_END)  # a payload byte
            byte = f.read(1)
            f.seek(-6, os.SEEK_END)
            f.write(bytes([byte[0] ^ 0x55]))
        damaged = self.qpack("inspect", setup)
        self.assertEqual(damaged.returncode, 55)
        self.assertIn("result: corrupt, code 55", damaged.stdout)

    def test_usage_errors(self):
        for args in ([], ["build"], ["frobnicate"], ["build", "p.qpp", "--colour"]):
            with self.subTest(args=args):
                result = self.qpack(*args)
                self.assertEqual(result.returncode, 64)
                self.assertIn("usage:", result.stdout + result.stderr)

    def test_system_file_versions_come_from_real_version_resources(self):
        # Libraries built by windres for the Windows tests: one with the U.S. English,
        # Windows multilingual block, one with a Unicode block only.
        tests = os.path.join(wine.BUILD_WIN32, "tests")
        for name in ("shell_version_us.dll", "shell_version_unicode_only.dll"):
            shutil.copy(os.path.join(tests, name), self.dir)
        result = self.build("[Product]\nName = P\n[Files]\n"
                            "shell_version_us.dll | kind=system\n"
                            "shell_version_unicode_only.dll | kind=system\n")
        self.assertEqual(result.returncode, 0, result.stderr)
        inspected = self.qpack("inspect", os.path.join(self.out, "Setup.exe"))
        self.assertIn('file.0.extra: "0000000004.0000000000.0000001381.000000004B"', inspected.stdout)
        self.assertIn('file.1.extra: ""', inspected.stdout)

    def test_windows_qpack_finds_the_stub_beside_itself(self):
        qpack_exe = os.path.join(wine.BUILD_WIN32, "tools", "qpack", "qpack.exe")
        with wine.Prefix(name="qpack") as prefix:
            folder = os.path.join(prefix.drive_c, "build")
            shutil.copytree(os.path.join(wine.ROOT, "examples", "project"), os.path.join(folder, "project"))
            shutil.copy(qpack_exe, folder)
            shutil.copy(wine.STUB, folder)
            built = prefix.run([os.path.join(folder, "qpack.exe"), "build", "project\\example.qpp", "-o", "Setup.exe"],
                               cwd=folder)
            self.assertEqual(built.returncode, 0, built.stderr)
            inspected = prefix.run([os.path.join(folder, "qpack.exe"), "inspect", "Setup.exe"], cwd=folder)
        self.assertEqual(inspected.returncode, 0, inspected.stdout[-500:])
        self.assertIn('productName: "Quill Notes"', inspected.stdout)
        self.assertIn("result: sound", inspected.stdout)


if __name__ == "__main__":
    unittest.main()

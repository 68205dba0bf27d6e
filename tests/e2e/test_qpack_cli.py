"""The qpack program itself: a bad project ends with exit code 1, a
FILE:LINE: message on stderr and no output file; a good one writes the
installer, and inspect exits with the corrupt-archive code of a damaged one.
--arch picks the stub beside qpack, and inspect names the program's architecture.
A long build shows its progress line on a terminal only, and not with --quiet."""

import os
import pty
import random
import re
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

    def write_project(self, project_text):
        project = os.path.join(self.dir, "p.qpp")
        with open(project, "w") as f:
            f.write(project_text)
        return project

    def build(self, project_text):
        project = self.write_project(project_text)
        return self.qpack("build", project, "-o", os.path.join(self.out, "Setup.exe"), "--stub", wine.STUB)

    def build_on_terminal(self, project, *options):
        """Builds with stderr on a pseudo-terminal and stdout on a pipe; returns
        (exit code, stdout, the bytes the terminal got)."""
        master, slave = pty.openpty()
        try:
            process = subprocess.Popen([QPACK, "build", project, "-o", os.path.join(self.out, "Setup.exe"),
                                        "--stub", wine.STUB] + list(options),
                                       stdout=subprocess.PIPE, stderr=slave, cwd=self.dir)
        finally:
            os.close(slave)
        terminal = b""
        try:
            while True:
                try:
                    chunk = os.read(master, 4096)
                except OSError:  # EIO once the program has closed its end
                    break
                if not chunk:
                    break
                terminal += chunk
        finally:
            os.close(master)
        stdout = process.stdout.read().decode()
        process.stdout.close()
        return process.wait(), stdout, terminal

    def test_progress_only_on_a_terminal_and_not_with_quiet(self):
        # Words from a small vocabulary: level 6 takes seconds over them.
        rng = random.Random(7)
        words = [bytes(rng.choice(b"abcdefghij") for _ in range(rng.randint(2, 9))) for _ in range(4000)]
        with open(os.path.join(self.dir, "big.txt"), "wb") as f:
            f.write(b" ".join(rng.choice(words) for _ in range(1_000_000)))
        project = self.write_project("[Product]\nName = P\n[Flags]\ncompressed-payload = yes\n[Build]\nLevel = 6\n"
                                     "[Files]\na.txt\nbig.txt\n")
        piped = self.qpack("build", project, "-o", os.path.join(self.out, "Setup.exe"), "--stub", wine.STUB)
        self.assertEqual(piped.returncode, 0, piped.stderr)
        size = os.path.getsize(os.path.join(self.out, "Setup.exe"))
        wrote = f"wrote {os.path.join(self.out, 'Setup.exe')} ({size} bytes)\n"
        self.assertEqual((piped.stdout, piped.stderr), (wrote, ""))

        # Each build has its own time in the header, which can change the
        # header's size; the rest of the output is the piped build's.
        sized = re.compile(re.escape(wrote).replace(str(size), r"\d+"))
        code, stdout, terminal = self.build_on_terminal(project)
        self.assertEqual(code, 0, terminal)
        self.assertIsNotNone(sized.fullmatch(stdout), (stdout, terminal))
        lines = terminal.split(b"\r")
        self.assertEqual(terminal[:1], b"\r", terminal)
        self.assertTrue(any(line.startswith(b"compressing ") and b" MB/s, " in line and b" left" in line
                            for line in lines), terminal)
        self.assertNotIn(b"\n", terminal)
        # The line is blanked at the end, so that the shell's prompt starts on a clean line.
        self.assertEqual(lines[-1], b"", terminal)
        self.assertEqual(lines[-2].strip(b" "), b"", terminal)

        code, stdout, terminal = self.build_on_terminal(project, "--quiet")
        self.assertEqual((code, terminal), (0, b""))
        self.assertIsNotNone(sized.fullmatch(stdout), stdout)

    def installed_qpack(self, stubs):
        """A copy of qpack in a folder of its own with `stubs` ({name: source}) beside it,
        so that its own-folder lookup finds those and nothing else."""
        folder = os.path.join(self.dir, "dist")
        os.makedirs(folder)
        shutil.copy(QPACK, folder)
        for name, source in stubs.items():
            shutil.copy(source, os.path.join(folder, name))
        return os.path.join(folder, "qpack")

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
        for args in ([], ["build"], ["frobnicate"], ["build", "p.qpp", "--colour"], ["build", "p.qpp", "--arch", "arm64"],
                     ["build", "p.qpp", "--arch"]):
            with self.subTest(args=args):
                result = self.qpack(*args)
                self.assertEqual(result.returncode, 64)
                self.assertIn("usage:", result.stdout + result.stderr)

    def test_arch_picks_the_stub_beside_qpack(self):
        stubs = {"quillpack.exe": wine.STUB32}
        if os.path.exists(wine.STUB64):
            stubs["quillpack64.exe"] = wine.STUB64
        qpack = self.installed_qpack(stubs)
        project = self.write_project("[Product]\nName = P\n[Files]\na.txt\n")
        setup = os.path.join(self.out, "Setup.exe")
        for args, stub, architecture in (([], wine.STUB32, "x86 (PE32, i386)"),
                                         (["--arch", "x86"], wine.STUB32, "x86 (PE32, i386)"),
                                         (["--arch", "x64"], wine.STUB64, "x64 (PE32+, AMD64)")):
            with self.subTest(args=args):
                if not os.path.exists(stub):
                    self.skipTest("no x64 stub at " + stub)
                result = subprocess.run([qpack, "build", project, "-o", setup] + args, capture_output=True, text=True)
                self.assertEqual(result.returncode, 0, result.stderr)
                with open(stub, "rb") as f:
                    program = f.read()[:-4]  # the bare stub's zero trailer is not part of the program
                with open(setup, "rb") as f:
                    self.assertEqual(f.read(len(program)), program)
                inspected = subprocess.run([qpack, "inspect", setup], capture_output=True, text=True)
                self.assertEqual(inspected.returncode, 0, inspected.stdout[-500:])
                self.assertIn(f"\nprogram: {len(program)} bytes\narchitecture: {architecture}\n", inspected.stdout)

    def test_stub_problems_name_the_stub_and_the_fix(self):
        qpack = self.installed_qpack({"quillpack.exe": wine.STUB32})  # shipped without the x64 stub
        project = self.write_project("[Product]\nName = P\n[Files]\na.txt\n")
        looked_for = os.path.join(os.path.dirname(qpack), "quillpack64.exe")
        missing = os.path.join(self.dir, "none.exe")
        text = os.path.join(self.dir, "a.txt")
        cases = [
            (["--arch", "x64"], f"the x64 stub {looked_for} is missing: qpack looks for its stubs in its own folder. "
                                "Give the stub with --stub PATH, or install qpack with quillpack.exe and "
                                "quillpack64.exe beside it"),
            (["--arch", "x64", "--stub", wine.STUB32],
             f"{wine.STUB32}: the stub is an x86 program, but an x64 installer was asked for"),
            (["--stub", missing], f"the stub {missing} given with --stub does not exist"),
            (["--stub", text], f"{text}: the stub is not a Windows program: too short for a DOS header (1 bytes)"),
        ]
        if os.path.exists(wine.STUB64):
            cases.append((["--stub", wine.STUB64, "--arch", "x86"],
                          f"{wine.STUB64}: the stub is an x64 program, but an x86 installer was asked for"))
        for args, message in cases:
            with self.subTest(args=args):
                result = subprocess.run([qpack, "build", project, "-o", os.path.join(self.out, "Setup.exe")] + args,
                                        capture_output=True, text=True)
                self.assertEqual(result.returncode, 1)
                self.assertEqual(result.stderr, f"qpack: error: {message}\n")
                self.assertEqual(os.listdir(self.out), [])

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
        # The Windows qpack of the build this Wine runs, beside that build's stub.
        qpack_exe = os.path.join(wine.BUILD_WIN, "tools", "qpack", "qpack.exe")
        arch = [] if wine.STUB == wine.STUB32 else ["--arch", "x64"]
        with wine.Prefix(name="qpack") as prefix:
            folder = os.path.join(prefix.drive_c, "build")
            shutil.copytree(os.path.join(wine.ROOT, "examples", "project"), os.path.join(folder, "project"))
            shutil.copy(qpack_exe, folder)
            shutil.copy(wine.STUB, folder)
            built = prefix.run([os.path.join(folder, "qpack.exe"), "build", "project\\example.qpp", "-o", "Setup.exe"] + arch,
                               cwd=folder)
            self.assertEqual(built.returncode, 0, built.stderr)
            inspected = prefix.run([os.path.join(folder, "qpack.exe"), "inspect", "Setup.exe"], cwd=folder)
        self.assertEqual(inspected.returncode, 0, inspected.stdout[-500:])
        self.assertIn('productName: "Quill Notes"', inspected.stdout)
        self.assertIn("architecture: " + ("x64 (PE32+, AMD64)" if arch else "x86 (PE32, i386)"),
                      inspected.stdout.splitlines())
        self.assertIn("result: sound", inspected.stdout)


if __name__ == "__main__":
    unittest.main()

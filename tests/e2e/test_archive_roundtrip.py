"""Installers built by qpack, read back by the program's own archive reader
under Wine: every setting, message and file record equals what `qpack
inspect` reads on the host, stored, compressed as token or range images,
with and without volumes."""

import os
import random
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import wine  # noqa: E402

QPACK = os.path.join(wine.BUILD_HOST, "tools", "qpack", "qpack")
DUMP = os.path.join(wine.BUILD_WIN, "tests", "archive_dump.exe")
EXAMPLE = os.path.join(wine.ROOT, "examples", "project", "example.qpp")


def parse_report(text):
    """'name: value' lines into a dict (the first ': ' splits)."""
    values = {}
    for line in text.splitlines():
        if ": " in line:
            name, value = line.split(": ", 1)
            values[name] = value
    return values


def qpack(*args):
    return subprocess.run([QPACK] + list(args), capture_output=True, text=True, errors="replace")


def write_project(folder, flags, build, languages, files):
    """A project in folder with the given sections' bodies; returns its path."""
    os.makedirs(folder, exist_ok=True)
    text = ("[Product]\nName = Round Trip\nPublisher = Testers\nVersion = 3.1\nDefaultDirectory = RT\n"
            "RegistryKey = Testers\\RT\nUninstallSubdir = U\nUninstallerTime = 2021-06-07 08:09:10\n"
            "ArchiveDate = 2021-06-01\nMasterProduct = Base\n"
            "[Flags]\nextends-product = yes\n" + flags +
            "[Appearance]\nTitleColor = #010203\nTopColor = #A0B0C0\nBottomColor = #A0B0C0\n"
            "[Script PreInstall]\necho one\necho two\n"
            "[Languages]\n" + languages +
            "[Build]\n" + build +
            "[Files]\n" + files)
    path = os.path.join(folder, "rt.qpp")
    with open(path, "w", newline="\n") as f:
        f.write(text)
    return path


class RoundTrip(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="qp-roundtrip.")
        self.addCleanup(shutil.rmtree, self.work, True)

    def build(self, project, out_dir):
        os.makedirs(out_dir, exist_ok=True)
        setup = os.path.join(out_dir, "Setup.exe")
        result = qpack("build", project, "-o", setup, "--stub", wine.STUB)
        self.assertEqual(result.returncode, 0, result.stderr)
        inspected = qpack("inspect", setup)
        self.assertEqual(inspected.returncode, 0, inspected.stdout + inspected.stderr)
        return setup, parse_report(inspected.stdout)

    def read_with_program(self, out_dir):
        """Runs the program's reader on out_dir/Setup.exe (volumes beside it) in a fresh prefix."""
        with wine.Prefix(name="roundtrip") as prefix:
            target = os.path.join(prefix.drive_c, "inst")
            shutil.copytree(out_dir, target)
            shutil.copy(DUMP, target)
            result = prefix.run([os.path.join(target, "archive_dump.exe"), "Setup.exe"], cwd=target)
        self.assertEqual(result.returncode, 0, result.stdout[-2000:] + result.stderr[-2000:])
        return parse_report(result.stdout)

    def assert_same(self, host, program, expected_files):
        self.assertEqual(program.get("result"), "sound")
        self.assertEqual(int(host["fileCount"]), expected_files)
        # Lines only the host report has: container sizes and codecs, the signature and where
        # the archive ends, the program's architecture and the header's raw folder texts (the
        # program reports the folders it derived instead).
        host_only = {"installer", "signature", "archiveEnd", "program", "architecture", "header", "headerCodec",
                     "payload", "payloadCodec", "startMenuFolder", "defaultDirectory"}
        self.assertEqual(host["architecture"].split()[0], "x86" if wine.STUB == wine.STUB32 else "x64")
        compared = 0
        for name, value in host.items():
            if name in host_only:
                continue
            if name == "flags":
                self.assertEqual(program["flags"], value.split()[0], name)
            elif name.startswith("file.") and name.endswith(".flags"):
                self.assertEqual(program[name[:-len("flags")] + "rawFlags"], value.split()[0], name)
            else:
                self.assertIn(name, program)
                self.assertEqual(program[name], value, name)
            compared += 1
        self.assertGreater(compared, 60)
        self.assertEqual(program["derived.programBytes"], host["program"].split()[0])

    def test_example_project(self):
        out = os.path.join(self.work, "example")
        _, host = self.build(EXAMPLE, out)
        program = self.read_with_program(out)
        self.assert_same(host, program, 7)
        self.assertEqual(program["derived.startMenuFolder"], '"Quillpack Examples\\\\Quill Notes"')
        self.assertEqual(program["derived.defaultDirectory"],
                         '"C:\\\\Program Files\\\\Quillpack Examples\\\\Quill Notes"')
        self.assertEqual(program["derived.sharedDirectory"], '"C:\\\\Program Files\\\\Common Files\\\\Quillpack Examples"')
        # Colours apply (use-colors) and differ, so the gradient is used; the picture loaded.
        self.assertEqual(program["derived.background"],
                         "title 0x00FFFFFF top 0x006B2A10 bottom 0x00100000 plain 0 picture 16x8")

    def test_variants(self):
        rng = random.Random(7)
        src = os.path.join(self.work, "src")
        os.makedirs(os.path.join(src, "tree", "sub"))
        with open(os.path.join(src, "noise.bin"), "wb") as f:
            f.write(bytes(rng.randrange(256) for _ in range(150000)))
        with open(os.path.join(src, "tree", "a.txt"), "w") as f:
            f.write("alpha\n" * 500)
        with open(os.path.join(src, "tree", "sub", "b.txt"), "w") as f:
            f.write("beta\n" * 300)
        with open(os.path.join(src, "empty.txt"), "w"):
            pass
        with open(os.path.join(src, "fr.msg"), "w", encoding="cp1252") as f:
            f.write("0 = Installation de <product>\n26 = Ins\u00e9rez le disque %d dans le lecteur %c:\n")
        with open(os.path.join(src, "de.msg"), "w", encoding="cp1252") as f:
            f.write("0 = <product> einrichten\n49 = Abbre&chen\n")
        files = ("noise.bin | kind=shared | mode=if-present | time=none\n"
                 "tree\\*.txt | target=Docs | recurse | shortcuts=desktop\n"
                 "empty.txt | kind=system | version=2.0 beta\n")
        three = "English = builtin\nFran\u00e7ais = fr.msg\nDeutsch = de.msg\n"
        # Volume sizes leave room for the program and the header, whatever the stub's size.
        stub = os.path.getsize(wine.STUB)
        variants = [
            ("plain, one file", "test-checksums = no\n", "CompressHeader = no\n", "English = builtin\n"),
            ("compressed, three languages", "compressed-payload = yes\n", "Level = 9\n", three),
            ("volumes", "use-colors = yes\n", f"CompressHeader = no\nVolumeSize = {stub + 30000}\n", three),
            ("compressed with volumes", "compressed-payload = yes\nautomatic = no\n", f"VolumeSize = {stub + 10000}\n", three),
            ("range-coded with volumes", "compressed-payload = yes\n", f"Codec = small\nVolumeSize = {stub + 30000}\n",
             three),
        ]
        for name, flags, build, languages in variants:
            with self.subTest(variant=name):
                folder = os.path.join(self.work, name.replace(" ", "_").replace(",", ""))
                shutil.copytree(src, folder)
                project = write_project(folder, flags, build, languages, files)
                out = os.path.join(folder, "out")
                _, host = self.build(project, out)
                if "Codec = small" in build:
                    self.assertEqual((host["headerCodec"], host["payloadCodec"]),
                                     ("range image, 1 segment", "range image, 1 segment"))
                volumes = sorted(f for f in os.listdir(out) if f.startswith("Disk"))
                if "VolumeSize" in build:
                    self.assertTrue(volumes, "no volume files were written")
                program = self.read_with_program(out)
                self.assert_same(host, program, 4)
                self.assertEqual(program["derived.startMenuFolder"], '"Testers\\\\Round Trip"')
                self.assertEqual(program["derived.defaultDirectory"], '"C:\\\\Program Files\\\\RT"')
                self.assertEqual(program["masterProduct"], '"Base"')
                if "use-colors" in flags:
                    # Equal top and bottom colours keep the plain fill.
                    self.assertEqual(program["derived.background"],
                                     "title 0x00030201 top 0x00C0B0A0 bottom 0x00C0B0A0 plain 1 picture 0x0")
                else:
                    # Without the flag and without a picture the start-up colours stay.
                    self.assertNotIn("0x00C0B0A0", program["derived.background"])
                    self.assertNotIn("title 0x00030201", program["derived.background"])
                self.assertEqual(program["file.3.extra"], '"0000000002.00000 BETA"')


class ProgramReadsTheHeader(unittest.TestCase):
    """The example installer reads its header, then the installation run
    takes over: interactively it asks first, with /a it installs."""

    LANGUAGE = "Choose Your Language"
    QUESTION = "Quillpack Utility v5.1"
    SHARED = "C:\\Program Files\\Common Files\\Quillpack Examples"
    INSTALLED = "C:\\Program Files\\Quillpack Examples\\Quill Notes\\QuillNotes.txt"

    def test_example_installer_reads_its_header_and_runs(self):
        work = tempfile.mkdtemp(prefix="qp-header.")
        self.addCleanup(shutil.rmtree, work, True)
        setup = os.path.join(work, "Setup.exe")
        self.assertEqual(qpack("build", EXAMPLE, "-o", setup, "--stub", wine.STUB).returncode, 0)
        # (arguments, answer to the opening question, exit code, installed).
        cases = [([], "No", 1, False), (["/a"], None, 0, True)]
        for args, answer, exit_code, installed in cases:
            with self.subTest(args=args), wine.Prefix(gui=True, name="header") as prefix:
                shutil.copy(setup, prefix.drive_c)
                process = prefix.start([os.path.join(prefix.drive_c, "Setup.exe")] + args)
                if answer:
                    # Two languages: the list comes first, then the opening question.
                    code, _, err = prefix.driver("wait", self.LANGUAGE, 20000, "press", self.LANGUAGE, "#1001",
                                                 "wait", self.QUESTION, 20000, "press", self.QUESTION, answer)
                    self.assertEqual(code, 0, err)
                self.assertEqual(prefix.wait(process), exit_code)
                # The shared directory is made while the header is read (register-product).
                self.assertTrue(os.path.isdir(prefix.host_path(self.SHARED)))
                self.assertEqual(os.path.isfile(prefix.host_path(self.INSTALLED)), installed)
                if installed:
                    log_path = prefix.host_path(self.INSTALLED.rsplit("\\", 1)[0] + "\\Uninstall\\Install.LOG")
                    with open(log_path, newline="") as f:
                        problems = [line for line in f.read().split("\r\n") if line.startswith("Unable to install")]
                    self.assertEqual(problems, [])
                    # The example's font is one Windows takes.
                    self.assertTrue(os.path.isfile(prefix.host_path("C:\\windows\\Fonts\\quill.ttf")))


if __name__ == "__main__":
    unittest.main()

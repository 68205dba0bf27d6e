"""Signed installers: installers built by qpack and signed with osslsigncode
(a self-signed test certificate made here with openssl) keep a valid
signature, read as their unsigned selves in `qpack inspect`, install under
Wine in automatic mode, and leave an unsigned uninstaller that removes the
product. A payload byte changed after signing breaks both the signature and
the archive. The golden installers, built before signing was supported,
still read and install.

osslsigncode verifies with the test certificate as its trust anchor
(-CAfile): the certificate is self-signed, and only that chain is set aside.
Wine, unlike Windows, checks no signature when it starts a program (no
Authenticode check, no download warning): under Wine these tests show that
the installer reads itself whole once signed; that the signature itself is
sound is osslsigncode's verdict.

Named test_archive_* so that, where 32-bit programs run, the suite runs on
the 64-bit stub under wine64 as well as on the 32-bit one."""

import datetime
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import wine  # noqa: E402
from installer_image import FILE_COUNT_AT, InstallerImage  # noqa: E402
from test_archive_corrupt import checksum  # noqa: E402
from test_archive_roundtrip import DUMP, parse_report, qpack  # noqa: E402
from test_install_run import FATAL, FINISHED, INSTALL, UNINSTALL, UNINSTALL_KEY, project, reg_values  # noqa: E402
from test_payload_damage import run_fatal  # noqa: E402
from test_uninstall_run import files_of, settle, uninstall  # noqa: E402

GOLDEN = os.path.join(wine.ROOT, "tests", "golden", "installers")
PROGRAM_CHECKSUM_AT = FILE_COUNT_AT - 4
MARKER = b"signed application text, changed after signing in one test"
# Lines of `qpack inspect` that describe the file rather than its archive.
FILE_LINES = ("installer", "signature", "archiveEnd")


def signer_fields(data):
    """(CheckSum, certificate-table offset, its size) from a program's headers."""
    optional = struct.unpack_from("<I", data, 0x3C)[0] + 24
    pe32_plus = struct.unpack_from("<H", data, optional)[0] == 0x20B
    entry = optional + (144 if pe32_plus else 128)
    return (struct.unpack_from("<I", data, optional + 64)[0],) + struct.unpack_from("<II", data, entry)


def cleared(program):
    """The program bytes with the two fields a signer rewrites set to zero."""
    optional = struct.unpack_from("<I", program, 0x3C)[0] + 24
    entry = optional + (144 if struct.unpack_from("<H", program, optional)[0] == 0x20B else 128)
    data = bytearray(program)
    data[optional + 64:optional + 68] = bytes(4)
    data[entry:entry + 8] = bytes(8)
    return bytes(data)


def inspect(path):
    result = qpack("inspect", path)
    return result.returncode, parse_report(result.stdout), result.stdout


def archive_lines(report):
    """The archive's lines, and its build time apart: installers built one
    after the other may straddle a second, and that is all they may differ in."""
    lines = {name: value for name, value in report.items() if name not in FILE_LINES}
    return lines, datetime.datetime.strptime(lines.pop("uninstallerTime"), "%Y-%m-%d %H:%M:%S")


class SignedInstallers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        missing = [tool for tool in ("osslsigncode", "openssl") if not shutil.which(tool)]
        if missing:
            raise AssertionError(f"{' and '.join(missing)} not installed: scripts/install-deps.sh installs them")
        cls.keys = tempfile.mkdtemp(prefix="qp-sign-keys.")
        cls.cert, cls.key = os.path.join(cls.keys, "cert.pem"), os.path.join(cls.keys, "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                        "/CN=Quillpack Test Signer", "-keyout", cls.key, "-out", cls.cert],
                       check=True, capture_output=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.keys, True)

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="qp-signed.")
        self.addCleanup(shutil.rmtree, self.work, True)
        with open(os.path.join(self.work, "app.txt"), "wb") as f:
            f.write(MARKER + b"\r\n")
        with open(os.path.join(self.work, "data.bin"), "wb") as f:
            f.write(bytes((i * 7 + 3) % 251 for i in range(40000)))

    def build(self, name, *args, signing=""):
        """Builds the project into work/name; returns the installer's path.
        The header is stored plain, so that a test can rewrite its fields."""
        path = os.path.join(self.work, "p.qpp")
        with open(path, "w") as f:
            f.write(project("[Build]\nCompressHeader = no\n" + signing + "[Files]\napp.txt\ndata.bin\n"))
        setup = os.path.join(self.work, name)
        result = qpack("build", path, "-o", setup, "--stub", wine.STUB, *args)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        return setup

    def sign(self, source, target):
        """Signs as a publisher would, with osslsigncode's own command line."""
        result = subprocess.run(["osslsigncode", "sign", "-certs", self.cert, "-key", self.key, "-n", "Demo QA",
                                 "-in", source, "-out", target], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def verify(self, path):
        result = subprocess.run(["osslsigncode", "verify", "-CAfile", self.cert, "-in", path],
                                capture_output=True, text=True)
        return result.returncode, result.stdout + result.stderr

    def unaligned_copy(self, setup):
        """The installer with one more zero byte of program, as qpack wrote
        installers before it ended them on a multiple of 8: a signer pads it."""
        image = InstallerImage.read(setup)
        image.program += b"\0"
        struct.pack_into("<I", image.header, PROGRAM_CHECKSUM_AT, checksum(cleared(image.program)))
        path = setup + ".unaligned.exe"
        image.write(path)
        return path

    def test_signed_installers_install_and_their_uninstaller_removes_them(self):
        plain = self.build("Plain.exe")
        self.assertEqual(os.path.getsize(plain) % 8, 0)
        unaligned = self.unaligned_copy(plain)
        # (case, signed installer, the unsigned file it was made from)
        signed_by_qpack = self.build("ByOption.exe", "--sign", self.cert, self.key)
        signed_by_project = self.build("ByProject.exe", signing=f"SignCertificate = {self.cert}\nSignKey = {self.key}\n")
        self.sign(plain, os.path.join(self.work, "Signed.exe"))
        self.sign(unaligned, os.path.join(self.work, "SignedPadded.exe"))
        cases = [
            ("qpack build --sign", signed_by_qpack, plain),
            ("[Build] SignCertificate and SignKey", signed_by_project, plain),
            ("osslsigncode after the build", os.path.join(self.work, "Signed.exe"), plain),
            ("osslsigncode after padding", os.path.join(self.work, "SignedPadded.exe"), unaligned),
        ]
        for case, setup, source in cases:
            with self.subTest(case=case):
                code, output = self.verify(setup)
                self.assertEqual(code, 0, output)
                self.assertIn("Signature verification: ok", output)
                self.assertNotIn("MISMATCH", output)

                code, unsigned_report, _ = inspect(source)
                self.assertEqual(code, 0)
                code, report, text = inspect(setup)
                self.assertEqual(code, 0, text)
                data = open(setup, "rb").read()
                _, table, size = signer_fields(data)
                self.assertEqual(table + size, len(data))
                # The signer padded only what qpack had not aligned.
                self.assertEqual(table, (os.path.getsize(source) + 7) // 8 * 8)
                self.assertEqual(report["signature"], f"certificate table at {table}, {size} bytes")
                self.assertEqual(int(report["archiveEnd"]), os.path.getsize(source))
                lines, built = archive_lines(report)
                unsigned_lines, unsigned_built = archive_lines(unsigned_report)
                self.assertEqual(lines, unsigned_lines)
                self.assertLessEqual(abs((built - unsigned_built).total_seconds()), 5)
                self.assertIn("test-checksums", report["flags"])

                self.install_and_remove(setup, open(source, "rb").read()[:int(unsigned_report["program"].split()[0])])

    def install_and_remove(self, setup, unsigned_program):
        with wine.Prefix(name="signed") as prefix:
            before = files_of(prefix)
            shutil.copy(setup, os.path.join(prefix.drive_c, "Setup.exe"))
            result = prefix.run([os.path.join(prefix.drive_c, "Setup.exe"), "/a"], timeout=180)
            self.assertEqual(result.returncode, FINISHED, result.stdout + result.stderr)
            settle(prefix)
            with open(prefix.host_path(INSTALL + "\\app.txt"), "rb") as f:
                self.assertEqual(f.read(), MARKER + b"\r\n")
            with open(prefix.host_path(INSTALL + "\\data.bin"), "rb") as f:
                self.assertEqual(f.read(), open(os.path.join(self.work, "data.bin"), "rb").read())
            # The uninstaller is the program without its signature: CheckSum
            # and certificate entry zero, else byte for byte the unsigned program.
            uninstaller = open(prefix.host_path(UNINSTALL + "\\Uninstall.EXE"), "rb").read()
            self.assertEqual(signer_fields(uninstaller), (0, 0, 0))
            self.assertEqual(uninstaller, cleared(unsigned_program))
            self.assertIsNotNone(reg_values(prefix, UNINSTALL_KEY))

            result = uninstall(prefix)
            self.assertEqual(result.returncode, FINISHED, result.stdout + result.stderr)
            self.assertEqual(files_of(prefix) - before - {"C:\\Setup.exe"}, set())
            self.assertIsNone(reg_values(prefix, UNINSTALL_KEY))

    def test_a_payload_byte_changed_after_signing_is_refused(self):
        setup = self.build("Signed.exe", "--sign", self.cert, self.key)
        code, report, _ = inspect(setup)
        self.assertEqual(code, 0)
        self.assertIn("test-checksums", report["flags"])
        data = bytearray(open(setup, "rb").read())
        at = data.index(MARKER)
        self.assertLess(at, int(report["archiveEnd"]))
        data[at + 3] ^= 0x20
        damaged = os.path.join(self.work, "Damaged.exe")
        with open(damaged, "wb") as f:
            f.write(data)

        code, output = self.verify(damaged)
        self.assertNotEqual(code, 0, output)
        self.assertIn("MISMATCH", output)
        self.assertEqual(inspect(damaged)[0], 55)
        text, exit_code, placed, registered = run_fatal(self, damaged)
        self.assertEqual(exit_code, FATAL)
        self.assertIn("Error code: 55", text or "")
        self.assertEqual(placed, [])


class GoldenUnsignedInstaller(unittest.TestCase):
    """An installer built by qpack before signed installers were read (its
    program is the stub of that time): the reader of today reads it, and it
    installs and uninstalls."""

    SETUP = os.path.join(GOLDEN, "unsigned-x86.exe" if wine.STUB == wine.STUB32 else "unsigned-x64.exe")
    FOLDER = "C:\\QP Golden"

    def test_golden_installer_reads_installs_and_uninstalls(self):
        code, report, text = inspect(self.SETUP)
        self.assertEqual(code, 0, text)
        self.assertEqual(report["signature"], "none")
        self.assertEqual(int(report["archiveEnd"]), os.path.getsize(self.SETUP))
        with open(os.path.join(GOLDEN, "files", "golden.txt"), "rb") as f:
            contents = f.read()
        with wine.Prefix(name="golden") as prefix:
            before = files_of(prefix)
            shutil.copy(self.SETUP, os.path.join(prefix.drive_c, "Setup.exe"))
            shutil.copy(DUMP, prefix.drive_c)
            # Today's reader, checksums tested (the archive's flag 0x800).
            dumped = prefix.run([os.path.join(prefix.drive_c, "archive_dump.exe"), "Setup.exe"], cwd=prefix.drive_c)
            self.assertEqual(dumped.returncode, 0, dumped.stdout[-2000:] + dumped.stderr[-2000:])
            read_back = parse_report(dumped.stdout)
            self.assertEqual(read_back["result"], "sound")
            self.assertEqual(read_back["programChecksum"], report["programChecksum"])
            self.assertEqual(read_back["flags"], report["flags"].split()[0])

            result = prefix.run([os.path.join(prefix.drive_c, "Setup.exe"), "/a"], timeout=180)
            self.assertEqual(result.returncode, FINISHED, result.stdout + result.stderr)
            settle(prefix)
            with open(prefix.host_path(self.FOLDER + "\\golden.txt"), "rb") as f:
                self.assertEqual(f.read(), contents)
            result = uninstall(prefix, name="QP Golden", program=self.FOLDER + "\\Uninstall\\Uninstall.EXE")
            self.assertEqual(result.returncode, FINISHED, result.stdout + result.stderr)
            left = files_of(prefix) - before - {"C:\\Setup.exe", "C:\\archive_dump.exe"}
            self.assertEqual(left, set())


if __name__ == "__main__":
    unittest.main()

"""Damaged archives under Wine: each one, crafted here byte by byte around
the real program, shows the built-in corrupt-archive text with its code in a
"FATAL ERROR" box and ends with exit code 2. Damage in the header is read by
the installer itself; damage in the payload and records by the program's
reader in the archive_dump helper (the installation run's own payload read
is test_payload_damage.py's).
Missing and empty volumes: the disk prompt, its cancel question, and the
fatal reports."""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import wine  # noqa: E402

DUMP = os.path.join(wine.BUILD_WIN, "tests", "archive_dump.exe")
QPACK = os.path.join(wine.BUILD_HOST, "tools", "qpack", "qpack")

CORRUPT = ("This self-extracting archive is corrupt.  This is often caused by a virus on your computer.  "
           "The installation cannot proceed.\r\n\r\nCheck your system for viruses, then ask your vendor to "
           "send you a replacement.\r\n\r\nError code: %d")

MAGIC = 12345678
END_MARKER = 0xD3E82B97
TEST_CHECKSUMS = 0x800
COMPRESSED_PAYLOAD = 0x20


def checksum(data):
    total = 0x79E2BC9D
    n = len(data)
    if n < 1:
        return total
    words = n // 4
    for (word,) in struct.iter_unpack("<I", data[:words * 4]):
        total += word
    for byte in data[words * 4:]:
        total += byte - 256 if byte >= 0x80 else byte
    return (total + n) & 0xFFFFFFFF


def scramble(data, key):
    k = struct.pack("<I", key)
    return bytes(b ^ k[i % 4] for i, b in enumerate(data))


def text(s):
    return s.encode("cp1252") + b"\0"


def record(name, contents, kind=0, flags=0, stored_checksum=None):
    cs = checksum(contents) if stored_checksum is None else stored_checksum
    return (text(name) + struct.pack("<ii", kind, flags) + contents + struct.pack("<I", cs)
            + struct.pack("<6i", 2020, 1, 2, 3, 4, 5) + text(""))


class Archive:
    """One archive's fields, written in the reader's order; every field can be damaged."""

    def __init__(self, program):
        self.program = program
        self.flags = TEST_CHECKSUMS
        self.contents = b"hello"
        self.records = None  # default: one sound record of contents
        self.file_sizes = None
        self.payload = None
        self.payload_length = None
        self.payload_checksum = None
        self.program_checksum = None
        self.language_count = 1
        self.string_count = 60
        self.end_marker = END_MARKER
        self.key = None
        self.header_length = None
        self.trailer = None
        self.magic = MAGIC

    def payload_bytes(self):
        if self.payload is not None:
            return self.payload
        return self.records if self.records is not None else record("a.txt", self.contents)

    def header(self, payload):
        sizes = self.file_sizes if self.file_sizes is not None else [len(self.contents)]
        h = struct.pack("<I", self.flags) + struct.pack("<6i", 2021, 1, 1, 0, 0, 0)
        h += struct.pack("<I", checksum(self.program) if self.program_checksum is None else self.program_checksum)
        h += struct.pack("<i", len(sizes)) + b"".join(struct.pack("<i", s) for s in sizes)
        h += struct.pack("<i", len(payload) if self.payload_length is None else self.payload_length)
        h += struct.pack("<I", checksum(payload) if self.payload_checksum is None else self.payload_checksum)
        for s in ("Pub", "Damaged", "", "Damaged", "1.0", "", "", "", ""):
            h += text(s)
        h += struct.pack("<III", 0, 0, 0) + struct.pack("<i", 0)
        h += text("") * 5 + bytes([1, 1]) + struct.pack("<h", 2021)
        h += bytes([self.language_count]) + struct.pack("<i", self.string_count)
        h += text("English") * self.language_count
        # Empty messages: every report shows the built-in text.
        h += text("") * (self.language_count * min(max(self.string_count, 0), 10000))
        return h + struct.pack("<I", self.end_marker)

    def bytes(self):
        payload = self.payload_bytes()
        plain = self.header(payload)
        key = checksum(plain) if self.key is None else self.key
        image = scramble(plain, key)
        length = len(image) if self.header_length is None else self.header_length
        trailer = len(self.program) if self.trailer is None else self.trailer
        return (self.program + struct.pack("<IiI", self.magic, length, key & 0xFFFFFFFF) + image + payload
                + struct.pack("<i", trailer))


def box_text(rows):
    texts = [t for kind, ident, t in rows if kind == "Static" and ident == 0xFFFF]
    return texts[0] if texts else None


def program_bytes():
    with open(wine.STUB, "rb") as f:
        stub = f.read()
    assert stub[-4:] == b"\0\0\0\0", "the bare stub ends in a zero trailer"
    return stub[:-4]


class CorruptArchives(unittest.TestCase):
    def run_damaged(self, data, use_dump):
        with wine.Prefix(gui=True, name="corrupt") as prefix:
            folder = os.path.join(prefix.drive_c, "inst")
            os.makedirs(folder)
            with open(os.path.join(folder, "Setup.exe"), "wb") as f:
                f.write(data)
            if use_dump:
                shutil.copy(DUMP, folder)
                args = [os.path.join(folder, "archive_dump.exe"), "Setup.exe"]
            else:
                args = [os.path.join(folder, "Setup.exe")]
            process = prefix.start(args, cwd=folder)
            rows = prefix.window_texts("FATAL ERROR")
            code, _, err = prefix.driver("press", "FATAL ERROR", "OK")
            self.assertEqual(code, 0, err)
            return box_text(rows), prefix.wait(process)

    def test_each_damage_shows_its_code(self):
        program = program_bytes()

        def damaged(change):
            archive = Archive(program)
            change(archive)
            return archive.bytes()

        def set_attr(name, value):
            return lambda a: setattr(a, name, value)

        def two(*changes):
            return lambda a: [c(a) for c in changes]

        header_cases = [
            (10, set_attr("trailer", -5)),
            (10, set_attr("trailer", 0x7FFFFFF0)),
            (20, set_attr("trailer", 100)),
            (20, set_attr("magic", MAGIC + 1)),
            (22, set_attr("header_length", 0)),
            (22, set_attr("header_length", -7)),
            (25, lambda a: setattr(a, "key", checksum(a.header(a.payload_bytes())) + 1)),
            (27, two(set_attr("file_sizes", []), set_attr("flags", 0))),
            (28, set_attr("file_sizes", [5, -1])),
            (29, set_attr("payload_length", 0)),
            (30, set_attr("language_count", 0)),
            (31, set_attr("string_count", 10001)),
            (32, set_attr("end_marker", END_MARKER ^ 1)),
            (40, set_attr("program_checksum", 1)),
            (45, set_attr("header_length", 0x7FFFFFF0)),
        ]
        payload_cases = [
            (55, set_attr("payload_checksum", 1)),
            (60, set_attr("flags", TEST_CHECKSUMS | COMPRESSED_PAYLOAD)),
            (70, set_attr("records", record("..\\outside.txt", b"hello"))),
            (70, set_attr("records", record("", b"hello"))),
            (90, set_attr("file_sizes", [50])),
            (100, set_attr("records", record("a.txt", b"hello", stored_checksum=7))),
        ]
        for use_dump, cases in ((False, header_cases), (True, payload_cases)):
            for code, change in cases:
                with self.subTest(code=code, reader="helper" if use_dump else "installer"):
                    text_shown, exit_code = self.run_damaged(damaged(change), use_dump)
                    self.assertEqual(text_shown, CORRUPT % code)
                    self.assertEqual(exit_code, 2)

    def test_sound_crafted_archive_is_read_to_the_end(self):
        # The crafted form itself is sound: the helper reads it without a box.
        archive = Archive(program_bytes())
        with wine.Prefix(name="corrupt") as prefix:
            folder = os.path.join(prefix.drive_c, "inst")
            os.makedirs(folder)
            with open(os.path.join(folder, "Setup.exe"), "wb") as f:
                f.write(archive.bytes())
            shutil.copy(DUMP, folder)
            result = prefix.run([os.path.join(folder, "archive_dump.exe"), "Setup.exe"], cwd=folder)
        self.assertEqual(result.returncode, 0, result.stdout[-1000:])
        self.assertIn('file.0.name: "a.txt"', result.stdout)
        self.assertIn("result: sound", result.stdout)


class Volumes(unittest.TestCase):
    """An installer whose payload continues in Disk2.QPK, read by the helper."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="qp-volumes.")
        with open(os.path.join(cls.work, "noise.bin"), "wb") as f:
            f.write(os.urandom(30000))
        cls.builds = {}
        for name, flags in (("asking", ""), ("automatic", "automatic = yes\n")):
            folder = os.path.join(cls.work, name)
            os.makedirs(folder)
            shutil.copy(os.path.join(cls.work, "noise.bin"), folder)
            project = os.path.join(folder, "v.qpp")
            with open(project, "w") as f:
                # Room for the program, the header and part of the file: the rest goes to Disk2.QPK.
                volume_size = os.path.getsize(wine.STUB) + 20 * 1024
                f.write("[Product]\nName = Volume Test\n[Flags]\n" + flags +
                        f"[Build]\nVolumeSize = {volume_size}\n[Files]\nnoise.bin\n")
            out = os.path.join(folder, "out")
            os.makedirs(out)
            result = subprocess.run([QPACK, "build", project, "-o", os.path.join(out, "Setup.exe"), "--stub",
                                     wine.STUB], capture_output=True, text=True)
            assert result.returncode == 0, result.stderr
            assert sorted(os.listdir(out)) == ["Disk2.QPK", "Setup.exe"], os.listdir(out)
            cls.builds[name] = out

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, True)

    def start_without_volume(self, prefix, build, volume_bytes=None):
        folder = os.path.join(prefix.drive_c, "inst")
        os.makedirs(folder)
        shutil.copy(os.path.join(self.builds[build], "Setup.exe"), folder)
        shutil.copy(DUMP, folder)
        if volume_bytes is not None:
            with open(os.path.join(folder, "Disk2.QPK"), "wb") as f:
                f.write(volume_bytes)
        return folder, prefix.start([os.path.join(folder, "archive_dump.exe"), "Setup.exe"], cwd=folder)

    def test_missing_volume_prompts_and_continues_once_it_is_there(self):
        with wine.Prefix(gui=True, name="volume") as prefix:
            folder, process = self.start_without_volume(prefix, "asking")
            rows = prefix.window_texts("Next Disk Needed")
            self.assertEqual(box_text(rows), "Please insert disk 2 of the installation into drive C:, or copy its "
                                             "file next to the installer, then click OK.")
            self.assertEqual([t for k, _, t in rows if k == "Button"], ["OK", "Cancel"])
            # OK while the volume is still missing asks again.
            self.assertEqual(prefix.driver("press", "Next Disk Needed", "OK")[0], 0)
            prefix.window_texts("Next Disk Needed")
            shutil.copy(os.path.join(self.builds["asking"], "Disk2.QPK"), folder)
            self.assertEqual(prefix.driver("press", "Next Disk Needed", "OK")[0], 0)
            self.assertEqual(prefix.wait(process), 0)

    def test_cancel_asks_and_yes_ends_the_run(self):
        with wine.Prefix(gui=True, name="volume") as prefix:
            _, process = self.start_without_volume(prefix, "asking")
            prefix.window_texts("Next Disk Needed")
            self.assertEqual(prefix.driver("press", "Next Disk Needed", "Cancel")[0], 0)
            rows = prefix.window_texts("Volume Test Setup")
            self.assertEqual(box_text(rows), "Do you really want to cancel the installation of Volume Test?")
            # No returns to the disk prompt; Cancel and Yes then end the run as cancelled.
            self.assertEqual(prefix.driver("press", "Volume Test Setup", "No")[0], 0)
            prefix.window_texts("Next Disk Needed")
            self.assertEqual(prefix.driver("press", "Next Disk Needed", "Cancel",
                                           "wait", "Volume Test Setup", 20000,
                                           "press", "Volume Test Setup", "Yes")[0], 0)
            self.assertEqual(prefix.wait(process), 1)

    def test_missing_volume_in_automatic_mode_and_empty_volume_are_fatal(self):
        cases = [("automatic", None, "The file C:\\inst\\Disk2.QPK is missing."),
                 ("asking", b"", "The file C:\\inst\\Disk2.QPK is empty.")]
        for build, volume, expected in cases:
            with self.subTest(build=build), wine.Prefix(gui=True, name="volume") as prefix:
                _, process = self.start_without_volume(prefix, build, volume)
                rows = prefix.window_texts("FATAL ERROR")
                self.assertEqual(box_text(rows), expected)
                self.assertEqual(prefix.driver("press", "FATAL ERROR", "OK")[0], 0)
                self.assertEqual(prefix.wait(process), 2)

    def test_disk_prompt_that_cannot_be_shown_counts_as_cancel(self):
        # Without a display no box can be shown: the run ends instead of asking forever.
        with wine.Prefix(gui=False, name="volume") as prefix:
            folder = os.path.join(prefix.drive_c, "inst")
            os.makedirs(folder)
            shutil.copy(os.path.join(self.builds["asking"], "Setup.exe"), folder)
            shutil.copy(DUMP, folder)
            result = prefix.run([os.path.join(folder, "archive_dump.exe"), "Setup.exe"], cwd=folder, timeout=60)
        self.assertEqual(result.returncode, 1)


if __name__ == "__main__":
    unittest.main()

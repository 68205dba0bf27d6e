"""Damage that only the installation run finds: real installers built by
qpack, damaged in their payload, file records or volumes, then run in
automatic mode under Xvfb. The fatal box must show (automatic mode hides
every other box, never this one), with the archive's own message 13 as its
text now that the string table is loaded, and the run must end with exit
code 2 before any file of the archive is placed or the product registered.
(Damage in the container and the header is test_archive_corrupt.py's.)"""

import copy
import os
import shutil
import struct
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import wine  # noqa: E402
from installer_image import (RANGE_ENTRY_SIZE, RANGE_HEAD_SIZE, TEST_CHECKSUMS, InstallerImage,  # noqa: E402
                             range_image, range_segments)
from test_archive_corrupt import box_text  # noqa: E402
from test_install_run import FATAL, INSTALL, QUESTION, UNINSTALL_KEY, Installer, project, reg_values  # noqa: E402

# Message 13 of the installers below: the payload is read after the string
# table, so this text, not the built-in one, must frame the code.
DAMAGED = "Damaged installer (code %d)."
MESSAGES = "13 = " + DAMAGED + "\n"
FILES = {"app.txt": "the app", "data.txt": "data " * 40}
# A last token cut off: a short literal of one byte, without its byte.
CUT_OFF_TOKEN = bytes([0x41])
RANGE_PAYLOAD = 0x100000
# The payload's codecs: stored, token image, range image.
STORED, FAST, SMALL = None, "fast", "small"


def damaged_project(codec=STORED, files=FILES):
    flags = ("register-product", "always-write-log") + (("compressed-payload",) if codec else ())
    body = (f"[Languages]\nEnglish = texts.msg\n[Build]\nCompressHeader = no\nCodec = {codec or FAST}\n[Files]\n"
            + "".join(f"{name}\n" for name in files))
    return project(body, flags=flags)


def header_into_trailer(image):
    # The header claims the payload and one byte of the trailer as its own:
    # it is still read whole, so only the payload read can tell. (Its
    # checksum cannot cover bytes scrambled with itself: switched off.)
    image.flags &= ~TEST_CHECKSUMS
    image.header_length = len(image.header) + len(image.payload) + 1


def flip_payload_byte(image):
    image.payload[image.records()[0].contents_at] ^= 0x20


def cut_off_last_token(image):
    # All between the header and the trailer is payload: the longer image
    # is read and checksummed as it stands.
    image.payload += CUT_OFF_TOKEN
    image.fix_payload_checksum()


def rename_first_record(rename):
    # The name keeps its length, so that every later field stays in place.
    def change(image):
        place = image.records()[0]
        name = bytes(image.payload[place.name_at:place.kind_at - 1])
        image.payload[place.name_at:place.kind_at - 1] = rename(name)
        image.fix_payload_checksum()
    return change


def grow_first_file(image):
    image.set_file_size(0, len(image.payload))


def flip_contents_byte(image):
    flip_payload_byte(image)
    image.fix_payload_checksum()


def set_first_record(field, value):
    def change(image):
        struct.pack_into("<i", image.payload, getattr(image.records()[0], field), value)
        image.fix_payload_checksum()
    return change


def set_range_flag(on):
    def change(image):
        image.flags = image.flags | RANGE_PAYLOAD if on else image.flags & ~RANGE_PAYLOAD
    return change


def set_payload(image, payload):
    # The stored checksum and length made to match: only expansion can tell.
    image.payload = payload
    image.fix_payload_length()
    image.fix_payload_checksum()


def flip_coded_byte(image):
    segment = range_segments(image.payload)[0]
    image.payload[len(image.payload) - len(segment.coded) // 2] ^= 0x10


def cut_segment_table(image):
    set_payload(image, image.payload[:RANGE_HEAD_SIZE + RANGE_ENTRY_SIZE // 2])


def forge_expanded_size(image):
    payload = bytearray(image.payload)
    struct.pack_into("<i", payload, RANGE_HEAD_SIZE, struct.unpack_from("<i", payload, RANGE_HEAD_SIZE)[0] + 1)
    set_payload(image, payload)


def end_coded_bytes_early(index):
    # The table agrees with the shorter segment: its decoder must find the end.
    def change(image):
        segments = range_segments(image.payload)
        segment = segments[index]
        segment.coded = segment.coded[:len(segment.coded) // 2]
        set_payload(image, range_image(segments))
    return change


def run_fatal(test, setup_exe, volumes=None):
    """Runs the installer with /a, reads the fatal box and presses OK;
    returns (its text, exit code, files in the installation folder, whether
    the product is registered). `volumes`: name to bytes, or to a size for
    a file of zeros that takes no room on the disk."""
    with wine.Prefix(gui=True, name="damage") as prefix:
        shutil.copy(setup_exe, os.path.join(prefix.drive_c, "Setup.exe"))
        for name, data in (volumes or {}).items():
            with open(os.path.join(prefix.drive_c, name), "wb") as f:
                if isinstance(data, int):
                    f.truncate(data)
                else:
                    f.write(data)
        process = prefix.start([os.path.join(prefix.drive_c, "Setup.exe"), "/a"], cwd=prefix.drive_c)
        rows = prefix.window_texts("FATAL ERROR")
        code, _, err = prefix.driver("press", "FATAL ERROR", "OK")
        test.assertEqual(code, 0, err)
        exit_code = prefix.wait(process)
        folder = prefix.host_path(INSTALL)
        placed = sorted(os.listdir(folder)) if os.path.isdir(folder) else []
        return box_text(rows), exit_code, placed, reg_values(prefix, UNINSTALL_KEY) is not None


class PayloadDamage(unittest.TestCase):
    def build(self, codec, files=FILES):
        contents = {name: FILES[name] for name in files}
        return Installer(self, damaged_project(codec, files), dict(contents, **{"texts.msg": MESSAGES}))

    def two_segment_image(self):
        """A range payload of two segments, each the image of one record:
        segment 1 expands on a thread of its own. (qpack cuts only large
        payloads; the records of two one-file builds are put together.)"""
        image = InstallerImage.read(self.build(SMALL).setup)
        segments = [range_segments(InstallerImage.read(self.build(SMALL, [name]).setup).payload)[0] for name in FILES]
        set_payload(image, range_image(segments))
        return image

    def images(self):
        images = {codec: InstallerImage.read(self.build(codec).setup) for codec in (STORED, FAST, SMALL)}
        images["two segments"] = self.two_segment_image()
        return images

    def test_each_damage_is_fatal_with_its_code(self):
        cases = [
            # (code, what is damaged, payload's codec, change)
            (45, "header reaching into the trailer", STORED, header_into_trailer),
            (55, "payload byte, checksum left", STORED, flip_payload_byte),
            (55, "coded byte of a range image, checksum left", SMALL, flip_coded_byte),
            (60, "compressed image whose last token is cut off", FAST, cut_off_last_token),
            (60, "range image's segment table cut off", SMALL, cut_segment_table),
            (60, "range image's expanded size forged", SMALL, forge_expanded_size),
            (60, "range segment whose coded bytes end early", SMALL, end_coded_bytes_early(0)),
            (60, "second range segment whose coded bytes end early", "two segments", end_coded_bytes_early(1)),
            (60, "token image flagged as a range image", FAST, set_range_flag(True)),
            (60, "range image not flagged as one", SMALL, set_range_flag(False)),
            (70, "record name with ..", STORED, rename_first_record(lambda name: b"..\\" + name[3:])),
            (70, "empty record name", STORED, rename_first_record(lambda name: b"\0" + name[1:])),
            (90, "file size past the payload's end", STORED, grow_first_file),
            (100, "contents byte, payload checksum fixed", STORED, flip_contents_byte),
            (110, "location kind 3", STORED, set_first_record("kind_at", 3)),
            (112, "placement mode 4", STORED, set_first_record("flags_at", 4)),
        ]
        images = self.images()
        work = tempfile.mkdtemp(prefix="qp-damage.")
        self.addCleanup(shutil.rmtree, work, True)
        for code, what, codec, change in cases:
            with self.subTest(code=code, damage=what):
                image = copy.deepcopy(images[codec])
                change(image)
                path = os.path.join(work, f"damaged-{code}.exe")
                image.write(path)
                text, exit_code, placed, registered = run_fatal(self, path)
                self.assertEqual(text, DAMAGED % code)
                self.assertEqual(exit_code, FATAL)
                # Every damage lies in front of the first file placed.
                self.assertEqual(placed, [])
                self.assertFalse(registered)

    def test_sound_build_installs(self):
        # The same images undamaged: what the cases above break was sound.
        work = tempfile.mkdtemp(prefix="qp-damage.")
        self.addCleanup(shutil.rmtree, work, True)
        for codec, image in self.images().items():
            with self.subTest(codec=codec), wine.Prefix(name="damage-sound") as prefix:
                setup = os.path.join(prefix.drive_c, "Setup.exe")
                image.write(setup)
                result = prefix.run([setup, "/a"])
                self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
                for name, text in FILES.items():
                    with open(prefix.host_path(INSTALL + "\\" + name)) as f:
                        self.assertEqual(f.read(), text)


class VolumeAtPayloadTime(unittest.TestCase):
    """The installer's own payload read of Disk2.QPK: missing in automatic
    mode, empty, far too large or one byte too long, it is fatal and nothing
    is placed; in an interactive run the disk prompt waits until the volume
    is there; and a payload that lies wholly in the volume is read from it."""

    def setUp(self):
        self.noise = os.urandom(30000)
        # Room for the program, the header and part of the file: the rest goes to Disk2.QPK.
        volume_size = os.path.getsize(wine.STUB) + 20 * 1024
        body = (f"[Languages]\nEnglish = texts.msg\n[Build]\nCompressHeader = no\nVolumeSize = {volume_size}\n"
                "[Files]\nnoise.bin\n")
        self.setup = Installer(self, project(body), {"noise.bin": self.noise, "texts.msg": MESSAGES})
        self.assertEqual(self.setup.volumes(), ["Disk2.QPK"])
        with open(os.path.join(self.setup.out, "Disk2.QPK"), "rb") as f:
            self.volume = f.read()

    def test_unusable_volume_is_fatal(self):
        cases = [
            ({}, "The file C:\\Disk2.QPK is missing."),
            ({"Disk2.QPK": b""}, "The file C:\\Disk2.QPK is empty."),
            # More than any payload may hold: refused before it is read.
            ({"Disk2.QPK": 1 << 30}, DAMAGED % 50),
            # A volume is read whole: a byte too many is in the checksum.
            ({"Disk2.QPK": self.volume + b"\0"}, DAMAGED % 55),
        ]
        for volumes, expected in cases:
            with self.subTest(volumes={name: len(data) if isinstance(data, bytes) else data
                                       for name, data in volumes.items()}):
                text, exit_code, placed, registered = run_fatal(self, self.setup.setup, volumes)
                self.assertEqual(text, expected)
                self.assertEqual(exit_code, FATAL)
                self.assertEqual(placed, [])
                self.assertFalse(registered)

    def test_payload_wholly_in_the_volume_installs(self):
        # The installer itself holds no payload byte: the read goes straight on to Disk2.QPK.
        image = InstallerImage.read(self.setup.setup)
        volume = bytes(image.payload) + self.volume
        image.payload = bytearray()
        with wine.Prefix(name="damage-volume") as prefix:
            image.write(os.path.join(prefix.drive_c, "Setup.exe"))
            with open(os.path.join(prefix.drive_c, "Disk2.QPK"), "wb") as f:
                f.write(volume)
            result = prefix.run([os.path.join(prefix.drive_c, "Setup.exe"), "/a"])
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
            with open(prefix.host_path(INSTALL + "\\noise.bin"), "rb") as f:
                self.assertEqual(f.read(), self.noise)

    def test_disk_prompt_waits_for_the_volume_then_the_installation_goes_on(self):
        prompt = "Next Disk Needed"
        with wine.Prefix(gui=True, name="damage-prompt") as prefix:
            shutil.copy(self.setup.setup, prefix.drive_c)
            process = prefix.start([os.path.join(prefix.drive_c, "Setup.exe")])
            code, _, err = prefix.driver("wait", QUESTION, 20000, "press", QUESTION, "Yes")
            self.assertEqual(code, 0, err)
            self.assertEqual(box_text(prefix.window_texts(prompt)),
                             "Please insert disk 2 of the installation into drive C:, or copy its file next to the "
                             "installer, then click OK.")
            # Nothing is placed before the whole payload is in.
            self.assertEqual(os.listdir(prefix.host_path(INSTALL)), [])
            shutil.copy(os.path.join(self.setup.out, "Disk2.QPK"), prefix.drive_c)
            for step in [("press", prompt, "OK"),
                         ("wait", "Installation Complete", 30000, "press", "Installation Complete", "OK")]:
                code, _, err = prefix.driver(*step)
                self.assertEqual(code, 0, f"{step}: {err}")
            self.assertEqual(prefix.wait(process), 0)
            with open(prefix.host_path(INSTALL + "\\noise.bin"), "rb") as f:
                self.assertEqual(f.read(), self.noise)


if __name__ == "__main__":
    unittest.main()

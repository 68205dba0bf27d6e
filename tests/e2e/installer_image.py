"""A built installer taken apart, so that a test can damage one field of a
real archive and put it together again: the container, the leading fields
of an uncompressed header, the payload with its file records, and a range
image's head and segment table."""

import struct
from dataclasses import dataclass

from test_archive_corrupt import checksum, scramble

COMPRESSED_IMAGE_MAGIC = 0x9EC72BA1
RANGE_IMAGE_MAGIC = 0x52C95A17
# A range image's head (magic, expanded size, segment count) and each
# segment's entry behind it (expanded size, packed size); the segments'
# coded bytes follow the table in order.
RANGE_HEAD_SIZE = 12
RANGE_ENTRY_SIZE = 8
TEST_CHECKSUMS = 0x800
DATE_TIME_SIZE = 24
# Header fields in front of the file sizes: flags, uninstallerTime, programChecksum.
FILE_COUNT_AT = 4 + DATE_TIME_SIZE + 4


@dataclass
class RecordPlace:
    """Where one file record's fields lie in the payload."""
    name_at: int
    kind_at: int
    flags_at: int
    contents_at: int


class InstallerImage:
    def __init__(self, data):
        program_length = struct.unpack_from("<i", data, len(data) - 4)[0]
        self.program = data[:program_length]
        magic, header_length, key = struct.unpack_from("<IiI", data, program_length)
        assert magic == 12345678, magic
        start = program_length + 12
        self.header = bytearray(scramble(data[start:start + header_length], key))
        # The fields below are found by position: build with CompressHeader = no.
        assert struct.unpack_from("<I", self.header)[0] != COMPRESSED_IMAGE_MAGIC, "compressed header"
        self.payload = bytearray(data[start + header_length:-4])
        self.header_length = None  # as written, unless a test sets another

    @classmethod
    def read(cls, path):
        with open(path, "rb") as f:
            return cls(f.read())

    def write(self, path):
        with open(path, "wb") as f:
            f.write(self.bytes())

    @property
    def flags(self):
        return struct.unpack_from("<I", self.header)[0]

    @flags.setter
    def flags(self, value):
        struct.pack_into("<I", self.header, 0, value)

    @property
    def file_count(self):
        return struct.unpack_from("<i", self.header, FILE_COUNT_AT)[0]

    def file_size_at(self, index):
        return FILE_COUNT_AT + 4 + 4 * index

    def file_sizes(self):
        return [struct.unpack_from("<i", self.header, self.file_size_at(i))[0] for i in range(self.file_count)]

    def set_file_size(self, index, size):
        struct.pack_into("<i", self.header, self.file_size_at(index), size)

    def payload_checksum_at(self):
        return self.file_size_at(self.file_count) + 4

    def fix_payload_checksum(self):
        struct.pack_into("<I", self.header, self.payload_checksum_at(), checksum(bytes(self.payload)))

    def fix_payload_length(self):
        # payloadLength lies right in front of the checksum.
        struct.pack_into("<i", self.header, self.payload_checksum_at() - 4, len(self.payload))

    def records(self):
        """Where each record's fields lie (an uncompressed payload)."""
        places, at = [], 0
        for size in self.file_sizes():
            name_end = self.payload.index(b"\0", at)
            place = RecordPlace(at, name_end + 1, name_end + 5, name_end + 9)
            places.append(place)
            extra_at = place.contents_at + size + 4 + DATE_TIME_SIZE
            at = self.payload.index(b"\0", extra_at) + 1
        return places

    def bytes(self):
        plain = bytes(self.header)
        key = checksum(plain)
        length = len(plain) if self.header_length is None else self.header_length
        return (self.program + struct.pack("<IiI", 12345678, length, key) + scramble(plain, key)
                + bytes(self.payload) + struct.pack("<i", len(self.program)))


@dataclass
class RangeSegment:
    expanded_size: int
    coded: bytes


def range_segments(image):
    """The segments of a sound range image, in order."""
    magic, _, count = struct.unpack_from("<IiI", image)
    assert magic == RANGE_IMAGE_MAGIC, hex(magic)
    segments, at = [], RANGE_HEAD_SIZE + RANGE_ENTRY_SIZE * count
    for i in range(count):
        expanded, packed = struct.unpack_from("<ii", image, RANGE_HEAD_SIZE + RANGE_ENTRY_SIZE * i)
        segments.append(RangeSegment(expanded, bytes(image[at:at + packed])))
        at += packed
    assert at == len(image), (at, len(image))
    return segments


def range_image(segments):
    """A range image of these segments: each expands into its part of the whole."""
    head = struct.pack("<IiI", RANGE_IMAGE_MAGIC, sum(s.expanded_size for s in segments), len(segments))
    table = b"".join(struct.pack("<ii", s.expanded_size, len(s.coded)) for s in segments)
    return bytearray(head + table + b"".join(s.coded for s in segments))

// Signed files: the two PE fields a signer rewrites, the archive's end in
// front of a certificate table (with and without the signer's padding), and
// certificate entries that lie.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "archive/archive_format.h"
#include "archive/pe_signature.h"
#include "host/pe_test_image.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t ProgramSize = 512;
constexpr size_t OptionalAt = TestPeOffset + 24;
constexpr size_t CheckSumAt = OptionalAt + 64;

size_t certificateEntryAt(uint16_t magic) { return OptionalAt + (magic == TestMagicPe32Plus ? 144 : 128); }

// A program whose optional header has all 16 directories.
Bytes program(uint16_t magic) {
    Bytes b = peTestImage(magic == TestMagicPe32Plus ? TestMachineAmd64 : TestMachineI386, magic, ProgramSize);
    putLittleEndian(b, OptionalAt + (magic == TestMagicPe32Plus ? 108 : 92), 16, 4);
    return b;
}

// The program, an archive of `archiveBytes` bytes after the magic, and the trailer.
Bytes installer(uint16_t magic, size_t archiveBytes) {
    Bytes b = program(magic);
    size_t at = b.size();
    b.resize(at + 4 + archiveBytes + TrailerSize, 0x5A);
    putLittleEndian(b, at, ArchiveMagic, 4);
    putLittleEndian(b, b.size() - TrailerSize, uint32_t(at), 4);
    return b;
}

// What a signer does: zero padding to the alignment, the table, both fields.
Bytes signedCopy(Bytes b, uint16_t magic, size_t tableSize = 40) {
    b.resize((b.size() + 7) / 8 * 8, 0);
    size_t table = b.size();
    b.resize(table + tableSize, 0xC3);
    putLittleEndian(b, certificateEntryAt(magic), uint32_t(table), 4);
    putLittleEndian(b, certificateEntryAt(magic) + 4, uint32_t(tableSize), 4);
    putLittleEndian(b, CheckSumAt, 0x0002F1D5, 4);
    return b;
}

void setEntry(Bytes& b, uint16_t magic, uint32_t offset, uint32_t size) {
    putLittleEndian(b, certificateEntryAt(magic), offset, 4);
    putLittleEndian(b, certificateEntryAt(magic) + 4, size, 4);
}

int32_t archiveEnd(Bytes& b) {
    MemoryBlock block{b.data(), int32_t(b.size())};
    return findArchiveEnd(readMemoryAt, &block, int32_t(b.size()));
}

TEST(PeSignature, FieldsLieInTheOptionalHeaderOfBothLayouts) {
    for (uint16_t magic : {TestMagicPe32, TestMagicPe32Plus}) {
        SCOPED_TRACE(magic);
        Bytes b = program(magic);
        MemoryBlock block{b.data(), int32_t(b.size())};
        SignatureFields fields = findSignatureFields(readMemoryAt, &block);
        EXPECT_EQ(fields.checkSumAt, int32_t(CheckSumAt));
        EXPECT_EQ(fields.certificateEntryAt, int32_t(certificateEntryAt(magic)));
    }
}

TEST(PeSignature, HeadersWithoutTheFieldsGiveNone) {
    struct Case {
        const char* name;
        void (*damage)(Bytes&);
        bool checkSum, entry;
    };
    const Case cases[] = {
        {"not MZ", [](Bytes& b) { b[0] = 'Z'; }, false, false},
        {"e_lfanew past the end", [](Bytes& b) { putLittleEndian(b, 0x3C, 0xFFFFFFF0, 4); }, false, false},
        {"no PE signature", [](Bytes& b) { b[TestPeOffset] = 'X'; }, false, false},
        {"unknown optional magic", [](Bytes& b) { putLittleEndian(b, OptionalAt, 0x107, 2); }, false, false},
        {"four directories only", [](Bytes& b) { putLittleEndian(b, OptionalAt + 92, 4, 4); }, true, false},
        {"optional header ends before the entry",
         [](Bytes& b) { putLittleEndian(b, TestPeOffset + 20, 128 + 7, 2); }, true, false},
        {"optional header ends before CheckSum", [](Bytes& b) { putLittleEndian(b, TestPeOffset + 20, 67, 2); }, false,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes b = program(TestMagicPe32);
        c.damage(b);
        MemoryBlock block{b.data(), int32_t(b.size())};
        SignatureFields fields = findSignatureFields(readMemoryAt, &block);
        EXPECT_EQ(fields.checkSumAt >= 0, c.checkSum);
        EXPECT_EQ(fields.certificateEntryAt >= 0, c.entry);
    }
    // Headers cut short anywhere are read no further than they go.
    Bytes whole = program(TestMagicPe32Plus);
    for (size_t length = 0; length < CheckSumAt + 4; ++length) {
        MemoryBlock block{whole.data(), int32_t(length)};
        EXPECT_EQ(findSignatureFields(readMemoryAt, &block).checkSumAt, -1) << length;
    }
}

TEST(PeSignature, TheArchiveEndsWhereTheTableAndItsPaddingBegin) {
    // The trailer names offset 512 (00 02 00 00): its high bytes are zero like
    // padding, so each archive length gives another mix of the two.
    for (uint16_t magic : {TestMagicPe32, TestMagicPe32Plus}) {
        for (size_t archiveBytes = 16; archiveBytes < 24; ++archiveBytes) {
            SCOPED_TRACE(archiveBytes);
            Bytes unsignedFile = installer(magic, archiveBytes);
            Bytes signedFile = signedCopy(unsignedFile, magic);
            EXPECT_EQ(archiveEnd(unsignedFile), int32_t(unsignedFile.size()));
            EXPECT_EQ(archiveEnd(signedFile), int32_t(unsignedFile.size()));
            MemoryBlock block{signedFile.data(), int32_t(signedFile.size())};
            CertificateTable table = findCertificateTable(readMemoryAt, &block, int32_t(signedFile.size()));
            EXPECT_EQ(table.offset, int32_t((unsignedFile.size() + 7) / 8 * 8));
            EXPECT_EQ(table.size, 40);
        }
    }
}

TEST(PeSignature, LyingCertificateEntriesLeaveTheFileAsItIsOrFailTheContainer) {
    const uint16_t magic = TestMagicPe32;
    const Bytes signedFile = signedCopy(installer(magic, 20), magic);
    const uint32_t size = uint32_t(signedFile.size());
    const uint32_t table = size - 40;
    struct Case {
        const char* name;
        uint32_t offset, tableSize;
        int32_t end;  // -1: the file's size
    };
    const Case cases[] = {
        {"size 0", table, 0, -1},
        {"past the end", table, 41, -1},
        {"offset beyond the file", size + 8, 0xFFFFFFFF - size, -1},
        {"wrapping around", 0xFFFFFFF8, size + 8, -1},
        {"not ending the file", table - 8, 40, -1},
        {"offset 0", 0, size, -1},
        // Ends the file but begins inside the archive: no trailer in front of
        // it leads to the magic, so the end stays there and the container
        // checks refuse what they read.
        {"overlapping the archive", uint32_t(ProgramSize + 8), size - uint32_t(ProgramSize + 8),
         int32_t(ProgramSize + 8)},
        {"covering the whole program", 8, size - 8, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes b = signedFile;
        setEntry(b, magic, c.offset, c.tableSize);
        EXPECT_EQ(archiveEnd(b), c.end < 0 ? int32_t(size) : c.end);
    }
}

TEST(PeSignature, PaddingIsOnlyZeroBytesInFrontOfTheTable) {
    // A trailer followed by a non-zero byte and the table: that byte is not
    // padding, so nothing in front of it is taken for the archive's end.
    const uint16_t magic = TestMagicPe32;
    Bytes b = installer(magic, 21);
    b.push_back(0x01);
    b = signedCopy(b, magic);
    EXPECT_EQ(archiveEnd(b), int32_t(b.size() - 40));
}

TEST(PeSignature, ClearingZeroesExactlyTheTwoFields) {
    for (uint16_t magic : {TestMagicPe32, TestMagicPe32Plus}) {
        SCOPED_TRACE(magic);
        Bytes clean = program(magic);
        Bytes signedProgram = signedCopy(clean, magic);
        signedProgram.resize(clean.size());
        ASSERT_NE(signedProgram, clean);
        clearSignatureFields(reinterpret_cast<char*>(signedProgram.data()), int32_t(signedProgram.size()));
        EXPECT_EQ(signedProgram, clean);
    }
    // Program bytes that end inside the fields are left alone there.
    Bytes cut = signedCopy(program(TestMagicPe32), TestMagicPe32);
    cut.resize(CheckSumAt + 2);
    Bytes before = cut;
    clearSignatureFields(reinterpret_cast<char*>(cut.data()), int32_t(cut.size()));
    EXPECT_EQ(cut, before);
}

}  // namespace

#include "archive/pe_signature.h"

#include "archive/archive_format.h"

namespace {

constexpr int32_t DosHeaderPeOffsetAt = 0x3C;
constexpr int32_t FileHeaderSize = 24;  // "PE\0\0" and the COFF file header
constexpr int32_t OptionalHeaderSizeAt = 20;
constexpr int32_t CheckSumAt = 64;      // in the optional header, PE32 and PE32+ alike
constexpr int32_t CertificateEntryIndex = 4;
constexpr int32_t DirectoryEntrySize = 8;

struct PeLayout {
    uint16_t magic;
    int32_t directoryCountAt;  // NumberOfRvaAndSizes, in the optional header
};
constexpr PeLayout Layouts[] = {{0x10B, 92}, {0x20B, 108}};

bool readU32(ReadBytesAt read, void* source, int64_t offset, uint32_t& value) {
    unsigned char b[4];
    if (offset < 0 || offset > INT32_MAX - 4 || !read(source, int32_t(offset), b, 4)) return false;
    value = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    return true;
}

// The trailer in front of `end` names an offset where the archive magic lies.
bool leadsToArchive(ReadBytesAt read, void* source, int32_t end) {
    uint32_t offset = 0, magic = 0;
    return readU32(read, source, int64_t(end) - TrailerSize, offset) && offset > 0 &&
           int64_t(offset) + ContainerPrefixSize <= int64_t(end) - TrailerSize &&
           readU32(read, source, offset, magic) && magic == ArchiveMagic;
}

}  // namespace

bool readMemoryAt(void* block, int32_t offset, void* buffer, int32_t length) {
    const MemoryBlock& b = *static_cast<const MemoryBlock*>(block);
    if (offset < 0 || length < 0 || length > b.length - offset) return false;
    const unsigned char* from = static_cast<const unsigned char*>(b.bytes) + offset;
    unsigned char* to = static_cast<unsigned char*>(buffer);
    for (int32_t i = 0; i < length; ++i) to[i] = from[i];
    return true;
}

SignatureFields findSignatureFields(ReadBytesAt read, void* source) {
    SignatureFields fields;
    uint32_t mz = 0, peAt = 0, signature = 0, sizes = 0, magic = 0;
    if (!readU32(read, source, 0, mz) || (mz & 0xFFFF) != 0x5A4D) return fields;  // "MZ"
    if (!readU32(read, source, DosHeaderPeOffsetAt, peAt)) return fields;
    if (!readU32(read, source, peAt, signature) || signature != 0x00004550) return fields;  // "PE\0\0"
    if (!readU32(read, source, int64_t(peAt) + OptionalHeaderSizeAt, sizes)) return fields;
    const int64_t optional = int64_t(peAt) + FileHeaderSize;
    const int64_t optionalSize = sizes & 0xFFFF;
    if (!readU32(read, source, optional, magic)) return fields;
    // A field counts only when its bytes can be read, so that whoever writes
    // to it stays inside the file.
    uint32_t value = 0;
    for (const PeLayout& layout : Layouts) {
        if ((magic & 0xFFFF) != layout.magic) continue;
        if (CheckSumAt + 4 <= optionalSize && readU32(read, source, optional + CheckSumAt, value))
            fields.checkSumAt = int32_t(optional + CheckSumAt);
        uint32_t directories = 0;
        const int64_t entryAt = layout.directoryCountAt + 4 + int64_t(CertificateEntryIndex) * DirectoryEntrySize;
        if (layout.directoryCountAt + 4 <= optionalSize &&
            readU32(read, source, optional + layout.directoryCountAt, directories) &&
            directories > uint32_t(CertificateEntryIndex) && entryAt + DirectoryEntrySize <= optionalSize &&
            readU32(read, source, optional + entryAt + 4, value))
            fields.certificateEntryAt = int32_t(optional + entryAt);
    }
    return fields;
}

CertificateTable findCertificateTable(ReadBytesAt read, void* source, int32_t fileSize) {
    CertificateTable table;
    SignatureFields fields = findSignatureFields(read, source);
    uint32_t offset = 0, size = 0;
    if (fields.certificateEntryAt < 0 || !readU32(read, source, fields.certificateEntryAt, offset) ||
        !readU32(read, source, int64_t(fields.certificateEntryAt) + 4, size))
        return table;
    if (size == 0 || offset == 0 || int64_t(offset) + size != fileSize) return table;
    table.offset = int32_t(offset);
    table.size = int32_t(size);
    return table;
}

int32_t findArchiveEnd(ReadBytesAt read, void* source, int32_t fileSize) {
    CertificateTable table = findCertificateTable(read, source, fileSize);
    if (table.size == 0) return fileSize;
    for (int32_t end = table.offset; end > table.offset - SignerAlignment && end >= TrailerSize; --end) {
        if (end < table.offset) {
            unsigned char padding = 1;
            if (!read(source, end, &padding, 1) || padding != 0) break;
        }
        if (leadsToArchive(read, source, end)) return end;
    }
    return table.offset;
}

void clearSignatureFields(char* program, int32_t length) {
    MemoryBlock block{program, length};
    SignatureFields fields = findSignatureFields(readMemoryAt, &block);
    if (fields.checkSumAt >= 0)
        for (int i = 0; i < 4; ++i) program[fields.checkSumAt + i] = 0;
    if (fields.certificateEntryAt >= 0)
        for (int i = 0; i < DirectoryEntrySize; ++i) program[fields.certificateEntryAt + i] = 0;
}

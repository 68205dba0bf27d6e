// Authenticode signatures on an installer. A signer pads the file with zero
// bytes to a multiple of 8, appends a certificate table, and rewrites two
// fields of the program's PE headers: the optional header's CheckSum and the
// data directory's certificate-table entry (offset, size). These helpers find
// the archive's end in front of such a table and keep both fields out of the
// program bytes. Shared by the program's reader and qpack.
//
// Contract: every byte comes through the caller's read function, which
// refuses what lies outside the file; a hostile entry (size 0, past the end,
// inside the archive, not ending the file) never leads to a read outside it.
#pragma once

#include <cstdint>

// Reads `length` bytes at `offset` into `buffer`; false when the file cannot
// supply all of them.
using ReadBytesAt = bool (*)(void* source, int32_t offset, void* buffer, int32_t length);

// A block in memory as a ReadBytesAt source (readMemoryAt).
struct MemoryBlock {
    const void* bytes;
    int32_t length;
};
bool readMemoryAt(void* block, int32_t offset, void* buffer, int32_t length);

// Where the two fields a signer rewrites lie; -1 when the headers lack one.
struct SignatureFields {
    int32_t checkSumAt = -1;          // 4 bytes
    int32_t certificateEntryAt = -1;  // 8 bytes: the table's file offset, its size
};

SignatureFields findSignatureFields(ReadBytesAt read, void* source);

// The certificate table the headers describe, when it ends the file.
struct CertificateTable {
    int32_t offset = 0;
    int32_t size = 0;  // 0: the file carries no signature
};

CertificateTable findCertificateTable(ReadBytesAt read, void* source, int32_t fileSize);

constexpr int32_t SignerAlignment = 8;

// Where the archive (its trailer included) ends in a file of fileSize bytes:
// the file's end, or for a signed file the table's offset less the zero
// padding in front of it. Padding counts only where the trailer in front of
// it leads to the archive magic, since the trailer's own high bytes are zero
// too; when no candidate does, the table's offset, where the checks of the
// container then fail.
int32_t findArchiveEnd(ReadBytesAt read, void* source, int32_t fileSize);

// Zeroes both fields in program[0, length): the program checksum counts them
// as zero, and the uninstaller written from these bytes is an unsigned program.
void clearSignatureFields(char* program, int32_t length);

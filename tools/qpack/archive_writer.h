// Serialises archive content into the header stream and the payload, in
// the field order and encodings the installer reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qpack/project.h"

using Bytes = std::vector<uint8_t>;

struct ArchiveRecord {
    std::string name;
    int32_t kind = KindInstallFolder;
    int32_t fileFlags = 0;
    Bytes contents;
    ArchiveTime time;
    std::string extra;
};

// Everything an archive carries, resolved: texts read, files listed.
struct ArchiveContent {
    uint32_t flags = 0;
    ArchiveTime uninstallerTime;
    std::string publisher, productName, startMenuFolder, defaultDirectory, productVersion, productRegistryKey,
        licenceText, readmeText, uninstallSubdir;
    uint32_t titleColor = 0, topColor = 0, bottomColor = 0;
    Bytes picture;
    std::string masterProduct;
    std::string scripts[ScriptCount];
    ArchiveDate archiveDate;
    std::vector<std::string> languageNames;
    std::vector<std::vector<std::string>> strings;  // [message number][language]
    std::vector<ArchiveRecord> records;
};

// Little-endian, unaligned values and NUL-terminated texts.
class ByteWriter {
public:
    void u8(uint8_t v) { bytes.push_back(v); }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    void text(const std::string& s);
    void raw(const Bytes& b) { bytes.insert(bytes.end(), b.begin(), b.end()); }
    void time(const ArchiveTime& t);
    void date(const ArchiveDate& d);

    Bytes bytes;
};

// The payload before any compression: every record in order.
Bytes encodeRecords(const std::vector<ArchiveRecord>& records);

// The plain header stream. `storedPayload` is the payload as it lies in the
// archive (compressed or not): its length and checksum go into the header.
Bytes encodePlainHeader(const ArchiveContent& content, uint32_t programChecksum, const Bytes& storedPayload);

uint32_t checksumOf(const Bytes& bytes);

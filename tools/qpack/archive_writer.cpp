#include "qpack/archive_writer.h"

#include <stdexcept>

void ByteWriter::text(const std::string& s) {
    // The reader stops a text at its first NUL; one inside would shift every later field.
    if (s.find('\0') != std::string::npos) throw std::invalid_argument("a text holds a NUL byte");
    bytes.insert(bytes.end(), s.begin(), s.end());
    bytes.push_back(0);
}

void ByteWriter::time(const ArchiveTime& t) {
    for (int32_t v : {t.year, t.month, t.day, t.hour, t.minute, t.second}) i32(v);
}

void ByteWriter::date(const ArchiveDate& d) {
    u8(static_cast<uint8_t>(d.day));
    u8(static_cast<uint8_t>(d.month));
    u8(static_cast<uint8_t>(d.year & 0xFF));
    u8(static_cast<uint8_t>(d.year >> 8 & 0xFF));
}

uint32_t checksumOf(const Bytes& bytes) { return checksum(bytes.data(), static_cast<int>(bytes.size())); }

Bytes encodeRecords(const std::vector<ArchiveRecord>& records) {
    ByteWriter w;
    for (const ArchiveRecord& r : records) {
        w.text(r.name);
        w.i32(r.kind);
        w.i32(r.fileFlags);
        w.raw(r.contents);
        w.u32(checksumOf(r.contents));
        w.time(r.time);
        w.text(r.extra);
    }
    return w.bytes;
}

Bytes encodePlainHeader(const ArchiveContent& c, uint32_t programChecksum, const Bytes& storedPayload) {
    if (c.records.empty()) throw std::invalid_argument("an archive needs at least one file");
    if (c.languageNames.empty() || c.languageNames.size() > 255) throw std::invalid_argument("1 to 255 languages");
    if (c.strings.empty() || c.strings.size() > MaxStringsPerLanguage)
        throw std::invalid_argument("1 to 10000 messages");
    ByteWriter w;
    w.u32(c.flags);
    w.time(c.uninstallerTime);
    w.u32(programChecksum);
    w.i32(static_cast<int32_t>(c.records.size()));
    for (const ArchiveRecord& r : c.records) w.i32(static_cast<int32_t>(r.contents.size()));
    w.i32(static_cast<int32_t>(storedPayload.size()));
    w.u32(checksumOf(storedPayload));
    for (const std::string* s : {&c.publisher, &c.productName, &c.startMenuFolder, &c.defaultDirectory,
                                 &c.productVersion, &c.productRegistryKey, &c.licenceText, &c.readmeText,
                                 &c.uninstallSubdir})
        w.text(*s);
    w.u32(c.titleColor);
    w.u32(c.topColor);
    w.u32(c.bottomColor);
    w.i32(static_cast<int32_t>(c.picture.size()));
    w.raw(c.picture);
    if (c.flags & FlagExtendsProduct) w.text(c.masterProduct);
    for (const std::string& script : c.scripts) w.text(script);
    w.date(c.archiveDate);
    w.u8(static_cast<uint8_t>(c.languageNames.size()));
    w.i32(static_cast<int32_t>(c.strings.size()));
    for (const std::string& name : c.languageNames) w.text(name);
    for (const std::vector<std::string>& row : c.strings) {
        if (row.size() != c.languageNames.size()) throw std::invalid_argument("a message row lacks a language");
        for (const std::string& text : row) w.text(text);
    }
    w.u32(HeaderEndMarker);
    return w.bytes;
}

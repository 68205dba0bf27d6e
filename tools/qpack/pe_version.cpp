#include "qpack/pe_version.h"

#include <cctype>

#include "qpack/pe_header.h"

namespace {

constexpr uint32_t ResourceTypeVersion = 16;
constexpr int ResourceDirectoryIndex = 2;

class Bytes {
public:
    explicit Bytes(const std::vector<uint8_t>& data) : data_(data) {}
    bool has(uint64_t offset, uint64_t n) const { return offset <= data_.size() && n <= data_.size() - offset; }
    uint32_t u16(uint64_t offset) const { return has(offset, 2) ? data_[offset] | data_[offset + 1] << 8 : 0; }
    uint32_t u32(uint64_t offset) const {
        return has(offset, 4) ? uint32_t(data_[offset]) | uint32_t(data_[offset + 1]) << 8 |
                                    uint32_t(data_[offset + 2]) << 16 | uint32_t(data_[offset + 3]) << 24
                              : 0;
    }

private:
    const std::vector<uint8_t>& data_;
};

struct Section {
    uint32_t virtualAddress, virtualSize, rawSize, rawOffset;
};

class PeImage {
public:
    explicit PeImage(const std::vector<uint8_t>& image) : bytes_(image) {
        PeHeaders headers;
        if (!readPeHeaders(image.data(), image.size(), headers).empty()) return;
        uint32_t sectionCount = headers.sectionCount;
        uint32_t optionalSize = headers.optionalHeaderSize;
        uint64_t optional = headers.optionalHeaderOffset();
        uint32_t magic = headers.optionalMagic;
        uint64_t countAt = magic == 0x10B ? optional + 92 : magic == 0x20B ? optional + 108 : 0;
        if (!countAt || countAt + 4 > optional + optionalSize) return;
        uint32_t directoryCount = bytes_.u32(countAt);
        if (directoryCount <= ResourceDirectoryIndex) return;
        uint64_t directory = countAt + 4 + 8 * ResourceDirectoryIndex;
        if (directory + 8 > optional + optionalSize) return;
        resourceRva_ = bytes_.u32(directory);
        uint64_t table = optional + optionalSize;
        for (uint32_t i = 0; i < sectionCount && bytes_.has(table + 40 * i, 40); ++i) {
            uint64_t s = table + 40 * i;
            sections_.push_back({bytes_.u32(s + 12), bytes_.u32(s + 8), bytes_.u32(s + 16), bytes_.u32(s + 20)});
        }
        valid_ = resourceRva_ != 0;
    }

    // The file offset of an address, when the address lies in a section's raw data.
    bool fileOffset(uint32_t rva, uint32_t n, uint64_t& offset) const {
        for (const Section& s : sections_) {
            if (rva < s.virtualAddress) continue;
            uint64_t into = uint64_t(rva) - s.virtualAddress;
            if (into + n > s.rawSize) continue;
            offset = uint64_t(s.rawOffset) + into;
            return bytes_.has(offset, n);
        }
        return false;
    }

    // The version resource's bytes (first name, first language).
    bool versionResource(uint64_t& offset, uint32_t& size) const {
        if (!valid_) return false;
        uint64_t root = 0;
        if (!fileOffset(resourceRva_, 16, root)) return false;
        uint32_t entry = 0;
        if (!findEntry(root, true, ResourceTypeVersion, entry)) return false;
        for (int level = 0; level < 2; ++level) {
            if (!(entry & 0x80000000u)) return false;
            if (!findEntry(root + (entry & 0x7FFFFFFFu), false, 0, entry)) return false;
        }
        if (entry & 0x80000000u) return false;
        uint64_t data = root + entry;
        if (!bytes_.has(data, 16)) return false;
        size = bytes_.u32(data + 4);
        return fileOffset(bytes_.u32(data), size, offset);
    }

private:
    // The entry with the given id, or the first entry when any will do.
    bool findEntry(uint64_t directory, bool byId, uint32_t id, uint32_t& target) const {
        if (!bytes_.has(directory, 16)) return false;
        uint32_t count = bytes_.u16(directory + 12) + bytes_.u16(directory + 14);
        for (uint32_t i = 0; i < count; ++i) {
            uint64_t e = directory + 16 + 8 * uint64_t(i);
            if (!bytes_.has(e, 8)) return false;
            if (!byId || bytes_.u32(e) == id) {
                target = bytes_.u32(e + 4);
                return true;
            }
        }
        return false;
    }

    Bytes bytes_;
    bool valid_ = false;
    uint32_t resourceRva_ = 0;
    std::vector<Section> sections_;
};

// One block of a version resource: length, value length, type, key, value, children.
struct Block {
    uint64_t start = 0, end = 0;
    std::string key;
    uint64_t value = 0;
    uint64_t children = 0;
    bool textValue = false;
};

uint64_t align4(uint64_t n) { return (n + 3) & ~uint64_t(3); }

// Reads UTF-16 text up to a NUL or `end`; characters beyond 8 bits become '?'.
std::string readWide(const Bytes& bytes, uint64_t at, uint64_t end, uint64_t& after) {
    std::string text;
    while (at + 2 <= end) {
        uint32_t c = bytes.u16(at);
        at += 2;
        if (c == 0) break;
        text += c < 0x100 ? static_cast<char>(c) : '?';
    }
    after = at;
    return text;
}

bool readBlock(const Bytes& bytes, uint64_t start, uint64_t limit, Block& block) {
    if (start + 6 > limit) return false;
    uint32_t length = bytes.u16(start);
    if (length < 6 || start + length > limit) return false;
    block.start = start;
    block.end = start + length;
    uint32_t valueLength = bytes.u16(start + 2);
    block.textValue = bytes.u16(start + 4) == 1;
    uint64_t afterKey = 0;
    block.key = readWide(bytes, start + 6, block.end, afterKey);
    block.value = align4(afterKey);
    uint64_t valueBytes = block.textValue ? 2 * uint64_t(valueLength) : valueLength;
    block.children = align4(block.value + valueBytes);
    if (block.value > block.end) block.value = block.end;
    if (block.children > block.end) block.children = block.end;
    return true;
}

bool findChild(const Bytes& bytes, const Block& parent, const std::string& key, bool ignoreCase, Block& child) {
    for (uint64_t at = parent.children; at < parent.end;) {
        Block b;
        if (!readBlock(bytes, at, parent.end, b)) return false;
        std::string a = b.key, k = key;
        if (ignoreCase)
            for (std::string* s : {&a, &k})
                for (char& c : *s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (a == k) {
            child = b;
            return true;
        }
        at = align4(b.end);
    }
    return false;
}

}  // namespace

std::string peFileVersion(const std::vector<uint8_t>& image) {
    PeImage pe(image);
    uint64_t offset = 0;
    uint32_t size = 0;
    if (!pe.versionResource(offset, size)) return "";
    // Block offsets are aligned relative to the resource start, which the
    // format keeps 4-aligned, so aligning file offsets is the same.
    Bytes bytes(image);
    Block root, stringInfo, table, value;
    uint64_t end = offset + size;
    if (!readBlock(bytes, offset, end, root) || root.key != "VS_VERSION_INFO") return "";
    if (!findChild(bytes, root, "StringFileInfo", false, stringInfo)) return "";
    if (!findChild(bytes, stringInfo, "040904E4", true, table)) return "";
    if (!findChild(bytes, table, "FileVersion", false, value)) return "";
    uint64_t after = 0;
    return readWide(bytes, value.value, value.end, after);
}

std::string normalizeVersion(const std::string& version) {
    if (version.empty()) return "";
    std::string out;
    std::string component;
    auto flush = [&] {
        if (component.size() < 10) out.append(10 - component.size(), '0');
        out += component;
        component.clear();
    };
    for (char c : version) {
        if (c == '.') {
            flush();
            out += '.';
        } else {
            component += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        }
    }
    flush();
    return out;
}

// The builder's PE version reader on synthesised images, and the version
// normal form in which versions compare as text.
#include <gtest/gtest.h>

#include <cstring>

#include <string>
#include <vector>

#include "qpack/pe_version.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
void put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}
void pad4(Bytes& b) {
    while (b.size() % 4) b.push_back(0);
}
Bytes wide(const std::string& s) {
    Bytes b;
    for (char c : s) b.push_back(uint8_t(c)), b.push_back(0);
    b.push_back(0), b.push_back(0);
    return b;
}

// One version-resource block: length, value length, type, key, value, children.
Bytes block(const std::string& key, const Bytes& value, bool text, const std::vector<Bytes>& children) {
    Bytes b(6, 0);
    Bytes k = wide(key);
    b.insert(b.end(), k.begin(), k.end());
    pad4(b);
    b.insert(b.end(), value.begin(), value.end());
    pad4(b);
    for (const Bytes& c : children) {
        b.insert(b.end(), c.begin(), c.end());
        pad4(b);
    }
    put16(b, 0, uint32_t(b.size()));
    put16(b, 2, uint32_t(text ? value.size() / 2 : value.size()));
    put16(b, 4, text ? 1 : 0);
    return b;
}

Bytes versionResource(const std::string& table, const std::string& name, const std::string& version) {
    Bytes strings = block(table, {}, true, {block("CompanyName", wide("Q"), true, {}), block(name, wide(version), true, {})});
    Bytes fixed(52, 0);
    put32(fixed, 0, 0xFEEF04BD);
    return block("VS_VERSION_INFO", fixed, false,
                 {block("StringFileInfo", {}, true, {strings}), block("VarFileInfo", {}, true, {})});
}

// A PE32 image with one .rsrc section holding the version resource.
Bytes peImage(const Bytes& resource) {
    const uint32_t sectionRva = 0x1000, rawOffset = 0x200;
    Bytes rsrc(0x58, 0);
    put16(rsrc, 0x0E, 1);                            // root: one id entry
    put32(rsrc, 0x10, 16);                           // RT_VERSION
    put32(rsrc, 0x14, 0x80000000u | 0x18);
    put16(rsrc, 0x18 + 0x0E, 1);                     // names
    put32(rsrc, 0x28, 1);
    put32(rsrc, 0x2C, 0x80000000u | 0x30);
    put16(rsrc, 0x30 + 0x0E, 1);                     // languages
    put32(rsrc, 0x40, 0x409);
    put32(rsrc, 0x44, 0x48);
    put32(rsrc, 0x48, sectionRva + 0x58);            // data entry
    put32(rsrc, 0x4C, uint32_t(resource.size()));
    rsrc.insert(rsrc.end(), resource.begin(), resource.end());

    Bytes pe(rawOffset, 0);
    pe[0] = 'M', pe[1] = 'Z';
    put32(pe, 0x3C, 0x40);
    put32(pe, 0x40, 0x00004550);
    put16(pe, 0x44, 0x14C);
    put16(pe, 0x46, 1);      // one section
    put16(pe, 0x54, 0xE0);   // optional header size
    const size_t opt = 0x58;
    put16(pe, opt, 0x10B);
    put32(pe, opt + 92, 16);
    put32(pe, opt + 96 + 16, sectionRva);
    put32(pe, opt + 96 + 20, uint32_t(rsrc.size()));
    const size_t section = opt + 0xE0;
    std::memcpy(&pe[section], ".rsrc", 5);
    put32(pe, section + 8, uint32_t(rsrc.size()));
    put32(pe, section + 12, sectionRva);
    put32(pe, section + 16, uint32_t(rsrc.size()));
    put32(pe, section + 20, rawOffset);
    pe.insert(pe.end(), rsrc.begin(), rsrc.end());
    return pe;
}

TEST(PeVersion, ReadsFileVersionOfTheUsEnglishWindowsBlockOnly) {
    const struct {
        const char* what;
        Bytes image;
        const char* version;
    } cases[] = {
        {"040904E4 block", peImage(versionResource("040904E4", "FileVersion", "5.00.2195.1")), "5.00.2195.1"},
        {"hex digits in lower case", peImage(versionResource("040904e4", "FileVersion", "1.2 beta")), "1.2 beta"},
        {"only a Unicode block", peImage(versionResource("040904B0", "FileVersion", "9.9")), ""},
        {"no FileVersion value", peImage(versionResource("040904E4", "ProductVersion", "9.9")), ""},
        {"no PE signature", Bytes{'M', 'Z', 0, 0}, ""},
        {"empty", Bytes{}, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(peFileVersion(c.image), c.version) << c.what;
}

TEST(PeVersion, CutOrCorruptImagesGiveNoVersionAndStayInBounds) {
    Bytes good = peImage(versionResource("040904E4", "FileVersion", "4.0.1381.4"));
    ASSERT_EQ(peFileVersion(good), "4.0.1381.4");
    // Every shorter prefix is read without running past its end.
    for (size_t n = 0; n < good.size(); n += 7) {
        Bytes cut(good.begin(), good.begin() + n);
        EXPECT_EQ(peFileVersion(cut), "") << n;
    }
    // Block lengths that claim more than there is.
    Bytes lying = good;
    put16(lying, 0x200 + 0x58, 0xFFFF);
    EXPECT_EQ(peFileVersion(lying), "");
    Bytes zeroLength = good;
    put16(zeroLength, 0x200 + 0x58, 0);
    EXPECT_EQ(peFileVersion(zeroLength), "");
}

TEST(PeVersion, NormalFormPadsEveryComponentToTenCharacters) {
    const std::pair<const char*, const char*> cases[] = {
        {"4.0.1381.4", "0000000004.0000000000.0000001381.0000000004"},
        {"5.00.2195.1", "0000000005.0000000000.0000002195.0000000001"},
        {"1.0 beta", "0000000001.00000 BETA"},
        {"1..2", "0000000001.0000000000.0000000002"},
        {"1234567890.123456789012", "1234567890.123456789012"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(normalizeVersion(c.first), c.second) << c.first;
    EXPECT_GT(normalizeVersion("1.10"), normalizeVersion("1.9"));
}

}  // namespace

// The builder's PE header reader on crafted headers: the architectures it
// knows, and damaged or foreign files that it refuses without reading past
// their end.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "host/pe_test_image.h"
#include "qpack/pe_header.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string problemOf(const Bytes& image, PeHeaders& headers) {
    return readPeHeaders(image.data(), image.size(), headers);
}

Bytes changed(Bytes b, const std::function<void(Bytes&)>& change) {
    change(b);
    return b;
}

TEST(PeHeader, MachineAndMagicGiveTheArchitecture) {
    const struct {
        uint16_t machine, magic;
        PeArchitecture architecture;
        const char* description;
    } cases[] = {
        {TestMachineI386, TestMagicPe32, PeArchitecture::X86, "x86 (PE32, i386)"},
        {TestMachineAmd64, TestMagicPe32Plus, PeArchitecture::X64, "x64 (PE32+, AMD64)"},
        {0xAA64, TestMagicPe32Plus, PeArchitecture::Unknown, "unknown (PE32+, machine 0xAA64)"},
        {TestMachineI386, TestMagicPe32Plus, PeArchitecture::Unknown, "unknown (PE32+, i386)"},
        {TestMachineAmd64, TestMagicPe32, PeArchitecture::Unknown, "unknown (PE32, AMD64)"},
        {TestMachineI386, 0x107, PeArchitecture::Unknown, "unknown (optional header magic 0x0107, i386)"},
    };
    for (const auto& c : cases) {
        PeHeaders headers;
        ASSERT_EQ(problemOf(peTestImage(c.machine, c.magic, 0x400), headers), "") << c.description;
        EXPECT_EQ(headers.peOffset, TestPeOffset);
        EXPECT_EQ(headers.machine, c.machine);
        EXPECT_EQ(headers.optionalMagic, c.magic);
        EXPECT_EQ(architectureOf(headers), c.architecture) << c.description;
        EXPECT_EQ(describeArchitecture(headers), c.description);
    }
}

TEST(PeHeader, DamagedOrForeignFilesSayWhatIsWrong) {
    const Bytes good = peTestImage(TestMachineI386, TestMagicPe32, 0x200);
    auto withOffset = [&](uint32_t offset) {
        return changed(good, [&](Bytes& b) { putLittleEndian(b, 0x3C, offset, 4); });
    };
    const struct {
        const char* what;
        Bytes image;
        std::string problem;
    } cases[] = {
        {"empty", Bytes{}, "too short for a DOS header (0 bytes)"},
        {"a DOS header cut short", Bytes(good.begin(), good.begin() + 0x3F), "too short for a DOS header (63 bytes)"},
        {"text, not a program", Bytes(0x200, 'x'), "no MZ signature"},
        {"e_lfanew past the end", withOffset(0x1000), "the PE header offset 0x1000 lies beyond the end of the file (512 bytes)"},
        {"e_lfanew that would wrap", withOffset(0xFFFFFFFF), "the PE header offset 0xFFFFFFFF lies beyond the end of the file (512 bytes)"},
        {"signature across the end", withOffset(0x1FE), "the PE header offset 0x1FE lies beyond the end of the file (512 bytes)"},
        {"e_lfanew at the DOS header", withOffset(0), "no PE signature at offset 0x0"},
        {"an NE program", changed(good, [](Bytes& b) { b[TestPeOffset] = 'N'; }), "no PE signature at offset 0x40"},
        {"file header cut short", Bytes(good.begin(), good.begin() + TestPeOffset + 23),
         "the file header is cut short by the end of the file"},
        {"no optional header", changed(good, [](Bytes& b) { putLittleEndian(b, TestPeOffset + 20, 0, 2); }),
         "the file header announces no optional header"},
        {"optional header past the end", changed(good, [](Bytes& b) { putLittleEndian(b, TestPeOffset + 20, 0x1000, 2); }),
         "the optional header is cut short by the end of the file"},
    };
    for (const auto& c : cases) {
        PeHeaders headers;
        headers.machine = 0x1234;
        EXPECT_EQ(problemOf(c.image, headers), c.problem) << c.what;
        EXPECT_EQ(headers.machine, 0x1234) << c.what << ": a refused file leaves the headers alone";
    }
}

TEST(PeHeader, EveryCutOfTheHeadersIsRefusedAndReadInBounds) {
    const Bytes good = peTestImage(TestMachineAmd64, TestMagicPe32Plus, 0x200);
    const size_t headersEnd = TestPeOffset + 24 + 0xF0;
    for (size_t n = 0; n <= good.size(); ++n) {
        // An exact-size copy, so that the sanitizer sees any read past its end.
        Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        PeHeaders headers;
        EXPECT_EQ(problemOf(cut, headers).empty(), n >= headersEnd) << n;
    }
}

TEST(PeHeader, ArchitectureNamesRoundTrip) {
    const std::pair<const char*, PeArchitecture> cases[] = {
        {"x86", PeArchitecture::X86}, {"x64", PeArchitecture::X64},  {"X64", PeArchitecture::Unknown},
        {"amd64", PeArchitecture::Unknown}, {"", PeArchitecture::Unknown},
    };
    for (const auto& c : cases) EXPECT_EQ(architectureNamed(c.first), c.second) << c.first;
    for (PeArchitecture a : {PeArchitecture::X86, PeArchitecture::X64}) EXPECT_EQ(architectureNamed(architectureName(a)), a);
}

}  // namespace

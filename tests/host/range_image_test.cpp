#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/range_image.h"
#include "core/str.h"
#include "qpack/range_compressor.h"
#include "test_bytes.h"

namespace {

// Words, numbers and little-endian tables: what installers carry.
Bytes mixedContent(size_t n, unsigned seed) {
    static const char* words[] = {"install", "file", "the", "directory", "Windows", "uninstall", "\r\n"};
    std::mt19937 rng(seed);
    Bytes b;
    while (b.size() < n) {
        if (rng() % 4 == 0) {
            uint32_t v = rng() % 4096;
            for (int i = 0; i < 4; ++i) b.push_back((unsigned char)(v >> (8 * i)));
        } else {
            const char* w = words[rng() % (sizeof words / sizeof *words)];
            b.insert(b.end(), w, w + std::strlen(w));
            b.push_back(' ');
        }
    }
    b.resize(n);
    return b;
}

Bytes repeated(size_t n, const std::string& unit) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = (unsigned char)unit[i % unit.size()];
    return b;
}

String asString(const Bytes& b) { return String(reinterpret_cast<const char*>(b.data()), int(b.size())); }

bool sameBytes(const String& s, const Bytes& b) {
    return size_t(s.length()) == b.size() && (b.empty() || std::memcmp(s.cStr(), b.data(), b.size()) == 0);
}

struct RoundTripCase {
    const char* name;
    Bytes data;
};

TEST(RangeImage, ExpandsBackToExactlyWhatWasCompressed) {
    Bytes twoHalves = mixedContent(RangeSegmentSplitSize / 2, 1);
    twoHalves.insert(twoHalves.end(), twoHalves.begin(), twoHalves.end());  // the second half cannot see the first
    twoHalves.push_back('!');
    const RoundTripCase cases[] = {
        {"empty", {}},
        {"one byte", {0x41}},
        {"two bytes", {0x00, 0xFF}},
        {"short text", repeated(5, "hello")},
        {"incompressible", randomBytes(65536, 7)},
        {"one value", Bytes(1 << 20, 0)},
        {"short period", repeated(100000, "abc")},
        {"period longer than the longest copy", repeated(200000, std::string(300, 'x') + "y")},
        {"mixed", mixedContent(300000, 3)},
        {"random then its copy", [] { Bytes r = randomBytes(5000, 9); r.insert(r.end(), r.begin(), r.end()); return r; }()},
        {"two segments", twoHalves},
    };
    for (const RoundTripCase& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes image = compressRangeImage(c.data.data(), c.data.size());
        RangeImageLayout layout;
        ASSERT_TRUE(readRangeImageLayout(image.data(), int(image.size()), layout));
        EXPECT_EQ(layout.segmentCount, c.data.size() >= RangeSegmentSplitSize ? 2 : 1);
        EXPECT_EQ(size_t(layout.expandedSize), c.data.size());
        String block = asString(image);
        ASSERT_TRUE(ExpandRangeImage(block));
        EXPECT_TRUE(sameBytes(block, c.data));
    }
}

TEST(RangeImage, CodesRedundancyAwayAndRandomBytesAtCost) {
    Bytes noise = randomBytes(1 << 18, 11);
    EXPECT_LT(compressRangeImage(noise.data(), noise.size()).size(), noise.size() + noise.size() / 50);
    Bytes text = mixedContent(1 << 20, 5);
    EXPECT_LT(compressRangeImage(text.data(), text.size()).size(), text.size() / 3);
}

// The expander refuses a segment that claims more bytes than its packed
// size could code; the most redundant input there is (one byte value, every
// decision as cheap as the coder allows) must still be accepted.
TEST(RangeImage, TheMostRedundantInputStaysWithinTheExpansionBound) {
    Bytes zeros(size_t(32) << 20, 0);
    Bytes image = compressRangeImage(zeros.data(), zeros.size());
    RangeImageLayout layout;
    ASSERT_TRUE(readRangeImageLayout(image.data(), int(image.size()), layout));
    String block = asString(image);
    ASSERT_TRUE(ExpandRangeImage(block));
    EXPECT_TRUE(sameBytes(block, zeros));
}

void put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = (unsigned char)(v >> (8 * i));
}

TEST(RangeImage, RefusesDamagedImagesAndLeavesTheBlockAsItWas) {
    Bytes data = mixedContent(20000, 21);
    const Bytes good = compressRangeImage(data.data(), data.size());
    const size_t entry = RangeImageHeadSize;
    struct Damage {
        const char* name;
        void (*apply)(Bytes&);
    };
    const Damage damages[] = {
        {"cut short by one byte", [](Bytes& b) { b.pop_back(); }},
        {"one byte too many", [](Bytes& b) { b.push_back(0); }},
        {"head only", [](Bytes& b) { b.resize(RangeImageHeadSize); }},
        {"no segments", [](Bytes& b) { put32(b, 8, 0); }},
        {"too many segments", [](Bytes& b) { put32(b, 8, MaxRangeSegments + 1); }},
        {"whole size one more than the segment's", [](Bytes& b) { put32(b, 4, 20001); }},
        {"segment size one less", [](Bytes& b) { put32(b, entry, 19999); }},
        {"both sizes one more", [](Bytes& b) { put32(b, 4, 20001), put32(b, entry, 20001); }},
        {"packed size past the end", [](Bytes& b) { put32(b, entry + 4, 0x7FFFFFFF); }},
        {"more than the coder can code", [](Bytes& b) {
             uint32_t claimed = uint32_t(b.size() - RangeImageHeadSize - RangeSegmentEntrySize) * MaxRangeBytesPerPackedByte + 1;
             put32(b, 4, claimed), put32(b, entry, claimed);
         }},
        {"more than any image expands to", [](Bytes& b) { put32(b, 4, 0x40000001), put32(b, entry, 0x40000001); }},
        {"coder's first byte not zero", [](Bytes& b) { b[RangeImageHeadSize + RangeSegmentEntrySize] = 1; }},
        {"wrong magic", [](Bytes& b) { b[0] ^= 1; }},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.name);
        Bytes bad = good;
        d.apply(bad);
        String block = asString(bad);
        EXPECT_FALSE(ExpandRangeImage(block));
        EXPECT_TRUE(sameBytes(block, bad));
    }
}

// A flipped bit anywhere in the coded bytes: the expander either refuses
// (block unchanged) or produces bytes of the stated size; the payload's
// checksum is what tells the rest. Under the sanitizers this also shows
// that no damage reads or writes out of bounds.
TEST(RangeImage, SurvivesEveryFlippedBitOfASmallImage) {
    Bytes data = mixedContent(3000, 4);
    const Bytes good = compressRangeImage(data.data(), data.size());
    int refused = 0;
    for (size_t i = RangeImageHeadSize + RangeSegmentEntrySize; i < good.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            Bytes bad = good;
            bad[i] ^= (unsigned char)(1 << bit);
            String block = asString(bad);
            if (ExpandRangeImage(block)) {
                EXPECT_EQ(size_t(block.length()), data.size());
            } else {
                EXPECT_TRUE(sameBytes(block, bad));
                ++refused;
            }
        }
    }
    // Most damage is caught by the coder itself (a copy from outside the
    // output, or the stream not ending where the output does).
    EXPECT_GT(refused, int(good.size()) * 8 / 2);
}

}  // namespace

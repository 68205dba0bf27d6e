#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/expand_block.h"
#include "core/str.h"
#include "qpack/compressor.h"
#include "test_bytes.h"

namespace {

Bytes textLike(size_t n, unsigned seed) {  // words from a small vocabulary
    static const char* words[] = {"install", "file", "the", "directory", "Windows", "uninstall",
                                  "shared", "version", "registry", "of", "and", "\r\n", "path"};
    std::mt19937 rng(seed);
    Bytes b;
    while (b.size() < n) {
        const char* w = words[rng() % (sizeof words / sizeof *words)];
        b.insert(b.end(), w, w + std::strlen(w));
        b.push_back(' ');
    }
    b.resize(n);
    return b;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes repeated(unsigned char value, size_t n) { return Bytes(n, value); }

Bytes pattern(const std::string& unit, size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = (unsigned char)unit[i % unit.size()];
    return b;
}

uint32_t word32(const Bytes& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// Compresses, checks the image's head and expands it again with the program's expander.
Bytes roundTrip(const Bytes& input, int level, size_t* compressedSize = nullptr) {
    Bytes image = compressImage(input.data(), input.size(), level);
    EXPECT_GE(image.size(), 8u);
    EXPECT_EQ(word32(image, 0), CompressedImageMagic);
    EXPECT_EQ(word32(image, 4), uint32_t(input.size()));
    if (compressedSize) *compressedSize = image.size();
    String block(reinterpret_cast<const char*>(image.data()), int(image.size()));
    EXPECT_TRUE(ExpandBlock(block));
    return Bytes(block.data(), block.data() + block.length());
}

struct Input {
    const char* name;
    Bytes bytes;
    size_t largestImage;  // what the compressed image may take at most, at every level
};

std::vector<Input> inputs() {
    const Bytes block = randomBytes(4096, 11);
    const Bytes random = randomBytes(200000, 12);
    std::vector<Input> list = {
        {"empty", {}, 8},
        {"one byte", {0x42}, 10},
        {"a short run", repeated(7, 10), 10},  // one run token at every level
        {"random", random, 200000 + 200000 / 1000},  // the literal headers, a few bytes more
        {"text", textLike(300000, 13), 300000 * 4 / 10},
        {"long run", repeated(0, 1 << 20), 200},
        {"runs of many lengths", [] {
             Bytes b;
             for (int len = 1; len < 300; ++len) b.insert(b.end(), size_t(len), (unsigned char)len);
             return b;
         }(), 45000 / 10},
        {"period 2", pattern("ab", 100000), 200},
        {"period 3 with runs", pattern("xyzzzzz", 100000), 400},
        {"repeat 70 KB back", concat({block, randomBytes(70000, 14), block}), 4096 + 70000 + 200},
        {"repeat 1 MB back", concat({block, randomBytes(1 << 20, 15), block}), 4096 + (1 << 20) * 1001 / 1000},
        {"literals between matches", concat({block, random, block, randomBytes(10, 16), block}), 4096 + 200000 + 200},
    };
    return list;
}

TEST(Compressor, EveryLevelRoundTripsAndCompresses) {
    for (const Input& input : inputs()) {
        for (int level = FastestCompressionLevel; level <= BestCompressionLevel; ++level) {
            SCOPED_TRACE(std::string(input.name) + " at level " + std::to_string(level));
            size_t compressed = 0;
            Bytes back = roundTrip(input.bytes, level, &compressed);
            ASSERT_TRUE(back == input.bytes);
            EXPECT_LE(compressed, input.largestImage);
        }
    }
}

TEST(Compressor, HigherLevelsAreNoLarger) {
    const Bytes samples[] = {textLike(400000, 21), concat({textLike(50000, 22), randomBytes(30000, 23), textLike(50000, 22)})};
    for (const Bytes& input : samples) {
        size_t fastest = compressImage(input.data(), input.size(), FastestCompressionLevel).size();
        size_t byDefault = compressImage(input.data(), input.size()).size();
        size_t best = compressImage(input.data(), input.size(), BestCompressionLevel).size();
        EXPECT_LE(best, byDefault);
        EXPECT_LT(byDefault, fastest);
    }
}

TEST(Compressor, UsesTheWholeDistanceRange) {
    // A repeat just inside the 24-bit reach is found (the 16-bit reach would not do);
    // one 17 MB back is out of reach and must still round-trip.
    const Bytes block = randomBytes(65536, 31);
    struct {
        const char* name;
        size_t gap;
        bool found;
    } cases[] = {{"16 MB back", (size_t(1) << 24) - 65536 - 64, true}, {"17 MB back", 17u << 20, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes input = concat({block, repeated(0x55, c.gap), block});
        size_t compressed = 0;
        ASSERT_TRUE(roundTrip(input, FastestCompressionLevel, &compressed) == input);
        if (c.found)
            EXPECT_LT(compressed, block.size() + 4000);
        else
            EXPECT_GT(compressed, 2 * block.size());
    }
}

TEST(Compressor, LevelsOutsideTheRangeAreClamped) {
    const Bytes input = textLike(20000, 41);
    EXPECT_EQ(compressImage(input.data(), input.size(), -5), compressImage(input.data(), input.size(), 1));
    EXPECT_EQ(compressImage(input.data(), input.size(), 99), compressImage(input.data(), input.size(), 9));
}

TEST(Compressor, ProgressComesInStepsEndsWithTheWholeAndLeavesTheImageAlone) {
    // Text, a run long enough for the longest copies, then text again: the
    // parsers move through the run in jumps of whole tokens.
    const Bytes input = concat({textLike(400000, 51), repeated(0, 300000), textLike(300000, 52)});
    constexpr size_t LongestToken = 65538;
    for (int level : {FastestCompressionLevel, DefaultCompressionLevel, 6}) {
        SCOPED_TRACE("level " + std::to_string(level));
        std::vector<size_t> told;
        Bytes image = compressImage(input.data(), input.size(), level, [&](size_t consumed, size_t total) {
            EXPECT_EQ(total, input.size());
            told.push_back(consumed);
        });
        EXPECT_EQ(image, compressImage(input.data(), input.size(), level));
        ASSERT_FALSE(told.empty());
        EXPECT_EQ(told.back(), input.size());
        EXPECT_GE(told.size(), input.size() / (CompressionProgressStep + LongestToken));
        size_t last = 0;
        for (size_t consumed : told) {
            EXPECT_GE(consumed, last + (consumed == input.size() ? 0 : CompressionProgressStep));
            EXPECT_LE(consumed, last + CompressionProgressStep + LongestToken);
            last = consumed;
        }
    }
}

TEST(Compressor, RefusesInputTheExpanderCouldNotHold) {
    const unsigned char byte = 0;
    EXPECT_THROW(compressImage(&byte, size_t(MaxExpandedLength) + 1), std::length_error);
}

}  // namespace

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/packed_bitmap.h"

namespace {

using Bytes = std::vector<unsigned char>;

void put16(Bytes& b, size_t at, uint32_t v) {
    b[at] = v & 0xFF;
    b[at + 1] = (v >> 8) & 0xFF;
}
void put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}

size_t rowBytes(int width, int bpp) { return static_cast<size_t>((width * bpp + 31) / 32 * 4); }

// A core-header bitmap with a full palette and every row present.
Bytes coreBitmap(int width, int height, int bpp) {
    size_t colors = bpp < 24 ? size_t{1} << bpp : 0;
    Bytes b(12 + 3 * colors + rowBytes(width, bpp) * static_cast<size_t>(height), 0x5A);
    put32(b, 0, 12);
    put16(b, 4, static_cast<uint32_t>(width));
    put16(b, 6, static_cast<uint32_t>(height));
    put16(b, 8, 1);
    put16(b, 10, static_cast<uint32_t>(bpp));
    return b;
}

// An information-header bitmap; `tableEntries` is what the block really holds.
Bytes infoBitmap(int width, int height, int bpp, uint32_t colorsUsed, size_t tableEntries,
                 uint32_t compression = 0, size_t masks = 0) {
    size_t rows = static_cast<size_t>(height < 0 ? -static_cast<long long>(height) : height);
    Bytes b(40 + masks + 4 * tableEntries + rowBytes(width, bpp) * rows, 0xA5);
    put32(b, 0, 40);
    put32(b, 4, static_cast<uint32_t>(width));
    put32(b, 8, static_cast<uint32_t>(height));
    put16(b, 12, 1);
    put16(b, 14, static_cast<uint32_t>(bpp));
    put32(b, 16, compression);
    put32(b, 20, 0);
    put32(b, 32, colorsUsed);
    return b;
}

bool load(PackedBitmap& bitmap, const Bytes& b) {
    return bitmap.loadFromMemory(b.data(), static_cast<int>(b.size()));
}

TEST(PackedBitmapParse, GoodHeadersGiveTheirFields) {
    struct Case {
        const char* name;
        Bytes block;
        int width, height, bitsOffset, colorCount, bpp;
    } cases[] = {
        {"core 8 bpp", coreBitmap(2, 2, 8), 2, 2, 12 + 3 * 256, 256, 8},
        {"core 1 bpp", coreBitmap(9, 3, 1), 9, 3, 12 + 3 * 2, 2, 1},
        {"core 24 bpp", coreBitmap(3, 2, 24), 3, 2, 12, 0, 24},
        {"info 24 bpp, colours-used 0", infoBitmap(3, 2, 24, 0, 0), 3, 2, 40, 0, 24},
        {"info 8 bpp, full table", infoBitmap(4, 4, 8, 0, 256), 4, 4, 40 + 4 * 256, 256, 8},
        {"info 8 bpp, 16 colours used", infoBitmap(4, 4, 8, 16, 16), 4, 4, 40 + 64, 16, 8},
        {"info 4 bpp", infoBitmap(5, 1, 4, 0, 16), 5, 1, 40 + 64, 16, 4},
        {"info top-down", infoBitmap(3, -2, 24, 0, 0), 3, -2, 40, 0, 24},
        {"info 24 bpp with an optional table", infoBitmap(1, 1, 24, 2, 2), 1, 1, 48, 2, 24},
        {"info 16 bpp has no table", infoBitmap(6, 2, 16, 0, 0), 6, 2, 40, 0, 16},
        {"info 32 bpp with bit masks", infoBitmap(2, 2, 32, 0, 0, 3, 12), 2, 2, 52, 0, 32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PackedBitmap bitmap;
        ASSERT_TRUE(load(bitmap, c.block));
        EXPECT_FALSE(bitmap.isEmpty());
        EXPECT_EQ(bitmap.width(), c.width);
        EXPECT_EQ(bitmap.height(), c.height);
        EXPECT_EQ(bitmap.bitsOffset(), c.bitsOffset);
        EXPECT_EQ(bitmap.colorCount(), c.colorCount);
        EXPECT_EQ(bitmap.bitsPerPixel(), c.bpp);
        EXPECT_EQ(bitmap.block().length(), static_cast<int>(c.block.size()));
    }
}

Bytes withField32(Bytes b, size_t at, uint32_t v) {
    put32(b, at, v);
    return b;
}
Bytes withField16(Bytes b, size_t at, uint32_t v) {
    put16(b, at, v);
    return b;
}
Bytes cut(Bytes b, size_t length) {
    b.resize(length);
    return b;
}

TEST(PackedBitmapParse, ShortAndLyingBlocksAreRefusedAndLeaveItEmpty) {
    const Bytes good24 = infoBitmap(3, 2, 24, 0, 0);
    const Bytes good8 = infoBitmap(4, 4, 8, 0, 256);
    struct Case {
        const char* name;
        Bytes block;
    } cases[] = {
        {"twelve bytes", cut(coreBitmap(1, 1, 24), 12)},
        {"information header cut at 30 bytes", cut(good24, 30)},
        {"header size 108", withField32(good24, 0, 108)},
        {"header size 0", withField32(good24, 0, 0)},
        {"header size beyond the block", withField32(good24, 0, 0xFFFFFFF0u)},
        {"core palette beyond the block", cut(coreBitmap(2, 2, 8), 500)},
        {"colour table beyond the block", cut(good8, 40 + 4 * 100)},
        {"colours-used lies high", withField32(good24, 32, 0xFFFFFFFFu)},
        {"colours-used 257", withField32(infoBitmap(1, 1, 8, 257, 257), 32, 257)},
        {"rows beyond the block", withField32(good24, 8, 1000)},
        {"top-down rows beyond the block", withField32(good24, 8, static_cast<uint32_t>(-1000))},
        {"height INT_MIN", withField32(good24, 8, 0x80000000u)},
        {"width beyond the block", withField32(good24, 4, 0x7FFFFFFFu)},
        {"width negative", withField32(good24, 4, static_cast<uint32_t>(-3))},
        {"width 0", withField32(good24, 4, 0)},
        {"height 0", withField32(good24, 8, 0)},
        {"core width 0", withField16(coreBitmap(2, 2, 24), 4, 0)},
        {"7 bits per pixel", withField16(good24, 14, 7)},
        {"core 16 bits per pixel", withField16(coreBitmap(2, 2, 24), 10, 16)},
        {"run-length compressed", withField32(good8, 16, 1)},
        {"bit masks on 24 bpp", withField32(good24, 16, 3)},
        {"bit masks missing", cut(infoBitmap(2, 2, 32, 0, 0, 3, 12), 40 + 16)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PackedBitmap bitmap;
        ASSERT_TRUE(load(bitmap, coreBitmap(2, 2, 24)));
        EXPECT_FALSE(load(bitmap, c.block));
        EXPECT_TRUE(bitmap.isEmpty());
        EXPECT_EQ(bitmap.block().length(), 0);
        EXPECT_EQ(bitmap.height(), 0);
        EXPECT_EQ(bitmap.bitsOffset(), 0);
        EXPECT_EQ(bitmap.colorCount(), 0);
        EXPECT_EQ(bitmap.bitsPerPixel(), 0);
    }
}

TEST(PackedBitmapParse, EveryTruncationOfAnExactBlockIsRefused) {
    // Each of these blocks holds exactly what its header describes, so no
    // shorter block may be accepted (and ASan sees any read past the end).
    const Bytes blocks[] = {coreBitmap(3, 2, 8), coreBitmap(2, 3, 24), infoBitmap(3, 2, 24, 0, 0),
                            infoBitmap(5, -3, 4, 0, 16), infoBitmap(2, 2, 32, 0, 0, 3, 12),
                            infoBitmap(7, 2, 1, 2, 2)};
    for (const Bytes& block : blocks) {
        PackedBitmap whole;
        ASSERT_TRUE(load(whole, block));
        for (size_t length = 1; length < block.size(); ++length) {
            Bytes shorter(block.begin(), block.begin() + static_cast<long>(length));
            PackedBitmap bitmap;
            EXPECT_FALSE(load(bitmap, shorter)) << "length " << length << " of " << block.size();
        }
    }
}

TEST(PackedBitmapParse, NullOrEmptyInputIsRefused) {
    PackedBitmap bitmap;
    const unsigned char byte = 0;
    EXPECT_FALSE(bitmap.loadFromMemory(nullptr, 100));
    EXPECT_FALSE(bitmap.loadFromMemory(&byte, 0));
    EXPECT_FALSE(bitmap.loadFromMemory(&byte, -1));
    EXPECT_TRUE(bitmap.isEmpty());
}

TEST(PackedBitmapParse, ClearEmptiesALoadedBitmap) {
    PackedBitmap bitmap;
    ASSERT_TRUE(load(bitmap, coreBitmap(2, 2, 8)));
    bitmap.clear();
    EXPECT_TRUE(bitmap.isEmpty());
    EXPECT_EQ(bitmap.block().length(), 0);
    EXPECT_EQ(bitmap.bitsOffset(), 0);
}

}  // namespace

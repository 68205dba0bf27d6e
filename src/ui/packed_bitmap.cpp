#include "ui/packed_bitmap.h"

namespace {

constexpr uint32_t CoreHeaderSize = 12;
constexpr uint32_t InfoHeaderSize = 40;
constexpr uint32_t CompressionNone = 0;       // BI_RGB
constexpr uint32_t CompressionBitFields = 3;  // BI_BITFIELDS: three masks follow the header
constexpr uint32_t MaxColorCount = 256;

uint32_t u16At(const String& b, int at) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(b.cStr()) + at;
    return static_cast<uint32_t>(p[0] | p[1] << 8);
}

uint32_t u32At(const String& b, int at) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(b.cStr()) + at;
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

bool isCoreDepth(uint32_t bpp) { return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24; }
bool isInfoDepth(uint32_t bpp) { return isCoreDepth(bpp) || bpp == 16 || bpp == 32; }

// Whether rows of width pixels at bpp bits, |height| of them, fit in the
// block after offset. Rows are padded to 4 bytes.
bool rowsFit(uint64_t length, uint64_t offset, uint64_t width, uint64_t bpp, uint64_t rows) {
    if (offset > length) return false;
    uint64_t stride = (width * bpp + 31) / 32 * 4;
    uint64_t room = length - offset;
    if (stride > room) return false;
    return stride * rows <= room;
}

}  // namespace

void PackedBitmap::clear() {
    block_.clear();
    width_ = height_ = bitsOffset_ = colorCount_ = bitsPerPixel_ = 0;
}

bool PackedBitmap::loadFromMemory(const void* bytes, int count) {
    if (!bytes || count < 1) return false;
    block_.assign(static_cast<const char*>(bytes), count);
    return parse();
}

bool PackedBitmap::parse() {
    const uint64_t length = static_cast<uint64_t>(block_.length());
    if (length < 13) {
        clear();
        return false;
    }
    const uint32_t headerSize = u32At(block_, 0);
    if (headerSize > length) {  // the header itself is cut off
        clear();
        return false;
    }
    int64_t width, height;
    uint32_t bpp, colors;
    uint64_t offset;
    if (headerSize == CoreHeaderSize) {
        width = u16At(block_, 4);
        height = u16At(block_, 6);
        bpp = u16At(block_, 10);
        if (!isCoreDepth(bpp)) {
            clear();
            return false;
        }
        colors = bpp < 24 ? 1u << bpp : 0;
        offset = CoreHeaderSize + 3u * colors;
    } else if (headerSize == InfoHeaderSize) {
        width = static_cast<int32_t>(u32At(block_, 4));
        height = static_cast<int32_t>(u32At(block_, 8));
        bpp = u16At(block_, 14);
        const uint32_t compression = u32At(block_, 16);
        const uint32_t colorsUsed = u32At(block_, 32);
        const bool bitFields = compression == CompressionBitFields && (bpp == 16 || bpp == 32);
        if (!isInfoDepth(bpp) || (compression != CompressionNone && !bitFields) ||
            colorsUsed > MaxColorCount) {
            clear();
            return false;
        }
        // Only bitmaps of up to 8 bits per pixel need a table: a 16-bit one
        // with colours-used 0 has none (2^16 entries would push the rows
        // 256 KB past where they are).
        colors = colorsUsed ? colorsUsed : bpp <= 8 ? 1u << bpp : 0;
        offset = InfoHeaderSize + (bitFields ? 12u : 0u) + 4u * colors;
    } else {
        clear();
        return false;
    }
    const uint64_t rows = static_cast<uint64_t>(height < 0 ? -height : height);
    if (width <= 0 || rows == 0 || !rowsFit(length, offset, static_cast<uint64_t>(width), bpp, rows)) {
        clear();
        return false;
    }
    width_ = static_cast<int32_t>(width);
    height_ = static_cast<int32_t>(height);
    bitsPerPixel_ = static_cast<int32_t>(bpp);
    colorCount_ = static_cast<int32_t>(colors);
    bitsOffset_ = static_cast<int32_t>(offset);
    return true;
}

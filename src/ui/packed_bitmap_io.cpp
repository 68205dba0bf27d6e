// The Windows side of PackedBitmap: ".BMP" files and painting.
#include "files/file.h"
#include "ui/packed_bitmap.h"

namespace {

constexpr int FileHeaderSize = 14;

uint32_t u32At(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void put32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace

bool PackedBitmap::loadFromFile(const char* path) {
    clear();
    File file;
    // Read and write access, shared: a read-only file is refused.
    if (!path || !file.openExisting(path, true, true, false)) return false;
    unsigned char header[FileHeaderSize];
    if (!file.readBlock(header, FileHeaderSize) || header[0] != 'B' || header[1] != 'M') return false;
    // The size field is only a claim: never size the block beyond what the
    // file holds, so a damaged header cannot ask for gigabytes.
    uint32_t claimed = u32At(header + 2);
    int32_t available = file.size() - FileHeaderSize;
    uint32_t count = claimed > FileHeaderSize ? claimed - FileHeaderSize : 0;
    if (available < 1 || count < 1) return false;
    if (count > static_cast<uint32_t>(available)) count = static_cast<uint32_t>(available);
    if (!file.readBytes(block_, FileHeaderSize, static_cast<int>(count))) {
        clear();
        return false;
    }
    return parse();
}

bool PackedBitmap::saveToFile(const char* path) const {
    File file;
    if (!path || !file.create(path, true)) return false;
    unsigned char header[FileHeaderSize] = {'B', 'M'};
    put32(header + 2, static_cast<uint32_t>(block_.length() + FileHeaderSize));
    put32(header + 10, static_cast<uint32_t>(bitsOffset_ + FileHeaderSize));
    // Write errors are not reported: the picture is a nicety for the uninstaller.
    file.write(header, FileHeaderSize);
    file.writeString(block_);
    return true;
}

void PackedBitmap::draw(HDC dc, const RECT& rect, unsigned long rasterOperation) const {
    if (!dc || isEmpty()) return;
    const char* start = block_.cStr();
    // A top-down picture (negative height) is still drawn upright: the
    // source rectangle takes the row count, GDI knows the row order.
    int rows = height_ < 0 ? -height_ : height_;
    StretchDIBits(dc, rect.left, rect.top, rect.right - rect.left + 1, rect.bottom - rect.top + 1, 0, 0, width_, rows,
                  start + bitsOffset_, reinterpret_cast<const BITMAPINFO*>(start), DIB_RGB_COLORS, rasterOperation);
}

// The Windows side of PackedBitmap: ".BMP" files and painting.
#include "files/win32.h"
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
    if (!path) return false;
    // Read and write access, shared: a read-only file is refused.
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    unsigned char header[FileHeaderSize];
    DWORD got = 0;
    bool ok = ReadFile(file, header, FileHeaderSize, &got, nullptr) && got == FileHeaderSize && header[0] == 'B' &&
              header[1] == 'M';
    if (ok) {
        // The size field is only a claim: never size the block beyond what
        // the file holds, so a damaged header cannot ask for gigabytes.
        uint32_t claimed = u32At(header + 2);
        DWORD fileSize = GetFileSize(file, nullptr);
        uint32_t available = fileSize == INVALID_FILE_SIZE || fileSize < FileHeaderSize ? 0 : fileSize - FileHeaderSize;
        uint32_t count = claimed > FileHeaderSize ? claimed - FileHeaderSize : 0;
        if (count > available) count = available;
        ok = count > 0;
        if (ok) {
            block_.setLength(static_cast<int>(count));
            ok = ReadFile(file, block_.data(), count, &got, nullptr) != 0;
            if (ok) block_.setLength(static_cast<int>(got));
        }
    }
    CloseHandle(file);
    if (!ok) {
        clear();
        return false;
    }
    return parse();
}

bool PackedBitmap::saveToFile(const char* path) const {
    if (!path) return false;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    unsigned char header[FileHeaderSize] = {'B', 'M'};
    put32(header + 2, static_cast<uint32_t>(block_.length() + FileHeaderSize));
    put32(header + 10, static_cast<uint32_t>(bitsOffset_ + FileHeaderSize));
    DWORD written = 0;
    WriteFile(file, header, FileHeaderSize, &written, nullptr);
    if (block_.length() > 0) WriteFile(file, block_.cStr(), static_cast<DWORD>(block_.length()), &written, nullptr);
    CloseHandle(file);
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

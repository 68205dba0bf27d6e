// PackedBitmap: a device-independent bitmap kept as one block in the
// packed-DIB layout (header, colour table, pixel rows), as the background
// picture is stored in the archive and in "Installer Background.BMP".
//
// parse() accepts the 12-byte core header and the 40-byte information
// header, and only a block that holds everything that header describes: the
// whole header, the colour table and every pixel row. So draw(), which hands
// the block to GDI, never makes it read outside the block. A refused block
// leaves the bitmap empty and the background is painted in colours instead.
#pragma once

#include <cstdint>

#include "core/str.h"

struct HDC__;
struct tagRECT;

class PackedBitmap {
public:
    bool isEmpty() const { return width_ == 0; }
    void clear();

    // A copy of count bytes, then parse(); false for null bytes or count < 1.
    bool loadFromMemory(const void* bytes, int count);
    // A ".BMP" file: the 14-byte file header ("BM", file size), then the block.
    bool loadFromFile(const char* path);
    bool saveToFile(const char* path) const;
    // Stretches the whole picture over rect (right and bottom inclusive).
    void draw(HDC__* dc, const tagRECT& rect, unsigned long rasterOperation) const;

    // Derives the fields from the block; on refusal clears everything.
    bool parse();

    int width() const { return width_; }
    int height() const { return height_; }  // negative: top-down rows
    int bitsOffset() const { return bitsOffset_; }
    int colorCount() const { return colorCount_; }
    int bitsPerPixel() const { return bitsPerPixel_; }
    const String& block() const { return block_; }

private:
    String block_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t bitsOffset_ = 0;
    int32_t colorCount_ = 0;
    int32_t bitsPerPixel_ = 0;
};

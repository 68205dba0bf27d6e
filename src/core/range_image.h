// The range image: the second, denser form of a compressed image. Its bytes
// are coded bit by bit with adaptive probabilities (an LZ parse of literals,
// matches and repeated distances, fed through a binary range coder), so it
// is smaller than the token image and slower to expand.
// docs/range-image-format.md describes it byte by byte.
//
// An image is cut into segments that are coded independently, so that
// several threads can expand one image: the whole expansion is
// readRangeImageLayout, then decodeRangeSegment for every segment (in any
// order, on any thread), each into its own part of one output buffer.
#pragma once

#include <cstdint>

#include "core/str.h"

constexpr uint32_t RangeImageMagic = 0x52C95A17u;
// magic word, expanded size, segment count
constexpr int RangeImageHeadSize = 12;
// expanded size and packed size of one segment
constexpr int RangeSegmentEntrySize = 8;
constexpr int MaxRangeSegments = 16;
// No segment may claim more output than this many bytes per packed byte:
// the coder cannot do better (the cheapest decision costs over 1/50 bit,
// and the longest copy, 273 bytes, takes 14 decisions), so a forged size
// cannot make the expander allocate more than honest data could fill.
constexpr int MaxRangeBytesPerPackedByte = 8192;

struct RangeSegment {
    const unsigned char* packed;  // inside the image
    int packedSize;
    int outputOffset;  // where its bytes go in the expanded whole
    int expandedSize;
};

struct RangeImageLayout {
    int expandedSize;  // of the whole image: the sum of the segments'
    int segmentCount;
    RangeSegment segments[MaxRangeSegments];
};

// Whether the block begins with the range image's magic word.
bool isRangeImage(const unsigned char* image, int size);

// Reads and checks the head and segment table of image[0, size): the magic,
// 1 to MaxRangeSegments segments whose packed parts fill the rest of the
// image exactly, expanded sizes that add up to the head's (at most
// MaxExpandedLength) and that no segment claims more than
// MaxRangeBytesPerPackedByte times its packed size allows. False when any
// check fails; layout is then meaningless.
bool readRangeImageLayout(const unsigned char* image, int size, RangeImageLayout& layout);

// Decodes one segment into out[0, segment.expandedSize). Never reads outside
// segment.packed[0, packedSize) nor writes outside out[0, expandedSize).
// False when the coded stream is damaged in a way it can tell: a copy
// reaching before the segment's start or past its end, the packed bytes
// ending before the last output byte, or bytes left over after it.
bool decodeRangeSegment(const RangeSegment& segment, unsigned char* out);

// Decodes every segment of layout into its part of out; true when every
// one decoded. The program passes one that decodes them side by side.
using RangeSegmentsDecoder = bool (*)(const RangeImageLayout& layout, unsigned char* out);

// Decodes the segments one after another on the calling thread.
bool decodeRangeSegmentsInTurn(const RangeImageLayout& layout, unsigned char* out);

// Expands a whole range image held in block: checks its layout, allocates
// the output once, decodes the segments with decodeAll, and replaces block
// by the expanded bytes. False, block unchanged, when the block is no range
// image or any check fails.
bool ExpandRangeImage(String& block, RangeSegmentsDecoder decodeAll = decodeRangeSegmentsInTurn);

// The builder's range coder: writes the range image that the program's
// ExpandRangeImage reads (docs/range-image-format.md). Chosen with
// [Build] Codec = small: about half the size of the token image, at the
// cost of build time and expansion speed.
#pragma once

#include <cstddef>
#include <vector>

#include "compressor.h"

// Inputs from this size on are cut into two segments, coded on two threads
// and expanded on two, at the MiB boundary where both are estimated to pack
// to the same size; below it a second thread saves too little to pay for
// the matches the segments cannot share.
constexpr size_t RangeSegmentSplitSize = size_t(8) << 20;

// Returns a complete range image of data[0, size). Throws std::length_error
// when size exceeds what the expander accepts (MaxExpandedLength). progress,
// when given, is called on the caller's thread with the input bytes coded so
// far (all segments together), and once with size at the end.
std::vector<unsigned char> compressRangeImage(const unsigned char* data, size_t size,
                                              const CompressionProgress& progress = {});

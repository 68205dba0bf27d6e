// The builder's compressor: writes the compressed image that the program's
// ExpandBlock reads (docs/compressed-image-format.md).
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

// Levels 1 to 9. Levels 1 to 3 choose tokens greedily (2 and 3 look one
// byte ahead first); 4 to 9 choose the cheapest token sequence over each
// stretch (optimal parsing). Higher levels search longer match chains:
// slower, smaller. Level 2 also leaves copies and runs that save little to
// the literals around them: fewer tokens, so its images expand fastest.
constexpr int FastestCompressionLevel = 1;
constexpr int DefaultCompressionLevel = 2;
constexpr int BestCompressionLevel = 9;

// Told how many input bytes have been consumed so far, of how many. The
// compressor runs on the caller's thread and calls it there, synchronously.
using CompressionProgress = std::function<void(size_t consumed, size_t total)>;

// Input bytes between two progress calls: a fraction of a second at level 9,
// and too few calls at level 1 to be measurable.
constexpr size_t CompressionProgressStep = size_t(1) << 17;

// Returns a complete compressed image of data[0, size): magic word, the exact
// expanded size as the hint, then tokens. ExpandBlock turns it back into
// exactly those bytes. level is clamped to 1..9. Throws std::length_error
// when size exceeds what the expander accepts (MaxExpandedLength).
// progress, when given, is called each time about CompressionProgressStep
// more bytes are consumed, and once with size when the last one is.
std::vector<unsigned char> compressImage(const unsigned char* data, size_t size,
                                         int level = DefaultCompressionLevel,
                                         const CompressionProgress& progress = {});

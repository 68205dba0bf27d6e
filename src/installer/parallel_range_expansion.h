// Decodes the payload's range image on as many threads as it has segments,
// so that a large payload expands in about the time of its largest segment.
#pragma once

#include "core/range_image.h"

// A RangeSegmentsDecoder for ExpandRangeImage: segment 0 on the calling
// thread, every other segment on a thread of its own (on the calling thread
// too where no thread can be made); true when every segment decoded.
bool decodeRangeSegmentsInParallel(const RangeImageLayout& layout, unsigned char* out);

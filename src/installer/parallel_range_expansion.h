// Expands the payload's range image on as many threads as it has segments,
// so that a large payload expands in about the time of its largest segment.
#pragma once

#include "core/str.h"

// Replaces a block that holds a range image by its expanded bytes: segment 0
// on the calling thread, every other segment on a thread of its own (on the
// calling thread too where no thread can be made). False, block unchanged,
// when the block is no range image, its segment table is refused, or any
// segment fails to decode. Reads and writes only what readRangeImageLayout
// and decodeRangeSegment do: the block, and one output buffer allocated once.
bool expandRangeImageInParallel(String& block);

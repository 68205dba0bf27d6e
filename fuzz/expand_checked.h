// Shared by the expansion fuzz targets: the block is compared byte for byte,
// and an expander that refuses a block must hand it back unchanged.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "core/str.h"

inline bool sameBytes(const String& block, const void* p, size_t n) {
    return size_t(block.length()) == n && (n == 0 || std::memcmp(block.cStr(), p, n) == 0);
}

// Offers expand a copy of the bytes; returns whether it expanded. A refusal
// that changed the block aborts.
template <typename Expand>
bool expandChecked(Expand expand, const unsigned char* p, size_t n, String& block) {
    block.assign(reinterpret_cast<const char*>(p), int(n));
    const bool expanded = expand(block);
    if (!expanded && !sameBytes(block, p, n)) std::abort();
    return expanded;
}

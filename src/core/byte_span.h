// Bytes owned elsewhere, seen through a pointer and a length. A file
// record's contents are such a view into the expanded payload, so a placed
// file is written straight from the payload instead of from a copy of it.
// A view lives no longer than the block it looks into.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/str.h"

struct ByteSpan {
    const char* bytes = "";
    int32_t length = 0;

    ByteSpan() = default;
    ByteSpan(const char* b, int32_t n) : bytes(b), length(n) {}
    // Implicit, so that a String or a text can be passed where bytes are written.
    ByteSpan(const String& s) : bytes(s.cStr()), length(s.length()) {}  // NOLINT(google-explicit-constructor)
    ByteSpan(const char* text) : bytes(text), length(static_cast<int32_t>(std::strlen(text))) {}  // NOLINT

    bool equals(const String& s) const {
        return s.length() == length && (length == 0 || std::memcmp(s.cStr(), bytes, size_t(length)) == 0);
    }
};

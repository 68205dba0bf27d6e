// Byte strings that the compression tests share.
#pragma once

#include <random>
#include <vector>

using Bytes = std::vector<unsigned char>;

// The same bytes for the same seed on every machine: incompressible input.
inline Bytes randomBytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& c : b) c = (unsigned char)rng();
    return b;
}

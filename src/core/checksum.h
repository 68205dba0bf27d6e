// The archive's 32-bit additive checksum and its 4-byte XOR scrambling.
#pragma once

#include <cstdint>

constexpr uint32_t ChecksumStart = 0x79E2BC9Du;

// Start value, plus every whole little-endian word, plus each tail byte as a
// signed byte, plus the byte count. Null data or n < 1 gives the start value.
uint32_t checksum(const void* data, int n);

// XORs byte i with byte (i mod 4) of key, taken little-endian. Its own inverse.
void scramble(void* data, int n, uint32_t key);

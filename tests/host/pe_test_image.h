// A Windows program's headers on their own, for the builder's tests: a DOS
// header whose e_lfanew is 0x40, the PE signature, a file header for
// `machine` and an optional header that begins with `magic`.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr size_t TestPeOffset = 0x40;
constexpr uint16_t TestMachineI386 = 0x14C, TestMachineAmd64 = 0x8664;
constexpr uint16_t TestMagicPe32 = 0x10B, TestMagicPe32Plus = 0x20B;

inline void putLittleEndian(std::vector<uint8_t>& b, size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// `size` bytes (at least the headers): the headers, then `filler`.
inline std::vector<uint8_t> peTestImage(uint16_t machine, uint16_t magic, size_t size, uint8_t filler = 0x90) {
    const uint16_t optionalSize = magic == TestMagicPe32Plus ? 0xF0 : 0xE0;
    std::vector<uint8_t> b(size, filler);
    std::fill(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(TestPeOffset + 24 + optionalSize), 0);
    b[0] = 'M', b[1] = 'Z';
    putLittleEndian(b, 0x3C, TestPeOffset, 4);
    putLittleEndian(b, TestPeOffset, 0x00004550, 4);  // "PE\0\0"
    putLittleEndian(b, TestPeOffset + 4, machine, 2);
    putLittleEndian(b, TestPeOffset + 20, optionalSize, 2);
    putLittleEndian(b, TestPeOffset + 24, magic, 2);
    return b;
}

#include "core/checksum.h"

#include <cstring>

uint32_t checksum(const void* data, int n) {
    uint32_t sum = ChecksumStart;
    if (!data || n < 1) return sum;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    int words = n / 4;
    for (int i = 0; i < words; ++i) {
        const unsigned char* w = bytes + 4 * i;
        sum += uint32_t(w[0]) | uint32_t(w[1]) << 8 | uint32_t(w[2]) << 16 | uint32_t(w[3]) << 24;
    }
    for (int i = words * 4; i < n; ++i) sum += uint32_t(int32_t(static_cast<signed char>(bytes[i])));
    return sum + uint32_t(n);
}

void scramble(void* data, int n, uint32_t key) {
    if (!data || n < 1) return;
    unsigned char* bytes = static_cast<unsigned char*>(data);
    const unsigned char k[4] = {static_cast<unsigned char>(key), static_cast<unsigned char>(key >> 8),
                                static_cast<unsigned char>(key >> 16), static_cast<unsigned char>(key >> 24)};
    for (int i = 0; i < n; ++i) bytes[i] ^= k[i & 3];
}

// ExpandBlock's speed as a fraction of memcpy's, measured in one process so
// that the figure holds for the machine it runs on (the 32-bit build runs it
// under Wine).
//
// Usage: expand_speed IMAGE ORIGINAL
// IMAGE is a compressed image of ORIGINAL (bench/compare writes one).
#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "core/expand_block.h"
#include "core/str.h"
#include "fatal_exit.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<char> readFile(const char* path) {
    std::vector<char> bytes;
    if (FILE* f = std::fopen(path, "rb")) {
        char chunk[1 << 16];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
        std::fclose(f);
    }
    return bytes;
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: expand_speed IMAGE ORIGINAL\n");
        return 2;
    }
    const std::vector<char> image = readFile(argv[1]);
    const std::vector<char> original = readFile(argv[2]);
    if (image.size() < size_t(CompressedImageHeadSize) || original.empty()) {
        std::fprintf(stderr, "cannot read %s or %s\n", argv[1], argv[2]);
        return 2;
    }
    const int n = int(original.size());
    const int runs = 5;

    std::vector<char> target(original.size());
    std::memset(target.data(), 0, target.size());
    double memcpySeconds = 1e30, reusedSeconds = 1e30, freshSeconds = 1e30;
    for (int r = 0; r < runs; ++r) {
        auto start = Clock::now();
        std::memcpy(target.data(), original.data(), original.size());
        memcpySeconds = std::min(memcpySeconds, secondsSince(start));
    }

    ExpansionOutput out(n);
    std::memset(out.bytes(), 0, size_t(n));
    const unsigned char* tokens = reinterpret_cast<const unsigned char*>(image.data()) + CompressedImageHeadSize;
    const int tokensLength = int(image.size()) - CompressedImageHeadSize;
    for (int r = 0; r < runs; ++r) {
        auto start = Clock::now();
        int got = expandTokens(tokens, tokensLength, out);
        reusedSeconds = std::min(reusedSeconds, secondsSince(start));
        if (got != n || std::memcmp(out.bytes(), original.data(), original.size()) != 0)
            reportFatalError("the image does not expand to the original");
    }
    for (int r = 0; r < runs; ++r) {
        String block(image.data(), int(image.size()));
        auto start = Clock::now();
        bool expanded = ExpandBlock(block);
        freshSeconds = std::min(freshSeconds, secondsSince(start));
        if (!expanded || block.length() != n) reportFatalError("ExpandBlock failed");
    }

    const double mb = double(n) / 1e6;
    std::printf("expand_speed (%d-bit build), output %d bytes, best of %d\n", int(sizeof(void*) * 8), n, runs);
    std::printf("  memcpy                       %8.1f MB/s  1.000 of memcpy\n", mb / memcpySeconds);
    std::printf("  expandTokens, reused output  %8.1f MB/s  %5.3f of memcpy\n", mb / reusedSeconds,
                memcpySeconds / reusedSeconds);
    std::printf("  ExpandBlock, fresh output    %8.1f MB/s  %5.3f of memcpy\n", mb / freshSeconds,
                memcpySeconds / freshSeconds);
    return 0;
}

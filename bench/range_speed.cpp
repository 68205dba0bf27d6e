// The range image (Codec = small) on one input file: its size, how long
// the coder takes (wall time: it codes its segments on two threads), and
// how fast it expands, on one thread and with a thread per segment as the
// program does. bench/run.sh puts the figures beside xz's.
//
// Usage: range_speed INPUT IMAGE_OUT
// Writes the image to IMAGE_OUT and prints "name value" lines first, for
// the script, then a readable summary.
#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "core/range_image.h"
#include "qpack/range_compressor.h"
#include "fatal_exit.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<unsigned char> readFile(const char* path) {
    std::vector<unsigned char> bytes;
    if (FILE* f = std::fopen(path, "rb")) {
        unsigned char chunk[1 << 16];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
        std::fclose(f);
    }
    return bytes;
}

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

bool expandSegments(const RangeImageLayout& layout, unsigned char* out, bool parallel) {
    std::vector<char> ok(size_t(layout.segmentCount), 0);
    auto expand = [&](int i) {
        ok[size_t(i)] = decodeRangeSegment(layout.segments[i], out + layout.segments[i].outputOffset);
    };
    // The other segments' threads first, then the first segment here, as the program does.
    std::vector<std::thread> threads;
    for (int i = 1; i < layout.segmentCount; ++i) {
        if (parallel)
            threads.emplace_back(expand, i);
        else
            expand(i);
    }
    expand(0);
    for (auto& t : threads) t.join();
    return std::all_of(ok.begin(), ok.end(), [](char c) { return c != 0; });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: range_speed INPUT IMAGE_OUT\n");
        return 2;
    }
    const std::vector<unsigned char> input = readFile(argv[1]);
    if (input.empty()) reportFatalError("cannot read %s", argv[1]);

    auto start = Clock::now();
    std::vector<unsigned char> image = compressRangeImage(input.data(), input.size());
    const double codeSeconds = secondsSince(start);
    if (FILE* f = std::fopen(argv[2], "wb")) {
        std::fwrite(image.data(), 1, image.size(), f);
        std::fclose(f);
    } else {
        reportFatalError("cannot write %s", argv[2]);
    }

    RangeImageLayout layout;
    if (!readRangeImageLayout(image.data(), int(image.size()), layout)) reportFatalError("the image's layout is refused");
    // Touched once before timing, as every decoder in the comparison writes into touched memory.
    std::vector<unsigned char> out(input.size() + 1, 0);
    const int runs = 5;
    double oneThread = 1e30, perSegment = 1e30;
    for (int r = 0; r < runs; ++r) {
        for (bool parallel : {false, true}) {
            std::memset(out.data(), 0, input.size());
            start = Clock::now();
            bool ok = expandSegments(layout, out.data(), parallel);
            double seconds = secondsSince(start);
            if (!ok || std::memcmp(out.data(), input.data(), input.size()) != 0)
                reportFatalError("the image does not expand to the input");
            (parallel ? perSegment : oneThread) = std::min(parallel ? perSegment : oneThread, seconds);
        }
    }

    std::printf("range_size %zu\nrange_code_seconds %.3f\nrange_expand_one_thread %.4f\nrange_expand_per_segment %.4f\n"
                "range_segments %d\n",
                image.size(), codeSeconds, oneThread, perSegment, layout.segmentCount);
    return 0;
}

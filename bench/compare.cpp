// Side-by-side figures on one input file: compressed size and compression
// speed of our levels against LZ4 HC level 12 (in process, the same
// algorithm as `lz4 -12`), and the speed of ExpandBlock against memcpy and
// LZ4_decompress_safe. Sizes of the `lz4 -12` and `gzip -9` command-line
// tools are measured by bench/run.sh and passed in.
//
// Usage: compare INPUT IMAGE_OUT LZ4_CLI_SIZE GZIP_SIZE [LEVEL...]
// Writes the compressed image of the default level (or, when it is not
// among the levels, of the last one) to IMAGE_OUT, for the 32-bit run.
#include <lz4.h>
#include <lz4hc.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/expand_block.h"
#include "core/str.h"
#include "qpack/compressor.h"
#include "fatal_exit.h"

namespace {

// The machine may be shared: on POSIX hosts the figures are the process's
// CPU time, which other programs' load disturbs far less than wall time
// (every timed step runs on this one thread). Elsewhere, wall time.
struct Clock {
    using time_point = double;
    static double now() {
#if defined(CLOCK_PROCESS_CPUTIME_ID)
        timespec t;
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
#else
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
#endif
    }
};

double secondsSince(double start) { return Clock::now() - start; }

// Best of several runs: the machine is shared, the minimum is the least disturbed.
template <class F>
double bestSeconds(int runs, F&& action) {
    double best = 1e30;
    for (int r = 0; r < runs; ++r) {
        auto start = Clock::now();
        action();
        best = std::min(best, secondsSince(start));
    }
    return best;
}

double mbPerSecond(size_t bytes, double seconds) { return double(bytes) / 1e6 / seconds; }

void sizeLine(const char* name, size_t size, size_t input, size_t lz4Size) {
    std::printf("  %-28s %12zu bytes  %6.2f %% of input  ratio %5.3f  x%.3f of lz4 -12\n", name, size,
                100.0 * double(size) / double(input), double(input) / double(size),
                double(size) / double(lz4Size));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: compare INPUT IMAGE_OUT LZ4_CLI_SIZE GZIP_SIZE [LEVEL...]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<unsigned char> input((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (input.empty()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 2;
    }
    const size_t lz4CliSize = std::strtoull(argv[3], nullptr, 10);
    const size_t gzipSize = std::strtoull(argv[4], nullptr, 10);
    std::vector<int> levels;
    for (int i = 5; i < argc; ++i) levels.push_back(std::atoi(argv[i]));
    if (levels.empty()) levels = {FastestCompressionLevel, DefaultCompressionLevel, BestCompressionLevel};
    const int n = int(input.size());

    // LZ4 HC 12 in process: its size, its time, and the block its decoder reads.
    std::vector<char> lz4Block(size_t(LZ4_compressBound(n)));
    int lz4Size = 0;
    double lz4Seconds = bestSeconds(1, [&] {
        lz4Size = LZ4_compress_HC(reinterpret_cast<const char*>(input.data()), lz4Block.data(), n,
                                  int(lz4Block.size()), 12);
    });
    lz4Block.resize(size_t(lz4Size));

    std::printf("input: %s, %zu bytes\n\ncompressed size\n", argv[1], input.size());
    sizeLine("lz4 -12 (command line)", lz4CliSize, input.size(), lz4CliSize);
    sizeLine("gzip -9 (command line)", gzipSize, input.size(), lz4CliSize);
    sizeLine("LZ4 HC 12 (one block)", size_t(lz4Size), input.size(), lz4CliSize);

    std::vector<std::vector<unsigned char>> images;
    std::vector<double> levelSeconds;
    size_t chosen = levels.size() - 1;  // the image that ExpandBlock is timed on and that is written
    for (size_t k = 0; k < levels.size(); ++k) {
        std::vector<unsigned char> image;
        levelSeconds.push_back(bestSeconds(1, [&] { image = compressImage(input.data(), input.size(), levels[k]); }));
        std::string name = "ours, level " + std::to_string(levels[k]);
        if (levels[k] == DefaultCompressionLevel) {
            name += " (default)";
            chosen = k;
        }
        sizeLine(name.c_str(), image.size(), input.size(), lz4CliSize);
        images.push_back(std::move(image));
    }

    std::printf("\ncompression speed (one run each, CPU time)\n");
    std::printf("  %-28s %8.2f s  %7.1f MB/s\n", "LZ4 HC 12", lz4Seconds, mbPerSecond(input.size(), lz4Seconds));
    for (size_t k = 0; k < levels.size(); ++k)
        std::printf("  ours, level %-16d %8.2f s  %7.1f MB/s  x%.2f the speed of LZ4 HC 12\n", levels[k],
                    levelSeconds[k], mbPerSecond(input.size(), levelSeconds[k]), lz4Seconds / levelSeconds[k]);

    // Decoding into reused, already touched buffers, so that every decoder
    // pays the same for memory; ExpandBlock itself also as the program calls
    // it (a fresh output each time, page faults included). The decoders take
    // turns within each round, so that a slow spell of the machine hits them
    // alike; each keeps its best round.
    const int runs = 9;
    std::vector<char> target(input.size() + 64);
    std::memset(target.data(), 0, target.size());
    ExpansionOutput out(n);
    std::memset(out.bytes(), 0, size_t(n));
    for (size_t k = 0; k < levels.size(); ++k) {
        int got = expandTokens(images[k].data() + CompressedImageHeadSize,
                               int(images[k].size()) - CompressedImageHeadSize, out);
        if (got != n || std::memcmp(out.bytes(), input.data(), input.size()) != 0)
            reportFatalError("level %d: expansion gave %d bytes, or different ones", levels[k], got);
    }
    double memcpySeconds = 1e30, lz4DecodeSeconds = 1e30;
    std::vector<double> expandSeconds(levels.size(), 1e30);
    for (int r = 0; r < runs; ++r) {
        memcpySeconds = std::min(memcpySeconds, bestSeconds(1, [&] {
            std::memcpy(target.data(), input.data(), input.size());
        }));
        lz4DecodeSeconds = std::min(lz4DecodeSeconds, bestSeconds(1, [&] {
            int got = LZ4_decompress_safe(lz4Block.data(), target.data(), lz4Size, n);
            if (got != n) reportFatalError("LZ4_decompress_safe gave %d", got);
        }));
        for (size_t k = 0; k < levels.size(); ++k) {
            const unsigned char* tokens = images[k].data() + CompressedImageHeadSize;
            const int tokensLength = int(images[k].size()) - CompressedImageHeadSize;
            expandSeconds[k] = std::min(expandSeconds[k], bestSeconds(1, [&] { expandTokens(tokens, tokensLength, out); }));
        }
    }

    std::printf("\ndecoding speed (best of %d rounds, decoders in turn, CPU time, output %zu bytes)\n", runs,
                input.size());
    std::printf("  %-42s %8.1f MB/s  1.000 of memcpy\n", "memcpy", mbPerSecond(input.size(), memcpySeconds));
    std::printf("  %-42s %8.1f MB/s  %5.3f of memcpy\n", "LZ4_decompress_safe (LZ4 HC 12 data)",
                mbPerSecond(input.size(), lz4DecodeSeconds), memcpySeconds / lz4DecodeSeconds);
    for (size_t k = 0; k < levels.size(); ++k) {
        std::string name = "expandTokens, level " + std::to_string(levels[k]) + " data, reused output";
        std::printf("  %-42s %8.1f MB/s  %5.3f of memcpy  (x%.2f LZ4_decompress_safe)\n", name.c_str(),
                    mbPerSecond(input.size(), expandSeconds[k]), memcpySeconds / expandSeconds[k],
                    lz4DecodeSeconds / expandSeconds[k]);
    }

    // ExpandBlock as the program calls it allocates its output, and the first
    // touch of every fresh page costs a page fault; LZ4_decompress_safe is
    // timed the same way beside it (a fresh buffer from malloc each round).
    const std::vector<unsigned char>& image = images[chosen];
    double blockSeconds = 1e30, lz4FreshSeconds = 1e30;
    for (int r = 0; r < runs; ++r) {
        String block(reinterpret_cast<const char*>(image.data()), int(image.size()));
        auto start = Clock::now();
        bool expanded = ExpandBlock(block);
        blockSeconds = std::min(blockSeconds, secondsSince(start));
        if (!expanded || block.length() != n) reportFatalError("ExpandBlock failed");

        start = Clock::now();
        char* fresh = static_cast<char*>(std::malloc(size_t(n)));
        int got = fresh ? LZ4_decompress_safe(lz4Block.data(), fresh, lz4Size, n) : -1;
        lz4FreshSeconds = std::min(lz4FreshSeconds, secondsSince(start));
        std::free(fresh);
        if (got != n) reportFatalError("LZ4_decompress_safe into a fresh buffer gave %d", got);
    }
    std::printf("  %-42s %8.1f MB/s  %5.3f of memcpy\n", "LZ4_decompress_safe, fresh output",
                mbPerSecond(input.size(), lz4FreshSeconds), memcpySeconds / lz4FreshSeconds);
    std::string name = "ExpandBlock, level " + std::to_string(levels[chosen]) + " data, fresh output";
    std::printf("  %-42s %8.1f MB/s  %5.3f of memcpy  (x%.2f LZ4_decompress_safe, fresh output)\n", name.c_str(),
                mbPerSecond(input.size(), blockSeconds), memcpySeconds / blockSeconds, lz4FreshSeconds / blockSeconds);

    std::ofstream(argv[2], std::ios::binary).write(reinterpret_cast<const char*>(image.data()), long(image.size()));
    return 0;
}

// The status line `qpack build` keeps on a terminal while it reads and
// compresses: one line, rewritten in place, a few times a second at most.
// Time comes from the caller, so that the throttling and the estimates
// follow a clock the tests set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// "reading 412/1180 files, 37.2 MB"
std::string readingLine(size_t filesRead, size_t fileCount, uint64_t bytesRead);

// "compressing 54.1 of 100.7 MB (53 %), 18.3 MB/s, 3 s left"; the rate and
// the time left (from the rate so far) are left out until some input has
// been consumed over some time.
std::string compressingLine(uint64_t consumed, uint64_t total, double secondsSoFar);

class ProgressLine {
public:
    // A build that ends this soon shows no line at all, and a shown line is
    // rewritten no more often than every RedrawInterval.
    static constexpr double QuietStart = 0.5;
    static constexpr double RedrawInterval = 0.25;

    // write receives the text to put out as is ('\r', the line, blanks over
    // what is left of a longer earlier one). shown: false when the output is
    // not a terminal or --quiet was given; then nothing is ever written.
    ProgressLine(bool shown, double startSeconds, std::function<void(const std::string&)> write);

    void reading(size_t filesRead, size_t fileCount, uint64_t bytesRead, double nowSeconds);
    // The rate is counted from the first call.
    void compressing(uint64_t consumed, uint64_t total, double nowSeconds);
    // Blanks the line, if one was written, so that what follows starts on a clean line.
    void clear();

private:
    bool due(double nowSeconds) const;
    void draw(const std::string& text, double nowSeconds);

    bool shown_;
    double start_;
    std::function<void(const std::string&)> write_;
    double lastDrawn_ = 0;
    size_t drawnLength_ = 0;  // 0: no line is on the terminal
    bool compressing_ = false;
    double compressStart_ = 0;
};

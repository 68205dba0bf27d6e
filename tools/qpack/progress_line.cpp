#include "qpack/progress_line.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace {

// Below this much compressing time a rate says more about start-up than about the input.
constexpr double RateAfterSeconds = 0.5;

std::string megabytes(uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", double(bytes) / 1e6);
    return text;
}

std::string timeLeft(double seconds) {
    const long whole = long(std::ceil(seconds));
    char text[48];
    if (whole < 60)
        std::snprintf(text, sizeof text, "%ld s left", whole);
    else
        std::snprintf(text, sizeof text, "%ld min %02ld s left", whole / 60, whole % 60);
    return text;
}

}  // namespace

std::string readingLine(size_t filesRead, size_t fileCount, uint64_t bytesRead) {
    return "reading " + std::to_string(filesRead) + "/" + std::to_string(fileCount) + " files, " + megabytes(bytesRead) +
           " MB";
}

std::string compressingLine(uint64_t consumed, uint64_t total, double secondsSoFar) {
    const int percent = total == 0 ? 100 : int(consumed * 100 / total);
    std::string line = "compressing " + megabytes(consumed) + " of " + megabytes(total) + " MB (" +
                       std::to_string(percent) + " %)";
    if (consumed == 0 || secondsSoFar < RateAfterSeconds) return line;
    const double rate = double(consumed) / secondsSoFar;
    char text[32];
    std::snprintf(text, sizeof text, ", %.1f MB/s, ", rate / 1e6);
    return line + text + timeLeft(double(total - consumed) / rate);
}

ProgressLine::ProgressLine(bool shown, double startSeconds, std::function<void(const std::string&)> write)
    : shown_(shown), start_(startSeconds), write_(std::move(write)) {}

void ProgressLine::reading(size_t filesRead, size_t fileCount, uint64_t bytesRead, double nowSeconds) {
    if (due(nowSeconds)) draw(readingLine(filesRead, fileCount, bytesRead), nowSeconds);
}

void ProgressLine::compressing(uint64_t consumed, uint64_t total, double nowSeconds) {
    if (!compressing_) {
        compressing_ = true;
        compressStart_ = nowSeconds;
    }
    if (due(nowSeconds)) draw(compressingLine(consumed, total, nowSeconds - compressStart_), nowSeconds);
}

void ProgressLine::clear() {
    if (drawnLength_ == 0) return;
    write_("\r" + std::string(drawnLength_, ' ') + "\r");
    drawnLength_ = 0;
}

bool ProgressLine::due(double nowSeconds) const {
    if (!shown_ || nowSeconds - start_ < QuietStart) return false;
    return drawnLength_ == 0 || nowSeconds - lastDrawn_ >= RedrawInterval;
}

void ProgressLine::draw(const std::string& text, double nowSeconds) {
    std::string out = "\r" + text;
    if (text.size() < drawnLength_) out.append(drawnLength_ - text.size(), ' ');
    write_(out);
    drawnLength_ = text.size();
    lastDrawn_ = nowSeconds;
}

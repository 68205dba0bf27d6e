// The status line of qpack build: its texts, the time left from the rate so
// far, and what reaches the terminal as calls come in on an injected clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qpack/progress_line.h"

namespace {

TEST(ProgressLineText, ReadingAndCompressing) {
    struct Case {
        std::string got, expected;
    };
    const Case cases[] = {
        {readingLine(0, 0, 0), "reading 0/0 files, 0.0 MB"},
        {readingLine(412, 1180, 37'200'000), "reading 412/1180 files, 37.2 MB"},
        {readingLine(7, 7, 1'250'049'999), "reading 7/7 files, 1250.0 MB"},
        // No rate before half a second of compressing, nor before any input is consumed.
        {compressingLine(54'100'000, 100'700'000, 0.4), "compressing 54.1 of 100.7 MB (53 %)"},
        {compressingLine(0, 100'000'000, 5), "compressing 0.0 of 100.0 MB (0 %)"},
        {compressingLine(50'000'000, 100'000'000, 4), "compressing 50.0 of 100.0 MB (50 %), 12.5 MB/s, 4 s left"},
        // The percentage never rounds up to a 100 that has not been reached.
        {compressingLine(999'999, 1'000'000, 0.1), "compressing 1.0 of 1.0 MB (99 %)"},
        {compressingLine(0, 0, 1), "compressing 0.0 of 0.0 MB (100 %)"},
        // Time left is rounded up (2.33 s), and past a minute given in minutes and seconds.
        {compressingLine(3'000'000, 10'000'000, 1), "compressing 3.0 of 10.0 MB (30 %), 3.0 MB/s, 3 s left"},
        {compressingLine(1'000'000, 100'000'000, 1), "compressing 1.0 of 100.0 MB (1 %), 1.0 MB/s, 1 min 39 s left"},
        {compressingLine(2'000'000, 242'000'000, 2), "compressing 2.0 of 242.0 MB (0 %), 1.0 MB/s, 4 min 00 s left"},
        {compressingLine(10'000'000, 10'000'000, 2), "compressing 10.0 of 10.0 MB (100 %), 5.0 MB/s, 0 s left"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
}

// A call on the line at a time (seconds); the build started at 100.
struct Call {
    double at;
    enum { Read, Compress, Clear } what;
    uint64_t done, total;
};

std::string drawn(const std::string& text, size_t blanks = 0) { return "\r" + text + std::string(blanks, ' '); }
std::string cleared(size_t length) { return "\r" + std::string(length, ' ') + "\r"; }

TEST(ProgressLineOutput, WaitsThrottlesRedrawsAndClears) {
    const std::string read2 = "reading 2/3 files, 2.5 MB";
    const std::string compress20 = "compressing 2.0 of 10.0 MB (20 %)";
    const std::string compress50 = "compressing 5.0 of 10.0 MB (50 %), 5.0 MB/s, 1 s left";
    const std::string slow = "compressing 1.0 of 100.0 MB (1 %), 1.0 MB/s, 1 min 39 s left";
    const std::string faster = "compressing 50.0 of 100.0 MB (50 %), 25.0 MB/s, 2 s left";
    struct Case {
        const char* name;
        bool shown;
        std::vector<Call> calls;
        std::string expected;
    };
    const std::vector<Call> longBuild = {
        {100.2, Call::Read, 1, 3},  // within the first half second: a quick build shows nothing
        {100.5, Call::Read, 2, 3},
        {100.6, Call::Read, 3, 3},         // too soon after the last line
        {100.7, Call::Compress, 0, 10},    // too soon, but the rate counts from here
        {100.8, Call::Compress, 2, 10},    // compressing for 0.1 s: no rate yet
        {101.7, Call::Compress, 5, 10},    // 5 MB in 1 s
        {101.8, Call::Clear, 0, 0},
    };
    const Case cases[] = {
        {"quick build", true,
         {{100.0, Call::Read, 1, 1}, {100.3, Call::Compress, 0, 10}, {100.49, Call::Compress, 10, 10},
          {100.49, Call::Clear, 0, 0}},
         ""},
        {"long build", true, longBuild,
         drawn(read2) + drawn(compress20) + drawn(compress50) + cleared(compress50.size())},
        {"not shown (quiet, or not a terminal)", false, longBuild, ""},
        {"a shorter line blanks the rest of the longer one", true,
         {{101.0, Call::Compress, 0, 100}, {102.0, Call::Compress, 1, 100}, {103.0, Call::Compress, 50, 100},
          {103.1, Call::Clear, 0, 0}, {103.2, Call::Clear, 0, 0}},
         drawn("compressing 0.0 of 100.0 MB (0 %)") + drawn(slow) + drawn(faster, slow.size() - faster.size()) +
             cleared(faster.size())},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out;
        ProgressLine line(c.shown, 100.0, [&out](const std::string& text) { out += text; });
        for (const Call& call : c.calls) {
            if (call.what == Call::Read)
                line.reading(size_t(call.done), size_t(call.total), call.done * 1'250'000, call.at);
            else if (call.what == Call::Compress)
                line.compressing(call.done * 1'000'000, call.total * 1'000'000, call.at);
            else
                line.clear();
        }
        EXPECT_EQ(out, c.expected);
    }
}

}  // namespace

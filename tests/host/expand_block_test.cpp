#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/expand_block.h"
#include "core/str.h"
#include "support/fatal_capture.h"

namespace {

std::string text(const String& s) { return std::string(s.cStr(), static_cast<size_t>(s.length())); }

void put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += char(v >> (8 * i));
}

std::string image(int32_t hint, const std::string& tokens) {
    std::string out;
    put32(out, CompressedImageMagic);
    put32(out, uint32_t(hint));
    return out + tokens;
}

std::string bytes(std::initializer_list<int> list) {
    std::string out;
    for (int b : list) out += char(b);
    return out;
}

std::string literal(const std::string& s) {  // one literal token of up to 16,383 bytes
    if (s.size() < 64) return char(0x40 | s.size()) + s;
    return bytes({int(0x80 | (s.size() & 0x3F)), int(s.size() >> 6)}) + s;
}

std::string sample(size_t n, unsigned seed = 1) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = char(rng());
    return s;
}

// A back-reference token for a length of 3 to 65,538 and a distance of 4 to 16,777,219.
std::string reference(int len, int distance) {
    int l = len - 3, d = distance - 4;
    bool wide = d > 0xFFFF;
    std::string out(1, char(0xC0 | (wide ? 0x20 : 0) | (l >= 1 && l <= 31 ? l : 0)));
    if (!(l >= 1 && l <= 31)) out += bytes({l & 0xFF, l >> 8});
    out += bytes({d & 0xFF, (d >> 8) & 0xFF});
    if (wide) out += char(d >> 16);
    return out;
}

// Tokens that produce n bytes: a random literal, then back-references that
// double it. Expansion-heavy, so large outputs come from small images.
std::string grownTo(int n) {
    std::string tokens = literal(sample(64, 7));
    int produced = 64;
    while (produced < n) {
        int len = std::min({produced, 65538, n - produced});
        tokens += len >= 3 ? reference(len, std::min(produced, 16777219)) : literal(std::string(size_t(len), 'z'));
        produced += len;
    }
    return tokens;
}

// Straightforward byte-at-a-time reading of the format, to hold the fast
// decoder against. nullopt: a token's operands are cut off.
std::optional<std::string> expandSlowly(const std::string& tokens) {
    std::string out;
    size_t i = 0;
    auto next = [&](int& b) {
        if (i >= tokens.size()) return false;
        b = (unsigned char)tokens[i++];
        return true;
    };
    int c;
    while (next(c)) {
        int n = c & 0x3F, b = 0, b2 = 0;
        if ((c >> 6) == 0) {
            if (!next(b)) return std::nullopt;
            out.append(size_t(n + 3), char(b));
        } else if ((c >> 6) != 3) {
            if ((c >> 6) == 2) {
                if (!next(b)) return std::nullopt;
                n |= b << 6;
            }
            for (int k = 0; k < n; ++k) {
                if (!next(b)) return std::nullopt;
                out += char(b);
            }
        } else {
            long len = c & 0x1F, distance;
            if (len == 0) {
                if (!next(b) || !next(b2)) return std::nullopt;
                len = b | b2 << 8;
            }
            if (!next(b) || !next(b2)) return std::nullopt;
            distance = b | b2 << 8;
            if (c & 0x20) {
                if (!next(b)) return std::nullopt;
                distance |= long(b) << 16;
            }
            len += 3, distance += 4;
            long start = long(out.size()) - distance;
            if (start < 0 || start + len > long(out.size())) continue;
            for (long k = 0; k < len; ++k) out += out[size_t(start + k)];
        }
    }
    return out;
}

// Runs the token stream from an exactly sized heap copy, so that ASan sees
// any read past its end (a String keeps spare bytes behind its length).
int expandExactCopy(const std::string& tokens, std::string& result, int initialCapacity = 0) {
    std::unique_ptr<unsigned char[]> copy(new unsigned char[tokens.size()]);
    std::memcpy(copy.get(), tokens.data(), tokens.size());
    ExpansionOutput out(initialCapacity);
    int produced = expandTokens(copy.get(), int(tokens.size()), out);
    if (produced >= 0) result.assign(out.bytes(), size_t(produced));
    return produced;
}

// measureTokens on an exactly sized heap copy, where ASan sees any read past its end.
int measureExactCopy(const std::string& tokens) {
    std::unique_ptr<unsigned char[]> copy(new unsigned char[tokens.size()]);
    std::memcpy(copy.get(), tokens.data(), tokens.size());
    return measureTokens(copy.get(), int(tokens.size()));
}

// Checks every report of a fixed-output expansion as it comes: the counts
// rise by at least the step, and by at most a step and two tokens' output
// (the one that passes the step on the fast path and one checked token),
// and the bytes they call final are the expected ones already.
class PrefixChecker {
public:
    PrefixChecker(const unsigned char* out, const std::string& expected, int step)
        : out_(out), expected_(expected), step_(step) {}
    static void report(void* self, int count) { static_cast<PrefixChecker*>(self)->produced(count); }
    void produced(int count) {
        EXPECT_GE(count, last_ + step_);
        EXPECT_LE(count, last_ + step_ + 2 * 65538);
        ASSERT_LE(size_t(count), expected_.size());
        EXPECT_EQ(std::memcmp(out_, expected_.data(), size_t(count)), 0) << "bytes reported at " << count;
        last_ = count;
        ++reports_;
    }
    int last() const { return last_; }
    int reports() const { return reports_; }

private:
    const unsigned char* out_;
    const std::string& expected_;
    int step_;
    int last_ = 0;
    int reports_ = 0;
};

// Expands into a fixed heap buffer of exactly capacity + CopySlack bytes
// (ASan sees any write past it), reporting every step bytes to a checker
// of expected when that is given.
int expandFixed(const std::string& tokens, int capacity, int step, const std::string* expected,
                std::string* result = nullptr) {
    std::unique_ptr<unsigned char[]> copy(new unsigned char[tokens.size()]);
    std::memcpy(copy.get(), tokens.data(), tokens.size());
    std::unique_ptr<char[]> buffer(new char[size_t(capacity) + ExpansionOutput::CopySlack]);
    ExpansionOutput out(buffer.get(), capacity);
    std::optional<PrefixChecker> checker;
    if (expected) {
        checker.emplace(reinterpret_cast<const unsigned char*>(buffer.get()), *expected, step);
        out.reportTo(PrefixChecker::report, &*checker, step);
    }
    int produced = expandTokens(copy.get(), int(tokens.size()), out);
    EXPECT_EQ(out.release(), nullptr) << "a fixed output hands back no buffer of its own";
    if (checker && produced >= 0) {
        EXPECT_LE(produced - checker->last(), step + 2 * 65538);
    }
    if (result && produced >= 0) result->assign(buffer.get(), size_t(produced));
    return produced;
}

TEST(ExpandBlock, BlocksWithoutTheMagicComeBackUnchanged) {
    const std::string magicOnly = image(0, "").substr(0, 4);
    const std::string cases[] = {
        "",
        magicOnly + "abc",                                     // 7 bytes: too short for the head
        bytes({0x9E, 0xC7, 0x2B, 0xA1, 0, 0, 0, 0, 0x00, 0x41}),  // magic in the wrong byte order
        bytes({0xA1, 0x2B, 0xC7, 0x9F, 0, 0, 0, 0, 0x00, 0x41}),  // one bit off
        "plain text that was never compressed",
    };
    for (const std::string& input : cases) {
        String block(input.data(), int(input.size()));
        char* before = block.data();
        EXPECT_FALSE(ExpandBlock(block)) << input;
        EXPECT_EQ(text(block), input);
        EXPECT_EQ(block.data(), before);
    }
}

struct TokenCase {
    const char* name;
    std::string tokens;
    std::string expected;
};

TEST(ExpandBlock, EachTokenKindProducesItsBytes) {
    const std::string abcde = "abcde";
    const std::string s63 = sample(63, 2), s65 = sample(65, 3), s16383 = sample(16383, 4);
    const std::string s70000 = sample(70000, 5);
    const TokenCase cases[] = {
        {"no tokens", "", ""},
        {"shortest run", bytes({0x00, 0x41}), "AAA"},
        {"longest run", bytes({0x3F, 0x7E}), std::string(66, '~')},
        {"run of NUL bytes", bytes({0x05, 0x00}), std::string(8, '\0')},
        {"empty short literal", bytes({0x40}), ""},
        {"empty short literal with 15 token bytes after it", bytes({0x40}) + literal("fourteen bytes"),
         "fourteen bytes"},
        {"short literal", bytes({0x43}) + "xyz", "xyz"},
        {"longest short literal", bytes({0x7F}) + s63, s63},
        {"long literal 0x81 0x01 is 65 bytes", bytes({0x81, 0x01}) + s65, s65},
        {"empty long literal", bytes({0x80, 0x00}), ""},
        {"longest long literal", bytes({0xBF, 0xFF}) + s16383, s16383},
        {"back-reference 0xC2 copies the last 5 bytes", literal(abcde) + bytes({0xC2, 0x01, 0x00}),
         "abcdeabcde"},
        {"back-reference with 4 bytes produced writes nothing",
         literal("abcd") + bytes({0xC2, 0x01, 0x00}) + literal("Z"), "abcdZ"},
        {"back-reference with nothing produced writes nothing", bytes({0xC1, 0x00, 0x00}) + literal("Z"), "Z"},
        {"length longer than distance never copies (0xC0 len 5 dist 0)",
         literal("abcdefgh") + bytes({0xC0, 0x05, 0x00, 0x00, 0x00}), "abcdefgh"},
        {"length one more than the distance never copies",
         literal("abcdefgh") + bytes({0xC2, 0x00, 0x00}), "abcdefgh"},
        {"16-bit length word 0 is the shortest copy",
         literal("abcd") + bytes({0xC0, 0x00, 0x00, 0x00, 0x00}), "abcdabc"},
        {"source ending exactly at the position", literal("wxyz") + bytes({0xC1, 0x00, 0x00}), "wxyzwxyz"},
        {"source starting exactly at 0",
         literal("0123456789") + bytes({0xC4, 0x06, 0x00}), "01234567890123456"},
        {"0xE1 reads a 24-bit distance", literal(s70000.substr(0, 16383)) + literal(s70000.substr(16383, 16383)) +
             literal(s70000.substr(32766, 16383)) + literal(s70000.substr(49149, 16383)) +
             literal(s70000.substr(65532)) + bytes({0xE1, 0x6C, 0x11, 0x01}),
         s70000 + s70000.substr(0, 4)},
        {"0xE1 beyond the output writes nothing",
         literal(s63) + bytes({0xE1, 0x6C, 0x11, 0x01}) + literal("Z"), s63 + "Z"},
        {"longest 16-bit length and distance", grownTo(65539) + bytes({0xC0, 0xFF, 0xFF, 0xFF, 0xFF}),
         [] {
             std::optional<std::string> grown = expandSlowly(grownTo(65539));
             return *grown + grown->substr(0, 65538);
         }()},
    };
    for (const TokenCase& c : cases) {
        SCOPED_TRACE(c.name);
        String block;
        std::string input = image(int32_t(c.expected.size()), c.tokens);
        block.assign(input.data(), int(input.size()));
        ASSERT_TRUE(ExpandBlock(block));
        EXPECT_EQ(text(block), c.expected);
        std::string exact;
        ASSERT_EQ(expandExactCopy(c.tokens, exact), int(c.expected.size()));
        EXPECT_EQ(exact, c.expected);
    }
}

TEST(ExpandBlock, ReachesTheFarthestDistanceAndNoFurther) {
    const int farthest = 16777219;
    struct {
        const char* name;
        int produced;
        bool copies;
    } cases[] = {
        {"distance of exactly the output", farthest, true},
        {"distance one byte beyond the output", farthest - 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string grow = grownTo(c.produced);
        const std::optional<std::string> prefix = expandSlowly(grow);
        ASSERT_TRUE(prefix && prefix->size() == size_t(c.produced));
        std::string input = image(0, grow + bytes({0xE1, 0xFF, 0xFF, 0xFF}));
        String block(input.data(), int(input.size()));
        ASSERT_TRUE(ExpandBlock(block));
        EXPECT_TRUE(text(block) == *prefix + (c.copies ? prefix->substr(0, 4) : ""));
    }
}

TEST(ExpandBlock, CutOffOperandsRefuseAndLeaveTheBlockUnchanged) {
    const std::string lead = literal("head") + bytes({0x00, 0x41});
    const TokenCase cases[] = {
        {"run without its value", bytes({0x02}), ""},
        {"short literal missing bytes", bytes({0x45}) + "abc", ""},
        {"long literal without its high byte", bytes({0x81}), ""},
        {"long literal missing bytes", bytes({0x81, 0x01}) + std::string(64, 'q'), ""},
        {"back-reference with half a distance", bytes({0xC2, 0x01}), ""},
        {"back-reference without a distance", bytes({0xC2}), ""},
        {"16-bit length without a distance", bytes({0xC0, 0x05, 0x00}), ""},
        {"16-bit length cut in half", bytes({0xC0, 0x05}), ""},
        {"wide distance without its third byte", bytes({0xE2, 0x01, 0x00}), ""},
        {"wide distance and 16-bit length cut", bytes({0xE0, 0x01, 0x00, 0x01, 0x00}), ""},
    };
    for (const TokenCase& c : cases) {
        for (const std::string& before : {std::string(), lead}) {
            SCOPED_TRACE(std::string(c.name) + (before.empty() ? "" : " after other tokens"));
            std::string input = image(100, before + c.tokens);
            String block(input.data(), int(input.size()));
            EXPECT_FALSE(ExpandBlock(block));
            EXPECT_EQ(text(block), input);
            std::string unused;
            EXPECT_EQ(expandExactCopy(before + c.tokens, unused), -1);
        }
    }
}

TEST(ExpandBlock, TheHintOnlyPresizesTheOutput) {
    const std::string tokens = bytes({0x3F, 0x61, 0x42}) + "xy";
    const std::string expected = std::string(66, 'a') + "xy";
    const int32_t hints[] = {0, 1, 67, 68, 69, 1000, -1, INT32_MIN, 0x40000000, 0x40000001, INT32_MAX};
    for (int32_t hint : hints) {
        SCOPED_TRACE(hint);
        std::string input = image(hint, tokens);
        String block(input.data(), int(input.size()));
        bool result = false;
        EXPECT_EQ(captureFatal([&] { result = ExpandBlock(block); }), NoFatalReport);
        EXPECT_TRUE(result);
        EXPECT_EQ(text(block), expected);
        // The block owns just the produced bytes, whatever was pre-sized.
        EXPECT_EQ(block.capacity(), int(expected.size()) + 1);
    }
}

TEST(ExpandBlock, OutputBeyondTheStringLimitIsRefused) {
    // Grows to exactly the limit, which is allowed; one more byte is not.
    const std::string full = grownTo(MaxExpandedLength);
    struct {
        std::string tail;
        bool accepted;
    } cases[] = {{"", true}, {literal("x"), false}};
    for (const auto& c : cases) {
        std::string input = image(0x40000000, full + c.tail);
        const std::string tokens = full + c.tail;
        EXPECT_EQ(measureTokens(reinterpret_cast<const unsigned char*>(tokens.data()), int(tokens.size())),
                  c.accepted ? MaxExpandedLength : -1);
        String block(input.data(), int(input.size()));
        EXPECT_EQ(ExpandBlock(block), c.accepted);
        EXPECT_EQ(block.length(), c.accepted ? MaxExpandedLength : int(input.size()));
    }
}

TEST(ExpandBlock, AgreesWithAByteAtATimeReadingOnRandomTokens) {
    // Token streams biased towards what matters: short distances near the
    // length (the chunked copies), lengths around 16-byte boundaries, cut-off ends.
    std::mt19937 rng(12345);
    for (int round = 0; round < 3000; ++round) {
        std::string tokens;
        int produced = 0;
        int count = int(rng() % 40);
        for (int t = 0; t < count; ++t) {
            switch (rng() % 4) {
            case 0: tokens += bytes({int(rng() % 64), int(rng() % 256)}); produced += 3; break;
            case 1: {
                std::string s = sample(rng() % 70, unsigned(rng()));
                tokens += literal(s);
                produced += int(s.size());
                break;
            }
            default: {
                int distance = 4 + int(rng() % (produced + 8));
                int len = 3 + int(rng() % 40);
                if (rng() % 8 == 0) len = distance;
                if (len <= 65538 && distance <= 16777219) tokens += reference(len, distance);
                break;
            }
            }
        }
        if (rng() % 4 == 0 && !tokens.empty()) tokens.resize(rng() % tokens.size());
        std::optional<std::string> expected = expandSlowly(tokens);
        std::string actual;
        int produced2 = expandExactCopy(tokens, actual);
        ASSERT_EQ(produced2 >= 0, expected.has_value()) << "round " << round;
        EXPECT_EQ(measureExactCopy(tokens), produced2) << "round " << round;
        if (expected) {
            ASSERT_EQ(actual, *expected) << "round " << round;
        }
    }
}

TEST(ExpandBlock, AgreesWithAByteAtATimeReadingOnLongStreams) {
    // Long streams, so that most tokens are expanded far from both ends of
    // the input and the output: every token kind and form, copies that break
    // the source rule (too far back, longer than their distance) among valid
    // ones, wide distances once enough is produced, and cut-off ends. The
    // output starts empty, exactly sized, or too small.
    std::mt19937 rng(4242);
    for (int round = 0; round < 120; ++round) {
        std::string tokens;
        long produced = 0;
        const int count = 200 + int(rng() % 1500);
        for (int t = 0; t < count; ++t) {
            const unsigned kind = rng() % 16;
            if (kind < 2) {
                tokens += bytes({int(rng() % 64), int(rng() % 256)});
                produced += 3;  // at least; the model below gives the exact size
            } else if (kind < 6) {
                std::string s = sample(kind == 5 ? 64 + rng() % 400 : rng() % 64, unsigned(rng()));
                tokens += literal(s);
                produced += long(s.size());
            } else {
                const bool far = kind == 15 && produced > 70000;
                long distance = far ? 65540 + long(rng() % (produced - 65536))
                                    : 4 + long(rng() % std::min<long>(produced + 8, rng() % 2 ? 40 : 65536));
                int len = kind == 14 ? 3 + int(rng() % 3000) : 4 + int(rng() % 31);
                if (rng() % 6 == 0) len = int(std::min<long>(distance, 34));
                if (rng() % 10 == 0) len = int(distance) + 1;  // longer than its distance: nothing
                if (len > 65538) len = 65538;
                tokens += reference(len, int(distance));
                if (len <= distance && distance <= produced) produced += len;
            }
        }
        if (rng() % 3 == 0) tokens.resize(tokens.size() - 1 - rng() % 8);
        std::optional<std::string> expected = expandSlowly(tokens);
        EXPECT_EQ(measureExactCopy(tokens), expected ? int(expected->size()) : -1) << "round " << round;
        const int sizes[] = {0, expected ? int(expected->size()) : 0, expected ? int(expected->size()) / 3 : 0};
        for (int capacity : sizes) {
            std::string actual;
            int got = expandExactCopy(tokens, actual, capacity);
            ASSERT_EQ(got >= 0, expected.has_value()) << "round " << round << ", capacity " << capacity;
            if (expected) {
                ASSERT_EQ(actual, *expected) << "round " << round << ", capacity " << capacity;
            }
        }
        if (!expected) continue;
        // A fixed output of exactly the size, reported on in steps while it
        // fills; one byte smaller, it refuses without writing past its slack.
        const int size = int(expected->size());
        std::string actual;
        ASSERT_EQ(expandFixed(tokens, size, 1000 + int(rng() % 5000), &*expected, &actual), size);
        ASSERT_EQ(actual, *expected) << "round " << round;
        if (size > 0) {
            EXPECT_EQ(expandFixed(tokens, size - 1, 0, nullptr), -1) << "round " << round;
        }
    }
}

}  // namespace

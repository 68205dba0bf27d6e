#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "core/memory_stream.h"

namespace {

std::string bytes(const String& s) { return std::string(s.cStr(), static_cast<size_t>(s.length())); }

MemoryStream streamOf(const std::string& content) {
    MemoryStream stream;
    stream.assign(content.data(), static_cast<int>(content.size()));
    return stream;
}

struct ShortReadCase {
    const char* name;
    int position;
    int count;
    const char* expected;  // the 4 bytes of the destination after the read
    bool succeeds;
    int positionAfter;
};

// The destination starts as "WXYZ" so that stale bytes would show.
const ShortReadCase ShortReads[] = {
    {"whole value inside", 0, 4, "\x01\x02\x03\x04", true, 4},
    {"value ending at the end", 2, 4, "\x03\x04\x05\x06", true, 6},
    {"two bytes there, two missing", 4, 4, "\x05\x06\x00\x00", false, 8},
    {"one byte there", 5, 4, "\x06\x00\x00\x00", false, 9},
    {"at the end", 6, 4, "\x00\x00\x00\x00", false, 10},
    {"far beyond the end", 100, 4, "\x00\x00\x00\x00", false, 104},
    {"before the start", -2, 4, "\x00\x00\x00\x00", false, 2},
    {"zero bytes beyond the end", 9, 0, "WXYZ", true, 9},
    {"negative count", 0, -1, "WXYZ", false, 0},
};

TEST(MemoryStreamRead, ShortReadsZeroFillAdvanceFullyAndFail) {
    for (const auto& c : ShortReads) {
        SCOPED_TRACE(c.name);
        MemoryStream stream = streamOf("\x01\x02\x03\x04\x05\x06");
        stream.skip(c.position);
        char value[4] = {'W', 'X', 'Y', 'Z'};
        EXPECT_EQ(stream.read(value, c.count), c.succeeds);
        EXPECT_EQ(std::string(value, 4), std::string(c.expected, 4));
        EXPECT_EQ(stream.position(), c.positionAfter);
        EXPECT_EQ(stream.length(), 6);
    }
}

TEST(MemoryStreamRead, ThirtyTwoBitValueAtPositionFourOfSixBytes) {
    MemoryStream stream = streamOf("\x01\x02\x03\x04\xAA\xBB");
    ASSERT_TRUE(stream.seek(4));
    uint32_t value = 0xFFFFFFFF;
    stream >> value;
    EXPECT_EQ(value, 0x0000BBAAu);
    EXPECT_EQ(stream.position(), 8);
    EXPECT_TRUE(stream.atEnd());
    // Every later read fails with zeros.
    uint16_t more = 0xFFFF;
    stream >> more;
    EXPECT_EQ(more, 0);
    char c = 'x';
    EXPECT_FALSE(stream.read(&c, 1));
    EXPECT_EQ(c, 0);
}

TEST(MemoryStreamRead, ZeroBytesSucceedEvenOnAnEmptyBlockOrWithNull) {
    MemoryStream empty;
    EXPECT_TRUE(empty.read(nullptr, 0));
    EXPECT_FALSE(empty.read(nullptr, 1));
    EXPECT_EQ(empty.position(), 0);
    EXPECT_TRUE(empty.atEnd());
}

TEST(MemoryStreamRead, ValuesAreLittleEndianAndChain) {
    std::string data("\x80\xFE\xFF\x78\x56\x34\x12\xFF\xFF\xFF\xFF", 11);
    MemoryStream stream = streamOf(data);
    int8_t signedByte = 0;
    int16_t minusTwo = 0;
    uint32_t word = 0;
    int32_t minusOne = 0;
    stream >> signedByte >> minusTwo >> word >> minusOne;
    EXPECT_EQ(signedByte, -128);
    EXPECT_EQ(minusTwo, -2);
    EXPECT_EQ(word, 0x12345678u);
    EXPECT_EQ(minusOne, -1);
    EXPECT_EQ(stream.position(), 11);
    EXPECT_TRUE(stream.atEnd());
}

TEST(MemoryStreamRead, DateIsDayMonthAndSixteenBitYear) {
    // 1 January 2000 (0x07D0), then 29 February 1900, then a cut-off date.
    std::string data("\x01\x01\xD0\x07" "\x1D\x02\x6C\x07" "\x03\x09", 10);
    MemoryStream stream = streamOf(data);
    Date newYear, invalid, cut;
    cut.dayNumber = 99;  // must not survive the short read
    stream >> newYear >> invalid >> cut;
    EXPECT_EQ(newYear.dayNumber, 2451544);
    EXPECT_EQ(newYear.weekday, 7);
    EXPECT_EQ(invalid.year, 1900);
    EXPECT_EQ(invalid.day, 29);
    EXPECT_TRUE(invalid.isInvalid());
    // Day 3, month 9, year bytes missing: year 0 zero-filled.
    EXPECT_EQ(cut.day, 3);
    EXPECT_EQ(cut.month, 9);
    EXPECT_EQ(cut.year, 0);
    EXPECT_EQ(stream.position(), 12);

    MemoryStream empty;
    Date none;
    none.dayNumber = 5;
    none.weekday = 3;
    empty >> none;
    EXPECT_EQ(none.dayNumber, 0);
    EXPECT_EQ(none.weekday, 0);
    EXPECT_EQ(none.month, 0);
}

TEST(MemoryStreamRead, FileDateTimeIsSixLittleEndianInts) {
    const int32_t fields[6] = {1999, 9, 3, 23, 59, 58};
    std::string data;
    for (int32_t f : fields)
        for (int b = 0; b < 4; ++b) data += static_cast<char>((static_cast<uint32_t>(f) >> (8 * b)) & 0xFF);
    MemoryStream stream = streamOf(data + std::string("\x07\x00\x00", 3));
    FileDateTime time, cut(1, 2, 3, 4, 5, 6);
    stream >> time >> cut;
    EXPECT_EQ(time.year, 1999);
    EXPECT_EQ(time.month, 9);
    EXPECT_EQ(time.day, 3);
    EXPECT_EQ(time.hour, 23);
    EXPECT_EQ(time.minute, 59);
    EXPECT_EQ(time.second, 58);
    EXPECT_EQ(cut.year, 7);
    EXPECT_EQ(cut.month, 0);
    EXPECT_EQ(cut.second, 0);
    EXPECT_FALSE(cut.isSet());
    EXPECT_EQ(stream.position(), 48);
}

struct ReadTextCase {
    const char* name;
    std::string block;
    int position;
    const char* expected;
    bool succeeds;
    int positionAfter;
};

TEST(MemoryStreamReadText, StopsAtNulOrTheEndOfTheBlock) {
    const std::string abNulC("ab\0c", 4);
    const ReadTextCase cases[] = {
        {"text before a NUL", abNulC, 0, "ab", true, 3},
        {"text running into the end", abNulC, 3, "c", false, 4},
        {"at a NUL byte", abNulC, 2, "", true, 3},
        {"at the end", abNulC, 4, "", false, 4},
        {"beyond the end", abNulC, 10, "", false, 10},
        {"before the start", abNulC, -1, "", false, -1},
        {"empty block", std::string(), 0, "", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryStream stream = streamOf(c.block);
        stream.skip(c.position);
        String s("stale");
        EXPECT_EQ(stream.readText(s), c.succeeds);
        EXPECT_EQ(bytes(s), c.expected);
        EXPECT_EQ(stream.position(), c.positionAfter);
    }
}

TEST(MemoryStreamReadText, ConsecutiveTexts) {
    MemoryStream stream = streamOf(std::string("ab\0c", 4));
    String s;
    EXPECT_TRUE(stream.readText(s));
    EXPECT_EQ(bytes(s), "ab");
    EXPECT_EQ(stream.position(), 3);
    EXPECT_FALSE(stream.readText(s));
    EXPECT_EQ(bytes(s), "c");
    EXPECT_EQ(stream.position(), 4);
}

TEST(MemoryStreamReadInto, AppendsOrLeavesTheDestinationUnchanged) {
    MemoryStream stream = streamOf("0123456789");
    String s("ab");
    EXPECT_TRUE(stream.readInto(s, 3));
    EXPECT_EQ(bytes(s), "ab012");
    EXPECT_EQ(stream.position(), 3);
    EXPECT_TRUE(stream.readInto(s, 0));
    EXPECT_TRUE(stream.readInto(s, -4));
    EXPECT_EQ(stream.position(), 3);

    ASSERT_TRUE(stream.seek(6));
    int capacityBefore = s.capacity();
    EXPECT_FALSE(stream.readInto(s, 10));
    EXPECT_EQ(bytes(s), "ab012");
    EXPECT_EQ(s.capacity(), capacityBefore);
    EXPECT_EQ(stream.position(), 16);

    // A crafted count far beyond the block is refused without allocating it.
    ASSERT_TRUE(stream.seek(0));
    EXPECT_FALSE(stream.readInto(s, 0x7FFFFFF0));
    EXPECT_EQ(bytes(s), "ab012");
    EXPECT_EQ(stream.position(), 0x7FFFFFF0);
    EXPECT_FALSE(stream.readInto(s, 0x7FFFFFF0));  // saturates, does not wrap
    EXPECT_EQ(stream.position(), 0x7FFFFFFF);
    EXPECT_TRUE(stream.atEnd());
}

TEST(MemoryStreamReadSpan, ViewsTheBlockOrFailsEmpty) {
    MemoryStream stream = streamOf("0123456789");
    ByteSpan span;
    ASSERT_TRUE(stream.readSpan(span, 4));
    EXPECT_EQ(std::string(span.bytes, size_t(span.length)), "0123");
    EXPECT_EQ(span.bytes, stream.cStr());  // a view, not a copy
    EXPECT_TRUE(stream.readSpan(span, 0));
    EXPECT_EQ(span.length, 0);
    EXPECT_EQ(stream.position(), 4);

    // Past the end, at a negative position, or a crafted count: empty, position moved as by read.
    EXPECT_FALSE(stream.readSpan(span, 7));
    EXPECT_EQ(span.length, 0);
    EXPECT_EQ(stream.position(), 11);
    ASSERT_TRUE(stream.seek(2));
    EXPECT_FALSE(stream.readSpan(span, 0x7FFFFFF0));
    EXPECT_EQ(span.length, 0);
    ASSERT_TRUE(stream.seek(0));
    stream.skip(-1);
    EXPECT_FALSE(stream.readSpan(span, 1));
    EXPECT_EQ(span.length, 0);
}

TEST(MemoryStreamPosition, SeekSkipTruncateAndReset) {
    MemoryStream stream = streamOf("abcdef");
    EXPECT_TRUE(stream.seek(6));
    EXPECT_TRUE(stream.atEnd());
    EXPECT_FALSE(stream.seek(7));
    EXPECT_EQ(stream.position(), 6);
    EXPECT_FALSE(stream.seek(-1));
    EXPECT_EQ(stream.position(), 6);
    EXPECT_TRUE(stream.seek(0));
    EXPECT_FALSE(stream.atEnd());
    stream.skip(-1);
    EXPECT_EQ(stream.position(), -1);
    EXPECT_TRUE(stream.atEnd());
    stream.skip(4);
    stream.truncateAtPosition();
    EXPECT_EQ(bytes(stream), "abc");
    stream.skip(5);
    stream.truncateAtPosition();  // beyond the end: nothing to drop
    EXPECT_EQ(bytes(stream), "abc");
    stream.reset();
    EXPECT_EQ(stream.position(), 0);
    EXPECT_EQ(stream.length(), 0);
    EXPECT_EQ(stream.capacity(), 0);
}

struct WriteCase {
    const char* name;
    std::string block;
    int position;
    std::string written;
    std::string expected;
    int positionAfter;
};

TEST(MemoryStreamWrite, OverwritesAndExtends) {
    const WriteCase cases[] = {
        {"overwrite the last byte and extend", "abc", 2, "XYZ", "abXYZ", 5},
        {"inside the block", "abcdef", 1, "XY", "aXYdef", 3},
        {"into an empty block", "", 0, "XY", "XY", 2},
        {"after a gap", "ab", 4, "X", std::string("ab\0\0X", 5), 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryStream stream = streamOf(c.block);
        stream.skip(c.position);
        EXPECT_TRUE(stream.write(c.written.data(), static_cast<int>(c.written.size())));
        EXPECT_EQ(bytes(stream), c.expected);
        EXPECT_EQ(stream.position(), c.positionAfter);
        EXPECT_EQ(stream.cStr()[stream.length()], 0);
    }
}

TEST(MemoryStreamWrite, RefusesNothingToWriteAndPositionsBeforeTheBlock) {
    MemoryStream stream = streamOf("abc");
    EXPECT_FALSE(stream.write("x", 0));
    EXPECT_FALSE(stream.write(nullptr, 2));
    EXPECT_FALSE(stream.fill('x', 0));
    EXPECT_FALSE(stream.fill('x', -3));
    stream.skip(-2);
    EXPECT_FALSE(stream.write("xy", 2));
    EXPECT_FALSE(stream.fill('x', 2));
    EXPECT_EQ(bytes(stream), "abc");
    EXPECT_EQ(stream.position(), -2);
}

TEST(MemoryStreamWrite, FillAndWritesFromTheBlockItself) {
    MemoryStream stream;
    EXPECT_TRUE(stream.fill('=', 3));
    EXPECT_TRUE(stream.write("ab", 2));
    EXPECT_EQ(bytes(stream), "===ab");
    // Writing bytes of the block itself while it grows past its capacity.
    while (stream.length() + 1 < stream.capacity()) stream.fill('.', 1);
    std::string before = bytes(stream);
    EXPECT_TRUE(stream.write(stream.cStr(), 5));
    EXPECT_EQ(bytes(stream), before + "===ab");
}

struct CopyCase {
    const char* name;
    int from;
    int count;
    bool copies;
    std::string expected;
};

TEST(MemoryStreamCopyWithin, CopiesOnlyFromBeforeThePosition) {
    const CopyCase cases[] = {
        {"last three bytes", 3, 3, true, "abcdefdef"},
        {"from the start", 0, 2, true, "abcdefab"},
        {"source reaching the position is allowed", 0, 6, true, "abcdefabcdef"},
        {"source passing the position", 4, 3, false, "abcdef"},
        {"negative start", -1, 2, false, "abcdef"},
        {"nothing to copy", 2, 0, false, "abcdef"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryStream stream = streamOf("abcdef");
        ASSERT_TRUE(stream.seek(6));
        EXPECT_EQ(stream.copyWithin(c.from, c.count), c.copies);
        EXPECT_EQ(bytes(stream), c.expected);
        EXPECT_EQ(stream.position(), static_cast<int>(c.expected.size()));
    }
}

TEST(MemoryStreamCopyWithin, NeverReadsBytesThatAreNotInTheBlock) {
    // Position beyond the length after skip: the source would lie in the gap.
    MemoryStream stream = streamOf("abc");
    stream.skip(8);
    EXPECT_FALSE(stream.copyWithin(2, 3));
    EXPECT_EQ(bytes(stream), "abc");
    EXPECT_TRUE(stream.copyWithin(0, 3));
    EXPECT_EQ(bytes(stream), std::string("abc\0\0\0\0\0abc", 11));
    // Inside an existing block the copy overwrites.
    MemoryStream inside = streamOf("abcdefgh");
    ASSERT_TRUE(inside.seek(4));
    EXPECT_TRUE(inside.copyWithin(0, 2));
    EXPECT_EQ(bytes(inside), "abcdabgh");
    EXPECT_EQ(inside.position(), 6);
}

// Random reads of random blocks against a plain model of the rules: bytes
// come only from inside the block, the rest of a value is zero, the position
// always moves by the count. Half the rounds limit the reads to a prefix of
// the block (as for a block still being filled): they must go exactly as on
// a block of that prefix alone. AddressSanitizer watches every access.
TEST(MemoryStreamRead, RandomReadsMatchTheModel) {
    std::mt19937 random(2024);
    for (int round = 0; round < 300; ++round) {
        std::string block(random() % 12, '\0');
        for (char& c : block) c = static_cast<char>(random() % 3 == 0 ? 0 : 'a' + random() % 26);
        MemoryStream stream = streamOf(block);
        const int limit = round % 2 ? static_cast<int>(random() % (block.size() + 3)) - 1 : -1;
        stream.limitReads(limit);
        // What the reads may see: the block, or the part of it before the limit.
        const std::string visible = limit >= 0 && limit < static_cast<int>(block.size()) ? block.substr(0, size_t(limit)) : block;
        int64_t position = 0;
        for (int step = 0; step < 40; ++step) {
            int kind = static_cast<int>(random() % 4);
            int n = static_cast<int>(random() % 8) - 1;
            const int length = static_cast<int>(visible.size());
            if (kind == 0) {
                stream.skip(n - 3);
                position += n - 3;
            } else if (kind == 1) {
                char value[8];
                std::memset(value, '#', sizeof value);
                bool ok = stream.read(value, n);
                if (n < 0) {
                    EXPECT_FALSE(ok);
                    EXPECT_EQ(std::string(value, 8), std::string(8, '#'));
                    continue;
                }
                for (int i = 0; i < n; ++i) {
                    int64_t at = position + i;
                    char expected = (position >= 0 && at < length) ? visible[static_cast<size_t>(at)] : 0;
                    ASSERT_EQ(value[i], expected) << "byte " << i << " at " << position;
                }
                EXPECT_EQ(ok, n == 0 || (position >= 0 && position + n <= length));
                position += n;
            } else if (kind == 2) {
                String text("old");
                bool ok = stream.readText(text);
                if (position < 0 || position >= length) {
                    EXPECT_FALSE(ok);
                    EXPECT_TRUE(text.isEmpty());
                    continue;
                }
                size_t nul = visible.find('\0', static_cast<size_t>(position));
                size_t end = nul == std::string::npos ? visible.size() : nul;
                EXPECT_EQ(bytes(text), visible.substr(static_cast<size_t>(position), end - static_cast<size_t>(position)));
                EXPECT_EQ(ok, nul != std::string::npos);
                position = static_cast<int64_t>(end) + (ok ? 1 : 0);
            } else {
                String into("x");
                bool ok = stream.readInto(into, n);
                bool fits = n < 1 || (position >= 0 && position + n <= length);
                EXPECT_EQ(ok, fits);
                std::string expected = "x";
                if (ok && n > 0) expected += visible.substr(static_cast<size_t>(position), static_cast<size_t>(n));
                EXPECT_EQ(bytes(into), expected);
                if (n > 0) position += n;
            }
            ASSERT_EQ(stream.position(), position);
            EXPECT_EQ(stream.atEnd(), position < 0 || position >= length);
        }
        EXPECT_EQ(bytes(stream), block) << "reads never change the block";
    }
}

// Random writes, fills, back-copies, skips and seeks against a plain model:
// writes overwrite and extend, a gap left by skip reads as zeros, a copy
// takes only bytes that lie in the block before the position.
TEST(MemoryStreamWrite, RandomWritesMatchTheModel) {
    std::mt19937 random(99);
    for (int round = 0; round < 300; ++round) {
        std::string model;
        int64_t position = 0;
        MemoryStream stream;
        for (int step = 0; step < 30; ++step) {
            int kind = static_cast<int>(random() % 5);
            int n = static_cast<int>(random() % 7) - 1;
            std::string data;
            for (int i = 0; i < n; ++i) data += static_cast<char>('A' + random() % 26);
            bool expectedOk = false;
            if (kind == 0 || kind == 1) {
                char c = static_cast<char>('a' + random() % 26);
                if (kind == 1) data.assign(n > 0 ? static_cast<size_t>(n) : 0, c);
                bool ok = kind == 0 ? stream.write(data.data(), n) : stream.fill(c, n);
                expectedOk = n >= 1 && position >= 0;
                EXPECT_EQ(ok, expectedOk);
            } else if (kind == 2) {
                int from = static_cast<int>(random() % 10) - 1;
                bool ok = stream.copyWithin(from, n);
                int64_t sourceEnd = int64_t(from) + n;
                expectedOk = n >= 1 && from >= 0 && position >= 0 && sourceEnd <= position &&
                             sourceEnd <= static_cast<int64_t>(model.size());
                EXPECT_EQ(ok, expectedOk) << "copy " << n << " from " << from << " at " << position;
                if (expectedOk) data = model.substr(static_cast<size_t>(from), static_cast<size_t>(n));
            } else if (kind == 3) {
                stream.skip(n - 2);
                position += n - 2;
            } else {
                int target = static_cast<int>(random() % 12) - 1;
                bool ok = stream.seek(target);
                EXPECT_EQ(ok, target >= 0 && target <= static_cast<int>(model.size()));
                if (ok) position = target;
            }
            if (expectedOk) {
                size_t at = static_cast<size_t>(position);
                if (model.size() < at + data.size()) model.resize(at + data.size(), '\0');
                model.replace(at, data.size(), data);
                position += static_cast<int64_t>(data.size());
            }
            ASSERT_EQ(stream.position(), position);
            ASSERT_EQ(bytes(stream), model);
            ASSERT_EQ(stream.cStr()[stream.length()], 0);
        }
    }
}

}  // namespace

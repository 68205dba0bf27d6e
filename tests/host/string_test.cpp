#include <gtest/gtest.h>

#include <string>

#include "core/memory.h"
#include "core/str.h"
#include "support/fatal_capture.h"

namespace {

std::string text(const String& s) { return std::string(s.cStr(), static_cast<size_t>(s.length())); }

TEST(StringBuffer, EmptyStringHasNoBufferAndAnEmptyText) {
    String s;
    EXPECT_EQ(s.length(), 0);
    EXPECT_EQ(s.capacity(), 0);
    ASSERT_NE(s.cStr(), nullptr);
    EXPECT_STREQ(s.cStr(), "");
    String t("x");
    t.setLength(-5);
    EXPECT_EQ(t.capacity(), 0);
    t = "x";
    t.setLength(0);
    EXPECT_EQ(t.capacity(), 0);
}

TEST(StringBuffer, GrowsWith25BytesOfSlackAndShrinksOnlyPast512) {
    String s("abc");
    EXPECT_EQ(s.length(), 3);
    EXPECT_EQ(s.capacity(), 28);
    s.setLength(4);
    EXPECT_EQ(s.capacity(), 28);
    s.setLength(28);
    EXPECT_EQ(s.capacity(), 53);

    String big;
    big.setLength(1000);
    EXPECT_EQ(big.capacity(), 1025);
    big.setLength(600);
    EXPECT_EQ(big.capacity(), 1025);
    big.setLength(512);
    EXPECT_EQ(big.capacity(), 537);
    EXPECT_EQ(big.cStr()[512], 0);
}

TEST(StringBuffer, AppendingOneByteAtATimeReallocatesEvery25Bytes) {
    String s;
    int reallocations = 0, lastCapacity = 0;
    for (int i = 0; i < 100; ++i) {
        s.appendChar('x');
        if (s.capacity() != lastCapacity) ++reallocations, lastCapacity = s.capacity();
    }
    EXPECT_EQ(reallocations, 4);  // capacities 26, 51, 76, 101
    EXPECT_EQ(s.capacity(), 101);
}

TEST(StringBuffer, ConsistencyFailuresNameModuleAndCheck) {
    EXPECT_EQ(captureFatal([] { String s("ab"); s.pointerAt(2); }), "Core32 603");
    EXPECT_EQ(captureFatal([] { String s; s.setLength(0x40000001); }), "Core32 663");
    EXPECT_EQ(captureFatal([] { String s; s.grow(-1); }), "Core32 2646");
    EXPECT_EQ(captureFatal([] { lastCharOf(nullptr); }), "Core32 5337");
    EXPECT_EQ(captureFatal([] { insertCharsAtStart(nullptr, 'x', 1); }), "Core32 5888");
}

TEST(StringBuffer, AdoptReleaseAndSetCharAt) {
    String s;
    char* p = static_cast<char*>(malloc(3));
    memcpy(p, "xyz", 3);
    s.adopt(p, 3);
    EXPECT_EQ(text(s), "xyz");
    EXPECT_EQ(s.capacity(), 4);
    EXPECT_TRUE(s.setCharAt(1, 0));
    EXPECT_EQ(s.length(), 1);
    EXPECT_FALSE(s.setCharAt(5, 'a'));
    char* released = s.release();
    EXPECT_TRUE(s.isEmpty());
    free(released);
    String z(static_cast<char>(0));
    EXPECT_EQ(z.length(), 1);
}

TEST(StringCompare, Table) {
    struct Case {
        const char* self;
        const char* other;
        bool caseSensitive;
        int maxCount;
        int sign;
    } cases[] = {
        {"abc", "ab", true, 2147483647, 1},
        {"ab", "abc", true, 2147483647, -1},
        {"abc", "abc", true, 2147483647, 0},
        {"ABC", "abc", false, 2147483647, 0},
        {"ABC", "abc", true, 2147483647, -1},
        {"abc", "", true, 2147483647, 1},
        {"abc", nullptr, true, 2147483647, 1},
        {"", "", true, 2147483647, 0},
        {"", "a", true, 2147483647, -1},
        {"abX", "abY", true, 2, 0},
        {"abc", "abc", true, 0, -1},
        {"\xE9", "a", true, 2147483647, 1},  // bytes compare unsigned
    };
    for (const Case& c : cases) {
        int result = String(c.self).compare(c.other, c.caseSensitive, c.maxCount);
        int sign = (result > 0) - (result < 0);
        EXPECT_EQ(sign, c.sign) << c.self << " vs " << (c.other ? c.other : "(null)");
    }
    EXPECT_EQ(String().compare(String()), -1);
    EXPECT_TRUE(String("a") == String("a"));
    EXPECT_TRUE(String() == String());
}

TEST(StringScan, FindTable) {
    String abc("abc");
    EXPECT_EQ(abc.find("b", -3), 1);
    EXPECT_EQ(abc.find("B", 0, false), 1);
    EXPECT_EQ(abc.find("B", 0, true), -1);
    EXPECT_EQ(abc.find("", 0), -1);
    EXPECT_EQ(abc.find("abcd", 0), -1);
    EXPECT_EQ(abc.find("c", 2), 2);
    EXPECT_EQ(String("abca").findLastChar('a', 99), 3);
    EXPECT_EQ(String("abca").findChar('C', 0, false), 2);
    EXPECT_EQ(String("a,b;c").findFirstOf(";,"), 1);
    EXPECT_EQ(String("a,b;c").findFirstOf(";,", 9), -1);
    EXPECT_EQ(String("  x").findFirstNotOf(" "), 2);
    EXPECT_EQ(String("Size: -12").findNumberStart(), 6);
    String withNul("ab", 2);
    withNul.appendChar(0);
    withNul.append("c");
    EXPECT_EQ(withNul.findFirstOf("c"), 3);  // the NUL byte is not in any set
}

TEST(StringEdit, RemoveTable) {
    struct Case {
        const char* before;
        int pos, count;
        bool result;
        const char* after;
    } cases[] = {
        {"abcd", -1, 2, true, "bcd"},
        {"abcd", 4, 1, false, "abcd"},
        {"abcd", 2, 9, true, "ab"},
        {"abcd", 1, 2, true, "ad"},
        {"abcd", -3, 2, false, "abcd"},
        {"abcd", 0, 4, true, ""},
        {"abcd", 1, 2147483647, true, "a"},
    };
    for (const Case& c : cases) {
        String s(c.before);
        EXPECT_EQ(s.remove(c.pos, c.count), c.result) << c.before << " " << c.pos << " " << c.count;
        EXPECT_EQ(text(s), c.after);
    }
}

TEST(StringEdit, SmallEdits) {
    String root("c:\\");
    EXPECT_FALSE(root.appendCharIfMissing('\\'));
    EXPECT_EQ(text(root), "c:\\");
    String s("hello");
    s.insert("XY", 2, 99);
    EXPECT_EQ(text(s), "helloXY");
    s.insertChars('-', -4, 2);
    EXPECT_EQ(text(s), "--helloXY");
    EXPECT_EQ(s.removeFirst(99), 9);
    EXPECT_TRUE(s.isEmpty());
    String q("\"quoted\"");
    EXPECT_TRUE(q.unquote('"'));
    EXPECT_EQ(text(q), "quoted");
    EXPECT_FALSE(q.unquote('"'));
    String prefix("D:\\dir");
    EXPECT_TRUE(prefix.removePrefix("d:"));
    EXPECT_EQ(text(prefix), "\\dir");
    String spaces(" \t ab \r\n");
    EXPECT_EQ(spaces.trim(), 6);
    EXPECT_EQ(text(spaces), "ab");
    String many("a.b.c.d");
    EXPECT_EQ(many.removeAll(".", 2), 2);
    EXPECT_EQ(text(many), "abc.d");
    EXPECT_EQ(String("x-y-z").removeAllChars('-'), 2);
    String blank(" \r\n\t");
    EXPECT_TRUE(blank.isBlank());
    EXPECT_FALSE(String(" x ").isBlank());
}

TEST(StringEdit, ReplaceAllTable) {
    struct Case {
        const char* before;
        const char* oldText;
        const char* newText;
        bool caseSensitive;
        int count;
        const char* after;
    } cases[] = {
        {"banana", "a", "xyz", true, 3, "bxyznxyznxyz"},
        {"banana", "an", "", true, 2, "ba"},
        {"banana", "an", nullptr, true, 2, "ba"},
        {"banana", "na", "NA", true, 2, "baNANA"},
        {"aaaa", "aa", "b", true, 2, "bb"},
        {"aaaa", "aa", "aaa", true, 2, "aaaaaa"},
        {"Path <OS>\\x <os>", "<os>", "C:\\WINDOWS", false, 2, "Path C:\\WINDOWS\\x C:\\WINDOWS"},
        {"banana", "x", "y", true, 0, "banana"},
        {"banana", "", "y", true, 0, "banana"},
        {"abc", "abc", "", true, 1, ""},
    };
    for (const Case& c : cases) {
        String s(c.before);
        EXPECT_EQ(s.replaceAll(c.oldText, c.newText, c.caseSensitive), c.count) << c.before;
        EXPECT_EQ(text(s), c.after) << c.before;
    }
}

TEST(StringExtract, TakeLineTable) {
    struct Case {
        const char* before;
        int beforeLength;
        const char* line;
        const char* rest;
        const char* lineWithEnding;
    } cases[] = {
        {"one\r\ntwo", 8, "one", "two", "one\r\n"},
        {"one\n\rtwo", 8, "one", "two", "one\n\r"},
        {"one\n\ntwo", 8, "one", "\ntwo", "one\n"},
        {"one\rtwo", 7, "one", "two", "one\r"},
        {"one\0two", 7, "one", "two", std::string("one\0", 4).c_str()},
        {"last", 4, "last", "", "last"},
    };
    for (const Case& c : cases) {
        String s(c.before, c.beforeLength);
        EXPECT_EQ(text(s.takeLine()), c.line);
        EXPECT_EQ(text(s), c.rest);
        String t(c.before, c.beforeLength);
        String withEnding = t.takeLineWithEnding();
        if (c.before[3] == 0)
            EXPECT_EQ(text(withEnding), std::string("one\0", 4));
        else
            EXPECT_EQ(text(withEnding), c.lineWithEnding);
    }
}

TEST(StringExtract, TakeQuotedAndNextWord) {
    String s("\"a\"\"b\" rest");
    EXPECT_EQ(text(s.takeQuoted('"', 0)), "a\"b");
    EXPECT_EQ(text(s), " rest");
    String unclosed("x\"open");
    EXPECT_EQ(text(unclosed.takeQuoted('"', 1)), "open");
    EXPECT_EQ(text(unclosed), "x");
    String notQuote("abc");
    EXPECT_TRUE(notQuote.takeQuoted('"', 0).isEmpty());
    EXPECT_EQ(text(notQuote), "abc");

    String line("  /d:\"C:\\Program Files\\X\" /a");
    EXPECT_EQ(text(line.nextWord()), "/d:C:\\Program Files\\X");
    EXPECT_EQ(text(line), "/a");
    EXPECT_EQ(text(line.nextWord()), "/a");
    EXPECT_TRUE(line.isEmpty());
    String joined("ab\"c d\"e\tnext");
    EXPECT_EQ(text(joined.nextWord()), "abc de");
    EXPECT_EQ(text(joined), "next");
}

TEST(StringConvert, NumbersTable) {
    EXPECT_EQ(String("Size: 1,234 KB").toInt(), 1234);
    EXPECT_EQ(String("none").toInt(), 0);
    EXPECT_EQ(String("-42x").toInt(), -42);
    EXPECT_EQ(String("+7").toInt(), 7);
    EXPECT_DOUBLE_EQ(String("v 1,234.5").toDouble(), 1234.5);
    EXPECT_DOUBLE_EQ(String("abc").toDouble(), 0.0);
    EXPECT_DOUBLE_EQ(String("version 5.25").toDouble(), 5.25);
    EXPECT_DOUBLE_EQ(String("-0.5e2").toDouble(), -50.0);
    EXPECT_DOUBLE_EQ(String("x 3e").toDouble(), 3.0);
    int pos = 3;
    EXPECT_EQ(String("abc").parseIntAt(pos), static_cast<int>(0x80000000u));
    EXPECT_EQ(pos, 3);
    pos = 2;
    EXPECT_EQ(String("x=-15;").parseIntAt(pos), -15);
    EXPECT_EQ(pos, 5);
    EXPECT_EQ(parseInt(nullptr), 0);
    EXPECT_EQ(parseInt("-12ab"), -12);
    EXPECT_EQ(text(String::fromInt(-2147483647 - 1)), "-2147483648");
    EXPECT_EQ(text(String::fromDouble(2.0, -1)), "2");
    EXPECT_EQ(text(String::fromDouble(2.5, -1)), "2.5");
    EXPECT_EQ(text(String::fromDouble(100.0, -1)), "100");
    EXPECT_EQ(text(String::fromDouble(2.0, 2)), "2.00");
}

TEST(StringConvert, FormatHasNoFixedLimit) {
    std::string longArgument(100000, 'q');
    String s = String::format("<%s>", longArgument.c_str());
    ASSERT_EQ(s.length(), 100002);
    EXPECT_EQ(text(s), "<" + longArgument + ">");
    s.appendFormat("%d%%", 5);
    EXPECT_EQ(text(s).substr(100002), "5%");
}

TEST(StringConvert, FormatConversionsAre) {
    EXPECT_TRUE(formatConversionsAre("Error code: %d", "d"));
    EXPECT_TRUE(formatConversionsAre("100%% sure, code %5d", "d"));
    EXPECT_TRUE(formatConversionsAre("%s needs %c: %s", "scs"));
    EXPECT_FALSE(formatConversionsAre("%s", "d"));
    EXPECT_FALSE(formatConversionsAre("%d %d", "d"));
    EXPECT_FALSE(formatConversionsAre("no code", "d"));
    EXPECT_FALSE(formatConversionsAre("%n", "d"));
    EXPECT_FALSE(formatConversionsAre("%*d", "d"));
    EXPECT_FALSE(formatConversionsAre("trailing %", "d"));
}

TEST(StringChars, ClassesAndPlainTextHelpers) {
    EXPECT_TRUE(isSpace('\t'));
    EXPECT_FALSE(isSpace('\v'));
    EXPECT_FALSE(isSpace('\f'));
    EXPECT_FALSE(isAlpha('\xE9'));
    EXPECT_EQ(toUpper('q'), 'Q');
    EXPECT_EQ(toUpper(0x1E9), 0xE9);
    EXPECT_EQ(lastCharOf("abc"), 'c');
    EXPECT_EQ(lastCharOf(""), 0);
    char buffer[16] = "tail";
    char* after = insertCharsAtStart(buffer, '*', 3);
    EXPECT_STREQ(buffer, "***tail");
    EXPECT_EQ(after, buffer + 3);
    EXPECT_EQ(String("ab").checksum(), 0x79E2BC9Du + 'a' + 'b' + 2u);
    String upper("mixed Case 1");
    upper.makeUpper();
    EXPECT_EQ(text(upper), "MIXED CASE 1");
    EXPECT_EQ(text(String("a") + 'b' + "c" + String("d")), "abcd");
    EXPECT_EQ(text("x" + String("y")), "xy");
}

}  // namespace

namespace {

TEST(OutOfMemory, ReportsTheRequestedSizeWithThousands) {
    EXPECT_EQ(captureFatal([] { outOfMemoryHandler(123456789ull); }),
              "Out Of Memory.  Make sure your hard drive is not full.\nRequested size = 123,456,789");
    EXPECT_EQ(captureFatal([] { outOfMemoryHandler(5000000000ull); }),
              "Out Of Memory.  Make sure your hard drive is not full.\nRequested size = 5,000,000,000");
}

}  // namespace

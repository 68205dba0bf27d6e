#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/number_text.h"
#include "support/fatal_capture.h"

namespace {

std::string text(const String& s) { return std::string(s.cStr(), static_cast<size_t>(s.length())); }

TEST(RoundUpToMultiple, RaisesToTheNextMultiple) {
    const struct {
        int32_t value, unit, expected;
    } cases[] = {
        {0, 4096, 0},           {1, 4096, 4096},       {4096, 4096, 4096},  {4097, 4096, 8192},
        {1000, 1, 1000},        {1000, 0, 1000},       {1000, -8, 1000},    {7, 2, 8},
        {-5, 4, -4},            {-8, 4, -8},           {2147483647, 2, 2147483647},
        {2147483000, 4096, 2147483647},  // would pass the int range: saturates instead of wrapping
    };
    for (const auto& c : cases) EXPECT_EQ(roundUpToMultiple(c.value, c.unit), c.expected) << c.value << " " << c.unit;
}

TEST(FormatSize, UnitsOf1024WithTwoDecimals) {
    const struct {
        int64_t bytes;
        const char* expected;
    } cases[] = {
        {0, "0 bytes"},
        {1023, "1023 bytes"},
        {-5, "-5 bytes"},
        {-5000000000LL, "-5000000000 bytes"},  // negative sizes are not cut to 32 bits
        {1024, "1.00 KB"},
        {1536, "1.50 KB"},
        {1048575, "1024.00 KB"},
        {1048576, "1.00 MB"},
        {1073741823, "1024.00 MB"},
        {1073741824, "1.00 GB"},
        {1610612736, "1.50 GB"},
        {1099511627775LL, "1024.00 GB"},
        {1099511627776LL, "1.00 TB"},
        {5497558138880LL, "5.00 TB"},
    };
    for (const auto& c : cases) EXPECT_EQ(text(formatSize(c.bytes)), c.expected) << c.bytes;
}

TEST(WithThousands, GroupsOnlyTextsOfFiveOrMoreCharacters) {
    const struct {
        int64_t value;
        const char* expected;
    } cases[] = {
        {0, "0"},
        {1000, "1000"},
        {1234, "1234"},
        {12345, "12,345"},
        {100000, "100,000"},
        {1234567, "1,234,567"},
        {9223372036854775807LL, "9,223,372,036,854,775,807"},
        {-1234, "-1,234"},
        {-123456, "-123,456"},
        {-123, "-123"},
    };
    for (const auto& c : cases) EXPECT_EQ(text(withThousands(c.value)), c.expected) << c.value;
}

TEST(OrdinalSuffix, EnglishSuffixes) {
    const struct {
        int n;
        const char* expected;
    } cases[] = {
        {1, "1st"},     {2, "2nd"},     {3, "3rd"},     {4, "4th"},     {11, "11th"},   {12, "12th"},
        {13, "13th"},   {20, "20th"},   {21, "21st"},   {22, "22nd"},   {23, "23rd"},   {31, "31st"},
        {0, "0th"},     {101, "101st"}, {104, "104th"}, {111, "111th"}, {112, "112th"}, {113, "113th"},
        {1002, "1002nd"}, {-1, "-1st"}, {-11, "-11th"},
    };
    for (const auto& c : cases) EXPECT_EQ(text(ordinalSuffix(c.n)), c.expected) << c.n;
}

TEST(OrdinalWords, EnglishOrdinals) {
    const struct {
        int n;
        const char* expected;
    } cases[] = {
        {0, "Zeroth"},
        {1, "First"},
        {2, "Second"},
        {3, "Third"},
        {9, "Ninth"},
        {10, "Tenth"},
        {11, "Eleventh"},
        {12, "Twelfth"},
        {13, "Thirteenth"},
        {19, "Nineteenth"},
        {20, "Twentieth"},
        {21, "Twenty First"},
        {30, "Thirtieth"},
        {31, "Thirty First"},
        {40, "Fortieth"},
        {99, "Ninety Ninth"},
        {100, "One Hundredth"},
        {101, "One Hundred First"},
        {112, "One Hundred Twelfth"},  // the higher parts are kept
        {115, "One Hundred Fifteenth"},
        {140, "One Hundred Fortieth"},
        {1000, "One Thousandth"},
        {1000012, "One Million Twelfth"},
        {-3, "Negative Third"},
        {-2147483647 - 1, "Negative Two Thousand One Hundred Forty Seven Million Four Hundred Eighty Three "
                          "Thousand Six Hundred Forty Eighth"},
    };
    for (const auto& c : cases) EXPECT_EQ(text(ordinalWords(c.n)), c.expected) << c.n;
}

TEST(NumberWords, WholePartInEveryMode) {
    const struct {
        double value;
        int mode;
        const char* expected;
    } cases[] = {
        {0, 0, "Zero"},
        {7, 0, "Seven"},
        {19, 0, "Nineteen"},
        {20, 0, "Twenty"},
        {45, 0, "Forty Five"},
        {100, 0, "One Hundred"},
        {120, 0, "One Hundred Twenty"},
        {999, 0, "Nine Hundred Ninety Nine"},
        {1000, 0, "One Thousand"},
        {1001, 0, "One Thousand One"},
        {21000, 0, "Twenty One Thousand"},
        {1000005, 0, "One Million Five"},
        {123456789, 0, "One Hundred Twenty Three Million Four Hundred Fifty Six Thousand Seven Hundred Eighty Nine"},
        {1e12, 0, "One Million Million"},
        {-42, 0, "Negative Forty Two"},
        {2.75, 0, "Two"},
        // decimal
        {2.5, -1, "Two Point Five"},
        {7, -1, "Seven Point Zero"},
        {3.25, -1, "Three Point Two Five"},
        {0.05, -1, "Zero Point Zero Five"},
        {1.125, -1, "One Point One Two Five"},
        {-0.5, -1, "Negative Zero Point Five"},
        // cheque amounts
        {12.34, 1, "Twelve and 34/100"},
        {5, 1, "Five and No/100"},
        {0.5, 1, "Zero and 50/100"},
        // fractions
        {0.5, 2, "Zero and One Half"},
        {5, 2, "Five"},
        {1.125, 2, "One and One Eighth"},
        {1.25, 2, "One and One Fourth"},
        {1.375, 2, "One and Three Eighths"},
        {1.625, 2, "One and Five Eighths"},
        {1.75, 2, "One and Three Fourths"},
        {1.875, 2, "One and Seven Eighths"},
        {3.1, 2, "Three and 100/1000"},
        // modes outside -1..2 give nothing
        {5, 3, ""},
        {5, -2, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(text(numberWords(c.value, c.mode)), c.expected) << c.value << " mode " << c.mode;
}

TEST(NumberWords, ValuesThatAreNotFiniteGiveAnEmptyText) {
    const double inf = 1e308 * 10;
    EXPECT_EQ(text(numberWords(inf, 0)), "");
    EXPECT_EQ(text(numberWords(-inf, 1)), "");
    EXPECT_EQ(text(numberWords(inf - inf, 0)), "");
    // The largest finite value still spells out, with a bounded recursion.
    String largest = numberWords(1.7976931348623157e308, 0);
    EXPECT_GT(largest.length(), 100);
    EXPECT_EQ(largest.find("  "), -1);
    EXPECT_NE(largest.find(" Million "), -1);
}

TEST(NumberTextBuffers, EmptiedFilledAndCutToFit) {
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    ordinalSuffix(22, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "22nd");
    ordinalWords(21, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "Twenty First");
    numberWords(2.5, buffer, sizeof buffer, -1);
    EXPECT_STREQ(buffer, "Two Point Five");
    numberWords(5, buffer, sizeof buffer, 7);
    EXPECT_STREQ(buffer, "");
    // Longer results are cut at the buffer's end, never written past it.
    char small[8];
    std::memset(small, 'x', sizeof small);
    numberWords(123456, small, 6, 0);
    EXPECT_STREQ(small, "One H");
    EXPECT_EQ(small[6], 'x');
    ordinalWords(77, small, 1);
    EXPECT_STREQ(small, "");
}

TEST(NumberTextBuffers, NullBufferIsAConsistencyFailure) {
    char buffer[4];
    EXPECT_EQ(captureFatal([] { ordinalSuffix(1, nullptr, 10); }), "Core32 5354");
    EXPECT_EQ(captureFatal([] { ordinalWords(1, nullptr, 10); }), "Core32 5385");
    EXPECT_EQ(captureFatal([] { numberWords(1, nullptr, 10, 0); }), "Core32 5588");
    EXPECT_EQ(captureFatal([&] { numberWords(1, buffer, 0, 0); }), "Core32 5588");
}

}  // namespace

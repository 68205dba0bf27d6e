// The stub formats numbers with the Windows C runtime's printf (msvcrt), not
// the host's: the texts whose digits and rounding come from printf are
// checked here again, on the runtime the program really uses.
#include <gtest/gtest.h>

#include <string>

#include "core/date_time.h"
#include "core/memory_stream.h"
#include "core/number_text.h"

namespace {

std::string text(const String& s) { return std::string(s.cStr(), static_cast<size_t>(s.length())); }

TEST(NumberTextOnWindows, SizesRoundAsPrintfDoes) {
    const struct {
        int64_t bytes;
        const char* expected;
    } cases[] = {
        {1023, "1023 bytes"},
        {-5000000000LL, "-5000000000 bytes"},
        {1024, "1.00 KB"},
        {1536, "1.50 KB"},
        {1048575, "1024.00 KB"},
        {1073741823, "1024.00 MB"},
        {1610612736, "1.50 GB"},
        {1099511627775LL, "1024.00 GB"},
        {5497558138880LL, "5.00 TB"},
    };
    for (const auto& c : cases) EXPECT_EQ(text(formatSize(c.bytes)), c.expected) << c.bytes;
    EXPECT_EQ(text(withThousands(9223372036854775807LL)), "9,223,372,036,854,775,807");
    EXPECT_EQ(text(withThousands(1000)), "1000");
}

TEST(NumberTextOnWindows, WordsWithPrintedFractions) {
    const struct {
        double value;
        int mode;
        const char* expected;
    } cases[] = {
        {12.34, 1, "Twelve and 34/100"},     {0.5, 1, "Zero and 50/100"},       {5, 1, "Five and No/100"},
        {3.1, 2, "Three and 100/1000"},      {0.5, 2, "Zero and One Half"},     {2.5, -1, "Two Point Five"},
        {7, -1, "Seven Point Zero"},         {0.05, -1, "Zero Point Zero Five"}, {1000005, 0, "One Million Five"},
    };
    for (const auto& c : cases) EXPECT_EQ(text(numberWords(c.value, c.mode)), c.expected) << c.value;
    EXPECT_EQ(text(ordinalSuffix(23)), "23rd");
    EXPECT_EQ(text(ordinalWords(21)), "Twenty First");
}

TEST(NumberTextOnWindows, DatePicturesWithPaddedNumbers) {
    Date date;
    date.set(1, 1, 2000);
    EXPECT_EQ(text(date.format("WW, MM D, yy")), "Saturday, January 1st, 2000");
    EXPECT_EQ(text(date.format("y")), "00");
    date.set(9, 3, 1999);
    EXPECT_EQ(text(date.format("mm/dd/yy")), "09/03/1999");
    EXPECT_EQ(text(date.format(nullptr)), "9/3/99");
    DateTime moment;
    moment.date = date;
    moment.time.hour = 0;
    moment.time.minute = 5;
    moment.time.second = 9;
    EXPECT_EQ(text(moment.format(nullptr)), "9/3/99 12:05:09a");
    EXPECT_EQ(text(moment.format("hh:ii:ss AP")), "12:05:09 a.m.");
}

TEST(MemoryStreamOnWindows, ShortReadOfTheStubsBuild) {
    // The core library here is built with the stub's flags.
    MemoryStream stream;
    stream.assign("\x01\x02\x03\x04\xAA\xBB", 6);
    stream.seek(4);
    uint32_t value = 0xFFFFFFFF;
    stream >> value;
    EXPECT_EQ(value, 0x0000BBAAu);
    EXPECT_EQ(stream.position(), 8);
    EXPECT_TRUE(stream.atEnd());
}

}  // namespace

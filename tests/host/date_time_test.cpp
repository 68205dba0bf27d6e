#include <gtest/gtest.h>

#include <string>

#include "core/date_time.h"

namespace {

std::string text(const String& s) { return std::string(s.cStr(), static_cast<size_t>(s.length())); }

Date dateOf(int month, int day, int year) {
    Date date;
    date.set(month, day, year);
    return date;
}

DateTime dateTimeOf(int month, int day, int year, int hour, int minute, int second) {
    DateTime value;
    value.date.set(month, day, year);
    value.time.hour = hour;
    value.time.minute = minute;
    value.time.second = second;
    return value;
}

struct DayNumberCase {
    int month, day, year;
    int dayNumber;
    int weekday;
};

// Day numbers are one less than the astronomical Julian Day Number.
TEST(DateSet, DayNumberAndWeekday) {
    const DayNumberCase cases[] = {
        {1, 1, 2000, 2451544, 7},    // Saturday
        {9, 3, 1999, 2451424, 6},    // Friday
        {2, 29, 2000, 2451603, 3},   // Tuesday
        {3, 1, 2000, 2451604, 4},    // the day after the leap day
        {12, 31, 1999, 2451543, 6},  // Friday
        {10, 15, 1582, 2299160, 6},  // first Gregorian day, a Friday
        {10, 4, 1582, 2299159, 5},   // last Julian day, a Thursday: the ten days are skipped
        {10, 14, 1582, 2299169, 1},  // a skipped day still counts by the Julian rule (a Sunday)
        {7, 4, 1776, 2369915, 5},    // Thursday
        {1, 1, 1, 1721423, 7},       // Julian 1 January of year 1, a Saturday
        {12, 31, -1, 1721422, 6},    // one day earlier: there is no year 0
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.month << "/" << c.day << "/" << c.year);
        Date date = dateOf(c.month, c.day, c.year);
        EXPECT_EQ(date.dayNumber, c.dayNumber);
        EXPECT_EQ(date.weekday, c.weekday);
        EXPECT_EQ(date.month, c.month);
        EXPECT_EQ(date.day, c.day);
        EXPECT_EQ(date.year, c.year);
    }
}

TEST(DateSet, MonthBelowOneKeepsDayNumberAndWeekday) {
    Date date = dateOf(1, 1, 2000);
    date.set(0, 5, 1990);
    EXPECT_EQ(date.dayNumber, 2451544);
    EXPECT_EQ(date.weekday, 7);
    EXPECT_EQ(date.day, 5);
    EXPECT_EQ(date.year, 1990);
    Date fresh;
    EXPECT_EQ(fresh.dayNumber, 0);
    EXPECT_EQ(fresh.weekday, 0);
    EXPECT_TRUE(fresh.isInvalid());
}

TEST(DateSet, ExtremeFieldsStayDefined) {
    // Fields from a damaged archive must not overflow the arithmetic.
    Date date = dateOf(127, 127, 32767);
    EXPECT_TRUE(date.isInvalid());
    EXPECT_GE(date.weekday, 1);
    EXPECT_LE(date.weekday, 7);
    Date huge = dateOf(2147483647, 2147483647, 2147483647);
    EXPECT_TRUE(huge.isInvalid());
    Date early = dateOf(1, 1, -2147483647 - 1);
    EXPECT_GE(early.weekday, 1);
    EXPECT_LE(early.weekday, 7);
}

struct ValidityCase {
    int month, day, year;
    bool invalid;
};

TEST(DateValidity, LeapRulesAroundTheReform) {
    const ValidityCase cases[] = {
        {2, 29, 1900, true},  {2, 29, 2000, false}, {2, 29, 1500, false}, {2, 29, 1581, true},
        {2, 29, 1580, false}, {2, 29, 1600, false}, {2, 29, 1700, true},  {2, 29, 2004, false},
        {2, 28, 1900, false}, {4, 31, 2000, true},  {12, 31, 2000, false}, {1, 0, 2000, true},
        {13, 1, 2000, true},  {0, 1, 2000, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.month << "/" << c.day << "/" << c.year);
        EXPECT_EQ(dateOf(c.month, c.day, c.year).isInvalid(), c.invalid);
    }
    Date badWeekday = dateOf(1, 1, 2000);
    badWeekday.weekday = 8;
    EXPECT_TRUE(badWeekday.isInvalid());
}

TEST(DateTables, NamesDaysAndLeapYears) {
    EXPECT_STREQ(monthName(1), "January");
    EXPECT_STREQ(monthName(12), "December");
    EXPECT_STREQ(monthName(13), "");
    EXPECT_STREQ(monthName(0), "");
    EXPECT_STREQ(weekdayName(1), "Sunday");
    EXPECT_STREQ(weekdayName(7), "Saturday");
    EXPECT_STREQ(weekdayName(0), "");
    EXPECT_STREQ(weekdayName(8), "");
    const int days2003[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int m = 1; m <= 12; ++m) EXPECT_EQ(daysInMonth(m, 2003), days2003[m]) << m;
    EXPECT_EQ(daysInMonth(2, 2004), 29);
    EXPECT_EQ(daysInMonth(0, 2004), 0);
    EXPECT_EQ(daysInMonth(13, 2004), 0);
    EXPECT_TRUE(isLeapYear(1500));
    EXPECT_TRUE(isLeapYear(1580));
    EXPECT_FALSE(isLeapYear(1582));
    EXPECT_TRUE(isLeapYear(1584));
    EXPECT_FALSE(isLeapYear(1800));
    EXPECT_TRUE(isLeapYear(2000));
}

TEST(DateCompare, ByDayNumber) {
    Date a = dateOf(12, 31, 1999), b = dateOf(1, 1, 2000), c = dateOf(1, 1, 2000);
    EXPECT_TRUE(a < b);
    EXPECT_TRUE(b > a);
    EXPECT_TRUE(b == c);
    EXPECT_TRUE(a != b);
    EXPECT_TRUE(b <= c);
    EXPECT_TRUE(b >= a);
}

struct PictureCase {
    const char* picture;
    const char* expected;
};

TEST(DateFormat, EveryPictureLetter) {
    Date newYear = dateOf(1, 1, 2000);
    Date september = dateOf(9, 3, 1999);
    Date nineteenFive = dateOf(11, 22, 1905);
    const struct {
        const Date* date;
        PictureCase c;
    } cases[] = {
        {&newYear, {"WW, MM D, yy", "Saturday, January 1st, 2000"}},
        {&september, {"m/d/y", "9/3/99"}},
        {&september, {"", "9/3/99"}},
        {&september, {nullptr, "9/3/99"}},
        {&september, {"mm/dd/yy", "09/03/1999"}},
        {&september, {"M MM W WW", "Sep September Fri Friday"}},
        {&september, {"w ww", "6 06"}},
        {&september, {"D DD", "3rd Third"}},
        {&nineteenFive, {"D DD", "22nd Twenty Second"}},
        {&september, {"Y|YY", "Ninety Nine|Nineteen Ninety Nine"}},
        {&nineteenFive, {"Y|YY", "Oh Five|Nineteen Oh Five"}},
        {&newYear, {"y", "00"}},
        {&newYear, {"Y|YY", "Oh Zero|Twenty Oh Zero"}},
        // Time letters are ordinary characters in a date picture.
        {&september, {"h:H:i:s a A ap", "h:H:i:s a A ap"}},
        {&september, {"ddd mmm", "033 099"}},
        {&september, {"[d]", "[3]"}},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.c.picture ? entry.c.picture : "(null)");
        EXPECT_EQ(text(entry.date->format(entry.c.picture)), entry.c.expected);
    }
}

TEST(DateTimeFormat, ClockLetters) {
    const struct {
        int hour, minute, second;
        PictureCase c;
    } cases[] = {
        {0, 5, 0, {"h:ii ap", "12:05 a"}},
        {12, 5, 0, {"h:ii ap", "12:05 p"}},
        {13, 5, 0, {"h:ii ap", "1:05 p"}},
        {12, 0, 0, {"AP", "p.m."}},
        {11, 59, 59, {"AP", "a.m."}},
        {9, 7, 3, {"hh HH ii ss", "09 09 07 03"}},
        {21, 7, 3, {"h H i s", "9 21 7 3"}},
        {21, 7, 3, {"a A aa", "a A aa"}},
        {21, 7, 3, {nullptr, "9/3/99 9:07:03p"}},
        {8, 30, 0, {"", "9/3/99 8:30:00a"}},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(::testing::Message() << entry.hour << ":" << entry.minute << " "
                                          << (entry.c.picture ? entry.c.picture : "(null)"));
        DateTime value = dateTimeOf(9, 3, 1999, entry.hour, entry.minute, entry.second);
        EXPECT_EQ(text(value.format(entry.c.picture)), entry.c.expected);
    }
}

TEST(TimeOfDay, ValidityMorningAndTwelveHourClock) {
    TimeOfDay unset;
    EXPECT_EQ(unset.hour, -1);
    EXPECT_EQ(unset.minute, -1);
    EXPECT_EQ(unset.second, -1);
    EXPECT_TRUE(unset.isInvalid());
    const struct {
        int hour, minute, second;
        bool invalid, morning;
        int hour12;
    } cases[] = {
        {0, 0, 0, false, true, 12},    {1, 0, 0, false, true, 1},    {11, 59, 59, false, true, 11},
        {12, 0, 0, false, false, 12},  {13, 0, 0, false, false, 1},  {23, 59, 59, false, false, 11},
        {24, 0, 0, true, false, 12},   {10, 60, 0, true, true, 10},  {10, 0, 60, true, true, 10},
        {10, -1, 0, true, true, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.hour << ":" << c.minute << ":" << c.second);
        TimeOfDay time;
        time.hour = c.hour;
        time.minute = c.minute;
        time.second = c.second;
        EXPECT_EQ(time.isInvalid(), c.invalid);
        EXPECT_EQ(time.isMorning(), c.morning);
        EXPECT_EQ(time.hour12(), c.hour12);
    }
}

TEST(FileDateTime, ClearedValuesHoldNoTime) {
    FileDateTime none;
    EXPECT_FALSE(none.isSet());
    FileDateTime set(1999, 9, 3, 10, 0, 5);
    EXPECT_TRUE(set.isSet());
    set.clear();
    EXPECT_FALSE(set.isSet());
    EXPECT_EQ(set.month, 0);
}

TEST(FileDateTime, CompareFieldByFieldWithSecondsDifference) {
    const FileDateTime base(1999, 9, 3, 10, 0, 5);
    const struct {
        const char* name;
        FileDateTime other;
        int expected;
    } cases[] = {
        {"four seconds earlier", {1999, 9, 3, 10, 0, 1}, 4},
        {"next day", {1999, 9, 4, 10, 0, 1}, -1},
        {"same", {1999, 9, 3, 10, 0, 5}, 0},
        {"later second", {1999, 9, 3, 10, 0, 50}, -45},
        {"earlier year, later everything else", {1998, 12, 31, 23, 59, 59}, 1},
        {"later month", {1999, 10, 1, 0, 0, 0}, -1},
        {"earlier hour", {1999, 9, 3, 9, 59, 59}, 1},
        {"later minute", {1999, 9, 3, 10, 1, 0}, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(base.compare(c.other), c.expected);
    }
    // Seconds from a damaged record cannot overflow the difference.
    FileDateTime high(2000, 1, 1, 0, 0, 2147483647), low(2000, 1, 1, 0, 0, -2147483647 - 1);
    EXPECT_GT(high.compare(low), 0);
    EXPECT_LT(low.compare(high), 0);
}

class FixedClock : public ::testing::Test {
protected:
    void SetUp() override { saved = localClock; }
    void TearDown() override { localClock = saved; }
    static FileDateTime current;
    static FileDateTime readCurrent() { return current; }
    void setClock(const FileDateTime& time) {
        current = time;
        localClock = readCurrent;
    }
    LocalClock saved = nullptr;
};
FileDateTime FixedClock::current;

TEST_F(FixedClock, TodayTimeAndNowTexts) {
    const struct {
        FileDateTime clock;
        const char* today;
        const char* time;
    } cases[] = {
        {{1999, 9, 3, 0, 5, 9}, "9/3/1999", "12:05:09a"},
        {{1999, 9, 3, 12, 0, 0}, "9/3/1999", "12:00:00p"},
        {{2024, 12, 31, 13, 45, 7}, "12/31/2024", "1:45:07p"},
        {{2000, 1, 1, 11, 59, 59}, "1/1/2000", "11:59:59a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.today);
        setClock(c.clock);
        EXPECT_EQ(text(todayText()), c.today);
        EXPECT_EQ(text(timeText()), c.time);
        EXPECT_EQ(text(nowText()), std::string(c.today) + " " + c.time);
    }
    setClock({2000, 1, 1, 8, 30, 0});
    Date today = Date::today();
    EXPECT_EQ(today.dayNumber, 2451544);
    EXPECT_EQ(today.weekday, 7);
    DateTime now = DateTime::now();
    EXPECT_EQ(text(now.format("WW h:ii AP")), "Saturday 8:30 a.m.");
    EXPECT_EQ(TimeOfDay::now().minute, 30);
}

TEST(SystemClock, GivesAPlausibleLocalDate) {
    FileDateTime now = readSystemLocalTime();
    EXPECT_GE(now.year, 2020);
    EXPECT_GE(now.month, 1);
    EXPECT_LE(now.month, 12);
    EXPECT_FALSE(Date::today().isInvalid());
}

}  // namespace

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/date_time.h"
#include "files/file_date_time.h"

namespace {

constexpr uint64_t TicksPerSecond = 10000000ull;
// 1 January 2000 00:00:00 in 100-nanosecond ticks since 1 January 1601.
constexpr uint64_t NewYear2000 = 125911584000000000ull;

uint64_t ticksOf(const FILETIME& time) { return uint64_t(time.dwHighDateTime) << 32 | time.dwLowDateTime; }

FILETIME fileTimeOf(uint64_t ticks) {
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return time;
}

std::string fieldsOf(const FileDateTime& t) {
    char text[80];
    snprintf(text, sizeof text, "%d-%d-%d %d:%d:%d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return text;
}

// Minutes to add to UTC for local time, as FileTimeToLocalFileTime applies
// them: the bias in force now, whatever the date being converted.
int64_t currentLocalOffsetMinutes() {
    TIME_ZONE_INFORMATION zone;
    DWORD which = GetTimeZoneInformation(&zone);
    int64_t bias = zone.Bias;
    if (which == TIME_ZONE_ID_DAYLIGHT) bias += zone.DaylightBias;
    if (which == TIME_ZONE_ID_STANDARD) bias += zone.StandardBias;
    return -bias;
}

TEST(FileDateTimeConversion, ToSystemTimeCopiesFieldsAndKeepsTheWeekday) {
    SYSTEMTIME system;
    system.wDayOfWeek = 77;
    system.wMilliseconds = 999;
    EXPECT_TRUE(toSystemTime(FileDateTime(1999, 9, 3, 23, 58, 57), &system));
    EXPECT_EQ(system.wYear, 1999);
    EXPECT_EQ(system.wMonth, 9);
    EXPECT_EQ(system.wDay, 3);
    EXPECT_EQ(system.wHour, 23);
    EXPECT_EQ(system.wMinute, 58);
    EXPECT_EQ(system.wSecond, 57);
    EXPECT_EQ(system.wMilliseconds, 0);
    EXPECT_EQ(system.wDayOfWeek, 77);
    EXPECT_FALSE(toSystemTime(FileDateTime(1999, 9, 3, 0, 0, 0), nullptr));
}

TEST(FileDateTimeConversion, ToFileTimeTakesTheFieldsAsTheyAre) {
    const struct {
        FileDateTime time;
        bool converts;
        uint64_t ticks;
    } cases[] = {
        {{2000, 1, 1, 0, 0, 0}, true, NewYear2000},
        {{2000, 1, 1, 0, 0, 1}, true, NewYear2000 + TicksPerSecond},
        {{1999, 12, 31, 23, 59, 59}, true, NewYear2000 - TicksPerSecond},
        {{2000, 2, 29, 12, 0, 0}, true, NewYear2000 + (59 * 86400ull + 12 * 3600) * TicksPerSecond},
        {{1601, 1, 1, 0, 0, 0}, true, 0},
        {{2000, 13, 1, 0, 0, 0}, false, 0},
        {{2001, 2, 29, 0, 0, 0}, false, 0},
        {{2000, 4, 31, 0, 0, 0}, false, 0},
        {{2000, 1, 1, 24, 0, 0}, false, 0},
        {{2000, 1, 1, 0, 60, 0}, false, 0},
        {{2000, 0, 1, 0, 0, 0}, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(fieldsOf(c.time));
        FILETIME out = fileTimeOf(0);
        EXPECT_EQ(toFileTime(c.time, &out), c.converts);
        if (c.converts) {
            EXPECT_EQ(ticksOf(out), c.ticks);
        }
    }
    EXPECT_FALSE(toFileTime(FileDateTime(2000, 1, 1, 0, 0, 0), nullptr));
}

TEST(FileDateTimeConversion, FromSystemTimeAndFromFileTime) {
    FileDateTime time(1, 2, 3, 4, 5, 6);
    EXPECT_FALSE(fromSystemTime(time, nullptr));
    EXPECT_FALSE(time.isSet());

    SYSTEMTIME system = {};
    system.wYear = 2024;
    system.wMonth = 2;
    system.wDay = 29;
    system.wHour = 13;
    system.wMinute = 14;
    system.wSecond = 15;
    system.wMilliseconds = 500;
    EXPECT_TRUE(fromSystemTime(time, &system));
    EXPECT_EQ(fieldsOf(time), "2024-2-29 13:14:15");

    const struct {
        uint64_t ticks;
        const char* fields;
    } cases[] = {
        {NewYear2000, "2000-1-1 0:0:0"},
        {NewYear2000 + 86399 * TicksPerSecond + 9999999, "2000-1-1 23:59:59"},
        {0, "1601-1-1 0:0:0"},
        {NewYear2000 + 366ull * 86400 * TicksPerSecond, "2001-1-1 0:0:0"},
    };
    for (const auto& c : cases) {
        FILETIME in = fileTimeOf(c.ticks);
        FileDateTime converted;
        EXPECT_TRUE(fromFileTime(converted, &in));
        EXPECT_EQ(fieldsOf(converted), c.fields);
    }

    // A time the platform cannot convert leaves the value as it was.
    FileDateTime kept(1999, 9, 3, 10, 0, 5);
    FILETIME invalid = fileTimeOf(0x8000000000000000ull);
    EXPECT_FALSE(fromFileTime(kept, &invalid));
    EXPECT_FALSE(fromFileTime(kept, nullptr));
    EXPECT_FALSE(fromUtcFileTime(kept, nullptr));
    EXPECT_EQ(fieldsOf(kept), "1999-9-3 10:0:5");
}

TEST(FileDateTimeConversion, RoundTripsThroughFileTime) {
    const FileDateTime times[] = {
        {1980, 1, 1, 0, 0, 0}, {1999, 9, 3, 10, 0, 5}, {2000, 2, 29, 23, 59, 59}, {2038, 1, 19, 3, 14, 8},
        {2107, 12, 31, 23, 59, 58},
    };
    for (const auto& t : times) {
        FILETIME file;
        ASSERT_TRUE(toFileTime(t, &file)) << fieldsOf(t);
        FileDateTime back;
        ASSERT_TRUE(fromFileTime(back, &file));
        EXPECT_EQ(back.compare(t), 0) << fieldsOf(t) << " came back as " << fieldsOf(back);
        EXPECT_EQ(fieldsOf(back), fieldsOf(t));
    }
}

TEST(FileDateTimeConversion, FromUtcFileTimeHoldsLocalTime) {
    const int64_t offset = currentLocalOffsetMinutes();
    // A winter and a summer instant, so a zone with daylight saving time
    // shows that the bias in force now is applied to both.
    const uint64_t instants[] = {NewYear2000 + (12 * 3600ull + 34 * 60 + 56) * TicksPerSecond,
                                 NewYear2000 + (182 * 86400ull + 3 * 3600) * TicksPerSecond};
    for (uint64_t instant : instants) {
        FILETIME utc = fileTimeOf(instant);
        FileDateTime local;
        ASSERT_TRUE(fromUtcFileTime(local, &utc));

        FILETIME expectedTicks = fileTimeOf(instant + offset * 60 * TicksPerSecond);
        FileDateTime expected;
        ASSERT_TRUE(fromFileTime(expected, &expectedTicks));
        EXPECT_EQ(fieldsOf(local), fieldsOf(expected)) << "local offset " << offset << " minutes";

        FileDateTime asUtc;
        ASSERT_TRUE(fromFileTime(asUtc, &utc));
        if (offset != 0) {
            EXPECT_NE(local.compare(asUtc), 0) << "the UTC fields were taken without conversion";
        }

        // Back to a file time the value stays local: no conversion to UTC.
        FILETIME again;
        ASSERT_TRUE(toFileTime(local, &again));
        EXPECT_EQ(ticksOf(again), ticksOf(expectedTicks));
    }
    RecordProperty("local_offset_minutes", static_cast<int>(offset));
}

TEST(SystemClockOnWindows, TodayAndNowFollowTheWindowsLocalClock) {
    LocalClock saved = localClock;
    localClock = readWindowsLocalTime;
    // Read twice around the platform's clock so a change of second or of day
    // in between cannot make the comparison fail.
    for (int attempt = 0; attempt < 3; ++attempt) {
        SYSTEMTIME before;
        GetLocalTime(&before);
        FileDateTime clock = readSystemLocalTime();
        String today = todayText();
        Date date = Date::today();
        SYSTEMTIME after;
        GetLocalTime(&after);
        if (before.wSecond != after.wSecond || before.wDay != after.wDay) continue;
        EXPECT_EQ(clock.year, before.wYear);
        EXPECT_EQ(clock.month, before.wMonth);
        EXPECT_EQ(clock.day, before.wDay);
        EXPECT_EQ(clock.hour, before.wHour);
        EXPECT_EQ(clock.minute, before.wMinute);
        EXPECT_EQ(clock.second, before.wSecond);
        char expected[32];
        snprintf(expected, sizeof expected, "%d/%d/%d", before.wMonth, before.wDay, before.wYear);
        EXPECT_STREQ(today.cStr(), expected);
        EXPECT_EQ(date.weekday, before.wDayOfWeek + 1);
        EXPECT_FALSE(date.isInvalid());
        localClock = saved;
        return;
    }
    localClock = saved;
    FAIL() << "the clock never stood still for one comparison";
}

}  // namespace

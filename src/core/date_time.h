// Calendar values: Date (with its day number and weekday), TimeOfDay,
// DateTime, and FileDateTime, the six-field local time used for file times
// and for the file records of the archive. English names only; no locale.
#pragma once

#include <cstdint>

#include "core/str.h"

class Date {
public:
    // Stores the fields and derives dayNumber and weekday; a month below 1
    // leaves those two as they were.
    void set(int month, int day, int year);
    static Date today();

    bool isInvalid() const;
    // Picture letters d D m M y Y w W (single or doubled); other characters
    // are copied. Empty or null means "m/d/y".
    String format(const char* picture = nullptr) const;

    bool operator==(const Date& other) const { return dayNumber == other.dayNumber; }
    bool operator!=(const Date& other) const { return dayNumber != other.dayNumber; }
    bool operator<(const Date& other) const { return dayNumber < other.dayNumber; }
    bool operator>(const Date& other) const { return dayNumber > other.dayNumber; }
    bool operator<=(const Date& other) const { return dayNumber <= other.dayNumber; }
    bool operator>=(const Date& other) const { return dayNumber >= other.dayNumber; }

    // One less than the astronomical Julian Day Number; 0 when unset.
    int32_t dayNumber = 0;
    int32_t month = 0;
    int32_t day = 0;
    // Negative before year 1; there is no year 0.
    int32_t year = 0;
    // 1 (Sunday) to 7 (Saturday); 0 when unset.
    int32_t weekday = 0;
};

class TimeOfDay {
public:
    static TimeOfDay now();
    bool isInvalid() const;
    bool isMorning() const { return hour < 12; }
    // 12 for hour 0 and 12, 1 to 11 as they are, 13 to 23 minus 12.
    int hour12() const;

    int32_t hour = -1;
    int32_t minute = -1;
    int32_t second = -1;
};

class DateTime {
public:
    static DateTime now();
    // The date letters plus h H i s a ap A AP; empty or null means
    // "m/d/y h:ii:ssap".
    String format(const char* picture = nullptr) const;

    Date date;
    TimeOfDay time;
};

// Local time in six fields. month 0 marks a value that holds no time.
class FileDateTime {
public:
    FileDateTime() = default;
    FileDateTime(int year, int month, int day, int hour, int minute, int second)
        : year(year), month(month), day(day), hour(hour), minute(minute), second(second) {}

    void clear() { *this = FileDateTime(); }
    bool isSet() const { return month != 0; }
    // Year to minute: 1 or -1 at the first field that differs; when those are
    // equal, this second minus the other's (so 10:00:05 against 10:00:01 is 4).
    int compare(const FileDateTime& other) const;

    int32_t year = 0;
    int32_t month = 0;
    int32_t day = 0;
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t second = 0;
};

extern const char* const MonthNames[13];    // [0] is ""
extern const char* const WeekdayNames[8];   // [0] is ""

// Empty texts for indexes out of range.
const char* monthName(int month);
const char* weekdayName(int weekday);
// 0 for a month outside 1 to 12.
int daysInMonth(int month, int year);
// Julian rule before 1582, Gregorian from 1582 on.
bool isLeapYear(int year);

// The clock behind today, now and the texts below. The default reads the
// local time through the C library; tests install a fixed one.
using LocalClock = FileDateTime (*)();
extern LocalClock localClock;
FileDateTime readSystemLocalTime();

// "9/3/1999": month/day/year.
String todayText();
// "1:05:09p": 12-hour hour, two-digit minute and second, 'a' or 'p'.
String timeText();
// todayText, a blank, timeText.
String nowText();

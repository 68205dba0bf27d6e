#include "core/date_time.h"

#include <cmath>
#include <ctime>

#include "core/number_text.h"

const char* const MonthNames[13] = {"",     "January", "February",  "March",   "April",    "May",     "June",
                                    "July", "August",  "September", "October", "November", "December"};
const char* const WeekdayNames[8] = {"", "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

namespace {

const int DaysPerMonth[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

int32_t clampToInt(int64_t v) {
    return static_cast<int32_t>(v > 2147483647 ? 2147483647 : v < -2147483647 - 1 ? -2147483647 - 1 : v);
}

// 2 for a doubled letter and for the pairs "ap" and "AP" (whose letters
// have no doubled form), otherwise 1.
int elementLength(const char* picture, int i) {
    char c = picture[i];
    char next = picture[i + 1];
    if (c == 'a' || c == 'A') return next == c + ('p' - 'a') ? 2 : 1;
    return next == c ? 2 : 1;
}

// The first three letters of a name, or all of it.
void appendName(String& out, const char* name, bool whole) { out.append(String(name), whole ? 2147483647 : 3); }

void appendYearWords(String& out, int year, bool withCentury) {
    if (withCentury) {
        out += numberWords(year / 100, 0);
        out += ' ';
    }
    int twoDigits = year % 100;
    if (twoDigits < 10) out += "Oh ";
    out += numberWords(twoDigits, 0);
}

// Appends the date element for letter (doubled or not); false when letter
// is not a date picture letter.
bool appendDateElement(String& out, const Date& date, char letter, bool doubled) {
    switch (letter) {
    case 'd':
        out.appendFormat(doubled ? "%02d" : "%d", date.day);
        return true;
    case 'D':
        out += doubled ? ordinalWords(date.day) : ordinalSuffix(date.day);
        return true;
    case 'm':
        out.appendFormat(doubled ? "%02d" : "%d", date.month);
        return true;
    case 'M':
        appendName(out, monthName(date.month), doubled);
        return true;
    case 'y':
        if (doubled)
            out.appendFormat("%04d", date.year);
        else
            out.appendFormat("%02d", date.year % 100);
        return true;
    case 'Y':
        appendYearWords(out, date.year, doubled);
        return true;
    case 'w':
        out.appendFormat(doubled ? "%02d" : "%d", date.weekday);
        return true;
    case 'W':
        appendName(out, weekdayName(date.weekday), doubled);
        return true;
    default:
        return false;
    }
}

bool appendTimeElement(String& out, const TimeOfDay& time, char letter, bool doubled) {
    switch (letter) {
    case 'h':
        out.appendFormat(doubled ? "%02d" : "%d", time.hour12());
        return true;
    case 'H':
        out.appendFormat(doubled ? "%02d" : "%d", time.hour);
        return true;
    case 'i':
        out.appendFormat(doubled ? "%02d" : "%d", time.minute);
        return true;
    case 's':
        out.appendFormat(doubled ? "%02d" : "%d", time.second);
        return true;
    case 'a':
        out += doubled ? (time.isMorning() ? 'a' : 'p') : 'a';
        return true;
    case 'A':
        if (doubled)
            out += time.isMorning() ? "a.m." : "p.m.";
        else
            out += 'A';
        return true;
    default:
        return false;
    }
}

String formatPicture(const char* picture, const Date& date, const TimeOfDay* time) {
    String out;
    for (int i = 0; picture[i];) {
        int n = elementLength(picture, i);
        char letter = picture[i];
        bool doubled = n == 2;
        if (appendDateElement(out, date, letter, doubled) || (time && appendTimeElement(out, *time, letter, doubled))) {
            i += n;
        } else {
            out += letter;
            ++i;
        }
    }
    return out;
}

FileDateTime readClockThroughCLibrary() {
    std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    if (!local) return FileDateTime();
    return FileDateTime(local->tm_year + 1900, local->tm_mon + 1, local->tm_mday, local->tm_hour, local->tm_min,
                        local->tm_sec);
}

}  // namespace

LocalClock localClock = readClockThroughCLibrary;

FileDateTime readSystemLocalTime() { return localClock(); }

// ---- Date -------------------------------------------------------------------

void Date::set(int newMonth, int newDay, int newYear) {
    month = newMonth;
    day = newDay;
    year = newYear;
    if (newMonth < 1) return;
    // Wide arithmetic: the fields may come from a damaged archive.
    int64_t y = newYear < 0 ? int64_t(newYear) + 1 : newYear;
    int64_t mo = newMonth;
    if (mo < 3) {
        y -= 1;
        mo += 12;
    }
    int64_t correction = 0;
    if (y * 10000 + mo * 100 + newDay >= 15821015) {
        int64_t a = y / 100;
        correction = 2 - a + a / 4;
    }
    double number = std::trunc(double(mo + 1) * 30.6001) + newDay + std::trunc(double(y) * 365.25) +
                    double(correction) + 1720994.0;
    dayNumber = clampToInt(static_cast<int64_t>(number));
    int64_t weekdayIndex = (int64_t(dayNumber) + 2) % 7;
    weekday = static_cast<int32_t>((weekdayIndex < 0 ? weekdayIndex + 7 : weekdayIndex) + 1);
}

Date Date::today() {
    FileDateTime now = localClock();
    Date date;
    date.set(now.month, now.day, now.year);
    return date;
}

bool Date::isInvalid() const {
    return month < 1 || month > 12 || weekday < 1 || weekday > 7 || day < 1 || day > daysInMonth(month, year);
}

String Date::format(const char* picture) const {
    return formatPicture(picture && *picture ? picture : "m/d/y", *this, nullptr);
}

// ---- TimeOfDay and DateTime -------------------------------------------------

TimeOfDay TimeOfDay::now() {
    FileDateTime clock = localClock();
    TimeOfDay time;
    time.hour = clock.hour;
    time.minute = clock.minute;
    time.second = clock.second;
    return time;
}

bool TimeOfDay::isInvalid() const {
    return hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59;
}

int TimeOfDay::hour12() const {
    if (hour == 0) return 12;
    return hour > 12 ? hour - 12 : hour;
}

DateTime DateTime::now() {
    FileDateTime clock = localClock();
    DateTime value;
    value.date.set(clock.month, clock.day, clock.year);
    value.time.hour = clock.hour;
    value.time.minute = clock.minute;
    value.time.second = clock.second;
    return value;
}

String DateTime::format(const char* picture) const {
    return formatPicture(picture && *picture ? picture : "m/d/y h:ii:ssap", date, &time);
}

// ---- FileDateTime -----------------------------------------------------------

int FileDateTime::compare(const FileDateTime& other) const {
    const int32_t FileDateTime::*const fields[] = {&FileDateTime::year, &FileDateTime::month, &FileDateTime::day,
                                                   &FileDateTime::hour, &FileDateTime::minute};
    for (auto field : fields) {
        if (this->*field != other.*field) return this->*field > other.*field ? 1 : -1;
    }
    return clampToInt(int64_t(second) - other.second);
}

// ---- names and texts --------------------------------------------------------

const char* monthName(int month) { return month >= 1 && month <= 12 ? MonthNames[month] : ""; }

const char* weekdayName(int weekday) { return weekday >= 1 && weekday <= 7 ? WeekdayNames[weekday] : ""; }

int daysInMonth(int month, int year) {
    if (month < 1 || month > 12) return 0;
    return DaysPerMonth[month] + (month == 2 && isLeapYear(year) ? 1 : 0);
}

bool isLeapYear(int year) {
    if (year < 1582) return year % 4 == 0;
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

String todayText() {
    FileDateTime now = localClock();
    return String::format("%d/%d/%d", now.month, now.day, now.year);
}

String timeText() {
    FileDateTime now = localClock();
    TimeOfDay time;
    time.hour = now.hour;
    return String::format("%d:%02d:%02d%c", time.hour12(), now.minute, now.second, time.isMorning() ? 'a' : 'p');
}

String nowText() { return todayText() + " " + timeText(); }

#include "files/file_date_time.h"

bool toSystemTime(const FileDateTime& time, SYSTEMTIME* out) {
    if (!out) return false;
    out->wYear = static_cast<WORD>(time.year);
    out->wMonth = static_cast<WORD>(time.month);
    out->wDay = static_cast<WORD>(time.day);
    out->wHour = static_cast<WORD>(time.hour);
    out->wMinute = static_cast<WORD>(time.minute);
    out->wSecond = static_cast<WORD>(time.second);
    out->wMilliseconds = 0;
    return true;
}

bool toFileTime(const FileDateTime& time, FILETIME* out) {
    // Wine turns 29 February of a common year into 1 March; Windows refuses
    // it. Refused here on both, so a damaged record never shifts a date.
    if (!out || time.day > daysInMonth(time.month, time.year)) return false;
    SYSTEMTIME system = {};
    return toSystemTime(time, &system) && SystemTimeToFileTime(&system, out);
}

bool fromSystemTime(FileDateTime& time, const SYSTEMTIME* in) {
    if (!in) {
        time.clear();
        return false;
    }
    time = FileDateTime(in->wYear, in->wMonth, in->wDay, in->wHour, in->wMinute, in->wSecond);
    return true;
}

bool fromFileTime(FileDateTime& time, const FILETIME* in) {
    SYSTEMTIME system;
    if (!in || !FileTimeToSystemTime(in, &system)) return false;
    return fromSystemTime(time, &system);
}

bool fromUtcFileTime(FileDateTime& time, const FILETIME* in) {
    FILETIME local;
    if (!in || !FileTimeToLocalFileTime(in, &local)) return false;
    return fromFileTime(time, &local);
}

FileDateTime readWindowsLocalTime() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return FileDateTime(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
}

// FileDateTime to and from the Windows time structures. The fields are taken
// as they are: toSystemTime and toFileTime do not convert between local time
// and UTC; fromUtcFileTime is the one conversion, from the UTC times that the
// file system reports to the local time that FileDateTime holds.
#pragma once

#include "core/date_time.h"
#include "files/win32.h"

// False when out is missing. Sets wMilliseconds to 0 and leaves wDayOfWeek
// as it was.
bool toSystemTime(const FileDateTime& time, SYSTEMTIME* out);
// False when out is missing or the fields are no valid time.
bool toFileTime(const FileDateTime& time, FILETIME* out);
// A missing in clears time (month 0) and gives false.
bool fromSystemTime(FileDateTime& time, const SYSTEMTIME* in);
// False, leaving time as it was, when in is missing or no valid time.
bool fromFileTime(FileDateTime& time, const FILETIME* in);
// The UTC file time as local time, by the platform's current bias.
bool fromUtcFileTime(FileDateTime& time, const FILETIME* in);

// The local time from the Windows clock. The program installs it as the
// core's localClock: the C library's clock would follow a TZ variable in the
// environment rather than the Windows time zone.
FileDateTime readWindowsLocalTime();

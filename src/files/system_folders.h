// Locations of the program itself and of the system's own folders.
#pragma once

#include "core/str.h"

// The program's own file, its folder and name, and a name beside it.
String modulePath();
String moduleDirectory();
String moduleFileName();
String pathBesideModule(const char* name);
// The process's current directory, however long it is.
String currentDirectory();
// The Windows directory, e.g. "C:\WINDOWS" (no trailing backslash).
String windowsDirectory();
String systemDirectory();
// Creates a new empty file with a unique name in dir and returns that name;
// empty when the system cannot make one.
String tempFileName(const char* dir);
// The short (8.3) form of an existing path; the path itself when there is none.
String shortPathName(const char* path);

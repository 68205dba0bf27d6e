// Locations of the system's own folders.
#pragma once

#include "core/str.h"

// The Windows directory, e.g. "C:\WINDOWS" (no trailing backslash).
String windowsDirectory();

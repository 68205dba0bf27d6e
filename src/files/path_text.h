// Path texts: pure text work on Windows paths, no system calls (tested on the host).
#pragma once

#include "core/str.h"

// Index of the last backslash; without one, of the first colon; else -1.
int lastSeparatorIndex(const String& path);
// Appends "." + extension (or the extension when it starts with a dot) unless
// the file-name part already holds a dot; true when it appended.
bool addExtension(String& path, const char* extension);

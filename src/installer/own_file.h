// The program's own file, which carries the archive behind the program bytes.
#pragma once

#include "core/str.h"

// Opens the program file for reading and checks its trailer; reports the
// failure to open and the missing archive as fatal errors.
void openOwnFile(const String& archivePath);

extern const char NoArchiveText[];

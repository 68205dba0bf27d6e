// The program's own file, which carries the archive behind the program bytes.
#pragma once

#include "core/str.h"
#include "files/file.h"

// Opens the program file for reading (not exclusive); failing that is fatal.
void openOwnFile(File& file, const String& archivePath);

extern const char NoArchiveText[];

// The archive header's settings, filled once by readArchiveHeader and read
// by the installation run, registration and the uninstaller's records.
#pragma once

#include <cstdint>

#include "archive/archive_header.h"
#include "core/str.h"

// Every field as the header held it (language names, file sizes, scripts,
// texts, payload length and checksum, ...). The string table itself moves
// into the runtime's stringTable.
extern ArchiveHeader archiveHeader;

extern uint32_t productFlags;
extern String productVersion;
extern String uninstallSubdir;
// Derived while reading: the program-group folder (publisher\product when
// the header leaves it empty), the offered installation directory (absolute,
// or "<master>"), and the shared directory (Common Files\publisher, with
// FlagRegisterProduct only).
extern String startMenuFolder;
extern String defaultDirectory;
extern String sharedDirectory;
// The program bytes in front of the archive: later written as the uninstaller.
extern String programBytes;

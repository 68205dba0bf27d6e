// The folders Windows keeps for programs, shared files, the desktop, fonts
// and the start menu, read afresh from the registry on every call; a missing
// value gives a fixed fallback built from the Windows directory or from
// another special folder.
#pragma once

#include "core/str.h"

// The value `name` of the per-user "Shell Folders" key; empty when missing.
String shellFolder(const char* name);
// The value `name` of the machine's "CurrentVersion" key; empty when missing.
String windowsSetting(const char* name);

String programFilesDirectory();
String commonFilesDirectory();
String desktopDirectory();
String fontsDirectory();
String startMenuDirectory();
String programsDirectory();
String startupDirectory();
// The drive Windows booted from ('C' unless the setup value names another).
char bootDrive();

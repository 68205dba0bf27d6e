// Shell shortcut files (.LNK) made through the shell's link object.
#pragma once

#include "core/str.h"

// Appends ".LNK" unless the text holds ".LNK" anywhere (any case).
void addLinkSuffix(String& linkPath);
// Makes a shortcut to target; arguments and workingDirectory may be null
// (then not set). The link path is completed with ".LNK" for the caller, and
// its folder is created. False when the shortcut could not be saved, also for
// a link path too long for the system (nothing is written elsewhere instead).
bool createShortcut(String& linkPath, const char* target, const char* arguments, const char* workingDirectory);
// A shortcut `name` on the desktop; the completed link path goes to
// linkPathOut (when given) also when creation failed.
bool createDesktopShortcut(const char* name, const char* target, const char* arguments, const char* workingDirectory,
                           String* linkPathOut);
// The same in the start menu's programs folder; name may hold a program
// group (Maker\Tool), whose folders are created.
bool createProgramsShortcut(const char* name, const char* target, const char* arguments,
                            const char* workingDirectory, String* linkPathOut);

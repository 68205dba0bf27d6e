// The archive's batch scripts: each runs through the command interpreter with
// a block of SET lines in front that tell it where things are, and the
// installer waits until it has finished.
#pragma once

#include <cstdint>

#include "core/str.h"

// The bytes of the script file that is run: "@echo off", the SET lines (only
// for a non-empty directory), then the script itself, without its pause lines
// when withoutPauses is true; CR LF line endings throughout.
String preparedScript(const String& directory, const String& script, const String& sharedDirectory,
                      bool withoutPauses);

// Runs a script in directory (its current directory) and waits for it. The two
// temporary batch files go into a new folder of their own in the user's
// temporary folder, are created there (never taken over) and stay open
// without write or delete sharing until the interpreter has ended, so that
// nobody else can change them between writing and running; they are removed
// afterwards. With FlagHiddenScripts the window is
// hidden and pause lines are left out (as in automatic mode). True when there
// was nothing to run or the script was started.
bool runScript(const String& directory, const String& script, const String& sharedDirectory, uint32_t flags);

// The end of an installation that makes the product removable: the
// uninstaller and its shortcuts, the picture copy, the product's own keys,
// the PATH change, the product registry record and the uninstall record.
#pragma once

#include "core/date_time.h"
#include "core/str.h"
#include "installer/run_state.h"

// Nothing here stops the run: failures become lines of state.problemText.
void registerProduct(RunState& state);

// Writes the program bytes as the uninstaller: up to three attempts, read
// back with FlagVerifyWrites, read-only cleared after a failed first attempt
// with FlagClearReadOnly, then the time stamp (when set). A problem line and
// false when every attempt failed.
bool writeUninstaller(const String& path, const String& bytes, const FileDateTime& time, RunState& state);

extern const char RegistrationFailedText[];

// Files in use: their new contents go to a temporary file in the
// installation directory, and Windows swaps it in at the next restart.
#pragma once

#include "core/str.h"
#include "installer/run_state.h"

// GetVersionExA: true on the Windows NT line.
bool isWindowsNT();
// MoveFileExA from kernel32, linked at run time since Windows 95 lacks it;
// null when it is missing.
MoveFileExFunction linkMoveFileEx();

// A new empty file "XXX....tmp" in the installation directory, in its short
// 8.3 form (the form wininit.ini needs); empty when none can be made.
String restartTemporaryFile(const String& installDirectory);

// Arranges for realTarget to be replaced by temporaryFile at the next
// restart and marks the run with FlagRestartPending. Failures go to the
// state's problemText.
void scheduleRestartReplacement(const String& temporaryFile, const String& realTarget, RunState& state);

// What the user sees when something fails, and the one way the program ends.
#pragma once

#include "core/fatal.h"
#include "core/str.h"

struct HWND__;

// The process exit code tells unattended callers how the run went.
enum class ExitOutcome {
    Finished = 0,
    Cancelled = 1,             // cancelled or declined by the user
    FatalError = 2,            // fatal report, damaged archive, usage error
    FinishedWithProblems = 3,  // problems listed in the log or left behind
    FinishedRestartNeeded = 4,  // finished; files wait for a restart that did not happen
};

// Destroys the background window and the progress dialog, then ends the process.
[[noreturn]] void exitProgram(ExitOutcome outcome);

// An ordinary error box (caption message 21, or "Error"). Shows nothing in
// automatic mode or for a blank text. Returns.
void reportError(const char* format, ...) QP_PRINTF(1, 2);

// The damaged-archive report with its code (message 13 as the format when
// the string table has one). Does not return.
[[noreturn]] void reportCorruptArchive(int code);

// The command-line report with the usage summary. Does not return.
[[noreturn]] void reportUsageError(const char* text);

// The system's text for GetLastError(); empty when it is 0. Valid until the next call.
const char* systemErrorText();

// Dispatches every waiting message; true right after WM_DESTROY, WM_CLOSE or WM_QUIT.
bool pumpMessages();

// The built-in texts, kept here so tests can compare against them.
extern const char CorruptArchiveText[];
extern const char UsageFormat[];

// The owner of every box: the progress dialog when open, else the background.
HWND__* boxOwner();

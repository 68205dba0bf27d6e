// Windows' reference counts of shared files (the SharedDLLs key), so that a
// shared file is removed only by the last product that uses it.
#pragma once

#include "installer/run_state.h"

// The SharedDLLs value name of a shared record name: its full path in the
// shared directory (a name that is already absolute is kept as it is).
String sharedFilePath(const String& name);

// The next name of a "SharedFiles" list ("a.dll";"b.dll"...): the quoted
// name and the one ";" after it are taken off the list. Empty when the list
// does not start with a quoted name.
String takeSharedFileName(String& list);

// After placement, with FlagRegisterProduct: on a reinstallation first
// releases the earlier installation's counts (the quoted names of
// sharedFilesText; a count of 1 or less deletes the value), then raises the
// count of every shared record name by one and rebuilds sharedFilesText as
// "name";"name"... A key that cannot be opened is a problem line.
void updateSharedFileCounts(RunState& state);

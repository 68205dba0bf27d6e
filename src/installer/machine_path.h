// The installation directory on the machine's PATH on Windows NT: the "Path"
// value of the system environment, changed entry by entry, after which every
// window is told that the environment changed.
#pragma once

#include "core/str.h"

// HKEY_LOCAL_MACHINE\<MachineEnvironmentKey>, value "Path".
extern const char MachineEnvironmentKey[];

enum class PathChange {
    Changed,    // the entry was added or removed
    Unchanged,  // already there (adding) or not there (removing)
    Failed,     // the value could not be read as text or written back
};

// Adds directory as a new last entry unless an entry names it already
// (ignoring case and trailing backslashes). The value keeps every byte it
// had, however long it is. A directory holding ";" or a double quote is
// refused: it would become more than one entry.
PathChange addMachinePathEntry(const String& directory);
// Removes the first entry that names directory, and nothing else.
PathChange removeMachinePathEntry(const String& directory);

// WM_SETTINGCHANGE "Environment" to every top-level window, waiting a few
// seconds at most for each, so that a hung program cannot stop the run.
void broadcastEnvironmentChange();

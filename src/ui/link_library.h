// Linking system functions at run time, for functions that older Windows
// versions lack (MoveFileExA on Windows 95), and for system libraries that
// are not among those Windows always takes from its system folder
// (VERSION.DLL), which an import would let a planted copy replace.
#pragma once

#include "files/win32.h"

struct LinkEntry {
    const char* name;  // the exported function
    FARPROC* store;    // receives its address, null when missing; null ends the table
    bool optional;     // a missing optional function does not fail the link
};

// Loads the library of that file name from the system folder (never from
// anywhere else) and stores every entry's address. False for a null
// table, a library that cannot be loaded, or a missing required function
// (the other entries are linked all the same). The library stays loaded
// until the process ends, even when the result is false.
bool linkLibrary(const char* libraryName, const LinkEntry* table);

// Frees every library linkLibrary loaded and forgets them; registered to
// run at process exit by the first successful load.
void releaseLinkedLibraries();

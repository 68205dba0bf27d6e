// Where the system looks for DLLs loaded by name: the program runs with
// administrator rights from folders that anybody may drop files into (a
// download folder), so no DLL may come from there.
#pragma once

// Restricts the search for DLLs loaded by name, by the program and by the
// system DLLs it uses, to the system folder. Where the system cannot do that
// (before Windows 8 without its update), at least the current folder is
// taken out of the search. Called first thing, before any window exists.
void restrictLibrarySearch();

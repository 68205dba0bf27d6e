// The uninstall run: removes an installed product as its registry record
// and its "Uninstall.DAT" describe it, keeps whatever resists in both so
// that a later run retries only that, and removes the registration only
// after a pass without problems.
#pragma once

#include "core/str.h"

enum class UninstallResult {
    Removed,           // everything went; the caller removes the uninstaller itself
    ProblemsLeft,      // something stayed: listed in the record, registration kept
    NotUninstallable,  // no product of that name, or its record cannot be used
};

// Removes the product named productName. installDirectory receives the
// record's "InstallLocation". Declining the confirmation ends the program.
UninstallResult uninstallProduct(String& installDirectory);

// The whole uninstaller: the run, self-removal after a clean one, and the
// exit code (0 removed, 3 something stayed, 2 nothing to remove).
[[noreturn]] void runUninstaller(const String& installDirectoryOverride);

// A product key of the record ("ProductRegistry") that may be deleted with
// everything below it: relative, without empty components, and not one of
// the system's own keys below Software (Microsoft, Classes, Policies, ...).
bool isRemovableProductKey(const String& keyPath);

// An entry of "Uninstall.DAT" that the run may remove: a plain absolute
// path inside the installation directory, or (a file only) a shortcut
// anywhere. Anything else came from somewhere other than the installation.
bool isRemovableEntry(const String& path, bool isDirectory, const String& installDirectory);

extern const char ProductMissingFormat[];
extern const char RecordUnusableFormat[];
extern const char SharedCountsErrorText[];

// The installation run: from the language choice to the end of the program,
// once the archive header has been read.
#pragma once

#include "core/str.h"
#include "files/file.h"

struct InstallationOptions {
    String archivePath;       // the installer's own file
    String installDirectory;  // /d:, or empty for the archive's default
    bool noRestart = false;   // /norestart: leave a needed restart to the caller
};

// programFile is positioned at the first payload byte. Ends the program with
// 0 (finished), 3 (finished with problems in the log), 4 (finished; files
// wait for a restart that did not happen), 1 (cancelled) or 2 (fatal).
[[noreturn]] void runInstallation(File& programFile, const InstallationOptions& options);

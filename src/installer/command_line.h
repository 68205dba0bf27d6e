// Reading the command line: plain functions from text to options, so the
// atom rules hold the same wherever they are checked.
#pragma once

#include "core/str.h"

struct CommandLineOptions {
    bool automaticMode = false;
    bool noRestart = false;  // /norestart: never restart Windows at the end
    bool uninstallRequested = false;
    String installDirectoryOverride;  // /d:
    String productName;               // /n: or /u:
};

// At most 19 atoms are read; words beyond them are ignored. Returns false
// with the usage error's text (without the usage summary) in errorText.
bool parseCommandLine(const String& commandLine, CommandLineOptions& options, String& errorText);

// The program's own path from the whole process command line: the quoted
// section, or the text up to the first space, with ".EXE" added when the
// file name has no extension.
String programPathFromCommandLine(const String& processCommandLine);

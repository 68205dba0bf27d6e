// Start-up: what every run does first, and the installation run's start.
// The entry point chooses between installing and uninstalling.
#pragma once

#include "files/win32.h"
#include "installer/command_line.h"

// What every run does first: DLL search restricted to the system folder,
// the process-wide values, the background window, and the command line (a
// usage error ends the program here).
CommandLineOptions startProgram(HINSTANCE instance, const char* commandLine);

// The installation from the program's own archive. Never returns.
[[noreturn]] void runInstaller(const CommandLineOptions& options);

// Start-up: decides whether this run installs, uninstalls or only explains itself.
#pragma once

#include "files/win32.h"

[[noreturn]] void runProgram(HINSTANCE instance, const char* commandLine);

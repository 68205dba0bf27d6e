// Other processes for the Windows tests: a helper program beside the test
// program, and system tools whose output the tests read back.
#pragma once

#include <string>

#include "files/win32.h"

// The full path of a program built beside win_tests.exe (e.g. "hold_file.exe").
std::string besideTestProgram(const char* fileName);

struct ProgramRun {
    DWORD exitCode = 0xFFFFFFFF;  // unchanged when the program could not start or timed out
    std::string output;           // standard output and standard error together
};

// Runs a command line to its end (at most timeoutMs) with output captured.
ProgramRun runProgram(const std::string& commandLine, DWORD timeoutMs = 30000);

// Starts a command line without waiting; the caller ends it with finishProgram.
HANDLE startProgram(const std::string& commandLine);
// Terminates a started program if it still runs, waits for it, closes the handle.
void finishProgram(HANDLE process);

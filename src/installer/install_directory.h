// The installation directory: the tests every directory must pass, and the
// choice of the directory by the user or by the archive and the command line.
#pragma once

#include "core/str.h"
#include "installer/run_state.h"

// Empty when directory can be installed to; otherwise the text that says
// why not: not a valid absolute path with a drive letter, a drive that does
// not exist, a drive root, or the Program Files folder itself.
String installDirectoryProblem(const String& directory);

// Settles state.installDirectory for a run that does not reinstall: the /d:
// text or the archive's default. In automatic mode, or when the archive does
// not let the user choose, that directory is tested and created (a directory
// that fails the tests, or cannot be made, ends the program as a fatal
// error: installing into a drive root or the Program Files folder would
// hand them to the uninstaller). Otherwise the user chooses until a
// directory passes, is confirmed and exists; cancelling ends the program.
void settleInstallDirectory(RunState& state);

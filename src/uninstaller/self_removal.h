// Self-removal: the uninstaller cannot delete its own file, nor the folders
// holding it, while it runs. It leaves a batch file that deletes them once
// the process has ended, then deletes itself.
#pragma once

#include "core/str.h"
#include "files/file.h"

// The batch text, lines ended by "\r\n": a loop that retries deleting
// selfPath until it is gone (a bounded number of times, so that a file
// that can never go does not keep a console busy for ever), "rd" of the
// uninstall folder (only for a plain relative uninstallSubdir) and of the
// installation directory, then "del" of the batch file itself. Every path is
// quoted and its percent signs doubled. Empty when selfPath or batchPath
// cannot be written into a command safely (a double quote or a control
// character); an rd line is left out for such a folder.
String selfRemovalBatch(const String& selfPath, const String& installDirectory, const String& uninstallSubdir,
                        const String& batchPath);

// Writes that batch for selfPath into a new file of the user's temporary
// folder (a name the system makes unique, created here, never taken over)
// and starts it minimised in a console of its own, without waiting. The
// batch stays open in file, readable but neither writable nor deletable by
// others, until the caller closes it or the process ends; the batch deletes
// itself only after that. 0 when it was started, 1 when it could not be
// written, 2 when it could not be started (after either failure file is
// closed and the batch gone).
int startSelfRemoval(const String& selfPath, const String& installDirectory, File& file);

// startSelfRemoval for the running program; the caller ends the process
// right afterwards, which lets the batch's deletion succeed.
int removeSelf(const String& installDirectory);

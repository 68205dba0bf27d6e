// The installation directory on the PATH through the boot drive's
// "autoexec.bat": one line added at installation and removed again at
// uninstallation.
#pragma once

#include "core/str.h"

// "PATH=%PATH%;<short form of directory>\r\n"
String autoexecPathLine(const String& directory);

// Adds (add = true) or removes the directory's PATH line. Empty on success
// or when nothing needed changing; otherwise the text that tells the user
// what to do by hand. Bytes of the file other than that line stay as they
// were, whatever they are.
String updateAutoexecPath(const String& directory, bool add);

// "Unable to modify <what>.  You will need to manually add <directory> to the
// PATH environment variable.\r\n\r\n" (remove ... from, when add is false).
String pathChangeFailureText(const char* what, const String& directory, bool add);

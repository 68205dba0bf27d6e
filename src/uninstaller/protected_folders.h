// Folders that deleting an installation directory as a whole must never
// take: the drive roots, the system's folders, the user's folders, and any
// folder that holds one of them. A damaged or forged record could name any
// of these as the installation directory.
#pragma once

#include "core/list.h"
#include "core/str.h"

// The form folders are compared in: "/" as "\", no trailing "\". Empty when
// the path is not a plain absolute drive path ("X:\..."): a relative path,
// a network path, or one with an empty, "." or ".." component or a
// component ending in a dot or blank (which Windows trims away, so that
// "C:\Windows." names the Windows directory).
String comparableFolder(String path);

// True when folder holds path: equal, or path starts with folder and "\"
// (ignoring ASCII case). Both in comparable form.
bool folderContains(const String& folder, const String& path);

// True when folder must not be deleted as a tree: it is not a plain absolute
// path, or it holds one of protectedPaths (given in any form; empty and
// malformed ones are passed over).
bool isProtectedFolder(const String& folder, const List<String>& protectedPaths);

// This machine's protected folders, read now: every drive root, the
// Windows, system, Program Files and Common Files folders, the user's
// profile and the shell folders of the user and of all users.
List<String> protectedFolders();

// The judgement for a folder on this machine, taken on the folder as given,
// on its full path and on its long form (so "C:\PROGRA~1" is seen as what
// it is); a folder that is a link to another place is refused as well.
bool mayDeleteTree(const String& folder);

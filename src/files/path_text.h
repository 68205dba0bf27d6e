// Path texts: pure text work on Windows paths, no system calls (tested on the host).
//
// The only separator is the backslash; a colon in the second position marks a
// drive. Parsing compares characters exactly; whole-path comparison ignores
// ASCII case.
#pragma once

#include "core/str.h"

// Index of the last backslash; without one, of the first colon; else -1.
int lastSeparatorIndex(const String& path);
// Where the file name starts: lastSeparatorIndex + 1 (0 for a bare name).
int fileNameStart(const String& path);
// The part before the last separator; a drive root keeps its form:
// c:\dir\file -> c:\dir, c:\file -> c:\, c:file -> c:, \file -> "".
String directoryOf(const String& path);
// Everything from fileNameStart on.
String fileNameOf(const String& path);
// Erases what follows the last separator (the separator stays); false and
// unchanged without one.
bool stripFileName(String& path);
// Splits into directory (up to and including the last backslash, or the
// "x:" of a drive-relative path) and name. True when there was a separator,
// otherwise whether the name is non-empty.
bool splitPath(const String& path, String& directory, String& name);
// dir + name with exactly one backslash between them (none after "x:");
// either side empty gives the other one.
String joinPath(const String& dir, const String& name);
// Appends "." + extension (or the extension when it starts with a dot) unless
// the file-name part already holds a dot; true when it appended.
bool addExtension(String& path, const char* extension);
// name := joinPath(dir, name) for a bare name; false (unchanged) when dir is
// empty or the name already holds a backslash or a colon.
bool prefixDirectory(String& name, const String& dir);
// Completes a relative path against base (an absolute drive path such as
// c:\inst): sub -> c:\inst\sub, \sub -> c:\sub, d:sub -> d:\inst\sub.
// False and unchanged for an already absolute path or a base that is not one.
bool makeAbsolute(String& path, const String& base);
// The upper-case drive letter of "x:...", else 0.
char driveLetterOf(const String& path);
// "x:" or "x:\" of a path that starts with a drive, else "".
String driveRootOf(const String& path);
// True when the second and third characters are ":\".
bool isAbsoluteDrivePath(const String& path);
// An installation path the user may type: outer quotes and the drive colon
// aside, none of /"<>|*?:; may appear. Empty (also after the quotes) is invalid.
bool isValidPath(String path);
// Equal ignoring ASCII case and any trailing backslashes.
bool pathsEqual(String a, String b);

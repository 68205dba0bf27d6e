// Creating and removing directories.
#pragma once

// Creates the directory and every missing parent; true when it exists
// afterwards (a drive root always counts as existing).
bool createDirectoryTree(const char* path);
// createDirectoryTree or the fatal "Unable to create directory" report.
void requireDirectory(const char* path);
// Removes one empty directory (one trailing backslash allowed); never a path
// shorter than 4 characters such as c:\.
bool removeDirectory(const char* path);
// Removes a directory with everything below it, read-only files included.
// Never a drive root, never anything inside the Windows directory. An entry
// that cannot go makes the result false; the rest is removed all the same.
// A folder below it that is a junction or a link is removed as a link,
// never entered.
bool deleteDirectoryTree(const char* path);

// Small fixtures for the file-layer tests: a scratch folder per case and
// direct system calls to set up and inspect files without the code under test.
#pragma once

#include <string>

#include "files/win32.h"

// A fresh, empty folder C:\qp-files-test\<case name>, removed again by the caller's prefix.
std::string scratchFolder();
// Writes bytes straight through the system.
void putFile(const std::string& path, const std::string& bytes);
// Reads bytes straight through the system; "<missing>" when it cannot.
std::string fileBytes(const std::string& path);
bool exists(const std::string& path);
// How many entries (files and folders, without . and ..) a folder holds.
int entryCount(const std::string& folder);
// A drive letter that has no root directory.
char missingDriveLetter();

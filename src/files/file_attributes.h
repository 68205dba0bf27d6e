// Existence tests, attributes and deletion of single files.
#pragma once

#include <cstdint>

// True when the file can be opened for reading (a file that exists but cannot
// be read counts as missing).
bool fileExists(const char* path);
// True when the path names an existing directory that can be entered.
bool directoryExists(const char* path);
// 0xFFFFFFFF for a null path or a missing file.
uint32_t fileAttributes(const char* path);
bool setFileAttributes(const char* path, uint32_t attributes);
// Sets or clears the read-only bit, leaving the other bits as they are;
// false when the file is missing.
bool setReadOnly(const char* path, bool on);
// Deletes a file, read-only or not.
bool deleteFile(const char* path);

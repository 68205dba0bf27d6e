#include "files/file_attributes.h"

#include <cstdio>

#include "files/win32.h"

bool fileExists(const char* path) {
    if (!path) return false;
    FILE* file = std::fopen(path, "r");
    if (!file) return false;
    std::fclose(file);
    return true;
}

// By attributes, not by entering the folder: the answer is the same, but
// entering and leaving costs four system calls per test, and placing a
// thousand files tests each file's folder twice.
bool directoryExists(const char* path) {
    if (!path || !*path) return false;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

uint32_t fileAttributes(const char* path) {
    if (!path) return INVALID_FILE_ATTRIBUTES;
    return GetFileAttributesA(path);
}

bool setFileAttributes(const char* path, uint32_t attributes) {
    if (!path) return false;
    return SetFileAttributesA(path, attributes) != 0;
}

bool setReadOnly(const char* path, bool on) {
    uint32_t attributes = fileAttributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    bool isReadOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (isReadOnly == on) return true;
    return setFileAttributes(path, on ? attributes | FILE_ATTRIBUTE_READONLY : attributes & ~FILE_ATTRIBUTE_READONLY);
}

bool deleteFile(const char* path) {
    if (!path) return false;
    setReadOnly(path, false);
    return DeleteFileA(path) != 0;
}

// Drives and their free space.
#pragma once

#include <cstdint>

// Any drive type but "no root directory" counts as present.
bool driveExists(char letter);
// Bytes per cluster; -1 for a non-letter or a drive that cannot be asked.
int32_t clusterSize(char letter);
// Free bytes; -1 for a non-letter or a drive that cannot be asked.
int64_t diskFreeSpace(char letter);
int64_t diskFreeSpace(const char* rootPath);

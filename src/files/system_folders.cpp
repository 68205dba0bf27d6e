#include "files/system_folders.h"

#include "files/win32.h"

String windowsDirectory() {
    char buffer[MAX_PATH + 1];
    UINT n = GetWindowsDirectoryA(buffer, sizeof buffer);
    if (n == 0 || n > MAX_PATH) return String();
    return String(buffer, static_cast<int>(n));
}

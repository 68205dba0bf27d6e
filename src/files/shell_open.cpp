#include "files/shell_open.h"

#include "files/system_folders.h"
#include "files/win32.h"

#include <shellapi.h>

bool openWithShell(const char* path) {
    if (!path || !*path) return false;
    String directory = moduleDirectory();
    HINSTANCE result = ShellExecuteA(nullptr, nullptr, path, nullptr, directory.cStr(), SW_SHOW);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

#include "files/system_error.h"

#include "files/win32.h"

String lastSystemErrorText() {
    DWORD code = GetLastError();
    if (code == 0) return String();
    char* buffer = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&buffer), 0,
                   nullptr);
    String text(buffer);
    if (buffer) LocalFree(buffer);
    return text;
}

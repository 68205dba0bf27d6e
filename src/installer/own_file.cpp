#include "installer/own_file.h"

#include "files/win32.h"
#include "runtime/errors.h"

const char NoArchiveText[] =
    "This program performs installations and uninstallations.\r\nThere is no installation archive "
    "present.\r\nNo Uninstallation parameters were specified.\r\n\r\nYou should not delete this "
    "program or execute it directly.";

void openOwnFile(const String& archivePath) {
    HANDLE file = CreateFileA(archivePath.cStr(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        reportFatalError("Error code 1: The self-extracting archive could not open itself.  Filename:\n%s",
                         archivePath.cStr());
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    unsigned char trailer[4] = {0, 0, 0, 0};
    DWORD got = 0;
    if (size >= 4 && high == 0 && SetFilePointer(file, static_cast<LONG>(size - 4), nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER)
        ReadFile(file, trailer, 4, &got, nullptr);
    CloseHandle(file);
    long offset = long(trailer[0]) | long(trailer[1]) << 8 | long(trailer[2]) << 16 | long(trailer[3]) << 24;
    if (offset == 0) reportFatalError("%s", NoArchiveText);
}

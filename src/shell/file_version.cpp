#include "shell/file_version.h"

#include "files/win32.h"
#include "shell/version_text.h"
#include "ui/link_library.h"

namespace {

typedef DWORD(WINAPI* InfoSizeFunction)(LPCSTR, LPDWORD);
typedef BOOL(WINAPI* InfoFunction)(LPCSTR, DWORD, DWORD, LPVOID);
typedef BOOL(WINAPI* QueryFunction)(LPCVOID, LPCSTR, LPVOID*, PUINT);

struct VersionFunctions {
    InfoSizeFunction infoSize = nullptr;
    InfoFunction info = nullptr;
    QueryFunction query = nullptr;
};

template <typename Function>
Function as(FARPROC address) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

VersionFunctions functions;
bool linkTried = false;

// VERSION.DLL is not one of the libraries Windows always takes from its
// system folder: imported, a copy beside the program would be loaded in its
// place. So it is linked from the system folder at the first use, once.
const VersionFunctions& versionFunctions() {
    if (!linkTried) {
        linkTried = true;
        FARPROC infoSize = nullptr, info = nullptr, query = nullptr;
        const LinkEntry table[] = {{"GetFileVersionInfoSizeA", &infoSize, false},
                                   {"GetFileVersionInfoA", &info, false},
                                   {"VerQueryValueA", &query, false},
                                   {nullptr, nullptr, false}};
        if (linkLibrary("version.dll", table)) {
            functions.infoSize = as<InfoSizeFunction>(infoSize);
            functions.info = as<InfoFunction>(info);
            functions.query = as<QueryFunction>(query);
        }
    }
    return functions;
}

}  // namespace

String fileVersion(const char* path, bool padded) {
    const VersionFunctions& version = versionFunctions();
    if (!version.infoSize) return String();
    DWORD handle = 0;
    DWORD size = version.infoSize(path, &handle);
    if (size == 0) return String();
    String block(static_cast<int>(size));
    String text;
    void* value = nullptr;
    UINT valueLength = 0;
    if (version.info(path, handle, size, block.data()) &&
        version.query(block.data(), "\\StringFileInfo\\040904E4\\FileVersion", &value, &valueLength) && value) {
        // The text ends at its zero, but never past the resource block.
        const char* start = static_cast<const char*>(value);
        int limit = static_cast<int>(block.data() + size - start);
        text.assignUpTo(start, limit);
    }
    return padded ? paddedVersion(text) : text;
}

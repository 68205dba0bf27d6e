#include "files/system_folders.h"

#include "files/path_text.h"
#include "files/win32.h"

namespace {

const int PathBufferSize = 260;
const int CurrentDirectoryFirstSize = 100;

// A call that fills a 260-character buffer and returns the length (0 on failure).
template <class Call>
String fixedBufferText(Call call) {
    char buffer[PathBufferSize + 1];
    UINT n = call(buffer, PathBufferSize);
    if (n == 0 || n >= PathBufferSize) return String();
    return String(buffer, static_cast<int>(n));
}

}  // namespace

String modulePath() {
    return fixedBufferText([](char* buffer, UINT size) { return GetModuleFileNameA(nullptr, buffer, size); });
}

String moduleDirectory() { return directoryOf(modulePath()); }
String moduleFileName() { return fileNameOf(modulePath()); }
String pathBesideModule(const char* name) { return joinPath(moduleDirectory(), name); }

String currentDirectory() {
    String directory(CurrentDirectoryFirstSize);
    DWORD size = CurrentDirectoryFirstSize - 1;
    for (;;) {
        DWORD n = GetCurrentDirectoryA(size, directory.data());
        if (n == 0) return String();
        if (n < size) break;
        // Too small: n is the size it needs, terminating zero included.
        size = n + 1;
        directory.setLength(static_cast<int>(size));
    }
    directory.recomputeLength();
    return directory;
}

String windowsDirectory() {
    return fixedBufferText([](char* buffer, UINT size) { return GetWindowsDirectoryA(buffer, size); });
}

String systemDirectory() {
    return fixedBufferText([](char* buffer, UINT size) { return GetSystemDirectoryA(buffer, size); });
}

String tempFileName(const char* dir) {
    char buffer[PathBufferSize + 1];
    if (!GetTempFileNameA(dir, "XXX", 0, buffer)) return String();
    return String(buffer);
}

String shortPathName(const char* path) {
    String full(path);
    if (full.isEmpty()) return String();
    int size = full.length() * 2 > PathBufferSize ? full.length() * 2 : PathBufferSize;
    String shortName(size);
    DWORD n = GetShortPathNameA(path, shortName.data(), static_cast<DWORD>(size));
    if (n == 0 || n >= static_cast<DWORD>(size)) return full;
    shortName.setLength(static_cast<int>(n));
    return shortName;
}

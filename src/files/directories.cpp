#include "files/directories.h"

#include "core/fatal.h"
#include "files/file_attributes.h"
#include "files/path_text.h"
#include "files/system_folders.h"
#include "files/win32.h"

namespace {

const int ShortestRemovablePath = 4;  // "c:\a": anything shorter is a root

bool isInsideWindowsDirectory(const String& path) {
    String windows = windowsDirectory();
    return !windows.isEmpty() && path.compare(windows, false, windows.length()) == 0 &&
           path.length() >= windows.length();
}

}  // namespace

bool createDirectoryTree(const char* path) {
    if (!path || !*path) return false;
    if (directoryExists(path)) return true;
    String target(path);
    String parent = directoryOf(target);
    if (parent == target) return true;  // a drive root: its parent is itself
    if (!parent.isEmpty() && !directoryExists(parent.cStr()) && !createDirectoryTree(parent.cStr())) return false;
    CreateDirectoryA(path, nullptr);
    // Someone else may have made it meanwhile: that counts as success too.
    return directoryExists(path);
}

void requireDirectory(const char* path) {
    if (!createDirectoryTree(path)) reportFatalError("Unable to create directory:\r\n%s", path ? path : "");
}

bool removeDirectory(const char* path) {
    String directory(path);
    if (directory.length() < ShortestRemovablePath) return false;
    directory.removeLastIf('\\');
    return RemoveDirectoryA(directory.cStr()) != 0;
}

bool deleteDirectoryTree(const char* path) {
    String directory(path);
    if (directory.length() < ShortestRemovablePath) return false;
    if (isInsideWindowsDirectory(directory)) return false;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(joinPath(directory, "*.*").cStr(), &entry);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool allRemoved = true;
    do {
        String name(entry.cFileName);
        if (name == "." || name == "..") continue;
        String full = joinPath(directory, name);
        bool removed;
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            removed = deleteFile(full.cStr());
        else if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            // A junction or folder link: only the link goes. Entering it would
            // delete whatever it points at (another user's files, Windows),
            // with administrator rights.
            removed = RemoveDirectoryA(full.cStr()) != 0;
        else
            removed = deleteDirectoryTree(full.cStr());
        if (!removed) allRemoved = false;
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return removeDirectory(directory.cStr()) && allRemoved;
}

#include "uninstaller/protected_folders.h"

#include <shlobj.h>

#include "files/path_text.h"
#include "files/system_folders.h"
#include "files/win32.h"
#include "shell/special_folders.h"
#include "ui/link_library.h"

namespace {

using SpecialFolderPathFunction = BOOL(WINAPI*)(HWND owner, LPSTR path, int folder, BOOL create);

// The folders of the user and of all users that hold what people keep.
const int ShellFolderIds[] = {
    CSIDL_PROFILE,          CSIDL_DESKTOPDIRECTORY,     CSIDL_COMMON_DESKTOPDIRECTORY,
    CSIDL_PERSONAL,         CSIDL_COMMON_DOCUMENTS,     CSIDL_STARTMENU,
    CSIDL_COMMON_STARTMENU, CSIDL_PROGRAMS,             CSIDL_COMMON_PROGRAMS,
    CSIDL_STARTUP,          CSIDL_COMMON_STARTUP,       CSIDL_FONTS,
    CSIDL_APPDATA,          CSIDL_COMMON_APPDATA,       CSIDL_LOCAL_APPDATA,
    CSIDL_WINDOWS,          CSIDL_SYSTEM,               CSIDL_PROGRAM_FILES,
    CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES_COMMONX86,
};

// A component Windows would not keep as written.
bool isTrimmedComponent(const char* start, int length) {
    if (length == 0) return true;
    char last = start[length - 1];
    return last == '.' || last == ' ';
}

SpecialFolderPathFunction linkSpecialFolderPath() {
    FARPROC address = nullptr;
    const LinkEntry table[] = {{"SHGetSpecialFolderPathA", &address, true}, {nullptr, nullptr, false}};
    linkLibrary("shell32.dll", table);
    return reinterpret_cast<SpecialFolderPathFunction>(reinterpret_cast<void*>(address));
}

String fullPathOf(const String& path) {
    char buffer[MAX_PATH + 1];
    DWORD n = GetFullPathNameA(path.cStr(), sizeof buffer, buffer, nullptr);
    return n > 0 && n < sizeof buffer ? String(buffer) : String();
}

String longPathOf(const String& path) {
    char buffer[MAX_PATH + 1];
    DWORD n = GetLongPathNameA(path.cStr(), buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? String(buffer) : String();
}

}  // namespace

String comparableFolder(String path) {
    path.replaceAll("/", "\\");
    if (!isAbsoluteDrivePath(path)) return String();
    path.trimRight('\\');
    // Each component after "X:" must be a name Windows keeps as it is.
    const char* text = path.cStr();
    int start = 3;
    for (int i = 3; i <= path.length(); ++i) {
        if (i < path.length() && text[i] != '\\') continue;
        if (isTrimmedComponent(text + start, i - start)) return String();
        start = i + 1;
    }
    return path;
}

bool folderContains(const String& folder, const String& path) {
    if (folder.isEmpty() || path.length() < folder.length()) return false;
    if (path.compare(folder, false, folder.length()) != 0) return false;
    return path.length() == folder.length() || path.charAt(folder.length()) == '\\';
}

bool isProtectedFolder(const String& folder, const List<String>& protectedPaths) {
    String candidate = comparableFolder(folder);
    if (candidate.isEmpty()) return true;
    Iterator it;
    for (String* path = protectedPaths.first(it); path; path = protectedPaths.next(it))
        if (folderContains(candidate, comparableFolder(*path))) return true;
    return false;
}

List<String> protectedFolders() {
    List<String> folders;
    for (char drive = 'A'; drive <= 'Z'; ++drive) folders.append(String::format("%c:\\", drive));
    folders.append(windowsDirectory());
    folders.append(systemDirectory());
    folders.append(programFilesDirectory());
    folders.append(commonFilesDirectory());
    folders.append(desktopDirectory());
    folders.append(fontsDirectory());
    folders.append(startMenuDirectory());
    folders.append(programsDirectory());
    folders.append(startupDirectory());
    if (SpecialFolderPathFunction specialFolderPath = linkSpecialFolderPath()) {
        for (int id : ShellFolderIds) {
            char buffer[MAX_PATH + 1] = {};
            if (specialFolderPath(nullptr, buffer, id, FALSE)) folders.append(String(buffer));
        }
    }
    return folders;
}

bool mayDeleteTree(const String& folder) {
    List<String> protectedPaths = protectedFolders();
    if (isProtectedFolder(folder, protectedPaths)) return false;
    String full = fullPathOf(folder);
    if (isProtectedFolder(full, protectedPaths)) return false;
    String longForm = longPathOf(full);
    if (!longForm.isEmpty() && isProtectedFolder(longForm, protectedPaths)) return false;
    DWORD attributes = GetFileAttributesA(full.cStr());
    return attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

#include "shell/shortcuts.h"

#include "files/directories.h"
#include "files/path_text.h"
#include "files/win32.h"
#include "shell/special_folders.h"

#include <objbase.h>
#include <shlobj.h>

namespace {

const int WideLinkPathSize = 260;

// Saves the link; a path that does not fit the system's 260 characters fails
// instead of being cut to another (possibly existing) file name.
bool saveLink(IPersistFile* persist, const String& linkPath) {
    WCHAR widePath[WideLinkPathSize] = {};
    int converted =
        MultiByteToWideChar(CP_ACP, 0, linkPath.cStr(), linkPath.length(), widePath, WideLinkPathSize);
    return converted > 0 && converted < WideLinkPathSize && persist->Save(widePath, TRUE) == S_OK;
}

bool shortcutIn(const String& folder, const char* name, const char* target, const char* arguments,
                const char* workingDirectory, String* linkPathOut) {
    String linkPath = joinPath(folder, name);
    bool created = createShortcut(linkPath, target, arguments, workingDirectory);
    if (linkPathOut) *linkPathOut = linkPath;
    return created;
}

}  // namespace

void addLinkSuffix(String& linkPath) {
    if (linkPath.find(".LNK", 0, false) < 0) linkPath.append(".LNK");
}

bool createShortcut(String& linkPath, const char* target, const char* arguments, const char* workingDirectory) {
    if (FAILED(CoInitialize(nullptr))) return false;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link)))) {
        CoUninitialize();
        return false;
    }
    link->SetPath(target);
    link->SetIconLocation(target, 0);  // the target's first icon
    if (arguments) link->SetArguments(arguments);
    if (workingDirectory) link->SetWorkingDirectory(workingDirectory);
    bool saved = false;
    IPersistFile* persist = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
        addLinkSuffix(linkPath);
        createDirectoryTree(directoryOf(linkPath).cStr());
        saved = saveLink(persist, linkPath);
        persist->Release();
    }
    link->Release();
    CoUninitialize();
    return saved;
}

bool createDesktopShortcut(const char* name, const char* target, const char* arguments, const char* workingDirectory,
                           String* linkPathOut) {
    return shortcutIn(desktopDirectory(), name, target, arguments, workingDirectory, linkPathOut);
}

bool createProgramsShortcut(const char* name, const char* target, const char* arguments,
                            const char* workingDirectory, String* linkPathOut) {
    return shortcutIn(programsDirectory(), name, target, arguments, workingDirectory, linkPathOut);
}

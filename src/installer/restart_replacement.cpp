#include "installer/restart_replacement.h"

#include "archive/archive_format.h"
#include "files/system_folders.h"
#include "ui/ini_file.h"
#include "ui/link_library.h"

bool isWindowsNT() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

MoveFileExFunction linkMoveFileEx() {
    FARPROC address = nullptr;
    const LinkEntry table[] = {{"MoveFileExA", &address, true}, {nullptr, nullptr, false}};
    linkLibrary("kernel32.dll", table);
    return reinterpret_cast<MoveFileExFunction>(reinterpret_cast<void*>(address));
}

String restartTemporaryFile(const String& installDirectory) {
    String temporary = tempFileName(installDirectory.cStr());
    return temporary.isEmpty() ? temporary : shortPathName(temporary.cStr());
}

void scheduleRestartReplacement(const String& temporaryFile, const String& realTarget, RunState& state) {
    state.flags |= FlagRestartPending;
    if (!state.windowsNT) {
        // The file to replace is the key, its replacement the value.
        writeIniString("rename", realTarget.cStr(), temporaryFile.cStr(), "wininit.ini");
        return;
    }
    if (!state.moveFileEx) {
        state.problemText.appendFormat(
            "Failed to install %s because MoveFileEx could not be linked from KERNEL32.DLL\r\n", realTarget.cStr());
        return;
    }
    if (!state.moveFileEx(temporaryFile.cStr(), realTarget.cStr(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT))
        state.problemText.appendFormat("Failed to update system file:\r\n%s\r\n\r\n", realTarget.cStr());
}

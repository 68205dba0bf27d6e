#include "uninstaller/self_removal.h"

#include "archive/archive_format.h"
#include "files/file.h"
#include "files/file_attributes.h"
#include "files/path_text.h"
#include "files/system_folders.h"
#include "files/win32.h"
#include "installer/header_settings.h"
#include "installer/restart_replacement.h"
#include "runtime/process_state.h"

namespace {

// Tries of the deletion loop: far more than the moments the process needs
// to end, few enough that the batch ends when the file can never go.
const int DeletionTries = 3000;

// "path" for a command line of the batch, or empty when the path would
// break out of its quotes or its line.
String quotedForBatch(const String& path) {
    if (path.isEmpty()) return String();
    for (int i = 0; i < path.length(); ++i) {
        unsigned char c = static_cast<unsigned char>(path.charAt(i));
        if (c < 0x20 || c == '"') return String();
    }
    String escaped = path;
    escaped.replaceAll("%", "%%");  // the interpreter expands %...% even inside quotes
    return "\"" + escaped + "\"";
}

// The batch in a new file name.bat of the user's temporary folder, created
// here (never an existing one taken over) and held in file; its path, or
// empty when none can be written.
String writeBatchFile(File& file, const String& selfPath, const String& installDirectory) {
    char temp[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length >= sizeof temp) return String();
    for (int attempt = 0; attempt < 10; ++attempt) {
        // The system's unique name, reserved by the empty file it makes.
        String reservation = tempFileName(temp);
        if (reservation.isEmpty()) return String();
        String path = reservation + ".bat";
        String text = selfRemovalBatch(selfPath, installDirectory, uninstallSubdir, path);
        bool written = !text.isEmpty() && writeNewHeldFile(file, path.cStr(), text);
        deleteFile(reservation.cStr());
        if (text.isEmpty()) return String();
        if (written) return path;
    }
    return String();
}

}  // namespace

String selfRemovalBatch(const String& selfPath, const String& installDirectory, const String& uninstallSubdir,
                        const String& batchPath) {
    String self = quotedForBatch(selfPath);
    String batch = quotedForBatch(batchPath);
    if (self.isEmpty() || batch.isEmpty()) return String();
    String text = "set QpDeleteTries=0\r\n";
    text.appendFormat(":Repeat\r\ndel %s\r\nif not exist %s goto Deleted\r\n", self.cStr(), self.cStr());
    text.appendFormat("set /a QpDeleteTries+=1\r\nif %%QpDeleteTries%% lss %d goto Repeat\r\n:Deleted\r\n",
                      DeletionTries);
    String directory = quotedForBatch(installDirectory);
    if (!directory.isEmpty()) {
        if (!uninstallSubdir.isEmpty() && isSafeRecordName(uninstallSubdir.cStr())) {
            String folder = quotedForBatch(joinPath(installDirectory, uninstallSubdir));
            if (!folder.isEmpty()) text.appendFormat("rd %s\r\n", folder.cStr());
        }
        text.appendFormat("rd %s\r\n", directory.cStr());
    }
    text.appendFormat("del %s\r\n", batch.cStr());
    return text;
}

namespace {

// The running program's batch, held until the process ends, which is when
// the batch gets to work. (At namespace scope: a function's static would
// bring in the C++ library's guard code, a third of the program's size.)
File ownBatch;

}  // namespace

int removeSelf(const String& installDirectory) { return startSelfRemoval(modulePath(), installDirectory, ownBatch); }

int startSelfRemoval(const String& selfPath, const String& installDirectory, File& file) {
    String batchPath = writeBatchFile(file, selfPath, installDirectory);
    if (batchPath.isEmpty()) return 1;

    // Quoted twice: the interpreter takes off the outer pair, and the inner
    // one keeps a temporary folder with blanks in one piece.
    String commandLine = "\"" + commandInterpreter + "\" /c \"\"" + batchPath + "\"\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_MINIMIZE;
    PROCESS_INFORMATION process = {};
    // Started in the temporary folder: a console whose current directory is
    // the installation directory would keep that directory from going.
    String workingDirectory = directoryOf(batchPath);
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
                        workingDirectory.cStr(), &startup, &process)) {
        file.close();
        deleteFile(batchPath.cStr());
        return 2;
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    Sleep(1);
    // Older Windows leaves the finished console open under this title; on
    // Windows NT the console closes itself, and a window of that name there
    // would be somebody else's.
    if (!isWindowsNT()) {
        HWND console = FindWindowA(nullptr, "MS-DOS Prompt");
        if (console) PostMessageA(console, WM_CLOSE, 0, 0);
    }
    return 0;
}

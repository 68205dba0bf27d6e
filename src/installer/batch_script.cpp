#include "installer/batch_script.h"

#include "archive/archive_format.h"
#include "files/file.h"
#include "files/file_attributes.h"
#include "files/path_text.h"
#include "files/system_folders.h"
#include "files/win32.h"
#include "runtime/errors.h"
#include "runtime/process_state.h"

namespace {

const char LauncherName[] = "KELVOR1.BAT";
const char ScriptName[] = "KELVOR2.BAT";
// The title the system gives an interpreter window that has finished running
// the launcher and stays open.
const char FinishedTitle[] = "Finished - KELVOR1";

// A line that is only "pause", maybe behind one "@" and blanks, in any case.
bool isPauseLine(String line) {
    line.trim();
    line.removeFirstIf('@');
    line.trimLeft();
    return line.compare("PAUSE", false) == 0;
}

// "SET Name=value". A folder may legally hold & | < > ^ or %, which the
// interpreter would take as commands or variables in a plain SET line: such
// a value is quoted as a whole and its percent signs doubled.
void appendSetLine(String& text, const char* name, const String& value) {
    if (value.findFirstOf("&|<>^%") < 0) {
        text.appendFormat("SET %s=%s\n", name, value.cStr());
        return;
    }
    String escaped = value;
    escaped.replaceAll("%", "%%");
    text.appendFormat("SET \"%s=%s\"\n", name, escaped.cStr());
}

// A new folder in the user's own temporary folder; empty when none can be made.
String makePrivateFolder() {
    char temp[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length >= sizeof temp) return String();
    for (int attempt = 0; attempt < 10; ++attempt) {
        String name = tempFileName(temp);
        if (name.isEmpty()) return String();
        deleteFile(name.cStr());
        // Only a folder this call created counts: an existing one could be
        // somebody else's.
        if (CreateDirectoryA(name.cStr(), nullptr)) return name;
    }
    return String();
}

void waitForScript(HANDLE process) {
    for (;;) {
        if (WaitForSingleObject(process, 1) != WAIT_TIMEOUT) return;
        HWND finished = FindWindowA(nullptr, FinishedTitle);
        if (finished) {
            SendMessageA(finished, WM_CLOSE, 0, 0);
            return;
        }
        Sleep(1);
        if (pumpMessages()) return;
    }
}

}  // namespace

String preparedScript(const String& directory, const String& script, const String& sharedDirectory,
                      bool withoutPauses) {
    String text = "@echo off\n";
    if (!directory.isEmpty()) {
        appendSetLine(text, "InstallDir", directory);
        char drive = driveLetterOf(directory);
        // A folder without a drive letter (a network path) names no drive.
        appendSetLine(text, "InstallDrive", drive ? String::format("%c:", drive) : String());
        appendSetLine(text, "SharedDir", sharedDirectory);
        appendSetLine(text, "InstallerFilepath", modulePath());
        appendSetLine(text, "InstallerDir", moduleDirectory());
        appendSetLine(text, "InstallerFilename", moduleFileName());
        appendSetLine(text, "SystemDir", systemDirectory());
    }
    if (!withoutPauses) {
        text.append(script);
    } else {
        String rest = script;
        while (!rest.isEmpty()) {
            String line = rest.takeLine();
            if (isPauseLine(line)) continue;
            text.append(line);
            text.appendChar('\n');
        }
    }
    text.removeAllChars('\r');
    text.replaceAll("\n", "\r\n");
    return text;
}

bool runScript(const String& directory, const String& script, const String& sharedDirectory, uint32_t flags) {
    if (script.isBlank()) return true;
    String folder = makePrivateFolder();
    if (folder.isEmpty()) return false;
    String launcherPath = joinPath(folder, LauncherName);
    String scriptPath = joinPath(folder, ScriptName);
    bool hidden = (flags & FlagHiddenScripts) != 0;

    bool started = false;
    String launcher = String::format("@%s /e:1024 /c \"%s\"", commandInterpreter.cStr(), scriptPath.cStr());
    // Both stay held until the interpreter has ended: nobody can change or
    // swap them between writing and running, nor while the interpreter reads
    // them line by line.
    File heldLauncher, heldScript;
    if (writeNewHeldFile(heldLauncher, launcherPath.cStr(), launcher) &&
        writeNewHeldFile(heldScript, scriptPath.cStr(),
                         preparedScript(directory, script, sharedDirectory, automaticMode || hidden))) {
        String commandLine = "\"" + launcherPath + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        if (hidden) {
            startup.dwFlags = STARTF_USESHOWWINDOW;
            startup.wShowWindow = SW_HIDE;
        }
        PROCESS_INFORMATION process = {};
        started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                                 directory.isEmpty() ? nullptr : directory.cStr(), &startup, &process) != 0;
        if (started) {
            waitForScript(process.hProcess);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
    }
    heldLauncher.close();
    heldScript.close();
    deleteFile(launcherPath.cStr());
    deleteFile(scriptPath.cStr());
    RemoveDirectoryA(folder.cStr());
    return started;
}

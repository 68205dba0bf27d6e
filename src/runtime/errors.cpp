#include "runtime/errors.h"

#include "files/win32.h"
#include "runtime/process_state.h"
#include "runtime/string_table.h"

const char CorruptArchiveText[] =
    "This self-extracting archive is corrupt.  This is often caused by a virus on your computer.  "
    "The installation cannot proceed.\r\n\r\nCheck your system for viruses, then ask your vendor to "
    "send you a replacement.\r\n\r\nError code: %d";

const char UsageFormat[] =
    "%s\n\nUsage:\n%s [/a] [/d:<dir>] [/n:<name>] [/u:<name>] [/norestart]\n\n/a\tAutomatic mode\n"
    "/d:\"dir\"\tOverride installation directory\n/n:\"name\"\tOverride product name\n"
    "/u:\"name\"\tUninstall product by name\n"
    "/norestart\tNever restart Windows; exit code 4 when a restart is needed";

HWND boxOwner() { return progressDialog ? progressDialog : backgroundWindow; }

void exitProgram(ExitOutcome outcome) {
    if (backgroundWindow) {
        DestroyWindow(backgroundWindow);
        backgroundWindow = nullptr;
    }
    if (progressDialog) {
        DestroyWindow(progressDialog);
        progressDialog = nullptr;
    }
    ExitProcess(static_cast<UINT>(outcome));
}

void reportError(const char* format, ...) {
    if (automaticMode) return;
    va_list args;
    va_start(args, format);
    String text = String::formatList(format, args);
    va_end(args);
    if (text.isBlank()) return;
    const char* caption = message(21);
    MessageBoxA(boxOwner(), text.cStr(), *caption ? caption : "Error", MB_OK | MB_ICONHAND);
}

void reportCorruptArchive(int code) {
    // The archive's own text becomes a printf format: take it only when its
    // one conversion is the code, so a damaged table cannot misuse the arguments.
    String format(message(13));
    if (format.isEmpty() || !formatConversionsAre(format.cStr(), "d")) format = CorruptArchiveText;
    reportFatalError(format.cStr(), code);  // NOLINT: the archive's own format, one %d
}

void reportUsageError(const char* text) { reportFatalError(UsageFormat, text, "Uninstall.EXE"); }

const char* systemErrorText() {
    static char* buffer = nullptr;
    if (buffer) {
        LocalFree(buffer);
        buffer = nullptr;
    }
    if (GetLastError() == 0) return "";
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, GetLastError(),
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&buffer), 0, nullptr);
    return buffer ? buffer : "";
}

bool pumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        if (msg.message == WM_DESTROY || msg.message == WM_CLOSE || msg.message == WM_QUIT) return true;
    }
    return false;
}

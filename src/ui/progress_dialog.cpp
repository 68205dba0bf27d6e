// The modeless progress dialog: status line, progress bar and cancel button.
// It gets its messages only through pumpMessages, so cancelling is noticed
// at a later setProgressText or setProgressPosition, at most
// ProgressPumpInterval milliseconds later: placing a thousand small files updates the dialog a
// thousand times, and asking the system for messages each time costs more
// than writing a small file.
#include "files/win32.h"

#include <commctrl.h>

#include "runtime/errors.h"
#include "runtime/process_state.h"
#include "runtime/string_table.h"
#include "ui/dialog_ids.h"
#include "ui/dialog_texts.h"
#include "ui/dialogs.h"
#include "ui/window_text.h"

HWND progressBar = nullptr;

namespace {

const DialogText ProgressTexts[] = {{0, 54}, {IDC_HEADING, 39}, {IDC_STOP, 49}};
int postedPosition = -1;
bool pumpedOnce = false;
DWORD lastPump = 0;

// Repaints and pumps unless that was done less than ProgressPumpInterval ago.
bool refreshNowAndThen(bool now = false) {
    DWORD time = GetTickCount();
    if (!now && pumpedOnce && time - lastPump < ProgressPumpInterval) return false;
    pumpedOnce = true;
    lastPump = time;
    if (progressDialog) UpdateWindow(progressDialog);
    return pumpMessages();
}

// The bar covers the black frame with one pixel to spare on every side
// (the frame's right and bottom edges are exclusive, hence + 2).
void createProgressBar(HWND dialog) {
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    GetWindowPlacement(GetDlgItem(dialog, IDC_PROGRESS_FRAME), &placement);
    const RECT& frame = placement.rcNormalPosition;
    progressBar = CreateWindowExA(0, PROGRESS_CLASSA, nullptr, WS_CHILD | WS_VISIBLE, frame.left - 1, frame.top - 1,
                                  frame.right - frame.left + 2, frame.bottom - frame.top + 2, dialog, nullptr,
                                  instanceHandle, nullptr);
    postedPosition = -1;
}

typedef BOOL(WINAPI* InitCommonControlsExFunction)(const INITCOMMONCONTROLSEX*);

// The common controls are not one of the libraries Windows always takes from
// its system folder, and they load further DLLs by name as they start: so
// they are not imported but loaded here, after the program has restricted
// its DLL search, and by name, so that the manifest's side-by-side version 6
// is the one found (a path into the system folder would give version 5).
void registerProgressBarClass() {
    HMODULE commonControls = LoadLibraryA("comctl32.dll");
    if (!commonControls) return;
    auto initialize = reinterpret_cast<InitCommonControlsExFunction>(
        reinterpret_cast<void*>(GetProcAddress(commonControls, "InitCommonControlsEx")));
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    if (initialize) initialize(&controls);
}

}  // namespace

INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        centerWindow(dialog);
        createProgressBar(dialog);
        setDialogTexts(dialog, ProgressTexts);
        return TRUE;
    case WM_COMMAND:
        if (lParam && LOWORD(wParam) == IDC_STOP) confirmCancel();
        return FALSE;
    case WM_DESTROY:
        // The bar goes with its dialog; later positions must not reach a stale handle.
        progressBar = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

HWND openProgressDialog() {
    registerProgressBarClass();
    progressDialog = CreateDialogParamA(instanceHandle, "PROGRESSDLG", backgroundWindow, progressDialogProc, 0);
    return progressDialog;
}

void closeProgressDialog() {
    if (progressDialog) DestroyWindow(progressDialog);
    progressDialog = nullptr;
}

bool setProgressText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    String text = String::formatList(format, args);
    va_end(args);
    SetDlgItemTextA(progressDialog, IDC_STATUS, text.cStr());
    return refreshNowAndThen();
}

// A new position is shown at once (there are at most a hundred); an
// unchanged one only pumps now and then.
void setProgressPosition(int position) {
    bool moved = progressBar && position != postedPosition;
    if (moved) {
        PostMessageA(progressBar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
        postedPosition = position;
    }
    refreshNowAndThen(moved);
}

void confirmCancel() {
    // The progress dialog stays enabled under the question (its owner is
    // the background window): a second press while it is open must not
    // stack a second question on the first.
    static bool asking = false;
    if (asking) return;
    asking = true;
    int answer = MessageBoxA(backgroundWindow, message(28), message(20), MB_YESNO | MB_ICONQUESTION);
    asking = false;
    if (answer == IDYES) exitProgram(ExitOutcome::Cancelled);
}

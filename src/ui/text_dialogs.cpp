// The licence and readme dialogs: a text to read and two buttons.
#include "runtime/process_state.h"
#include "ui/dialog_ids.h"
#include "ui/dialog_texts.h"
#include "ui/dialogs.h"
#include "ui/window_text.h"

namespace {

INT_PTR textDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, const DialogText (&texts)[4]) {
    if (message == WM_INITDIALOG) {
        SetDlgItemTextA(dialog, IDC_TEXT, reinterpret_cast<const char*>(lParam));
        setDialogTexts(dialog, texts);
        centerWindow(dialog);
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDC_CONTINUE || LOWORD(wParam) == IDC_STOP)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

const DialogText LicenseTexts[4] = {{0, 44}, {IDC_HEADING, 47}, {IDC_CONTINUE, 45}, {IDC_STOP, 46}};
const DialogText ReadmeTexts[4] = {{0, 50}, {IDC_HEADING, 51}, {IDC_CONTINUE, 48}, {IDC_STOP, 49}};

}  // namespace

INT_PTR CALLBACK licenseDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return textDialogProc(dialog, message, wParam, lParam, LicenseTexts);
}

INT_PTR CALLBACK readmeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return textDialogProc(dialog, message, wParam, lParam, ReadmeTexts);
}

int showLicenseDialog(const char* text) {
    return static_cast<int>(DialogBoxParamA(instanceHandle, "LICENSEDLG", backgroundWindow, licenseDialogProc,
                                            reinterpret_cast<LPARAM>(text ? text : "")));
}

int showReadmeDialog(const char* text) {
    return static_cast<int>(DialogBoxParamA(instanceHandle, "READMEDLG", backgroundWindow, readmeDialogProc,
                                            reinterpret_cast<LPARAM>(text ? text : "")));
}

#include "files/win32.h"
#include "runtime/process_state.h"
#include "runtime/string_table.h"
#include "ui/dialog_ids.h"
#include "ui/dialogs.h"
#include "ui/window_text.h"

namespace {

struct LanguageList {
    const String* names;
    int count;
};

int languageCount(HWND dialog) {
    const LanguageList* list = reinterpret_cast<const LanguageList*>(GetWindowLongPtrA(dialog, DWLP_USER));
    return list ? list->count : 0;
}

int selection(HWND dialog) {
    return static_cast<int>(SendDlgItemMessageA(dialog, IDC_LANGUAGE_LIST, LB_GETCURSEL, 0, 0));
}

// The selection as a usable language: none (-1) or out of range becomes 0.
void chooseAndEnd(HWND dialog) {
    int chosen = selection(dialog);
    languageIndex = chosen >= 0 && chosen < languageCount(dialog) ? chosen : 0;
    EndDialog(dialog, IDC_CONTINUE);
}

}  // namespace

INT_PTR CALLBACK languageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        const LanguageList* list = reinterpret_cast<const LanguageList*>(lParam);
        for (int i = 0; list && i < list->count; ++i)
            SendDlgItemMessageA(dialog, IDC_LANGUAGE_LIST, LB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(list->names[i].cStr()));
        SendDlgItemMessageA(dialog, IDC_LANGUAGE_LIST, LB_SETCURSEL, 0, 0);
        centerWindow(dialog);
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    int control = LOWORD(wParam);
    switch (HIWORD(wParam)) {
    case BN_CLICKED:
        if (control == IDC_CONTINUE) chooseAndEnd(dialog);
        if (control == IDC_STOP) EndDialog(dialog, IDC_STOP);
        break;
    case LBN_SELCHANGE:
        if (control != IDC_LANGUAGE_LIST) break;
        languageIndex = selection(dialog);
        // Relabel the buttons so they read in the newly selected language.
        if (languageIndex >= 0 && languageIndex < languageCount(dialog)) {
            SetDlgItemTextA(dialog, IDC_CONTINUE, ::message(48));
            SetDlgItemTextA(dialog, IDC_STOP, ::message(49));
        }
        break;
    case LBN_DBLCLK:
        if (control == IDC_LANGUAGE_LIST) chooseAndEnd(dialog);
        break;
    }
    return FALSE;
}

int showLanguageDialog(const String* languageNames, int languageCount) {
    LanguageList list = {languageNames, languageNames ? languageCount : 0};
    return static_cast<int>(DialogBoxParamA(instanceHandle, "LANGUAGEDLG", backgroundWindow, languageDialogProc,
                                            reinterpret_cast<LPARAM>(&list)));
}

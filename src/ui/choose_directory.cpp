#include "files/win32.h"

#include <shlobj.h>

#include "runtime/process_state.h"
#include "runtime/string_table.h"
#include "ui/dialog_ids.h"
#include "ui/dialog_texts.h"
#include "ui/dialogs.h"
#include "ui/window_text.h"

namespace {

constexpr int MaxDirectoryLength = 259;  // MAX_PATH less the terminator

const DialogText ChooseDirTexts[] = {
    {0, 24}, {IDC_HEADING, 11}, {IDC_CONTINUE, 48}, {IDC_STOP, 49}, {IDC_BROWSE, 52}};

int CALLBACK browseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED) {
        centerWindow(window);
        SendMessageA(window, BFFM_SETSELECTIONA, TRUE, data);
    }
    return 0;
}

}  // namespace

bool browseForFolder(HWND owner, String& directory) {
    LPITEMIDLIST root = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(owner, CSIDL_DRIVES, &root))) return false;
    BROWSEINFOA info = {};
    info.hwndOwner = owner;
    info.pidlRoot = root;
    info.lpszTitle = message(11);
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = browseCallback;
    info.lParam = reinterpret_cast<LPARAM>(directory.cStr());
    LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
    bool converted = false;
    char path[MAX_PATH] = "";
    if (chosen) converted = SHGetPathFromIDListA(chosen, path) != 0;
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator))) {
        if (chosen) allocator->Free(chosen);
        allocator->Free(root);
        allocator->Release();
    }
    if (!converted) return false;
    directory = path;
    return true;
}

INT_PTR CALLBACK chooseDirDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        centerWindow(dialog);
        setDialogTexts(dialog, ChooseDirTexts);
        SetDlgItemTextA(dialog, IDC_DIRECTORY, reinterpret_cast<String*>(lParam)->cStr());
        SendDlgItemMessageA(dialog, IDC_DIRECTORY, EM_LIMITTEXT, MaxDirectoryLength, 0);
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    String* directory = reinterpret_cast<String*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (wParam) {
    case IDC_CONTINUE:
        *directory = dialogItemText(dialog, IDC_DIRECTORY);
        EndDialog(dialog, 1);
        return TRUE;
    case IDC_STOP:
        EndDialog(dialog, 0);
        return TRUE;
    case IDC_BROWSE: {
        String folder = dialogItemText(dialog, IDC_DIRECTORY);
        if (browseForFolder(dialog, folder)) SetDlgItemTextA(dialog, IDC_DIRECTORY, folder.cStr());
        return TRUE;
    }
    default:
        return FALSE;
    }
}

bool chooseDirectory(String& directory) {
    return DialogBoxParamA(instanceHandle, "CHOOSEDIRDLG", backgroundWindow, chooseDirDialogProc,
                           reinterpret_cast<LPARAM>(&directory)) == 1;
}

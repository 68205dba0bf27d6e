// The installer's dialogs, all owned by the background window and centred.
// Their texts come from the string table in the chosen language (message N
// is message(N)); only the language dialog has texts of its own.
#pragma once

#include "core/str.h"
#include "files/win32.h"

// The language list: the chosen index goes to languageIndex. Returns the
// button used, 1001 (go on) or 1003 (stop); -1 when it cannot be shown.
int showLanguageDialog(const String* languageNames, int languageCount);
// The licence and readme texts: 1001, 1003 or -1 as above.
int showLicenseDialog(const char* text);
int showReadmeDialog(const char* text);

// The installation directory: true when the user confirmed it, and then
// directory holds the edit field's text exactly as typed (at most 259
// characters). False (directory unchanged) on 1003 or when the dialog
// cannot be shown.
bool chooseDirectory(String& directory);
// The shell's folder browser rooted at the computer's drives, opened at
// directory. True and directory replaced when a folder was chosen.
bool browseForFolder(HWND owner, String& directory);

// Opens the modeless progress dialog and stores it in progressDialog.
HWND openProgressDialog();
// Destroys it (when open) and clears the stored handles.
void closeProgressDialog();
// Formats the status line into the progress dialog, and repaints it and
// pumps messages unless that was done less than ProgressPumpInterval
// milliseconds ago; true when a WM_DESTROY, WM_CLOSE or WM_QUIT was among them.
bool setProgressText(const char* format, ...) QP_PRINTF(1, 2);
// Moves the progress bar (0..100) and pumps when the position is new; else
// pumps as setProgressText does.
void setProgressPosition(int position);
constexpr unsigned ProgressPumpInterval = 30;
// Asks message 28; Yes ends the program as cancelled, No returns.
void confirmCancel();

// The progress bar over frame 1007 while the progress dialog exists.
extern HWND progressBar;

INT_PTR CALLBACK languageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK licenseDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK readmeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK chooseDirDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

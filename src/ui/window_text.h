// Small window services shared by the dialogs.
#pragma once

#include "core/str.h"
#include "files/win32.h"

// Moves the window to the middle of the screen (its size limited to the
// screen), without repainting.
void centerWindow(HWND window);

// The window's text; empty for a null window or an empty text.
String windowText(HWND window);
// The text of a dialog's control; empty for a null dialog.
String dialogItemText(HWND dialog, int controlId);

// Values that live for the whole process and that every later step reads.
#pragma once

#include "core/str.h"
#include "files/win32.h"

extern HINSTANCE instanceHandle;
extern HWND backgroundWindow;   // the full-screen window; owner of boxes
extern HWND progressDialog;     // the modeless progress dialog while it is open
extern bool automaticMode;      // no questions, no ordinary error boxes
extern String productName;
extern String commandInterpreter;  // "%comspec%" expanded, or "command.com"
extern int languageIndex;          // column of the string table in use

// The question that opens an installation.
#pragma once

#include "files/win32.h"

constexpr double ProgramVersion = 5.1;

// The caption of the question: "Quillpack Utility v5.1".
extern const char UtilityCaptionFormat[];

// Shows the message (with "<product>" and "<os>" filled in) as a Yes/No
// box. True when the user did not answer Yes, i.e. when the run should stop.
bool askToContinue(HWND owner, const char* messageText, const char* productName);

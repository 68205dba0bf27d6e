// Setting a dialog's texts from the string table.
#pragma once

#include "files/win32.h"

// One control's text: message `number`, or the caption when controlId is 0.
struct DialogText {
    int controlId;
    int number;
};

void setDialogTexts(HWND dialog, const DialogText* texts, int count);

template <int N>
void setDialogTexts(HWND dialog, const DialogText (&texts)[N]) {
    setDialogTexts(dialog, texts, N);
}

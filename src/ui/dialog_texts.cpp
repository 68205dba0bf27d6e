#include "ui/dialog_texts.h"

#include "runtime/string_table.h"

void setDialogTexts(HWND dialog, const DialogText* texts, int count) {
    for (int i = 0; i < count; ++i) {
        if (texts[i].controlId == 0)
            SetWindowTextA(dialog, message(texts[i].number));
        else
            SetDlgItemTextA(dialog, texts[i].controlId, message(texts[i].number));
    }
}

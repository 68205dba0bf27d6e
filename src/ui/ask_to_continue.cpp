#include "ui/ask_to_continue.h"

#include "core/str.h"
#include "files/system_folders.h"

const char UtilityCaptionFormat[] = "Quillpack Utility v%.1f";

bool askToContinue(HWND owner, const char* messageText, const char* productName) {
    String text(messageText);
    text.replaceAll("<product>", productName ? productName : "", false);
    text.replaceAll("<os>", windowsDirectory().cStr(), false);
    String caption = String::format(UtilityCaptionFormat, ProgramVersion);
    return MessageBoxA(owner, text.cStr(), caption.cStr(), MB_YESNO | MB_ICONINFORMATION) != IDYES;
}

#include "ui/window_text.h"

void centerWindow(HWND window) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) return;
    int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    // The window keeps its size (only limited to the screen): centring must
    // not make a dialog grow by a pixel each time.
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width > screenWidth) width = screenWidth;
    if (height > screenHeight) height = screenHeight;
    int x = (screenWidth - width) / 2, y = (screenHeight - height) / 2;
    MoveWindow(window, x > 0 ? x : 0, y > 0 ? y : 0, width, height, FALSE);
}

String windowText(HWND window) {
    if (!window) return String();
    int length = GetWindowTextLengthA(window);
    if (length < 1) return String();
    String text(length);
    // The reported length may exceed what is copied (it is an upper bound
    // for multi-byte texts): keep only the copied characters.
    int copied = GetWindowTextA(window, text.data(), length + 1);
    if (copied < length) text.setLength(copied);
    return text;
}

String dialogItemText(HWND dialog, int controlId) {
    if (!dialog) return String();
    return windowText(GetDlgItem(dialog, controlId));
}

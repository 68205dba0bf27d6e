#include "installer/broadcasts.h"

namespace {

const UINT BroadcastTimeoutMs = 5000;

}  // namespace

void broadcastToWindows(UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(HWND_BROADCAST, message, wParam, lParam, SMTO_ABORTIFHUNG, BroadcastTimeoutMs, &result);
}

void broadcastFontChange() { broadcastToWindows(WM_FONTCHANGE, 0, 0); }

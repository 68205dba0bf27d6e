// Messages to every top-level window that something machine-wide changed.
// Each window gets a few seconds at most, and a window whose program has
// stopped reading its messages is skipped, so a hung program elsewhere on
// the machine cannot stop an installation or a removal.
#pragma once

#include "files/win32.h"

void broadcastToWindows(UINT message, WPARAM wParam, LPARAM lParam);

// WM_FONTCHANGE after fonts were added or removed.
void broadcastFontChange();

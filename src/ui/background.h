// The full-screen window behind every dialog and box: a picture, a plain
// colour or a banded gradient, with the product's title at the top left.
#pragma once

#include "core/str.h"
#include "files/win32.h"
#include "ui/packed_bitmap.h"

// Read by the window procedure at every paint. Whoever changes them calls
// repaintBackground() afterwards.
struct BackgroundSettings {
    String title;  // not painted when empty or blank
    COLORREF titleColor = 0;
    COLORREF topColor = 0;     // gradient start, and the plain colour
    COLORREF bottomColor = 0;  // gradient end
    bool plainColor = true;    // topColor only, no gradient
    PackedBitmap picture;      // painted instead of any colour when not empty
};

extern BackgroundSettings background;

// The system's window-text and window colours, plain: what start-up shows
// before the archive says otherwise.
void setDefaultBackgroundColors();

// Registers "QPK Window Classs" on the first call, then creates the popup
// and shows it maximised. A failed registration is a consistency failure;
// without a desktop the result is null and the run goes on without it.
HWND createBackgroundWindow(HINSTANCE instance, HWND parent);

LRESULT CALLBACK backgroundWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Repaints the whole background window (erase included) after a settings change.
void repaintBackground();

// A top-level window whose thread stops reading its messages, for the tests
// that broadcasts must not wait for it (needs a display).
#pragma once

#include "files/win32.h"

class HungWindow {
public:
    // Creates the window in a thread of its own; window() is null when that failed.
    HungWindow();
    // Lets the thread go on, so that it destroys its window and ends.
    ~HungWindow();
    HWND window() const { return window_; }

private:
    static DWORD WINAPI thread(void* parameter);
    HANDLE created_;
    HANDLE release_;
    HANDLE thread_ = nullptr;
    HWND window_ = nullptr;
};

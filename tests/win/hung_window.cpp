#include "hung_window.h"

HungWindow::HungWindow()
    : created_(CreateEventA(nullptr, TRUE, FALSE, nullptr)), release_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    thread_ = CreateThread(nullptr, 0, thread, this, 0, nullptr);
    if (thread_) WaitForSingleObject(created_, 10000);
}

HungWindow::~HungWindow() {
    SetEvent(release_);
    if (thread_) {
        WaitForSingleObject(thread_, 60000);
        CloseHandle(thread_);
    }
    CloseHandle(created_);
    CloseHandle(release_);
}

DWORD WINAPI HungWindow::thread(void* parameter) {
    HungWindow* hung = static_cast<HungWindow*>(parameter);
    HWND window = CreateWindowExA(0, "STATIC", "qp hung window", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                  nullptr);
    hung->window_ = window;
    SetEvent(hung->created_);
    // Never looks at its queue until released.
    WaitForSingleObject(hung->release_, 60000);
    if (window) DestroyWindow(window);
    return 0;
}

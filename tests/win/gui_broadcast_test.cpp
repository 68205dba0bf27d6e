// The broadcasts (environment, fonts) must not wait for a window whose
// thread has stopped reading its messages (Gui suite: the window needs a
// display).
#include <gtest/gtest.h>

#include "files/win32.h"
#include "installer/broadcasts.h"
#include "installer/machine_path.h"

namespace {

struct HungWindow {
    HANDLE created = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HWND window = nullptr;
};

DWORD WINAPI hungThread(void* parameter) {
    HungWindow* hung = static_cast<HungWindow*>(parameter);
    hung->window = CreateWindowExA(0, "STATIC", "qp hung window", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                   nullptr);
    SetEvent(hung->created);
    // Never looks at its queue until released.
    WaitForSingleObject(hung->release, 60000);
    if (hung->window) DestroyWindow(hung->window);
    return 0;
}

TEST(GuiBroadcast, BroadcastsDoNotWaitForAHungWindow) {
    struct Case {
        const char* name;
        void (*broadcast)();
    } cases[] = {
        {"environment", broadcastEnvironmentChange},
        {"fonts", broadcastFontChange},
    };
    HungWindow hung;
    HANDLE thread = CreateThread(nullptr, 0, hungThread, &hung, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(hung.created, 10000), WAIT_OBJECT_0);
    ASSERT_NE(hung.window, nullptr) << "no window: is there a display?";

    for (const Case& c : cases) {
        DWORD start = GetTickCount();
        c.broadcast();
        DWORD elapsed = GetTickCount() - start;
        // A plain SendMessage would wait the full minute the thread sleeps.
        EXPECT_LT(elapsed, 15000u) << c.name;
    }

    SetEvent(hung.release);
    WaitForSingleObject(thread, 60000);
    CloseHandle(thread);
    CloseHandle(hung.created);
    CloseHandle(hung.release);
}

}  // namespace

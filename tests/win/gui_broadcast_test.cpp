// The broadcasts (environment, fonts) must not wait for a window whose
// thread has stopped reading its messages (Gui suite: the window needs a
// display).
#include <gtest/gtest.h>

#include "files/win32.h"
#include "hung_window.h"
#include "installer/broadcasts.h"
#include "installer/machine_path.h"

namespace {

TEST(GuiBroadcast, BroadcastsDoNotWaitForAHungWindow) {
    struct Case {
        const char* name;
        void (*broadcast)();
    } cases[] = {
        {"environment", broadcastEnvironmentChange},
        {"fonts", broadcastFontChange},
    };
    HungWindow hung;
    ASSERT_NE(hung.window(), nullptr) << "no window: is there a display?";

    for (const Case& c : cases) {
        DWORD start = GetTickCount();
        c.broadcast();
        DWORD elapsed = GetTickCount() - start;
        // A plain SendMessage would wait the full minute the thread sleeps.
        EXPECT_LT(elapsed, 15000u) << c.name;
    }
}

}  // namespace

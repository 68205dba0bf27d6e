#include "progress_test_support.h"

#include "runtime/process_state.h"
#include "ui/background.h"
#include "ui/dialogs.h"

bool openProgressOverBackground() {
    instanceHandle = GetModuleHandleA(nullptr);
    backgroundWindow = createBackgroundWindow(instanceHandle, nullptr);
    return backgroundWindow != nullptr && openProgressDialog() != nullptr;
}

void closeProgressOverBackground() {
    closeProgressDialog();
    DestroyWindow(backgroundWindow);
    backgroundWindow = nullptr;
}

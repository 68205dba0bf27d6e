// The modeless progress dialog inside this process: its texts, the status
// line, the bar's position and what the pumping reports.
#include <gtest/gtest.h>

#include "files/win32.h"

#include <commctrl.h>

#include "progress_test_support.h"
#include "runtime/process_state.h"
#include "runtime/string_table.h"
#include "ui/background.h"
#include "ui/dialog_ids.h"
#include "ui/dialogs.h"
#include "ui/window_text.h"

namespace {

class GuiProgressDialog : public ::testing::Test {
protected:
    void SetUp() override {
        productName = "Widget";
        languageIndex = 0;
        stringTable.reset(60, 1);
        *stringTable.text(54, 0) = "Installing <product>";
        *stringTable.text(39, 0) = "Copying files...";
        *stringTable.text(49, 0) = "Cancel";
        ASSERT_TRUE(openProgressOverBackground());
    }
    void TearDown() override {
        closeProgressOverBackground();
        stringTable.reset(0, 0);
    }
};

TEST_F(GuiProgressDialog, TextsFromTheTableAndAnOwnedCentredWindow) {
    EXPECT_STREQ(windowText(progressDialog).cStr(), "Installing Widget");
    EXPECT_STREQ(dialogItemText(progressDialog, IDC_HEADING).cStr(), "Copying files...");
    EXPECT_STREQ(dialogItemText(progressDialog, IDC_STOP).cStr(), "Cancel");
    EXPECT_TRUE(dialogItemText(progressDialog, IDC_STATUS).isEmpty());
    EXPECT_EQ(GetWindow(progressDialog, GW_OWNER), backgroundWindow);
    EXPECT_EQ(GetParent(progressBar), progressDialog);
    RECT r;
    GetWindowRect(progressDialog, &r);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2);
}

TEST_F(GuiProgressDialog, StatusLineIsFormattedAndACloseIsReported) {
    EXPECT_FALSE(setProgressText("Copying %s (%d%%)", "widget.dll", 50));
    EXPECT_STREQ(dialogItemText(progressDialog, IDC_STATUS).cStr(), "Copying widget.dll (50%)");

    const UINT closing[] = {WM_CLOSE, WM_QUIT};
    for (UINT message : closing) {
        SCOPED_TRACE(message);
        PostMessageA(progressDialog, message, 0, 0);
        // Messages are looked at no more often than every ProgressPumpInterval.
        Sleep(ProgressPumpInterval + 20);
        EXPECT_TRUE(setProgressText("%s", "next"));
        EXPECT_TRUE(IsWindow(progressDialog));  // the dialog itself does not close
        EXPECT_FALSE(setProgressText("%s", "after"));
    }
}

TEST_F(GuiProgressDialog, PositionTakesEffectAtThePumpAndClosingClearsTheHandles) {
    const int positions[] = {0, 42, 100, 7};
    for (int position : positions) {
        setProgressPosition(position);
        EXPECT_EQ(SendMessageA(progressBar, PBM_GETPOS, 0, 0), position);
    }
    closeProgressDialog();
    EXPECT_EQ(progressDialog, nullptr);
    EXPECT_EQ(progressBar, nullptr);
    setProgressPosition(50);  // no bar any more: nothing to do, nothing fails
    closeProgressDialog();
}

}  // namespace

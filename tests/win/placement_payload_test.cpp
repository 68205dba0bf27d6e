// placeFiles over a payload built here record by record, as the archive
// holds it: name, kind, flags, contents, checksum, time, extra text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "files/win32.h"

#include <commctrl.h>


#include "archive/archive_format.h"
#include "files_test_support.h"
#include "installer/placement.h"
#include "placement_test_support.h"
#include "progress_test_support.h"
#include "runtime/process_state.h"
#include "shell/special_folders.h"
#include "support/fatal_capture.h"
#include "ui/background.h"
#include "ui/dialog_ids.h"
#include "ui/dialogs.h"
#include "ui/window_text.h"

namespace {

TEST_F(PlacementTest, APayloadIsPlacedRecordByRecord) {
    PayloadBuilder payload;
    payload.add("readme.txt", KindInstallFolder, FileDesktopShortcut, "read me", "Read Me");
    payload.add("lib\\tool.dll", KindShared, 0, "tool");
    payload.add("docs/guide.txt", KindStartup, 0, "guide");
    payload.bytes.seek(0);
    placeFiles(payload.bytes, payload.sizes.data(), payload.count(), state);
    EXPECT_EQ(fileBytes(install + "\\readme.txt"), "read me");
    EXPECT_EQ(fileBytes(shared + "\\lib\\tool.dll"), "tool");
    EXPECT_EQ(fileBytes(install + "\\docs\\guide.txt"), "guide");
    EXPECT_EQ(timeText(localTimeOf(install + "\\docs\\guide.txt")), "2020-05-06 07:08:09");
    EXPECT_EQ(text(state.uninstallRecord.entries), install + "\\readme.txt\r\n~" + install + "\\docs\r\n" + install +
                                                       "\\docs\\guide.txt\r\n");
    EXPECT_EQ(state.sharedNames.count(), 1);
    EXPECT_EQ(state.shortcutEntries.count(), 1);
    EXPECT_EQ(text(state.problemText), "");
}

// A font's name is a path below the Fonts folder like any other record name.
TEST_F(PlacementTest, AFontNameOutsideTheFontsFolderIsDamage) {
    const char* names[] = {"..\\evil.ttf", "C:\\evil.ttf", "\\evil.ttf", "sub\\..\\..\\evil.ttf", ".. \\evil.ttf"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        PayloadBuilder payload;
        payload.add(name, KindFont, 0, "font", "Evil");
        payload.bytes.seek(0);
        std::string report = captureFatal([&] { placeFiles(payload.bytes, payload.sizes.data(), payload.count(), state); });
        EXPECT_NE(report.find("Error code: 70"), std::string::npos) << report;
    }
    EXPECT_FALSE(exists("C:\\evil.ttf"));
    EXPECT_FALSE(exists(text(fontsDirectory()) + "\\..\\evil.ttf"));
    EXPECT_EQ(text(state.fontList), "");
}

// The progress dialog shows where each record went and moves from 45
// towards 85; a skipped record leaves the status line as it was.
class GuiPlacement : public PlacementTest {
protected:
    void SetUp() override {
        PlacementTest::SetUp();
        ASSERT_TRUE(openProgressOverBackground());
    }
    void TearDown() override {
        closeProgressOverBackground();
        PlacementTest::TearDown();
    }
};

TEST_F(GuiPlacement, StatusLineAndProgressPositions) {
    struct Step {
        int records;          // records in the payload; the last one is checked
        int32_t lastFlags;
        const char* status;   // after the run, relative to the installation directory
        int position;
    } steps[] = {
        {1, 0, "a0.txt -> %s\\a0.txt", 45},
        {3, 0, "a2.txt -> %s\\a2.txt", 45 + 2 * 40 / 3},
        {4, PlaceOnlyIfPresent, "a2.txt -> %s\\a2.txt", 45 + 3 * 40 / 4},  // the last is skipped
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.records);
        PayloadBuilder payload;
        for (int i = 0; i < s.records; ++i) {
            std::string name = "a" + std::to_string(i) + ".txt";
            payload.add(name.c_str(), KindInstallFolder, i == s.records - 1 ? s.lastFlags : 0, "x");
        }
        payload.bytes.seek(0);
        placeFiles(payload.bytes, payload.sizes.data(), payload.count(), state);
        char expected[512];
        snprintf(expected, sizeof expected, s.status, install.c_str());
        EXPECT_EQ(text(dialogItemText(progressDialog, IDC_STATUS)), expected);
        EXPECT_EQ(SendMessageA(progressBar, PBM_GETPOS, 0, 0), s.position);
    }
}

}  // namespace

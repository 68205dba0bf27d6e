// A file held open by another program is replaced at the next restart: the
// new contents wait in an "XXX" file of the installation directory, and the
// swap is recorded where the Windows in use looks for it.
//
// Wine records MoveFileEx's delayed renames in the registry as Windows does
// (and also carries them out at the prefix's next start, which these cases
// never reach).
#include <gtest/gtest.h>

#include <string>

#include "archive/archive_format.h"
#include "files/system_folders.h"
#include "files_child_process.h"
#include "files_test_support.h"
#include "installer/placement.h"
#include "placement_test_support.h"

namespace {

const char SessionManager[] = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager";

class PlacementRestart : public PlacementTest {
protected:
    // An older shared file, held by another process that lets others read
    // it but not write it, as Windows holds a running program's file.
    void holdSharedFile(const char* name) {
        held = shared + "\\" + name;
        putFile(held, "old");
        setLocalTime(held, FileDateTime(2000, 1, 1, 0, 0, 0));
        std::string signal = root + "\\" + name + ".signal";
        holder = startProgram("\"" + besideTestProgram("hold_file.exe") + "\" \"" + held + "\" \"" + signal + "\" read");
        ASSERT_NE(holder, nullptr);
        for (int i = 0; i < 200 && !exists(signal); ++i) Sleep(50);
        ASSERT_TRUE(exists(signal));
    }
    void TearDown() override {
        finishProgram(holder);
        PlacementTest::TearDown();
    }
    // The one file the installation directory holds: the temporary file.
    std::string temporaryFile() {
        WIN32_FIND_DATAA entry;
        HANDLE search = FindFirstFileA((install + "\\XXX*").c_str(), &entry);
        if (search == INVALID_HANDLE_VALUE) return "";
        FindClose(search);
        return install + "\\" + entry.cFileName;
    }
    std::string shortForm(const std::string& path) {
        char buffer[MAX_PATH];
        DWORD n = GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
        return n && n < sizeof buffer ? std::string(buffer, n) : path;
    }
    void placeHeld(const char* name) {
        placeFileRecord(makeRecord(name, KindShared, PlaceAlways, "new", FileDateTime(2020, 1, 1, 0, 0, 0)), state);
    }

    std::string held;
    HANDLE holder = nullptr;
};

TEST_F(PlacementRestart, OnWindowsNTThroughMoveFileEx) {
    holdSharedFile("inuse.dll");
    placeHeld("inuse.dll");
    EXPECT_EQ(fileBytes(held), "old");
    std::string temporary = temporaryFile();
    ASSERT_NE(temporary, "");
    EXPECT_EQ(entryCount(install), 1);
    EXPECT_EQ(fileBytes(temporary), "new");
    EXPECT_NE(state.flags & FlagRestartPending, 0u);
    EXPECT_EQ(text(state.problemText), "");
    EXPECT_EQ(text(state.detailsText), held + " is out of date and will be replaced.\r\n");
    // Neither the temporary file nor the shared file is the uninstaller's.
    EXPECT_EQ(text(state.uninstallRecord.entries), "");

    // The pending rename names the short form of the temporary file, then the target.
    std::string pending = regValue(SessionManager, "PendingFileRenameOperations");
    std::string shortName = shortForm(temporary);
    EXPECT_NE(shortName, temporary) << "the scratch folder has long names, so the forms differ";
    size_t from = pending.find(shortName);
    size_t to = pending.find(held);
    EXPECT_NE(from, std::string::npos) << pending;
    EXPECT_NE(to, std::string::npos) << pending;
    EXPECT_LT(from, to) << pending;
}

TEST_F(PlacementRestart, OnOlderWindowsThroughWininit) {
    state.windowsNT = false;
    holdSharedFile("inuse9x.dll");
    placeHeld("inuse9x.dll");
    std::string temporary = temporaryFile();
    ASSERT_NE(temporary, "");
    EXPECT_EQ(fileBytes(temporary), "new");
    EXPECT_EQ(fileBytes(held), "old");
    EXPECT_NE(state.flags & FlagRestartPending, 0u);
    std::string wininit = fileBytes(text(windowsDirectory()) + "\\wininit.ini");
    EXPECT_NE(wininit.find("[rename]\r\n" + held + "=" + shortForm(temporary) + "\r\n"), std::string::npos)
        << wininit;
    EXPECT_EQ(regValue(SessionManager, "PendingFileRenameOperations"), "");
    EXPECT_EQ(text(state.problemText), "");
}

BOOL WINAPI refusingMoveFileEx(LPCSTR, LPCSTR, DWORD) { return FALSE; }

TEST_F(PlacementRestart, FailuresAreProblemLines) {
    struct Case {
        const char* name;
        MoveFileExFunction moveFileEx;
        const char* format;
    } cases[] = {
        {"unlinked.dll", nullptr, "Failed to install %s because MoveFileEx could not be linked from KERNEL32.DLL\r\n"},
        {"refused.dll", refusingMoveFileEx, "Failed to update system file:\r\n%s\r\n\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        finishProgram(holder);
        holder = nullptr;
        holdSharedFile(c.name);
        state.moveFileEx = c.moveFileEx;
        state.flags = FlagRegisterProduct;
        state.problemText.clear();
        placeHeld(c.name);
        char expected[512];
        snprintf(expected, sizeof expected, c.format, held.c_str());
        EXPECT_EQ(text(state.problemText), expected);
        EXPECT_NE(state.flags & FlagRestartPending, 0u);
        EXPECT_EQ(fileBytes(held), "old");
    }
}

}  // namespace

// The PATH line in C:\autoexec.bat (each case has a prefix of its own, and
// deletes or writes the file first), checked by the file's bytes.
#include <gtest/gtest.h>

#include <string>

#include "files_test_support.h"
#include "installer/autoexec_path.h"
#include "placement_test_support.h"

namespace {

const char Autoexec[] = "C:\\autoexec.bat";
const char Missing[] = "<missing>";

class AutoexecPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = scratchFolder() + "\\Long Folder Name";
        ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
        char shortForm[MAX_PATH];
        ASSERT_GT(GetShortPathNameA(dir.c_str(), shortForm, sizeof shortForm), 0u);
        line = std::string("PATH=%PATH%;") + shortForm + "\r\n";
    }
    std::string dir;
    std::string line;
};

TEST_F(AutoexecPathTest, AddsAndRemovesExactlyItsLine) {
    std::string bare = line.substr(0, line.size() - 2);
    std::string lower = line;
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    struct Case {
        std::string before;
        bool add;
        std::string after;
    } cases[] = {
        {Missing, true, "\r\n" + line},
        {"", true, "\r\n" + line},
        {"REM x", true, "REM x\r\n" + line},
        {"REM x\r\n", true, "REM x\r\n" + line},
        {"REM x\r\n" + line + "REM y\r\n", true, "REM x\r\n" + line + "REM y\r\n"},
        {"REM x\r\n" + line + "REM y\r\n", false, "REM x\r\nREM y\r\n"},
        {"REM x\r\n" + lower, false, "REM x\r\n"},
        {"REM x\r\n" + bare, false, "REM x\r\n"},
        {"REM x\r\n", false, "REM x\r\n"},
        // Another folder whose name starts with ours: not our line.
        {"REM x\r\n" + bare + "2", false, "REM x\r\n" + bare + "2"},
        {"REM x\r\n" + bare + "2\r\n", true, "REM x\r\n" + bare + "2\r\n" + line},
        // Everything after a zero byte is part of the file too.
        {line + std::string("REM a\0b\r\n", 9), false, std::string("REM a\0b\r\n", 9)},
        {std::string("REM a\0b", 7), true, std::string("REM a\0b\r\n", 9) + line},
    };
    for (const Case& c : cases) {
        DeleteFileA(Autoexec);
        if (c.before != Missing) putFile(Autoexec, c.before);
        EXPECT_EQ(text(updateAutoexecPath(dir.c_str(), c.add)), "") << c.before;
        EXPECT_EQ(fileBytes(Autoexec), c.after) << (c.add ? "add to " : "remove from ") << c.before;
    }
}

TEST_F(AutoexecPathTest, FileThatCannotBeOpenedGivesTheManualText) {
    DeleteFileA(Autoexec);  // Wine's prefixes start with one
    ASSERT_TRUE(CreateDirectoryA(Autoexec, nullptr));
    for (bool add : {true, false}) {
        std::string expected = std::string("Unable to modify C:\\autoexec.bat.  You will need to manually ") +
                               (add ? "add " : "remove ") + dir + (add ? " to" : " from") +
                               " the PATH environment variable.\r\n\r\n";
        EXPECT_EQ(text(updateAutoexecPath(dir.c_str(), add)), expected);
    }
    RemoveDirectoryA(Autoexec);
    // Removing never creates the file.
    EXPECT_EQ(text(updateAutoexecPath(dir.c_str(), false)).substr(0, 16), "Unable to modify");
    EXPECT_FALSE(exists(Autoexec));
}

}  // namespace

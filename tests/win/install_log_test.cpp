// The installation log: its sections as bytes (with a fixed clock), when it
// is written at all, and appending below an earlier section.
#include <gtest/gtest.h>

#include <string>

#include "archive/archive_format.h"
#include "core/date_time.h"
#include "files_test_support.h"
#include "installer/header_settings.h"
#include "installer/install_log.h"
#include "placement_test_support.h"
#include "runtime/process_state.h"
#include "runtime/string_table.h"

namespace {

FileDateTime fixedTime() { return FileDateTime(2026, 3, 9, 14, 5, 7); }

class InstallLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = scratchFolder();
        ASSERT_TRUE(CreateDirectoryA((dir + "\\Uninst").c_str(), nullptr));
        uninstallSubdir = "Uninst";
        productName = "Demo Tool";
        productVersion = "2.15";
        automaticMode = true;
        languageIndex = 0;
        stringTable.reset(60, 1);
        *stringTable.text(43, 0) = "Installation complete";
        savedClock = localClock;
        localClock = fixedTime;
    }
    void TearDown() override {
        localClock = savedClock;
        stringTable.reset(0, 0);
        uninstallSubdir.clear();
        productVersion.clear();
        automaticMode = false;
    }
    std::string header(const char* type, bool withVersion = true) const {
        return "\r\nInstallation log for: Demo Tool\r\nInstall date: 3/9/2026 2:05:07p\r\nInstall type: " +
               std::string(type) + "\r\nInstall location: " + dir + "\r\nInstaller version: 5.1\r\n" +
               (withVersion ? "Product version: 2.15\r\n" : "") + "\r\n";
    }
    std::string logPath() const { return dir + "\\Uninst\\Install.LOG"; }
    std::string dir;
    LocalClock savedClock = nullptr;
};

TEST_F(InstallLogTest, WhenTheLogIsWrittenAndWhatItHolds) {
    struct Case {
        const char* problems;
        const char* details;
        uint32_t flags;
        bool offer;
        std::string body;  // "<missing>": no log
    } cases[] = {
        {"", "", 0, true, "<missing>"},
        {"", "", FlagAlwaysWriteLog, true, "Installation complete\r\n\r\n"},
        {"", "", FlagAlwaysWriteLog, false, ""},
        {"Cannot write C:\\x\r\n", "", 0, true, "Cannot write C:\\x\r\n"},
        {"", "C:\\y is up to date.\r\n", 0, true, "C:\\y is up to date.\r\n\r\nInstallation complete\r\n\r\n"},
        {"P\r\n", "D\r\n", 0, false, "D\r\n\r\nP\r\n"},
    };
    for (const Case& c : cases) {
        DeleteFileA(logPath().c_str());
        writeInstallLog(c.problems, c.details, dir.c_str(), false, c.offer, c.flags);
        std::string expected = c.body == "<missing>" ? c.body : header("New") + c.body;
        EXPECT_EQ(fileBytes(logPath()), expected) << c.problems << "|" << c.details << "|" << c.flags;
    }
}

TEST_F(InstallLogTest, ASecondInstallationAppendsItsSection) {
    writeInstallLog("First\r\n", "", dir.c_str(), false, true, 0);
    productVersion = " ";
    writeInstallLog("Second\r\n", "", dir.c_str(), true, true, 0);
    EXPECT_EQ(fileBytes(logPath()), header("New") + "First\r\n" + header("Reinstall", false) + "Second\r\n");
}

// The question comes from the archive; one that asks for more than the log's
// path must not be used as a format (headless, the box returns at once).
TEST_F(InstallLogTest, QuestionTextIsNotTrustedAsAFormat) {
    automaticMode = false;
    *stringTable.text(40, 0) = "%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%n";
    writeInstallLog("P\r\n", "", dir.c_str(), false, true, 0);
    EXPECT_EQ(fileBytes(logPath()), header("New") + "P\r\n");
}

}  // namespace

// The uninstall record: entries, directories entered once, and the bytes of
// "Uninstall.DAT" against a file built here from the format's definition.
#include <gtest/gtest.h>

#include <string>

#include "files_test_support.h"
#include "installer/header_settings.h"
#include "installer/uninstall_record.h"
#include "placement_test_support.h"
#include "runtime/process_state.h"
#include "runtime/string_table.h"

namespace {

class UninstallRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        install = scratchFolder();
        uninstallSubdir = "Uninstall";
        ASSERT_TRUE(CreateDirectoryA((install + "\\Uninstall").c_str(), nullptr));
        languageIndex = 0;
        productName = "Widget";
        stringTable.reset(70, 1);
    }
    void TearDown() override {
        stringTable.reset(0, 0);
        uninstallSubdir.clear();
    }
    std::string datPath() const { return install + "\\Uninstall\\Uninstall.DAT"; }
    std::string install;
    UninstallRecord record;
};

TEST_F(UninstallRecordTest, FileBytesOfAFixedRecord) {
    *stringTable.text(10, 0) = "Some items could not be removed:\r\n%s";
    *stringTable.text(15, 0) = "<product> removed";
    *stringTable.text(34, 0) = "Done.";
    *stringTable.text(59, 0) = "Remove %s?";
    *stringTable.text(60, 0) = "not saved";
    addUninstallEntry(record, "C:\\P\\a.txt", false);
    addUninstallEntry(record, "C:\\P\\Sub", true);
    addUninstallEntry(record, "c:\\p\\SUB", true);    // the same directory
    addUninstallEntry(record, "C:\\P\\a.txt", false);  // files are entered each time
    addUninstallEntry(record, "", false);
    addUninstallEntry(record, "C:\\P\\x\r\nC:\\Windows\\forged.dll", false);
    ASSERT_TRUE(writeUninstallRecord(record, install.c_str()));

    const std::string golden =
        "C:\\P\\a.txt\r\n"
        "~C:\\P\\Sub\r\n"
        "C:\\P\\a.txt\r\n"
        "\r\n\r\n"
        "[Strings]\r\n"
        "~10\r\nSome items could not be removed:\r\n%s\r\n"
        "~15\r\nWidget removed\r\n"
        "~20\r\n\r\n"
        "~30\r\n\r\n"
        "~34\r\nDone.\r\n"
        "~35\r\n\r\n"
        "~53\r\n\r\n"
        "~55\r\n\r\n"
        "~56\r\n\r\n"
        "~57\r\n\r\n"
        "~58\r\n\r\n"
        "~59\r\nRemove %s?\r\n";
    EXPECT_EQ(fileBytes(datPath()), golden);
}

TEST_F(UninstallRecordTest, AnEmptyRecordDeletesTheFile) {
    putFile(datPath(), "stale");
    addUninstallEntry(record, "C:\\P\\Dir", true);
    resetUninstallRecord(record);
    EXPECT_TRUE(writeUninstallRecord(record, install.c_str()));
    EXPECT_FALSE(exists(datPath()));
    EXPECT_TRUE(writeUninstallRecord(record, install.c_str()));  // nothing there: still fine

    // The reset forgot the directory too.
    addUninstallEntry(record, "C:\\P\\dir", true);
    EXPECT_EQ(text(record.entries), "~C:\\P\\dir\r\n");
}

TEST_F(UninstallRecordTest, AFailedWriteIsReported) {
    addUninstallEntry(record, "C:\\P\\a.txt", false);
    uninstallSubdir = "Not There";
    EXPECT_FALSE(writeUninstallRecord(record, install.c_str()));
}

}  // namespace

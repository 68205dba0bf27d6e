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

// The uninstaller's reading: the messages go into the string table as
// language 0, the entry lines before "[Strings]" come back split.
TEST(UninstallRecordReading, MessagesAndEntries) {
    struct Case {
        const char* name;
        const char* file;
        const char* entries;      // files as "F:path", directories as "D:path", one per line
        const char* messages[4];  // the texts of 10, 15, 34, 1000 after reading
    } cases[] = {
        {"as written", "C:\\P\\a.txt\r\n~C:\\P\\Sub\r\n\r\n\r\n[Strings]\r\n~10\r\nFailed:\r\n%s\r\n~15\r\nDone\r\n",
         "F:C:\\P\\a.txt\nD:C:\\P\\Sub\n", {"Failed:\r\n%s", "Done", "", ""}},
        {"lower-case header, LF endings", "a.txt\n[strings]\n~34\nBye\n", "F:a.txt\n", {"", "", "Bye", ""}},
        {"numbers outside 1..1000 skipped with their lines",
         "[Strings]\r\n~0\r\nzero\r\n~1001\r\nbig\r\n~1000\r\nlast\r\n~15\r\n  Title  \r\n\r\n",
         "", {"", "  Title", "", "last"}},
        {"lines before the first block skipped", "[Strings]\r\nstray\r\n~10\r\none\r\n", "", {"one", "", "", ""}},
        {"no [Strings]: entries only", "C:\\P\\a.txt\r\n~15\r\nC:\\P\\b.txt\r\n",
         "F:C:\\P\\a.txt\nF:C:\\P\\b.txt\nD:15\n", {"", "", "", ""}},
    };
    const int numbers[] = {10, 15, 34, 1000};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        stringTable.reset(0, 0);
        languageIndex = 0;
        String entries = loadUninstallRecordText(c.file);
        List<String> files, directories;
        splitUninstallEntries(entries, files, directories);
        std::string got;
        Iterator it;
        for (String* f = files.first(it); f; f = files.next(it)) got += "F:" + text(*f) + "\n";
        for (String* d = directories.first(it); d; d = directories.next(it)) got += "D:" + text(*d) + "\n";
        EXPECT_EQ(got, c.entries);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(std::string(message(numbers[i])), c.messages[i]) << numbers[i];
    }
    stringTable.reset(0, 0);
}

// At most 5000 lines of the message section are looked at.
TEST(UninstallRecordReading, MessageSectionIsBounded) {
    std::string file = "[Strings]\r\n";
    for (int i = 0; i < 5000; ++i) file += "x\r\n";
    file += "~10\r\ntoo late\r\n";
    stringTable.reset(0, 0);
    loadUninstallRecordText(String(file.c_str()));
    EXPECT_STREQ(message(10), "");
    stringTable.reset(0, 0);
}

}  // namespace

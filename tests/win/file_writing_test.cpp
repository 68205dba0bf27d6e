// Writing one installation file: retries, read-back, read-only clearing and
// the file time set afterwards.
#include <gtest/gtest.h>

#include <string>

#include "archive/archive_format.h"
#include "files_test_support.h"
#include "installer/file_writing.h"
#include "placement_test_support.h"
#include "runtime/process_state.h"
#include "runtime/string_table.h"

namespace {

class FileWritingTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = scratchFolder();
        languageIndex = 0;
        stringTable.reset(40, 1);
        *stringTable.text(31, 0) = "Cannot write";
    }
    void TearDown() override { stringTable.reset(0, 0); }
    std::string folder;
    String problems;
};

TEST_F(FileWritingTest, TheTimeIsSetAfterwardsWhenTheRecordHasOne) {
    const FileDateTime time(2019, 12, 31, 23, 59, 58);
    ASSERT_TRUE(writeFileWithRetry((folder + "\\timed.txt").c_str(), "abc", time, 0, problems));
    EXPECT_EQ(fileBytes(folder + "\\timed.txt"), "abc");
    EXPECT_EQ(timeText(localTimeOf(folder + "\\timed.txt")), timeText(time));

    ASSERT_TRUE(writeFileWithRetry((folder + "\\now.txt").c_str(), "", FileDateTime(), 0, problems));
    EXPECT_EQ(fileBytes(folder + "\\now.txt"), "");
    EXPECT_GE(localTimeOf(folder + "\\now.txt").year, 2024);  // written now, left so
    EXPECT_EQ(text(problems), "");
}

TEST_F(FileWritingTest, ThreeFailedAttemptsAreOneProblemLine) {
    std::string path = folder + "\\no such folder\\f.txt";
    EXPECT_FALSE(writeFileWithRetry(path.c_str(), "abc", FileDateTime(), 0, problems));
    EXPECT_EQ(text(problems), "Cannot write " + path + "\r\n");
}

// Wine maps Z: to the host's root, so Z:\dev\zero takes every write and
// reads back nothing: only the read-back notices that the bytes are not there.
TEST_F(FileWritingTest, ReadBackCatchesAWriteThatDidNotStick) {
    const char* device = "Z:\\dev\\zero";
    EXPECT_TRUE(writeFileWithRetry(device, "abc", FileDateTime(), 0, problems));
    EXPECT_EQ(text(problems), "");
    EXPECT_FALSE(writeFileWithRetry(device, "abc", FileDateTime(), FlagVerifyWrites, problems));
    EXPECT_EQ(text(problems), std::string("Cannot write ") + device + "\r\n");

    problems.clear();
    std::string path = folder + "\\verified.txt";
    EXPECT_TRUE(writeFileWithRetry(path.c_str(), "abc", FileDateTime(), FlagVerifyWrites, problems));
    EXPECT_EQ(fileBytes(path), "abc");
    EXPECT_EQ(text(problems), "");
}

// Run as an ordinary user: Wine lets an administrator write read-only files.
class UnprivilegedFileWriting : public FileWritingTest {};

TEST_F(UnprivilegedFileWriting, AReadOnlyFileIsWrittenOnlyWithClearing) {
    struct Case {
        const char* name;
        uint32_t flags;
        bool written;
    } cases[] = {
        {"kept.txt", 0, false},
        {"cleared.txt", FlagClearReadOnly, true},
        {"cleared-verified.txt", FlagClearReadOnly | FlagVerifyWrites, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = folder + "\\" + c.name;
        putFile(path, "old");
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
        problems.clear();
        EXPECT_EQ(writeFileWithRetry(path.c_str(), "new", FileDateTime(2020, 2, 2, 2, 2, 2), c.flags, problems),
                  c.written);
        EXPECT_EQ(fileBytes(path), c.written ? "new" : "old");
        EXPECT_EQ((GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY) != 0, !c.written);
        EXPECT_EQ(text(problems), c.written ? "" : "Cannot write " + path + "\r\n");
        if (c.written) {
            EXPECT_EQ(timeText(localTimeOf(path)), "2020-02-02 02:02:02");
        }
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <string>

#include "files/system_folders.h"
#include "files/win32.h"
#include "runtime/errors.h"
#include "runtime/process_state.h"
#include "runtime/string_table.h"
#include "support/fatal_capture.h"

namespace {

class Messages : public ::testing::Test {
protected:
    void SetUp() override {
        stringTable.reset(30, 2);
        languageIndex = 0;
        productName = "Widget";
    }
    void TearDown() override { stringTable.reset(0, 0); }
};

TEST_F(Messages, FillsProductAndWindowsDirectoryInTheStoredRow) {
    *stringTable.text(0, 0) = "Install <PRODUCT> into <os>\\Widget? <Product>";
    std::string expected = "Install Widget into " + std::string(windowsDirectory().cStr()) + "\\Widget? Widget";
    EXPECT_EQ(message(0), expected);
    EXPECT_STREQ(stringTable.text(0, 0)->cStr(), expected.c_str());
    productName = "Other";
    EXPECT_EQ(message(0), expected);  // already filled in
}

TEST_F(Messages, OutsideTheTableOrLanguageIsEmpty) {
    *stringTable.text(1, 1) = "zweite";
    EXPECT_STREQ(message(30), "");
    EXPECT_STREQ(message(-1), "");
    EXPECT_STREQ(message(1), "");
    languageIndex = 1;
    EXPECT_STREQ(message(1), "zweite");
    languageIndex = 2;
    EXPECT_STREQ(message(1), "");
}

TEST_F(Messages, CorruptArchiveTextBuiltInOrFromTheTable) {
    std::string builtIn = captureFatal([] { reportCorruptArchive(25); });
    EXPECT_EQ(builtIn.substr(0, 40), "This self-extracting archive is corrupt.");
    EXPECT_EQ(builtIn.substr(builtIn.size() - 18), "\r\n\r\nError code: 25");

    *stringTable.text(13, 0) = "Archive damaged (%d)";
    EXPECT_EQ(captureFatal([] { reportCorruptArchive(50); }), "Archive damaged (50)");

    // A table text that would read arguments that are not there is not used as a format.
    *stringTable.text(13, 0) = "Archive %s damaged";
    EXPECT_EQ(captureFatal([] { reportCorruptArchive(50); }).substr(0, 40), "This self-extracting archive is corrupt.");
}

TEST(SystemErrorText, EmptyAfterSuccessAndTheSystemTextAfterFailure) {
    SetLastError(0);
    EXPECT_STREQ(systemErrorText(), "");
    SetLastError(ERROR_FILE_NOT_FOUND);
    std::string text = systemErrorText();
    EXPECT_FALSE(text.empty());
    SetLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(std::string(systemErrorText()), text);  // same text, fresh buffer
}

TEST(UsageReport, AlwaysNamesUninstallExe) {
    std::string text = captureFatal([] { reportUsageError("Product name required"); });
    EXPECT_EQ(text.substr(0, 30), "Product name required\n\nUsage:\n");
    EXPECT_NE(text.find("Uninstall.EXE [/a] [/d:<dir>] [/n:<name>] [/u:<name>]"), std::string::npos);
}

}  // namespace

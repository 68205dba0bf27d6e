// The tests an installation directory must pass, with the archive's texts:
// a text whose conversions do not fit its number is never used as a format.
#include <gtest/gtest.h>

#include <string>

#include "files/drives.h"
#include "installer/install_directory.h"
#include "runtime/process_state.h"
#include "runtime/string_table.h"
#include "shell/special_folders.h"

namespace {

class InstallDirectoryProblem : public ::testing::Test {
protected:
    void SetUp() override {
        stringTable.reset(30, 1);
        languageIndex = 0;
        productName = "Widget";
        *stringTable.text(14, 0) = "Not a folder:";
        *stringTable.text(16, 0) = "No drive %c:";
        *stringTable.text(17, 0) = "Not a drive root";
        *stringTable.text(18, 0) = "Not %s itself";
    }
    void TearDown() override { stringTable.reset(0, 0); }
};

// A drive letter that this machine does not have.
char missingDrive() {
    for (char letter = 'Z'; letter > 'D'; --letter)
        if (!driveExists(letter)) return letter;
    return 0;
}

TEST_F(InstallDirectoryProblem, EachRefusalWithItsMessage) {
    const char missing = missingDrive();
    ASSERT_NE(missing, 0);
    const std::string programFiles = programFilesDirectory().cStr();
    const std::string onMissing = std::string(1, missing) + ":\\Widget";
    struct Case {
        std::string directory;
        std::string problem;
    } cases[] = {
        {"C:\\Widget", ""},
        {"C:\\Program Files\\Widget", ""},
        {"Widget", "Not a folder:\r\nWidget"},
        {"\\Widget", "Not a folder:\r\n\\Widget"},
        {"C:\\Wid|get", "Not a folder:\r\nC:\\Wid|get"},
        {"", "Not a folder:\r\n"},
        {onMissing, std::string("No drive ") + missing + ":"},
        {"C:\\", "Not a drive root"},
        {"C:", "Not a folder:\r\nC:"},
        {programFiles, "Not " + programFiles + " itself"},
        {programFiles + "\\", "Not " + programFiles + " itself"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(installDirectoryProblem(String(c.directory.c_str())).cStr(), c.problem) << c.directory;
}

TEST_F(InstallDirectoryProblem, TextsThatDoNotFitTheirNumberGiveWayToBuiltInOnes) {
    const char missing = missingDrive();
    ASSERT_NE(missing, 0);
    const String onMissing = String::format("%c:\\Widget", missing);
    const String builtIn = String::format("Drive %c: does not exist.", missing);
    struct Case {
        const char* text16;
        String problem;
    } cases[] = {
        {"Laufwerk %c: fehlt", String::format("Laufwerk %c: fehlt", missing)},
        {"Drive %s is missing", builtIn},  // would read a pointer from a char
        {"%c %c", builtIn},
        {"no conversion", builtIn},
        {"", builtIn},
    };
    for (const Case& c : cases) {
        *stringTable.text(16, 0) = c.text16;
        EXPECT_STREQ(installDirectoryProblem(onMissing).cStr(), c.problem.cStr()) << c.text16;
    }
    *stringTable.text(18, 0) = "%s %s";  // a second %s would read past the one folder passed
    const String programFiles = programFilesDirectory();
    EXPECT_STREQ(installDirectoryProblem(programFiles).cStr(),
                 String::format("Please choose a directory below %s.", programFiles.cStr()).cStr());
}

}  // namespace

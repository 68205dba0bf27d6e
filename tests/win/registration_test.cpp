// Registration: the uninstaller files and the product registry record, read
// back with Wine's reg.exe and the file system, on a run state built here.
#include <gtest/gtest.h>

#include <string>

#include "archive/archive_format.h"
#include "files_child_process.h"
#include "files_test_support.h"
#include "installer/header_settings.h"
#include "installer/installed_product.h"
#include "installer/product_record.h"
#include "installer/product_registration.h"
#include "placement_test_support.h"
#include "runtime/process_state.h"
#include "runtime/string_table.h"
#include "ui/background.h"

namespace {

const std::string UninstallKey = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string RecordKey = UninstallKey + "\\Demo Tool";
const char EnvironmentKey[] = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager\\Environment";

std::string regSz(const std::string& value) { return "REG_SZ    " + value; }
std::string regDword(unsigned value) {
    char buffer[32];
    snprintf(buffer, sizeof buffer, "REG_DWORD    0x%x", value);
    return buffer;
}

bool regAdd(const std::string& key, const std::string& name, const char* type, const std::string& data) {
    return runProgram("reg.exe add \"" + key + "\" /v \"" + name + "\" /t " + type + " /d \"" + data + "\" /f")
               .exitCode == 0;
}

class RegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        install = scratchFolder() + "\\Demo Tool";
        ASSERT_TRUE(CreateDirectoryA(install.c_str(), nullptr));
        state.installDirectory = install.c_str();
        state.archivePath = "C:\\Downloads\\demo-setup.exe";
        state.flags = FlagRegisterProduct;
        productName = "Demo Tool";
        productVersion = "2.15";
        uninstallSubdir = "Uninst";
        startMenuFolder = "Maker\\Demo Tool";
        sharedDirectory.clear();
        programBytes = String("MZ\x90\0uninstaller bytes", 21);
        archiveHeader.publisher = "Maker";
        automaticMode = true;
        languageIndex = 0;
        stringTable.reset(60, 1);
        *stringTable.text(31, 0) = "Cannot write";
        *stringTable.text(33, 0) = "Remove";
        background.title = "Demo Tool Setup";
    }
    void TearDown() override {
        stringTable.reset(0, 0);
        productVersion.clear();
        uninstallSubdir.clear();
        startMenuFolder.clear();
        programBytes.clear();
        archiveHeader.publisher.clear();
        automaticMode = false;
    }
    std::string uninstaller() const { return install + "\\Uninst\\Uninstall.EXE"; }

    RunState state;
    std::string install;
};

TEST_F(RegistrationTest, RecordValuesAndUninstallerFiles) {
    state.programGroupUsed = true;
    registerProduct(state);
    EXPECT_EQ(text(state.problemText), "");

    struct Expected {
        const char* name;
        std::string value;
    } values[] = {
        {"UninstallString", regSz("\"" + uninstaller() + "\" /u:\"Demo Tool\"")},
        {"QuietUninstallString", regSz("\"" + uninstaller() + "\" /a /u:\"Demo Tool\"")},
        {"DisplayName", regSz("Demo Tool")},
        {"DisplayIcon", regSz(uninstaller())},
        {"InstallSource", regSz("C:\\Downloads\\demo-setup.exe")},
        {"DisplayVersion", regSz("2.15")},
        {"Publisher", regSz("Maker")},
        {"InstallLocation", regSz(install)},
        {"VersionMajor", regDword(2)},
        {"VersionMinor", regDword(15)},
        {"EstimatedSize", regDword(1)},  // 21 bytes, rounded up to a kilobyte
        {"NoModify", regDword(1)},
        {"NoRepair", regDword(1)},
        {"ProductStartMenu", regSz("Maker\\Demo Tool")},
        {"ProductFlags", regDword(FlagRegisterProduct)},
        {"UninstallSubdir", regSz("Uninst")},
        {"DisplayTitle", regSz("Demo Tool Setup")},
        {"SharedPath", ""},
        {"TitleColor", ""},
        {"PathEntryAdded", ""},
    };
    for (const Expected& v : values) EXPECT_EQ(regValue(RecordKey, v.name), v.value) << v.name;

    EXPECT_EQ(fileBytes(uninstaller()), std::string("MZ\x90\0uninstaller bytes", 21));
    // The record lists the program-group shortcut, then the one beside the uninstaller.
    std::string record = fileBytes(install + "\\Uninst\\Uninstall.DAT");
    std::string shortcut = install + "\\Uninst\\Remove Demo Tool.LNK";
    std::string inGroup = "\\Maker\\Demo Tool\\Remove Demo Tool.LNK\r\n";
    size_t groupEnd = record.find(inGroup);
    ASSERT_NE(groupEnd, std::string::npos) << record;
    EXPECT_TRUE(exists(record.substr(0, groupEnd + inGroup.size() - 2)));
    EXPECT_EQ(record.substr(groupEnd + inGroup.size(), shortcut.size() + 6), shortcut + "\r\n\r\n\r\n");
    EXPECT_TRUE(exists(shortcut));
    EXPECT_TRUE(isProductInstalled("Demo Tool", nullptr));
}

TEST_F(RegistrationTest, ValuesThatDependOnTheSettings) {
    // An earlier installation's values that this one must not leave behind.
    struct Case {
        const char* version;
        const char* subdir;
        uint32_t flags;
        std::string major, minor, displayVersion, subdirValue, titleColor;
    } cases[] = {
        {"1.2.3", "Uninst", FlagRegisterProduct, regDword(1), regDword(2), regSz("1.2.3"), regSz("Uninst"), ""},
        {"3", "", FlagRegisterProduct | FlagUseColors, "", "", regSz("3"), "", regDword(0x123456)},
        {"", "Uninst", FlagRegisterProduct | FlagKeepPicture, "", "", "", regSz("Uninst"), regDword(0x123456)},
    };
    for (const Case& c : cases) {
        for (const char* name : {"VersionMajor", "VersionMinor", "TitleColor"})
            runProgram("reg.exe delete \"" + RecordKey + "\" /v " + name + " /f");
        ASSERT_TRUE(regAdd(RecordKey, "TitleColor", "REG_DWORD", "7"));
        ASSERT_TRUE(regAdd(RecordKey, "UninstallSubdir", "REG_SZ", "Old"));
        ASSERT_TRUE(regAdd(RecordKey, "DisplayVersion", "REG_SZ", "0.9"));
        productVersion = c.version;
        uninstallSubdir = c.subdir;
        state.flags = c.flags;
        background.titleColor = 0x123456;
        registerProduct(state);
        EXPECT_EQ(regValue(RecordKey, "VersionMajor"), c.major) << c.version;
        EXPECT_EQ(regValue(RecordKey, "VersionMinor"), c.minor) << c.version;
        EXPECT_EQ(regValue(RecordKey, "DisplayVersion"), c.displayVersion) << c.version;
        EXPECT_EQ(regValue(RecordKey, "UninstallSubdir"), c.subdirValue) << c.version;
        EXPECT_EQ(regValue(RecordKey, "TitleColor"), c.titleColor) << c.version;
        std::string folder = *c.subdir ? install + "\\" + c.subdir : install;
        EXPECT_TRUE(exists(folder + "\\Uninstall.EXE")) << folder;
        EXPECT_EQ(regValue(RecordKey, "UninstallString"), regSz("\"" + folder + "\\Uninstall.EXE\" /u:\"Demo Tool\""));
    }
}

TEST_F(RegistrationTest, PathOnWindowsNTIsRecordedWhenAdded) {
    state.flags |= FlagAddToPath;
    state.windowsNT = true;
    struct Case {
        std::string pathBefore;
        std::string pathAfter;
        std::string recorded;
    } cases[] = {
        {"C:\\windows", "C:\\windows;" + install, regSz(install)},
        // Already there (an earlier installation's entry): not this run's to record.
        {"C:\\windows;" + install, "C:\\windows;" + install, ""},
    };
    for (const Case& c : cases) {
        runProgram("reg.exe delete \"" + RecordKey + "\" /f");
        ASSERT_TRUE(regAdd(EnvironmentKey, "Path", "REG_EXPAND_SZ", c.pathBefore));
        registerProduct(state);
        EXPECT_EQ(text(state.problemText), "");
        EXPECT_EQ(regValue(EnvironmentKey, "Path"), "REG_EXPAND_SZ    " + c.pathAfter);
        EXPECT_EQ(regValue(RecordKey, "PathEntryAdded"), c.recorded);
        EXPECT_NE(fileBytes("C:\\autoexec.bat").find("PATH=%PATH%;"), std::string::npos);
    }
}

TEST_F(RegistrationTest, NamesThatReachOutsideTheirKeyAreRefused) {
    for (const char* name : {"", "  ", "Other\\Product", "Demo\" /evil"}) {
        productName = name;
        state.problemText.clear();
        registerProduct(state);
        EXPECT_NE(text(state.problemText).find(RegistrationFailedText), std::string::npos) << name;
        EXPECT_FALSE(isProductInstalled(name, nullptr)) << name;
    }
    EXPECT_EQ(regValue(UninstallKey, "UninstallString"), "");
    EXPECT_EQ(regValue(UninstallKey + "\\Other\\Product", "UninstallString"), "");
    EXPECT_EQ(regValue(UninstallKey + "\\Other", "UninstallString"), "");
}

TEST_F(RegistrationTest, ProductKeysAndFailureLines) {
    archiveHeader.productRegistryKey = "Maker\\Demo";
    // A file where the uninstaller goes: every attempt fails.
    ASSERT_TRUE(CreateDirectoryA((install + "\\Uninst").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(uninstaller().c_str(), nullptr));
    registerProduct(state);
    archiveHeader.productRegistryKey.clear();
    EXPECT_EQ(runProgram("reg.exe query \"HKLM\\Software\\Maker\\Demo\"").exitCode, 0u);
    EXPECT_EQ(runProgram("reg.exe query \"HKCU\\Software\\Maker\\Demo\"").exitCode, 0u);
    EXPECT_EQ(regValue(RecordKey, "ProductRegistry"), regSz("Maker\\Demo"));
    EXPECT_EQ(text(state.problemText), "Cannot write " + uninstaller() + "\r\n");
}

TEST_F(RegistrationTest, IsProductInstalled) {
    struct Case {
        const char* valueName;  // null: no key at all
        bool installed;
        const char* location;
    } cases[] = {
        {nullptr, false, "unchanged"},
        {"InstallLocation", false, ""},
        {"UninstallString", true, "D:\\Apps\\Demo Tool"},
        {"QuietUninstallString", true, "D:\\Apps\\Demo Tool"},
    };
    for (const Case& c : cases) {
        runProgram("reg.exe delete \"" + RecordKey + "\" /f");
        if (c.valueName) {
            ASSERT_TRUE(regAdd(RecordKey, "InstallLocation", "REG_SZ", "D:\\Apps\\Demo Tool"));
            ASSERT_TRUE(regAdd(RecordKey, c.valueName, "REG_SZ", "x"));
        }
        String location = "unchanged";
        EXPECT_EQ(isProductInstalled("Demo Tool", &location), c.installed) << (c.valueName ? c.valueName : "no key");
        EXPECT_EQ(text(location), c.location);
    }
}

TEST_F(RegistrationTest, WriteUninstallerSetsTheTimeStamp) {
    ASSERT_TRUE(CreateDirectoryA((install + "\\Uninst").c_str(), nullptr));
    FileDateTime time(2001, 2, 3, 4, 5, 6);
    state.flags |= FlagVerifyWrites;
    ASSERT_TRUE(writeUninstaller(uninstaller().c_str(), programBytes, time, state));
    EXPECT_EQ(timeText(localTimeOf(uninstaller())), "2001-02-03 04:05:06");
    EXPECT_EQ(fileBytes(uninstaller()), text(programBytes));
    EXPECT_EQ(text(state.problemText), "");
}

}  // namespace

namespace {

TEST_F(RegistrationTest, PictureIsKeptOnlyWhenAsked) {
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = 1;
    info.biHeight = 1;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = 4;
    std::string block(reinterpret_cast<const char*>(&info), sizeof info);
    block += std::string("\x10\x20\x30\x00", 4);
    ASSERT_TRUE(background.picture.loadFromMemory(block.data(), static_cast<int>(block.size())));
    std::string picture = install + "\\Uninst\\Installer Background.BMP";
    for (uint32_t flags : {static_cast<uint32_t>(FlagRegisterProduct), FlagRegisterProduct | FlagKeepPicture}) {
        state.flags = flags;
        registerProduct(state);
        bool kept = (flags & FlagKeepPicture) != 0;
        std::string bytes = fileBytes(picture);
        EXPECT_EQ(bytes.substr(0, 2) == "BM" && bytes.size() == 14 + block.size() &&
                      bytes.substr(14) == block,
                  kept)
            << flags;
        EXPECT_EQ(fileBytes(install + "\\Uninst\\Uninstall.DAT").find(picture + "\r\n") != std::string::npos, kept);
    }
    background.picture.clear();
}

}  // namespace

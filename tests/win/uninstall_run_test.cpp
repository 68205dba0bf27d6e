// The uninstall run against a product record made here in the case's own
// prefix: what goes, what stays, and what is kept for the next run.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "files_child_process.h"
#include "files_test_support.h"
#include "hung_window.h"
#include "installer/header_settings.h"
#include "placement_test_support.h"
#include "runtime/process_state.h"
#include "runtime/string_table.h"
#include "shell/special_folders.h"
#include "uninstaller/uninstall_run.h"

namespace {

const char RecordKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo Tool";
const char SharedKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char FontsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const char EnvironmentKey[] = "System\\CurrentControlSet\\Control\\Session Manager\\Environment";
const char ShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char HostFont[] = "Z:\\usr\\share\\fonts\\truetype\\dejavu\\DejaVuSans.ttf";

void setText(HKEY root, const char* key, const std::string& name, const std::string& value) {
    HKEY handle;
    ASSERT_EQ(RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr), ERROR_SUCCESS);
    RegSetValueExA(handle, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(handle);
}

void setNumber(HKEY root, const char* key, const std::string& name, DWORD value) {
    HKEY handle;
    ASSERT_EQ(RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr), ERROR_SUCCESS);
    RegSetValueExA(handle, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(handle);
}

// The value as text ("3" for a number), or "<missing>".
std::string valueOf(HKEY root, const char* key, const std::string& name) {
    HKEY handle;
    if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return "<missing>";
    char data[4096] = {};
    DWORD size = sizeof data - 1, type = 0;
    LONG result = RegQueryValueExA(handle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS) return "<missing>";
    if (type == REG_DWORD) return std::to_string(*reinterpret_cast<DWORD*>(data));
    return data;
}

bool keyThere(HKEY root, const char* key) {
    HKEY handle;
    if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

class UninstallRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = scratchFolder();
        install = root + "\\Demo Tool";
        uninst = install + "\\Uninst";
        ASSERT_TRUE(CreateDirectoryA(install.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA(uninst.c_str(), nullptr));
        productName = "Demo Tool";
        automaticMode = true;
        languageIndex = 0;
        stringTable.reset(0, 0);
        productFlags = 0;
        uninstallSubdir.clear();
        sharedDirectory.clear();
        registerProduct(FlagRegisterProduct);
    }
    void TearDown() override {
        stringTable.reset(0, 0);
        uninstallSubdir.clear();
        sharedDirectory.clear();
        automaticMode = false;
    }
    void registerProduct(DWORD flags) {
        setText(HKEY_LOCAL_MACHINE, RecordKey, "UninstallString", "\"" + uninst + "\\Uninstall.EXE\" /u:\"Demo Tool\"");
        setText(HKEY_LOCAL_MACHINE, RecordKey, "InstallLocation", install);
        setText(HKEY_LOCAL_MACHINE, RecordKey, "UninstallSubdir", "Uninst");
        setNumber(HKEY_LOCAL_MACHINE, RecordKey, "ProductFlags", flags);
    }
    void record(const std::string& value, const std::string& data) {
        setText(HKEY_LOCAL_MACHINE, RecordKey, value, data);
    }
    std::string datPath() const { return uninst + "\\Uninstall.DAT"; }
    // Runs the uninstaller with a fresh string table, as a new process would.
    UninstallResult run() {
        stringTable.reset(0, 0);
        String directory;
        UninstallResult result = uninstallProduct(directory);
        location = text(directory);
        return result;
    }
    bool registered() const { return keyThere(HKEY_LOCAL_MACHINE, RecordKey); }

    std::string root, install, uninst;
    std::string location;  // the installation directory the last run read
};

const char Messages[] = "[Strings]\r\n~58\r\nCannot remove\r\n~15\r\nDone\r\n";

TEST_F(UninstallRunTest, WhatResistsIsKeptUntilALaterRun) {
    const std::string sub = install + "\\Sub", deep = sub + "\\Deep";
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr));
    for (const std::string& file : {install + "\\a.txt", sub + "\\b.txt", deep + "\\c.txt", uninst + "\\Install.LOG"})
        putFile(file, "x");
    putFile(sub + "\\mine.txt", "the user's own");
    // The shallower directory first: the run must take the deeper one before it.
    putFile(datPath(), "~" + sub + "\r\n~" + deep + "\r\n" + install + "\\a.txt\r\n" + sub + "\\b.txt\r\n" + deep +
                           "\\c.txt\r\n" + install + "\\gone.txt\r\n\r\n\r\n" + Messages);

    EXPECT_EQ(run(), UninstallResult::ProblemsLeft);
    EXPECT_EQ(location, install);
    for (const std::string& gone : {install + "\\a.txt", sub + "\\b.txt", deep, uninst + "\\Install.LOG"})
        EXPECT_FALSE(exists(gone)) << gone;
    EXPECT_TRUE(exists(sub + "\\mine.txt"));
    // Only the directory that resisted is left in the record, with the messages.
    std::string dat = fileBytes(datPath());
    EXPECT_EQ(dat.substr(0, dat.find("[Strings]")), "~" + sub + "\r\n\r\n\r\n");
    EXPECT_NE(dat.find("~58\r\nCannot remove\r\n"), std::string::npos);
    EXPECT_TRUE(registered());

    ASSERT_TRUE(DeleteFileA((sub + "\\mine.txt").c_str()));
    EXPECT_EQ(run(), UninstallResult::Removed);
    EXPECT_FALSE(exists(sub));
    EXPECT_FALSE(exists(datPath()));
    EXPECT_FALSE(registered());
}

// Entries the installation cannot have written are neither removed nor kept:
// they are reported once, and the next run finishes.
TEST_F(UninstallRunTest, EntriesOutsideTheInstallationAreLeftAlone) {
    const std::string outside = root + "\\outside.txt";
    const std::string shortcut = root + "\\Desktop\\Demo Tool.lnk";
    ASSERT_TRUE(CreateDirectoryA((root + "\\Desktop").c_str(), nullptr));
    putFile(outside, "x");
    putFile(shortcut, "link");
    putFile(root + "\\relative.txt", "x");
    ASSERT_TRUE(SetCurrentDirectoryA(root.c_str()));
    putFile(datPath(), outside + "\r\nrelative.txt\r\n" + install + "\\..\\outside.txt\r\n" + shortcut + "\r\n~" + root +
                           "\\Desktop\r\n~C:\\\r\n\r\n\r\n" + Messages);

    EXPECT_EQ(run(), UninstallResult::ProblemsLeft);
    EXPECT_TRUE(exists(outside));
    EXPECT_TRUE(exists(root + "\\relative.txt"));
    EXPECT_FALSE(exists(shortcut));  // a shortcut may lie anywhere
    EXPECT_TRUE(exists(root + "\\Desktop"));
    EXPECT_FALSE(exists(datPath()));
    EXPECT_TRUE(registered());
    EXPECT_EQ(run(), UninstallResult::Removed);
    EXPECT_FALSE(registered());
}

// Released name by name as the installation wrote them ("a";"b").
TEST_F(UninstallRunTest, SharedFileCounts) {
    const std::string shared = root + "\\Common";
    ASSERT_TRUE(CreateDirectoryA(shared.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((shared + "\\sub").c_str(), nullptr));
    struct Case {
        const char* name;
        int count;  // 0: no counter
        bool fileStays;
        const char* countAfter;
    } cases[] = {
        {"three.dll", 3, true, "2"},
        {"one.dll", 1, false, "<missing>"},
        {"none.dll", 0, false, "<missing>"},
        {"sub\\two.dll", 2, true, "1"},
    };
    std::string list;
    for (const Case& c : cases) {
        putFile(shared + "\\" + c.name, "dll");
        if (c.count) setNumber(HKEY_LOCAL_MACHINE, SharedKey, shared + "\\" + c.name, static_cast<DWORD>(c.count));
        list += std::string(list.empty() ? "" : ";") + "\"" + c.name + "\"";
    }
    record("SharedPath", shared);
    record("SharedFiles", list);

    EXPECT_EQ(run(), UninstallResult::Removed);
    for (const Case& c : cases) {
        EXPECT_EQ(exists(shared + "\\" + c.name), c.fileStays) << c.name;
        EXPECT_EQ(valueOf(HKEY_LOCAL_MACHINE, SharedKey, shared + "\\" + c.name), c.countAfter) << c.name;
    }
}

TEST_F(UninstallRunTest, StartMenuFolderStopsAtPrograms) {
    const std::string programs = root + "\\Programs";
    ASSERT_TRUE(CreateDirectoryA(programs.c_str(), nullptr));
    setText(HKEY_CURRENT_USER, ShellFoldersKey, "Programs", programs);
    struct Case {
        const char* group;
        std::vector<std::string> made;  // folders below Programs, parents first
        const char* file;               // a file left in a folder, or ""
        std::vector<std::string> gone, stays;
    } cases[] = {
        {"Maker\\Product", {"Maker", "Maker\\Product"}, "", {"Maker\\Product", "Maker"}, {}},
        {"Maker\\Product", {"Maker", "Maker\\Product", "Maker\\Other"}, "", {"Maker\\Product"}, {"Maker\\Other"}},
        // Programs itself stays, although it is empty then.
        {"Solo", {"Solo"}, "", {"Solo"}, {}},
        {"Maker\\Busy", {"Maker", "Maker\\Busy"}, "Maker\\Busy\\notes.txt", {}, {"Maker\\Busy"}},
        {"..", {}, "", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.group);
        registerProduct(FlagRegisterProduct);
        record("ProductStartMenu", c.group);
        for (const std::string& folder : c.made) ASSERT_TRUE(CreateDirectoryA((programs + "\\" + folder).c_str(), nullptr));
        if (*c.file) putFile(programs + "\\" + c.file, "x");

        EXPECT_EQ(run(), UninstallResult::Removed);
        EXPECT_TRUE(exists(programs));
        for (const std::string& folder : c.gone) EXPECT_FALSE(exists(programs + "\\" + folder)) << folder;
        for (const std::string& folder : c.stays) EXPECT_TRUE(exists(programs + "\\" + folder)) << folder;

        if (*c.file) DeleteFileA((programs + "\\" + c.file).c_str());
        for (auto folder = c.made.rbegin(); folder != c.made.rend(); ++folder)
            RemoveDirectoryA((programs + "\\" + *folder).c_str());
        ASSERT_EQ(entryCount(programs), 0);
    }
}

TEST_F(UninstallRunTest, NothingChangesWithoutAUsableRecord) {
    putFile(install + "\\a.txt", "x");
    putFile(datPath(), install + "\\a.txt\r\n");
    struct Case {
        const char* product;
        const char* location;  // written into the record first, or null
    } cases[] = {
        {"Nobody", nullptr},
        {"", nullptr},
        {"Demo Tool\\..", nullptr},
        {"Demo Tool", "C:\\"},
        {"Demo Tool", "Demo Tool"},
        {"Demo Tool", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.product) + " at " + (c.location ? c.location : "-"));
        if (c.location) record("InstallLocation", c.location);
        productName = c.product;
        EXPECT_EQ(run(), UninstallResult::NotUninstallable);
        EXPECT_TRUE(exists(install + "\\a.txt"));
        EXPECT_EQ(fileBytes(datPath()), install + "\\a.txt\r\n");
        EXPECT_TRUE(registered());
    }
}

// Flag 0x1000 takes out the autoexec line and the machine "Path" entry this
// installation recorded as its own, and no other entry.
TEST_F(UninstallRunTest, PathEntryAddedByTheInstallation) {
    struct Case {
        const char* name;
        std::string added;  // "PathEntryAdded", or "" for none
        std::string pathAfter;
    } cases[] = {
        {"recorded", install, "C:\\windows\\system32;C:\\Tools"},
        {"not recorded", "", "C:\\windows\\system32;" + install + ";C:\\Tools"},
        {"another folder", "C:\\Tools", "C:\\windows\\system32;" + install + ";C:\\Tools"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        registerProduct(FlagRegisterProduct | FlagAddToPath);
        if (!c.added.empty()) record("PathEntryAdded", c.added);
        setText(HKEY_LOCAL_MACHINE, EnvironmentKey, "Path", "C:\\windows\\system32;" + install + ";C:\\Tools");
        EXPECT_EQ(run(), UninstallResult::Removed);
        EXPECT_EQ(valueOf(HKEY_LOCAL_MACHINE, EnvironmentKey, "Path"), c.pathAfter);
    }
}

// A font of the record, loaded and registered as the installation leaves it.
void installFont(const std::string& fileName, const std::string& displayName) {
    std::string font = fileBytes(HostFont);
    ASSERT_NE(font, "<missing>") << "the tests need the DejaVu fonts installed on the host";
    putFile(text(fontsDirectory()) + "\\" + fileName, font);
    ASSERT_NE(AddFontResourceA(fileName.c_str()), 0);
    setText(HKEY_LOCAL_MACHINE, FontsKey, displayName, fileName);
}

TEST_F(UninstallRunTest, FontsAreRemovedWithTheirRegistration) {
    installFont("qpsans.ttf", "QP Sans (TrueType)");
    setText(HKEY_LOCAL_MACHINE, FontsKey, "QP Other", "qpother.ttf");  // another product's
    record("ProductFonts", "\"QP Sans (TrueType)\" \"qpsans.ttf\" ");

    EXPECT_EQ(run(), UninstallResult::Removed);
    EXPECT_FALSE(exists(text(fontsDirectory()) + "\\qpsans.ttf"));
    EXPECT_EQ(valueOf(HKEY_LOCAL_MACHINE, FontsKey, "QP Sans (TrueType)"), "<missing>");
    EXPECT_EQ(valueOf(HKEY_LOCAL_MACHINE, FontsKey, "QP Other"), "qpother.ttf");
}

// The font and environment broadcasts of a removal skip a window that does
// not answer (Gui suite: the window needs a display).
class GuiUninstallRunTest : public UninstallRunTest {};

TEST_F(GuiUninstallRunTest, BroadcastsDoNotWaitForAHungWindow) {
    installFont("qpsans.ttf", "QP Sans (TrueType)");
    record("ProductFonts", "\"QP Sans (TrueType)\" \"qpsans.ttf\" ");
    registerProduct(FlagRegisterProduct | FlagAddToPath);
    record("PathEntryAdded", install);
    setText(HKEY_LOCAL_MACHINE, EnvironmentKey, "Path", "C:\\windows;" + install);
    HungWindow hung;
    ASSERT_NE(hung.window(), nullptr) << "no window: is there a display?";

    DWORD start = GetTickCount();
    EXPECT_EQ(run(), UninstallResult::Removed);
    // A plain SendMessage would wait the full minute the window's thread sleeps.
    EXPECT_LT(GetTickCount() - start, 15000u);
    EXPECT_EQ(valueOf(HKEY_LOCAL_MACHINE, EnvironmentKey, "Path"), "C:\\windows");
}

// Flag 0x400 deletes an ordinary installation directory whole, but never a
// folder that holds the user's own folders.
TEST_F(UninstallRunTest, TreeDeletionRefusesProtectedFolders) {
    putFile(install + "\\a.txt", "x");
    registerProduct(FlagRegisterProduct | FlagRemoveWholeDirectory);
    EXPECT_EQ(run(), UninstallResult::Removed);
    EXPECT_FALSE(exists(install));

    char profile[MAX_PATH + 1] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, profile, CSIDL_PROFILE, FALSE));
    const std::string kept = std::string(profile) + "\\kept.txt";
    putFile(kept, "the user's");
    registerProduct(FlagRegisterProduct | FlagRemoveWholeDirectory);
    record("InstallLocation", profile);
    record("UninstallSubdir", "");
    EXPECT_EQ(run(), UninstallResult::Removed);
    EXPECT_TRUE(exists(kept));
}

// A file that exists but cannot be opened is still there: its failed
// deletion is a problem, not a file passed over.
TEST_F(UninstallRunTest, AFileInUseIsKept) {
    const std::string busy = install + "\\busy.dll";
    putFile(busy, "x");
    putFile(datPath(), busy + "\r\n\r\n\r\n" + Messages);
    HANDLE held = CreateFileA(busy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(run(), UninstallResult::ProblemsLeft);
    CloseHandle(held);
    EXPECT_TRUE(exists(busy));
    std::string dat = fileBytes(datPath());
    EXPECT_EQ(dat.substr(0, dat.find("[Strings]")), busy + "\r\n\r\n\r\n");
    EXPECT_TRUE(registered());
}

// The product's own key goes with the keys below it; a record naming one
// of the system's keys below Software gets nothing deleted.
TEST(UninstallProductKey, WhichKeysMayGo) {
    struct Case {
        const char* key;
        bool removable;
    } cases[] = {
        {"Maker\\Product", true},      {"Maker", true},      {"Quillpack Examples\\Quill Notes", true},
        {"Microsoft", false},          {"microsoft\\Windows", false}, {"Classes\\.txt", false},
        {"Policies", false},           {"Wow6432Node\\Maker", false}, {"", false},
        {"\\Maker", false},            {"Maker\\", false},   {"Maker\\\\Product", false},
        {"C:\\Maker", false},          {" \\Maker", false},
    };
    for (const Case& c : cases) EXPECT_EQ(isRemovableProductKey(c.key), c.removable) << c.key;
}

}  // namespace

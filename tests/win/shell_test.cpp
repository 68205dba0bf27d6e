#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "files/system_folders.h"
#include "files/win32.h"
#include "files_child_process.h"
#include "files_test_support.h"
#include "registry/registry.h"
#include "shell/file_version.h"
#include "shell/shortcuts.h"
#include "shell/special_folders.h"

#include <objbase.h>
#include <shlobj.h>

namespace {

std::string text(const String& s) { return std::string(s.cStr(), static_cast<size_t>(s.length())); }

const char ShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char CurrentVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";

// Sets (or, for null, deletes) one registry value directly through the system.
void putValue(HKEY root, const char* keyPath, const char* name, const char* value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    if (value)
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), static_cast<DWORD>(std::strlen(value) + 1));
    else
        RegDeleteValueA(key, name);
    RegCloseKey(key);
}

TEST(SpecialFolders, ThePrefixAsItComesHasShellFolders) {
    // Wine fills these in a fresh prefix; every function reads them unchanged.
    std::string desktop = text(shellFolder("Desktop"));
    ASSERT_FALSE(desktop.empty());
    EXPECT_EQ(text(desktopDirectory()), desktop);
    EXPECT_EQ(text(fontsDirectory()), text(shellFolder("Fonts")));
    EXPECT_EQ(text(programFilesDirectory()), "C:\\Program Files");
    EXPECT_EQ(text(commonFilesDirectory()), "C:\\Program Files\\Common Files");
    EXPECT_EQ(text(windowsSetting("ProgramFilesDir")), "C:\\Program Files");
}

TEST(SpecialFolders, ValuesAreUsedExactlyAsStored) {
    struct Case {
        const char* name;
        const char* value;
        String (*function)();
    } cases[] = {
        {"Desktop", "D:\\Somewhere\\Desk", desktopDirectory},
        {"Fonts", "C:\\Fonts Here\\", fontsDirectory},
        {"Start Menu", "C:\\Menu", startMenuDirectory},
        {"Programs", "%USERPROFILE%\\Progs", programsDirectory},
        {"Startup", "C:\\Menu\\Progs\\Auto", startupDirectory},
    };
    for (const Case& c : cases) putValue(HKEY_CURRENT_USER, ShellFoldersKey, c.name, c.value);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(text(c.function()), c.value);
    }
    putValue(HKEY_LOCAL_MACHINE, CurrentVersionKey, "ProgramFilesDir", "E:\\Apps");
    putValue(HKEY_LOCAL_MACHINE, CurrentVersionKey, "CommonFilesDir", nullptr);
    EXPECT_EQ(text(programFilesDirectory()), "E:\\Apps");
    EXPECT_EQ(text(commonFilesDirectory()), "E:\\Apps\\Common Files");
    putValue(HKEY_LOCAL_MACHINE, CurrentVersionKey, "ProgramFilesDir", nullptr);
    putValue(HKEY_LOCAL_MACHINE, CurrentVersionKey, "CommonFilesDir", "F:\\Shared");
    EXPECT_EQ(text(programFilesDirectory()), "c:\\Program Files");
    EXPECT_EQ(text(commonFilesDirectory()), "F:\\Shared");
}

TEST(SpecialFolders, FallbacksWithoutShellFolders) {
    ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, ShellFoldersKey), ERROR_SUCCESS);
    putValue(HKEY_LOCAL_MACHINE, CurrentVersionKey, "ProgramFilesDir", nullptr);
    putValue(HKEY_LOCAL_MACHINE, CurrentVersionKey, "CommonFilesDir", nullptr);
    std::string windows = text(windowsDirectory());
    ASSERT_FALSE(windows.empty());
    struct Case {
        const char* label;
        String (*function)();
        std::string expected;
    } cases[] = {
        {"desktop", desktopDirectory, windows + "\\Desktop"},
        {"fonts", fontsDirectory, windows + "\\Fonts"},
        {"start menu", startMenuDirectory, windows + "\\Start Menu"},
        {"programs", programsDirectory, windows + "\\Start Menu\\Programs"},
        {"startup", startupDirectory, windows + "\\Start Menu\\Programs\\StartUp"},
        {"program files", programFilesDirectory, "c:\\Program Files"},
        {"common files", commonFilesDirectory, "c:\\Program Files\\Common Files"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(text(c.function()), c.expected);
    }
    // Each step of the chain asks the registry first.
    putValue(HKEY_CURRENT_USER, ShellFoldersKey, "Start Menu", "C:\\Menu");
    EXPECT_EQ(text(startupDirectory()), "C:\\Menu\\Programs\\StartUp");
    putValue(HKEY_CURRENT_USER, ShellFoldersKey, "Programs", "C:\\Progs");
    EXPECT_EQ(text(startupDirectory()), "C:\\Progs\\StartUp");
    putValue(HKEY_CURRENT_USER, ShellFoldersKey, "Desktop", "");  // empty counts as missing
    EXPECT_EQ(text(desktopDirectory()), windows + "\\Desktop");
}

TEST(SpecialFolders, BootDrive) {
    const char* setupKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Setup";
    struct Case {
        const char* value;  // null: no value
        char drive;
    } cases[] = {
        {"d:\\", 'D'}, {"E:", 'E'}, {"c:\\windows", 'C'}, {"\\\\server\\share", 'C'},
        {"", 'C'},     {"1:\\", 'C'}, {"d", 'C'},         {nullptr, 'C'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value ? c.value : "<missing>");
        putValue(HKEY_LOCAL_MACHINE, setupKey, "BootDir", c.value);
        EXPECT_EQ(bootDrive(), c.drive);
    }
}

struct LinkContents {
    std::string target, arguments, workingDirectory;
};

// Reads a shortcut back through the shell link object.
bool readLink(const std::string& path, LinkContents& out) {
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    IPersistFile* persist = nullptr;
    bool ok = false;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
        WCHAR wide[MAX_PATH] = {};
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
        if (persist->Load(wide, STGM_READ) == S_OK) {
            char buffer[MAX_PATH] = {};
            link->GetPath(buffer, MAX_PATH, nullptr, SLGP_RAWPATH);
            out.target = buffer;
            buffer[0] = 0;
            link->GetArguments(buffer, MAX_PATH);
            out.arguments = buffer;
            buffer[0] = 0;
            link->GetWorkingDirectory(buffer, MAX_PATH);
            out.workingDirectory = buffer;
            ok = true;
        }
    }
    if (persist) persist->Release();
    if (link) link->Release();
    CoUninitialize();
    return ok;
}

TEST(Shortcuts, AddLinkSuffix) {
    struct Case {
        const char* before;
        const char* after;
    } cases[] = {
        {"C:\\Menu\\Tool", "C:\\Menu\\Tool.LNK"},
        {"C:\\Menu\\Tool.lnk", "C:\\Menu\\Tool.lnk"},
        {"C:\\Menu\\Tool.Lnk", "C:\\Menu\\Tool.Lnk"},
        {"C:\\Old.LNKs\\Tool", "C:\\Old.LNKs\\Tool"},  // anywhere in the path counts
        {"C:\\Menu\\Tool.exe", "C:\\Menu\\Tool.exe.LNK"},
        {"", ".LNK"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        String path(c.before);
        addLinkSuffix(path);
        EXPECT_EQ(text(path), c.after);
    }
}

TEST(Shortcuts, DesktopAndProgramGroupShortcutsReadBack) {
    std::string folder = scratchFolder();
    std::string target = folder + "\\Widget.exe";
    putFile(target, "MZ");
    putValue(HKEY_CURRENT_USER, ShellFoldersKey, "Desktop", (folder + "\\Desk").c_str());
    putValue(HKEY_CURRENT_USER, ShellFoldersKey, "Programs", (folder + "\\Progs").c_str());
    CreateDirectoryA((folder + "\\Desk").c_str(), nullptr);

    String linkPath("stale");
    ASSERT_TRUE(createDesktopShortcut("Widget", target.c_str(), "/x \"y z\"", folder.c_str(), &linkPath));
    EXPECT_EQ(text(linkPath), folder + "\\Desk\\Widget.LNK");
    LinkContents desktop;
    ASSERT_TRUE(readLink(text(linkPath), desktop));
    EXPECT_EQ(desktop.target, target);
    EXPECT_EQ(desktop.arguments, "/x \"y z\"");
    EXPECT_EQ(desktop.workingDirectory, folder);

    // The program group's folders do not exist yet; null parts stay unset.
    ASSERT_TRUE(createProgramsShortcut("Maker\\Tool", target.c_str(), nullptr, nullptr, &linkPath));
    EXPECT_EQ(text(linkPath), folder + "\\Progs\\Maker\\Tool.LNK");
    EXPECT_EQ(entryCount(folder + "\\Progs\\Maker"), 1);
    LinkContents grouped;
    ASSERT_TRUE(readLink(text(linkPath), grouped));
    EXPECT_EQ(grouped.target, target);
    EXPECT_EQ(grouped.arguments, "");
    EXPECT_EQ(grouped.workingDirectory, "");

    // An explicit path keeps a suffix it already has.
    String explicitPath((folder + "\\Direct.lnk").c_str());
    ASSERT_TRUE(createShortcut(explicitPath, target.c_str(), "", nullptr));
    EXPECT_EQ(text(explicitPath), folder + "\\Direct.lnk");
    EXPECT_TRUE(exists(folder + "\\Direct.lnk"));
}

TEST(Shortcuts, FailWhenTheLinkCannotBeWrittenWhereAsked) {
    std::string folder = scratchFolder();
    std::string target = folder + "\\Widget.exe";
    putFile(target, "MZ");

    // The folder cannot be created: a file stands in its place, or the drive is missing.
    putFile(folder + "\\blocker", "x");
    String blocked((folder + "\\blocker\\group\\Tool").c_str());
    EXPECT_FALSE(createShortcut(blocked, target.c_str(), nullptr, nullptr));
    EXPECT_EQ(text(blocked), folder + "\\blocker\\group\\Tool.LNK");
    char drive = missingDriveLetter();
    ASSERT_NE(drive, 0);
    String onMissingDrive((std::string(1, drive) + ":\\Group\\Tool").c_str());
    EXPECT_FALSE(createShortcut(onMissingDrive, target.c_str(), nullptr, nullptr));

    putValue(HKEY_CURRENT_USER, ShellFoldersKey, "Programs", (std::string(1, drive) + ":\\Progs").c_str());
    String reported;
    EXPECT_FALSE(createProgramsShortcut("Maker\\Tool", target.c_str(), nullptr, nullptr, &reported));
    EXPECT_EQ(text(reported), std::string(1, drive) + ":\\Progs\\Maker\\Tool.LNK");  // given also on failure

    // Too long for the system's 260 characters: no shortcut at a shortened name either.
    std::string longFolder = folder + "\\long";
    CreateDirectoryA(longFolder.c_str(), nullptr);
    String tooLong((longFolder + "\\" + std::string(270 - longFolder.size(), 'n')).c_str());
    EXPECT_FALSE(createShortcut(tooLong, target.c_str(), nullptr, nullptr));
    EXPECT_EQ(entryCount(longFolder), 0);
}

TEST(Shortcuts, WithoutAShellLinkClassNothingIsMadeAndComIsReleased) {
    std::string folder = scratchFolder();
    const char* server = "CLSID\\{00021401-0000-0000-C000-000000000046}\\InprocServer32";
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, server, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    char library[MAX_PATH] = {};
    DWORD size = sizeof library;
    ASSERT_EQ(RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(library), &size), ERROR_SUCCESS);
    const char missing[] = "qp-no-such-library.dll";
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(missing), sizeof missing);

    String linkPath((folder + "\\Tool").c_str());
    bool created = createShortcut(linkPath, "C:\\windows\\notepad.exe", nullptr, nullptr);
    // COM was left as it was found: initialising now is the first time again.
    HRESULT again = CoInitialize(nullptr);
    CoUninitialize();
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(library), size);
    RegCloseKey(key);

    EXPECT_FALSE(created);
    EXPECT_EQ(again, S_OK);
    EXPECT_EQ(entryCount(folder), 0);
}

TEST(FileVersion, OnlyTheUsEnglishMultilingualBlockCounts) {
    struct Case {
        std::string path;
        const char* plain;
        const char* padded;
    } cases[] = {
        {besideTestProgram("shell_version_us.dll"), "4.0.1381.4b", "0000000004.0000000000.0000001381.000000004B"},
        {besideTestProgram("shell_version_unicode_only.dll"), "", ""},
        {besideTestProgram("hold_file.exe"), "", ""},  // no version resource at all
        {besideTestProgram("no such file.dll"), "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(text(fileVersion(c.path.c_str(), false)), c.plain);
        EXPECT_EQ(text(fileVersion(c.path.c_str(), true)), c.padded);
    }
    ASSERT_TRUE(exists(cases[1].path)) << "the second test library was not built";
}

}  // namespace

// Which folders a tree deletion must refuse: the judgement on a list given
// here, then on this machine's own folders.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "files/system_folders.h"
#include "files_test_support.h"
#include "placement_test_support.h"
#include "shell/special_folders.h"
#include "uninstaller/protected_folders.h"

namespace {

TEST(ProtectedFolders, TableOfFolders) {
    List<String> protectedPaths;
    const char* const listed[] = {"C:\\", "D:\\", "C:\\Windows", "C:\\Program Files\\", "C:/Users/me",
                                  "C:\\Users\\me\\Desktop", "", "not a path"};
    for (const char* path : listed) protectedPaths.append(String(path));
    struct Case {
        const char* folder;
        bool refused;
    } cases[] = {
        {"C:\\Users\\me\\Desktop", true},        // a shell folder itself
        {"c:\\users\\ME\\desktop\\", true},      // the same in other case, with a trailing "\"
        {"C:\\Users\\me", true},                 // the profile
        {"C:\\Users", true},                     // holds the profile
        {"C:\\", true},                          // a drive root
        {"D:", true},                            // a drive-relative path
        {"C:\\WINDOWS\\", true},                 // the Windows directory, trailing "\" and other case
        {"c:/windows", true},                    // and with forward slashes
        {"C:\\Windows.", true},                  // Windows trims the dot: the same folder
        {"C:\\Apps\\..\\Windows", true},         // a parent reference could lead anywhere
        {"C:\\Apps\\\\Demo", true},              // an empty component
        {"Apps\\Demo", true},                    // relative
        {"\\\\server\\share\\Demo", true},       // a network path
        {"", true},
        {"C:\\Program Files", true},             // the Program Files folder
        {"C:\\Program Files\\Maker\\Demo", false},  // inside it: an ordinary product folder
        {"C:\\WindowsApps", false},              // a name that only starts like a protected one
        {"C:\\Apps\\Demo", false},
        {"D:\\Tools\\Demo Tool", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isProtectedFolder(c.folder, protectedPaths), c.refused) << c.folder;
}

std::string specialFolder(int id) {
    char buffer[MAX_PATH + 1] = {};
    return SHGetSpecialFolderPathA(nullptr, buffer, id, FALSE) ? buffer : "";
}

std::string shortForm(const std::string& path) {
    char buffer[MAX_PATH + 1] = {};
    DWORD n = GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? buffer : path;
}

TEST(ProtectedFolders, ThisMachinesFolders) {
    std::string windows = text(windowsDirectory());
    std::string upperWindows = windows + "\\";
    for (char& c : upperWindows) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    std::string profile = specialFolder(CSIDL_PROFILE);
    ASSERT_FALSE(profile.empty());
    std::string programFiles = text(programFilesDirectory());
    std::string ordinary = scratchFolder() + "\\Demo Tool";
    ASSERT_TRUE(CreateDirectoryA(ordinary.c_str(), nullptr));
    const std::string refused[] = {
        text(desktopDirectory()),
        specialFolder(CSIDL_PERSONAL),
        specialFolder(CSIDL_COMMON_DESKTOPDIRECTORY),
        specialFolder(CSIDL_APPDATA),
        specialFolder(CSIDL_STARTMENU),
        profile,
        profile.substr(0, profile.rfind('\\')),  // the folder of all profiles holds it
        "C:\\",
        windows,
        upperWindows,
        text(systemDirectory()),
        text(commonFilesDirectory()),
        programFiles,
        shortForm(programFiles),  // "C:\PROGRA~1" names it too
    };
    for (const std::string& folder : refused) {
        ASSERT_FALSE(folder.empty());
        EXPECT_FALSE(mayDeleteTree(folder.c_str())) << folder;
    }
    EXPECT_TRUE(mayDeleteTree(ordinary.c_str()));
    EXPECT_TRUE(mayDeleteTree((programFiles + "\\Maker\\Demo").c_str()));
}

}  // namespace

// The machine's "Path" value on Windows NT, set up and read back through the
// registry API directly, and the environment broadcast against a window that
// stops answering.
#include <gtest/gtest.h>

#include <string>

#include "files/win32.h"
#include "installer/machine_path.h"

namespace {

const char EnvironmentKey[] = "System\\CurrentControlSet\\Control\\Session Manager\\Environment";

void setPath(DWORD type, const std::string& bytes) {
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, EnvironmentKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "Path", 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void setPathText(const std::string& text) { setPath(REG_EXPAND_SZ, std::string(text.c_str(), text.size() + 1)); }

// "<type>:<text without its final NUL>"
std::string pathValue() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, EnvironmentKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return "<no key>";
    DWORD type = 0, size = 0;
    std::string data;
    if (RegQueryValueExA(key, "Path", nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        data.resize(size);
        RegQueryValueExA(key, "Path", nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size);
        data.resize(size);
    }
    RegCloseKey(key);
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && !data.empty() && data.back() == 0) data.pop_back();
    return std::to_string(type) + ":" + data;
}

std::string expandSz(const std::string& text) { return std::to_string(REG_EXPAND_SZ) + ":" + text; }

TEST(MachinePath, AddsOnceAndKeepsEverythingElse) {
    const std::string dir = "D:\\Apps\\Demo Tool";
    const std::string longPath = std::string(20000, 'x') + ";C:\\windows;" + std::string(20000, 'y');
    struct Case {
        std::string before;
        PathChange change;
        std::string after;
    } cases[] = {
        {"C:\\windows;C:\\tools", PathChange::Changed, "C:\\windows;C:\\tools;" + dir},
        {"C:\\windows;", PathChange::Changed, "C:\\windows;" + dir},
        {"", PathChange::Changed, dir},
        {longPath, PathChange::Changed, longPath + ";" + dir},
        {"C:\\windows;d:\\apps\\demo tool\\;C:\\x", PathChange::Unchanged, "C:\\windows;d:\\apps\\demo tool\\;C:\\x"},
        {"C:\\windows; \"D:\\Apps\\Demo Tool\" ", PathChange::Unchanged, "C:\\windows; \"D:\\Apps\\Demo Tool\" "},
        {"C:\\windows;D:\\Apps\\Demo Tool2", PathChange::Changed, "C:\\windows;D:\\Apps\\Demo Tool2;" + dir},
    };
    for (const Case& c : cases) {
        setPathText(c.before);
        EXPECT_EQ(addMachinePathEntry(dir.c_str()), c.change) << c.before.substr(0, 60);
        EXPECT_EQ(pathValue(), expandSz(c.after)) << c.before.substr(0, 60);
    }
}

TEST(MachinePath, RemovesOnlyTheFirstEntryNamingTheFolder) {
    const std::string dir = "D:\\Apps\\Demo Tool";
    struct Case {
        std::string before;
        PathChange change;
        std::string after;
    } cases[] = {
        {"A;D:\\Apps\\Demo Tool;B", PathChange::Changed, "A;B"},
        {"D:\\Apps\\Demo Tool;B", PathChange::Changed, "B"},
        {"A;d:\\apps\\demo tool\\", PathChange::Changed, "A"},
        {"D:\\Apps\\Demo Tool", PathChange::Changed, ""},
        {"A;D:\\Apps\\Demo Tool;D:\\Apps\\Demo Tool", PathChange::Changed, "A;D:\\Apps\\Demo Tool"},
        {"A;D:\\Apps\\Demo Tool2;B", PathChange::Unchanged, "A;D:\\Apps\\Demo Tool2;B"},
    };
    for (const Case& c : cases) {
        setPathText(c.before);
        EXPECT_EQ(removeMachinePathEntry(dir.c_str()), c.change) << c.before;
        EXPECT_EQ(pathValue(), expandSz(c.after)) << c.before;
    }
}

TEST(MachinePath, HostileValuesAndFoldersChangeNothing) {
    // A folder holding ";" would add two entries, the second one chosen by
    // whoever named the folder.
    setPathText("C:\\windows");
    EXPECT_EQ(addMachinePathEntry("D:\\a;C:\\evil"), PathChange::Failed);
    EXPECT_EQ(addMachinePathEntry("D:\\a\"b"), PathChange::Failed);
    EXPECT_EQ(pathValue(), expandSz("C:\\windows"));
    // A value that is not text is not ours to rewrite.
    setPath(REG_DWORD, std::string("\x01\x00\x00\x00", 4));
    EXPECT_EQ(addMachinePathEntry("D:\\a"), PathChange::Failed);
    EXPECT_EQ(pathValue(), std::to_string(REG_DWORD) + ":" + std::string("\x01\x00\x00\x00", 4));
    // Text without a final NUL, and with one inside, keeps its bytes.
    setPath(REG_SZ, std::string("C:\\w\0x;C:\\v", 11));
    EXPECT_EQ(addMachinePathEntry("D:\\a"), PathChange::Changed);
    EXPECT_EQ(pathValue(), expandSz(std::string("C:\\w\0x;C:\\v;D:\\a", 16)));
}

}  // namespace

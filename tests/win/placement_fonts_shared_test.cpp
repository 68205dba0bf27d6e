// Fonts placed by an installation, and the reference counts of shared files.
#include <gtest/gtest.h>

#include <string>

#include "archive/archive_format.h"
#include "files_child_process.h"
#include "files_test_support.h"
#include "installer/fonts.h"
#include "installer/placement.h"
#include "installer/shared_counts.h"
#include "placement_test_support.h"
#include "shell/special_folders.h"

namespace {

// A real TrueType font from the host, through Wine's Z: drive.
const char HostFont[] = "Z:\\usr\\share\\fonts\\truetype\\dejavu\\DejaVuSans.ttf";

TEST_F(PlacementTest, FontsAreAddedListedAndRegistered) {
    std::string font = fileBytes(HostFont);
    ASSERT_NE(font, "<missing>") << "the tests need the DejaVu fonts installed on the host";
    struct Case {
        bool windowsNT;
        const char* name;
        const char* displayName;
        const char* listed;  // the display name as listed and registered
        const char* key;
    } cases[] = {
        {true, "qpsans.ttf", "QP Sans (TrueType)", "QP Sans (TrueType)",
         "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"},
        {false, "qpsans9x.ttf", "QP Sans 9x", "QP Sans 9x", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Fonts"},
        // Quotes would end the list's field early; a blank name would be the
        // key's default value.
        {true, "qpquoted.ttf", "QP \"Quoted\"", "QP Quoted", "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"},
        {true, "qpblank.ttf", "", "qpblank.ttf", "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"},
    };
    std::string list;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        state.windowsNT = c.windowsNT;
        FileRecord record = makeRecord(c.name, KindFont, PlaceAlways, "", FileDateTime(), c.displayName);
        record.contents = ByteSpan(font.data(), static_cast<int32_t>(font.size()));
        placeFileRecord(record, state);
        std::string path = text(fontsDirectory()) + "\\" + c.name;
        EXPECT_EQ(fileBytes(path).size(), font.size());
        list += std::string("\"") + c.listed + "\" \"" + c.name + "\" ";
        EXPECT_EQ(regValue(c.key, c.listed), std::string("REG_SZ    ") + c.name);
    }
    EXPECT_EQ(text(state.fontList), list);
    EXPECT_TRUE(state.fontsAdded);
    EXPECT_EQ(text(state.problemText), "");
    EXPECT_EQ(text(state.uninstallRecord.entries), "");
}

TEST_F(PlacementTest, AFontWindowsRefusesIsAProblemAndNeitherListedNorRegistered) {
    placeFileRecord(makeRecord("qpbroken.fon", KindFont, PlaceAlways, "not a font", FileDateTime(), "QP Broken"), state);
    std::string path = text(fontsDirectory()) + "\\qpbroken.fon";
    EXPECT_EQ(fileBytes(path), "not a font");
    EXPECT_EQ(text(state.problemText), "Cannot write " + path + "\r\n");
    EXPECT_EQ(text(state.fontList), "");
    EXPECT_FALSE(state.fontsAdded);
    EXPECT_EQ(regValue("HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "QP Broken"), "");
}

const char SharedDlls[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

void putCount(const std::string& path, DWORD count) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, path.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count);
    RegCloseKey(key);
}

// The earlier installation's names are released one by one (a count at 1 is
// deleted), then every shared record of this one is counted, written or not.
TEST_F(PlacementTest, SharedCountsOverAReinstallation) {
    putCount(shared + "\\old.dll", 1);
    putCount(shared + "\\both.dll", 3);
    putCount(shared + "\\sub\\deep.dll", 1);
    state.reinstallation = true;
    state.sharedFilesText = "\"old.dll\";\"both.dll\";\"sub\\deep.dll\"";

    putFile(shared + "\\both.dll", "there");
    placeFileRecord(makeRecord("both.dll", KindShared, PlaceOnlyIfMissing, "x"), state);   // kept
    placeFileRecord(makeRecord("new.dll", KindShared, PlaceAlways, "x"), state);           // written
    placeFileRecord(makeRecord("gone.dll", KindShared, PlaceOnlyIfPresent, "x"), state);   // skipped
    updateSharedFileCounts(state);

    EXPECT_EQ(regValue(SharedDlls, shared + "\\old.dll"), "");
    EXPECT_EQ(regValue(SharedDlls, shared + "\\both.dll"), "REG_DWORD    0x3");
    // A name in a subfolder is released under the full path it was counted under.
    EXPECT_EQ(regValue(SharedDlls, shared + "\\sub\\deep.dll"), "");
    EXPECT_EQ(regValue(SharedDlls, shared + "\\new.dll"), "REG_DWORD    0x1");
    EXPECT_EQ(regValue(SharedDlls, shared + "\\gone.dll"), "REG_DWORD    0x1");
    EXPECT_EQ(text(state.sharedFilesText), "\"both.dll\";\"new.dll\";\"gone.dll\"");
    EXPECT_EQ(text(state.problemText), "");
}

TEST_F(PlacementTest, SharedCountsOfAFirstInstallationOnlyRise) {
    putCount(shared + "\\lib.dll", 2);
    state.sharedFilesText = "\"lib.dll\"";  // an earlier installation whose folder is gone
    placeFileRecord(makeRecord("lib.dll", KindShared, PlaceAlways, "x"), state);
    placeFileRecord(makeRecord("sub\\more.dll", KindShared, PlaceAlways, "x"), state);
    updateSharedFileCounts(state);
    EXPECT_EQ(regValue(SharedDlls, shared + "\\lib.dll"), "REG_DWORD    0x3");
    EXPECT_EQ(regValue(SharedDlls, shared + "\\sub\\more.dll"), "REG_DWORD    0x1");
    EXPECT_EQ(fileBytes(shared + "\\sub\\more.dll"), "x");
    EXPECT_EQ(text(state.sharedFilesText), "\"lib.dll\";\"lib.dll\";\"sub\\more.dll\"");
}

}  // namespace

// Placement of single records into a scratch installation: kinds, modes,
// the date and version rules, files in use, folders and shortcut entries.
// Files, times and registry values are read back straight through the system.
#include <gtest/gtest.h>

#include <string>

#include "archive/archive_format.h"
#include "files/system_folders.h"
#include "files_child_process.h"
#include "files_test_support.h"
#include "installer/placement.h"
#include "placement_test_support.h"
#include "support/fatal_capture.h"

namespace {

const FileDateTime RecordTime(2020, 5, 6, 7, 8, 9);

std::string folderOfKind(int32_t kind, const std::string& install, const std::string& shared) {
    if (kind == KindShared) return shared;
    if (kind == KindSystem) return text(systemDirectory());
    return install;
}

TEST_F(PlacementTest, EveryKindAndPlacementMode) {
    struct Case {
        const char* name;
        int32_t kind;
        int32_t mode;
        int existingYear;  // 0: no file there before
        bool written;      // the record's contents are there afterwards
        bool entered;      // the file is in the uninstall record
        const char* details;
    } cases[] = {
        {"k0new.txt", KindInstallFolder, PlaceAlways, 0, true, true, ""},
        {"k0newer.txt", KindInstallFolder, PlaceAlways, 2030, true, true, ""},  // no test at all
        {"k5new.txt", KindStartup, PlaceAlways, 0, true, true, ""},
        {"k1new.dll", KindShared, PlaceAlways, 0, true, false, ""},
        {"k1old.dll", KindShared, PlaceAlways, 2019, true, false, " is out of date and will be replaced.\r\n"},
        {"qpk6new.dll", KindSystem, PlaceAlways, 0, true, false, ""},
        {"m8missing.txt", KindInstallFolder, PlaceOnlyIfPresent, 0, false, false, ""},
        {"m8there.txt", KindInstallFolder, PlaceOnlyIfPresent, 2030, true, true, ""},
        {"m8shared.dll", KindShared, PlaceOnlyIfPresent, 0, false, false, ""},
        {"mCmissing.txt", KindInstallFolder, PlaceOnlyIfMissing, 0, true, true, ""},
        {"mCthere.txt", KindInstallFolder, PlaceOnlyIfMissing, 2019, false, true, ""},
        {"mCstartup.txt", KindStartup, PlaceOnlyIfMissing, 2019, false, true, ""},
        // Not this installation's to remove: left out of the record.
        {"mCshared.dll", KindShared, PlaceOnlyIfMissing, 2019, false, false, ""},
        {"qpkmCsystem.dll", KindSystem, PlaceOnlyIfMissing, 2019, false, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = folderOfKind(c.kind, install, shared) + "\\" + c.name;
        if (c.existingYear) {
            putFile(path, "before");
            setLocalTime(path, FileDateTime(c.existingYear, 1, 2, 3, 4, 5));
        }
        String entriesBefore = state.uninstallRecord.entries;
        String detailsBefore = state.detailsText;
        placeFileRecord(makeRecord(c.name, c.kind, c.mode, "after", RecordTime), state);

        std::string expected = c.written ? "after" : c.existingYear ? "before" : "<missing>";
        EXPECT_EQ(fileBytes(path), expected);
        if (c.written) {
            EXPECT_EQ(timeText(localTimeOf(path)), timeText(RecordTime));
        }
        EXPECT_EQ(text(state.uninstallRecord.entries).substr(static_cast<size_t>(entriesBefore.length())),
                  c.entered ? path + "\r\n" : "");
        EXPECT_EQ(text(state.detailsText).substr(static_cast<size_t>(detailsBefore.length())),
                  *c.details ? path + c.details : "");
    }
    EXPECT_EQ(text(state.problemText), "");
    EXPECT_EQ(state.flags & FlagRestartPending, 0u);
    // Every shared-folder record counts, written, skipped or kept.
    std::string names;
    Iterator it;
    for (String* name = state.sharedNames.first(it); name; name = state.sharedNames.next(it)) names += text(*name) + ";";
    EXPECT_EQ(names, "k1new.dll;k1old.dll;m8shared.dll;mCshared.dll;");
}

TEST_F(PlacementTest, UnknownKindsAndTheInvalidModeAreDamage) {
    struct Case {
        int32_t kind;
        int32_t fileFlags;
        const char* code;
    } cases[] = {
        {2, 0, "Error code: 110"}, {3, 0, "Error code: 110"}, {7, 0, "Error code: 110"},
        {-1, 0, "Error code: 110"}, {KindInstallFolder, PlaceInvalid, "Error code: 112"},
        {KindShared, PlaceInvalid | FileDesktopShortcut, "Error code: 112"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        std::string report = captureFatal([&] { placeFileRecord(makeRecord("bad.txt", c.kind, c.fileFlags, "x"), state); });
        EXPECT_NE(report.find(c.code), std::string::npos) << report;
        EXPECT_FALSE(exists(install + "\\bad.txt"));
        EXPECT_FALSE(exists(shared + "\\bad.txt"));
    }
    EXPECT_EQ(text(state.uninstallRecord.entries), "");
}

TEST_F(PlacementTest, DateRuleOfSharedAndSystemFiles) {
    const FileDateTime existing(2021, 3, 4, 10, 20, 30);
    struct Case {
        const char* name;
        int32_t kind;
        FileDateTime recordTime;
        bool replaced;
        const char* details;
    } cases[] = {
        {"same.dll", KindShared, existing, false, " is up to date.\r\n"},
        {"second.dll", KindShared, FileDateTime(2021, 3, 4, 10, 20, 31), true,
         " is out of date and will be replaced.\r\n"},
        {"earlier.dll", KindShared, FileDateTime(2021, 3, 4, 10, 20, 29), false, " is up to date.\r\n"},
        {"notime.dll", KindShared, FileDateTime(), true, " is out of date and will be replaced.\r\n"},
        {"qpsame.dll", KindSystem, existing, false, " was not installed because its date is not newer.\r\n"},
        {"qpsecond.dll", KindSystem, FileDateTime(2021, 3, 4, 10, 20, 31), true,
         " is out of date and will be replaced.\r\n"},
        // No time is earlier than every time: a system file is never replaced by it.
        {"qpnotime.dll", KindSystem, FileDateTime(), false, " was not installed because its date is not newer.\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = folderOfKind(c.kind, install, shared) + "\\" + c.name;
        putFile(path, "before");
        setLocalTime(path, existing);
        String detailsBefore = state.detailsText;
        placeFileRecord(makeRecord(c.name, c.kind, PlaceAlways, "after", c.recordTime), state);
        EXPECT_EQ(fileBytes(path), c.replaced ? "after" : "before");
        EXPECT_EQ(text(state.detailsText).substr(static_cast<size_t>(detailsBefore.length())), path + c.details);
        FileDateTime expectedTime = c.replaced ? c.recordTime : existing;
        if (expectedTime.isSet()) {
            EXPECT_EQ(timeText(localTimeOf(path)), timeText(expectedTime));
        }
    }
    EXPECT_TRUE(needsReplacing((install + "\\missing.dll").c_str(), existing));
    EXPECT_EQ(text(state.problemText), "");
}

// The library's FileVersion is "4.0.1381.4b": padded and upper-cased it reads
// 0000000004.0000000000.0000001381.000000004B.
TEST_F(PlacementTest, VersionRuleOfSystemFiles) {
    const char* existingVersion = "0000000004.0000000000.0000001381.000000004B";
    const FileDateTime existing(2021, 3, 4, 10, 20, 30);
    const FileDateTime later(2022, 1, 1, 0, 0, 0);
    struct Case {
        const char* name;
        const char* version;
        FileDateTime recordTime;
        bool replaced;
        const char* details;
    } cases[] = {
        {"qpv_equal.dll", existingVersion, later, false, " was not installed because its version is not newer.\r\n"},
        {"qpv_lower.dll", "0000000004.0000000000.0000001381.000000004A", later, false,
         " was not installed because its version is not newer.\r\n"},
        // Both must be newer: a newer version with an equal date stays out.
        {"qpv_newer_same_date.dll", "0000000004.0000000000.0000001382.0000000000", existing, false,
         " was not installed because its date is not newer.\r\n"},
        {"qpv_newer.dll", "0000000004.0000000000.0000001382.0000000000", later, true,
         " is out of date and will be replaced.\r\n"},
        // A blank version leaves only the date rule.
        {"qpv_blank_later.dll", " ", later, true, " is out of date and will be replaced.\r\n"},
        {"qpv_blank_same.dll", "", existing, false, " was not installed because its date is not newer.\r\n"},
    };
    std::string library = besideTestProgram("shell_version_us.dll");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = text(systemDirectory()) + "\\" + c.name;
        ASSERT_TRUE(CopyFileA(library.c_str(), path.c_str(), FALSE)) << library;
        setLocalTime(path, existing);
        String detailsBefore = state.detailsText;
        placeFileRecord(makeRecord(c.name, KindSystem, PlaceAlways, "after", c.recordTime, c.version), state);
        EXPECT_EQ(fileBytes(path) == "after", c.replaced);
        EXPECT_EQ(text(state.detailsText).substr(static_cast<size_t>(detailsBefore.length())), path + c.details);
    }
}

// Every folder between a file and the installation directory is entered
// once, deepest first, so the uninstaller can remove the whole chain.
TEST_F(PlacementTest, SubfoldersAreEnteredOnceEachDeepestFirst) {
    placeFileRecord(makeRecord("a\\b\\c\\f.txt", KindInstallFolder, PlaceAlways, "1"), state);
    placeFileRecord(makeRecord("A\\B\\g.txt", KindInstallFolder, PlaceAlways, "2"), state);
    placeFileRecord(makeRecord("a/h.txt", KindStartup, PlaceAlways, "3"), state);
    placeFileRecord(makeRecord("top.txt", KindInstallFolder, PlaceAlways, "4"), state);
    const std::string i = install;
    EXPECT_EQ(text(state.uninstallRecord.entries),
              "~" + i + "\\a\\b\\c\r\n~" + i + "\\a\\b\r\n~" + i + "\\a\r\n" + i + "\\a\\b\\c\\f.txt\r\n" + i +
                  "\\A\\B\\g.txt\r\n" + i + "\\a\\h.txt\r\n" + i + "\\top.txt\r\n");
    EXPECT_EQ(fileBytes(install + "\\a\\b\\c\\f.txt"), "1");
    EXPECT_EQ(fileBytes(install + "\\a\\h.txt"), "3");
    EXPECT_EQ(text(state.problemText), "");
}

TEST_F(PlacementTest, WholeDirectoryRemovalEntersNothingOfTheInstallation) {
    state.flags |= FlagRemoveWholeDirectory;
    placeFileRecord(makeRecord("a\\b\\f.txt", KindInstallFolder, PlaceAlways, "1"), state);
    placeFileRecord(makeRecord("g.txt", KindStartup, PlaceAlways, "2"), state);
    EXPECT_EQ(fileBytes(install + "\\a\\b\\f.txt"), "1");
    EXPECT_EQ(fileBytes(install + "\\g.txt"), "2");
    EXPECT_EQ(text(state.uninstallRecord.entries), "");
}

TEST_F(PlacementTest, AFolderThatCannotBeMadeIsAProblemAndStillEntered) {
    putFile(install + "\\blocker", "a file where a folder should be");
    placeFileRecord(makeRecord("blocker\\f.txt", KindInstallFolder, PlaceAlways, "1"), state);
    std::string folder = install + "\\blocker";
    EXPECT_EQ(text(state.problemText),
              "Cannot create " + folder + "\r\nCannot write " + folder + "\\f.txt\r\n");
    EXPECT_EQ(text(state.uninstallRecord.entries), "~" + folder + "\r\n" + folder + "\\f.txt\r\n");
}

// One entry per record, and only for a file that is there once the record
// is handled.
TEST_F(PlacementTest, ShortcutEntries) {
    ASSERT_TRUE(CreateDirectoryA((install + "\\adir").c_str(), nullptr));
    putFile(install + "\\kept.exe", "kept");
    struct Case {
        const char* name;
        int32_t kind;
        int32_t fileFlags;
        const char* expected;  // "d", "p", "s" letters of the one entry, or null for none
    } cases[] = {
        {"desk.exe", KindInstallFolder, FileDesktopShortcut, "d"},
        {"group.exe", KindInstallFolder, FileProgramGroupShortcut, "p"},
        {"both.exe", KindInstallFolder, FileDesktopShortcut | FileProgramGroupShortcut, "dp"},
        {"auto.exe", KindStartup, FileProgramGroupShortcut, "ps"},
        {"none.exe", KindInstallFolder, 0, nullptr},
        {"absent.exe", KindInstallFolder, FileDesktopShortcut | PlaceOnlyIfPresent, nullptr},
        {"kept.exe", KindInstallFolder, FileDesktopShortcut | PlaceOnlyIfMissing, "d"},
        {"adir", KindInstallFolder, FileDesktopShortcut, nullptr},  // cannot be written
        {"shared.exe", KindShared, FileDesktopShortcut, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int before = state.shortcutEntries.count();
        placeFileRecord(makeRecord(c.name, c.kind, c.fileFlags, "x", FileDateTime(), "Shortcut Name"), state);
        if (!c.expected) {
            EXPECT_EQ(state.shortcutEntries.count(), before);
            continue;
        }
        ASSERT_EQ(state.shortcutEntries.count(), before + 1);
        const ShortcutEntry& entry = *state.shortcutEntries.tailValue();
        std::string letters = std::string(entry.desktop ? "d" : "") + (entry.programGroup ? "p" : "") +
                              (entry.startup ? "s" : "");
        EXPECT_EQ(letters, c.expected);
        EXPECT_EQ(text(entry.target), install + "\\" + c.name);
        EXPECT_EQ(text(entry.name), "Shortcut Name");
        EXPECT_TRUE(exists(text(entry.target)));
    }
    EXPECT_EQ(fileBytes(install + "\\kept.exe"), "kept");
}

}  // namespace

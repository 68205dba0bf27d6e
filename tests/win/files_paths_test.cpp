#include <gtest/gtest.h>

#include <string>

#include "files/directories.h"
#include "files/drives.h"
#include "files/file_attributes.h"
#include "files/shell_open.h"
#include "files/system_folders.h"
#include "files_test_support.h"
#include "support/fatal_capture.h"

namespace {

std::string text(const String& s) { return std::string(s.cStr(), static_cast<size_t>(s.length())); }

TEST(Directories, CreateDirectoryTreeMakesEveryMissingLevel) {
    std::string base = scratchFolder();
    std::string deepest = base + "\\a\\b\\c";
    CreateDirectoryA((base + "\\a").c_str(), nullptr);
    EXPECT_TRUE(createDirectoryTree(deepest.c_str()));
    EXPECT_TRUE(directoryExists((base + "\\a\\b").c_str()));
    EXPECT_TRUE(directoryExists(deepest.c_str()));
    EXPECT_TRUE(createDirectoryTree(deepest.c_str()));  // already there
    EXPECT_TRUE(createDirectoryTree((base + "\\x\\y\\z\\").c_str()));
    EXPECT_TRUE(directoryExists((base + "\\x\\y\\z").c_str()));

    char drive = missingDriveLetter();
    ASSERT_NE(drive, 0);
    std::string missingRoot = std::string(1, drive) + ":\\";
    EXPECT_TRUE(createDirectoryTree(missingRoot.c_str()));  // a root is never created
    EXPECT_FALSE(createDirectoryTree((missingRoot + "a\\b").c_str()));
    EXPECT_TRUE(createDirectoryTree("C:\\"));
    EXPECT_FALSE(createDirectoryTree(""));
    EXPECT_FALSE(createDirectoryTree(nullptr));

    putFile(base + "\\file", "x");
    EXPECT_FALSE(createDirectoryTree((base + "\\file\\sub").c_str()));

    EXPECT_EQ(captureFatal([&] { requireDirectory((missingRoot + "a").c_str()); }),
              "Unable to create directory:\r\n" + missingRoot + "a");
    EXPECT_EQ(captureFatal([&] { requireDirectory((base + "\\made").c_str()); }), NoFatalReport);
    EXPECT_TRUE(directoryExists((base + "\\made").c_str()));
}

TEST(Directories, DeleteDirectoryTreeRemovesReadOnlyFilesAndReportsWhatStays) {
    std::string base = scratchFolder();
    std::string tree = base + "\\tree";
    ASSERT_TRUE(createDirectoryTree((tree + "\\sub\\deeper").c_str()));
    putFile(tree + "\\plain.txt", "1");
    putFile(tree + "\\sub\\locked.txt", "2");
    putFile(tree + "\\sub\\deeper\\ro.txt", "3");
    putFile(tree + "\\ro-top.txt", "4");
    ASSERT_TRUE(setReadOnly((tree + "\\sub\\deeper\\ro.txt").c_str(), true));
    ASSERT_TRUE(setReadOnly((tree + "\\ro-top.txt").c_str(), true));

    // One file is held open without sharing: it cannot be deleted.
    HANDLE held = CreateFileA((tree + "\\sub\\locked.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(deleteDirectoryTree(tree.c_str()));
    EXPECT_TRUE(exists(tree + "\\sub\\locked.txt"));
    EXPECT_FALSE(exists(tree + "\\plain.txt"));
    EXPECT_FALSE(exists(tree + "\\ro-top.txt"));
    EXPECT_FALSE(exists(tree + "\\sub\\deeper"));
    EXPECT_EQ(entryCount(tree), 1);
    EXPECT_EQ(entryCount(tree + "\\sub"), 1);
    CloseHandle(held);

    EXPECT_TRUE(deleteDirectoryTree((tree + "\\").c_str()));
    EXPECT_FALSE(exists(tree));
    EXPECT_FALSE(deleteDirectoryTree(tree.c_str()));  // nothing there any more
}

// deleteDirectoryTree removes a junction or folder link below the tree as a
// link and never enters it. Wine 8 cannot make one to test that with:
// CreateSymbolicLinkA reports success and makes nothing, and
// FSCTL_SET_REPARSE_POINT fails with ERROR_NOT_SUPPORTED; a host symbolic
// link shows as a plain folder (no FILE_ATTRIBUTE_REPARSE_POINT), which
// Windows never does for a junction.

TEST(Directories, NeverARootNorTheWindowsDirectory) {
    std::string windows = text(windowsDirectory());
    std::string inside = windows + "\\qp-keep";
    ASSERT_TRUE(createDirectoryTree(inside.c_str()));
    putFile(inside + "\\keep.txt", "k");
    std::string insideUpper = inside;
    for (char& c : insideUpper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    for (const std::string& path : {inside, insideUpper, windows, std::string("C:\\"), std::string("c:")}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(deleteDirectoryTree(path.c_str()));
    }
    EXPECT_TRUE(exists(inside + "\\keep.txt"));
    EXPECT_TRUE(exists(windows + "\\system32"));
    EXPECT_FALSE(deleteDirectoryTree(nullptr));

    EXPECT_FALSE(removeDirectory("C:\\"));
    std::string base = scratchFolder();
    ASSERT_TRUE(createDirectoryTree((base + "\\empty").c_str()));
    ASSERT_TRUE(createDirectoryTree((base + "\\full\\child").c_str()));
    EXPECT_FALSE(removeDirectory((base + "\\full").c_str()));
    EXPECT_TRUE(removeDirectory((base + "\\empty\\").c_str()));
    EXPECT_FALSE(exists(base + "\\empty"));
}

TEST(FileAttributes, ExistenceReadOnlyAndDeletion) {
    std::string base = scratchFolder();
    std::string path = base + "\\file.txt";
    putFile(path, "x");
    EXPECT_TRUE(fileExists(path.c_str()));
    EXPECT_FALSE(fileExists((base + "\\missing.txt").c_str()));
    EXPECT_FALSE(fileExists(nullptr));
    EXPECT_TRUE(directoryExists(base.c_str()));
    EXPECT_FALSE(directoryExists(path.c_str()));
    EXPECT_FALSE(directoryExists((base + "\\missing").c_str()));
    EXPECT_FALSE(directoryExists(""));

    // Testing a folder must not move the current one.
    std::string before = text(currentDirectory());
    EXPECT_TRUE(directoryExists(base.c_str()));
    EXPECT_EQ(text(currentDirectory()), before);

    ASSERT_TRUE(setFileAttributes(path.c_str(), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(setReadOnly(path.c_str(), true));
    EXPECT_EQ(fileAttributes(path.c_str()),
              static_cast<uint32_t>(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(setReadOnly(path.c_str(), true));  // already so
    EXPECT_FALSE(DeleteFileA(path.c_str()));        // the system refuses a read-only file...
    EXPECT_TRUE(deleteFile(path.c_str()));          // ...which deleteFile clears first
    EXPECT_FALSE(exists(path));
    EXPECT_EQ(fileAttributes(path.c_str()), 0xFFFFFFFFu);
    EXPECT_EQ(fileAttributes(nullptr), 0xFFFFFFFFu);
    EXPECT_FALSE(setReadOnly(path.c_str(), false));
    EXPECT_FALSE(deleteFile(path.c_str()));
    EXPECT_FALSE(deleteFile(nullptr));
    EXPECT_FALSE(setFileAttributes(nullptr, 0));
}

TEST(SystemLocations, ModuleCurrentTemporaryAndShortNames) {
    std::string module = text(modulePath());
    ASSERT_GT(module.size(), 14u);
    EXPECT_EQ(text(moduleFileName()), "win_tests.exe");
    EXPECT_EQ(text(moduleDirectory()) + "\\win_tests.exe", module);
    EXPECT_EQ(text(pathBesideModule("hold_file.exe")), text(moduleDirectory()) + "\\hold_file.exe");
    EXPECT_TRUE(directoryExists(text(systemDirectory()).c_str()));
    EXPECT_EQ(text(systemDirectory()), text(windowsDirectory()) + "\\system32");

    // A current directory longer than the first 100-byte try.
    std::string base = scratchFolder();
    std::string deep = base + "\\" + std::string(60, 'd') + "\\" + std::string(60, 'e');
    ASSERT_TRUE(createDirectoryTree(deep.c_str()));
    char saved[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, saved);
    ASSERT_TRUE(SetCurrentDirectoryA(deep.c_str()));
    EXPECT_EQ(text(currentDirectory()), deep);
    SetCurrentDirectoryA(saved);

    std::string temp = text(tempFileName(base.c_str()));
    EXPECT_EQ(temp.substr(0, base.size() + 4), base + "\\XXX");
    EXPECT_TRUE(exists(temp));
    std::string second = text(tempFileName(base.c_str()));
    EXPECT_NE(second, temp);
    EXPECT_EQ(text(tempFileName((base + "\\no such folder").c_str())), "");

    std::string missing = base + "\\Some Long Missing Name.text";
    EXPECT_EQ(text(shortPathName(missing.c_str())), missing);
    std::string longName = base + "\\A Long File Name.text";
    putFile(longName, "x");
    std::string shortName = text(shortPathName(longName.c_str()));
    EXPECT_NE(shortName, longName);
    EXPECT_EQ(shortName.find(' '), std::string::npos);
    EXPECT_TRUE(exists(shortName));
    EXPECT_EQ(text(shortPathName("")), "");
    EXPECT_EQ(text(shortPathName(nullptr)), "");
}

TEST(Drives, ExistenceClusterSizeAndFreeSpace) {
    char missing = missingDriveLetter();
    ASSERT_NE(missing, 0);
    EXPECT_TRUE(driveExists('C'));
    EXPECT_TRUE(driveExists('c'));
    EXPECT_FALSE(driveExists(missing));
    EXPECT_GT(clusterSize('C'), 0);
    EXPECT_EQ(clusterSize('c'), clusterSize('C'));
    EXPECT_EQ(clusterSize(missing), -1);
    EXPECT_EQ(clusterSize('1'), -1);
    EXPECT_GT(diskFreeSpace('C'), 0);
    EXPECT_EQ(diskFreeSpace('1'), -1);
    EXPECT_EQ(diskFreeSpace(missing), -1);
    EXPECT_EQ(diskFreeSpace("C:\\no such folder\\"), -1);

    // The same figure the system gives, computed without 32-bit overflow.
    ULARGE_INTEGER available, total, free;
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &available, &total, &free));
    int64_t measured = diskFreeSpace('C');
    int64_t expected = static_cast<int64_t>(free.QuadPart);
    EXPECT_LT(measured > expected ? measured - expected : expected - measured, 1024LL * 1024 * 1024);
}

TEST(ShellOpen, NothingToOpenIsAFailure) {
    EXPECT_FALSE(openWithShell(nullptr));
    EXPECT_FALSE(openWithShell(""));
    EXPECT_FALSE(openWithShell((scratchFolder() + "\\missing.txt").c_str()));
}

}  // namespace

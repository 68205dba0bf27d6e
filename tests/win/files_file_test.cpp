#include <gtest/gtest.h>

#include <string>

#include "files/file.h"
#include "files_child_process.h"
#include "files_test_support.h"
#include "support/fatal_capture.h"

namespace {

std::string text(const String& s) { return std::string(s.cStr(), static_cast<size_t>(s.length())); }

TEST(FileOpen, CreationRulesAndAccess) {
    std::string folder = scratchFolder();
    std::string present = folder + "\\present.txt";
    std::string missing = folder + "\\missing.txt";
    struct Case {
        const char* label;
        uint32_t flags;
        bool onExisting;
        bool opens;
        const char* contentAfter;  // of the file after close; "<missing>" when none
    } cases[] = {
        {"OpenAlways existing", OpenAlways, true, true, "old data"},
        {"OpenAlways missing", OpenAlways, false, true, ""},
        {"OpenExisting existing", OpenExisting, true, true, "old data"},
        {"OpenExisting missing", OpenExisting, false, false, "<missing>"},
        {"CreateNew existing", CreateNew, true, false, "old data"},
        {"CreateNew missing", CreateNew, false, true, ""},
        {"CreateAlways existing", CreateAlways, true, true, ""},
        {"CreateAlways missing", CreateAlways, false, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        DeleteFileA(missing.c_str());
        putFile(present, "old data");
        const std::string& path = c.onExisting ? present : missing;
        File file;
        EXPECT_EQ(file.open(path.c_str(), c.flags), c.opens);
        EXPECT_EQ(file.isOpen(), c.opens);
        EXPECT_EQ(text(file.name()), path);
        file.close();
        EXPECT_EQ(fileBytes(path), c.contentAfter);
    }
}

TEST(FileOpen, ShareFlagsDecideWhoElseMayOpen) {
    std::string path = scratchFolder() + "\\shared.txt";
    putFile(path, "abc");
    struct Case {
        uint32_t shareFlags;
        bool othersRead, othersWrite;
    } cases[] = {
        {0, false, false},
        {ShareRead, true, false},
        {ShareWrite, false, true},
        {ShareRead | ShareWrite, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shareFlags);
        File holder;
        ASSERT_TRUE(holder.open(path.c_str(), OpenExisting | c.shareFlags));
        File other;
        EXPECT_EQ(other.openExisting(path.c_str(), true, false, false), c.othersRead);
        EXPECT_EQ(other.openExisting(path.c_str(), false, true, false), c.othersWrite);
        if (!c.othersWrite) {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        }
    }
    // An exclusive open keeps everybody else out.
    File exclusive;
    ASSERT_TRUE(exclusive.openRead(path.c_str(), true));
    File other;
    EXPECT_FALSE(other.openRead(path.c_str(), false));
}

TEST(FileOpen, SeekToEndOpenThenCloseAndTemporaryNames) {
    std::string folder = scratchFolder();
    std::string path = folder + "\\log.txt";
    putFile(path, "12345");
    File file;
    ASSERT_TRUE(file.open(path.c_str(), OpenExisting | SeekToEnd));
    EXPECT_EQ(file.tell(), 5);
    file.writeText("678");
    file.close();
    EXPECT_EQ(fileBytes(path), "12345678");

    EXPECT_TRUE(file.open(path.c_str(), OpenExisting | OpenThenClose));
    EXPECT_FALSE(file.isOpen());

    std::string temps = folder + "\\temps";
    CreateDirectoryA(temps.c_str(), nullptr);
    ASSERT_TRUE(file.open(temps.c_str(), OpenExisting | TempInDirectory));
    EXPECT_EQ(text(file.name()), temps);  // the given name is kept
    file.writeText("t");
    file.close();
    EXPECT_EQ(entryCount(temps), 1);
    ASSERT_TRUE(file.open((temps + "\\beside.txt").c_str(), OpenExisting | TempBesideName));
    file.close();
    EXPECT_EQ(entryCount(temps), 2);
    EXPECT_FALSE(exists(temps + "\\beside.txt"));
    EXPECT_FALSE(file.open((folder + "\\no such folder").c_str(), OpenExisting | TempInDirectory));
}

TEST(FileOpen, RequiredIsFatalAndRetryWaitsHalfASecond) {
    std::string missing = scratchFolder() + "\\missing.dat";
    EXPECT_EQ(captureFatal([&] {
                  File file;
                  file.open(missing.c_str(), OpenExisting | Required);
              }),
              "Failed to open required file:\r\n" + missing);

    File file;
    DWORD start = GetTickCount();
    EXPECT_FALSE(file.open(missing.c_str(), OpenExisting));
    DWORD once = GetTickCount() - start;
    start = GetTickCount();
    EXPECT_FALSE(file.open(missing.c_str(), OpenExisting | RetryOnce));
    DWORD retried = GetTickCount() - start;
    EXPECT_LT(once, 300u);
    EXPECT_GE(retried, 450u);
    EXPECT_LT(retried, 1500u);
    EXPECT_FALSE(exists(missing));
}

TEST(FileTransfer, RefusedAndFailedTransfersLeaveTheirText) {
    std::string path = scratchFolder() + "\\data.bin";
    putFile(path, "0123456789");
    char buffer[16] = {};

    File reader;
    ASSERT_TRUE(reader.openRead(path.c_str(), false));
    EXPECT_FALSE(reader.write("x", 1));
    EXPECT_EQ(text(reader.lastError()), "Write access denied");
    ASSERT_TRUE(reader.seek(6));
    EXPECT_FALSE(reader.read(buffer, 10));  // 4 remain
    EXPECT_EQ(text(reader.lastError()), "Read past end of file");
    EXPECT_FALSE(reader.readBlock(buffer, -1));
    EXPECT_EQ(text(reader.lastError()), "Illegal block size -1");
    EXPECT_FALSE(reader.readBlock(nullptr, 3));
    EXPECT_EQ(text(reader.lastError()), "NULL block pointer");
    reader.close();
    EXPECT_EQ(text(reader.lastError()), "NULL block pointer");  // close keeps the text

    File writer;
    ASSERT_TRUE(writer.open(path.c_str(), OpenExisting | NoRead));
    EXPECT_FALSE(writer.read(buffer, 1));
    EXPECT_EQ(text(writer.lastError()), "Read access denied");
    EXPECT_FALSE(writer.write("x", -2));
    EXPECT_EQ(text(writer.lastError()), "Illegal block size");
    EXPECT_TRUE(writer.write("AB", 2));
    writer.close();
    EXPECT_EQ(fileBytes(path), "AB23456789");

    // Count 0 succeeds without touching anything, also on a closed File.
    File closed;
    EXPECT_TRUE(closed.readBlock(nullptr, 0));
    EXPECT_TRUE(closed.write(nullptr, 0));
    EXPECT_EQ(closed.size(), -1);
    EXPECT_EQ(closed.tell(), -1);
    EXPECT_FALSE(closed.seek(0));
    EXPECT_FALSE(closed.flush());
    EXPECT_FALSE(closed.truncate());

    // A failed open keeps the asked access, so a later write is a programming error.
    File failed;
    EXPECT_FALSE(failed.open((path + ".missing").c_str(), OpenExisting));
    EXPECT_FALSE(failed.read(buffer, 1));
    EXPECT_EQ(text(failed.lastError()), "File not open");
    EXPECT_EQ(captureFatal([&] { failed.write("x", 1); }), "Write to unopened File:\n" + path + ".missing");
}

TEST(FileTransfer, ReadHelpers) {
    std::string path = scratchFolder() + "\\record.bin";
    putFile(path, std::string("\x01\x02\x03\x04name\0rest", 13));
    File file;
    ASSERT_TRUE(file.openRead(path.c_str(), false));
    int32_t number = 0;
    ASSERT_TRUE(file.readInt32(&number));
    EXPECT_EQ(number, 0x04030201);
    EXPECT_EQ(text(file.readCString()), "name");
    EXPECT_EQ(file.tell(), 9);
    EXPECT_EQ(text(file.readCString()), "rest");  // the end of the file ends it too
    EXPECT_EQ(text(file.lastError()), "Read past end of file");

    String block("untouched");
    EXPECT_TRUE(file.readBytes(block, 0, file.size()));
    EXPECT_EQ(text(block), std::string("\x01\x02\x03\x04name\0rest", 13));
    block = "untouched";
    EXPECT_FALSE(file.readBytes(block, file.size() - 3, 4));
    EXPECT_EQ(text(block), "untouched");
    EXPECT_FALSE(file.readBytes(block, -1, 2));
    EXPECT_FALSE(file.readBytes(block, 0, -1));
    EXPECT_EQ(text(block), "untouched");
    EXPECT_TRUE(file.readBytes(block, 4, 4));
    EXPECT_EQ(text(block), "name");
    file.close();
    EXPECT_EQ(text(file.readCString()), "");
}

TEST(FilePositions, SizeAndReadAtKeepThePosition) {
    std::string path = scratchFolder() + "\\positions.bin";
    putFile(path, "abcdefghij");
    File file;
    ASSERT_TRUE(file.openRead(path.c_str(), false));
    ASSERT_TRUE(file.seek(4));
    EXPECT_EQ(file.size(), 10);
    EXPECT_EQ(file.tell(), 4);

    char buffer[8] = {};
    struct Case {
        int32_t position;
        int count;
        bool ok;
        const char* bytes;
    } cases[] = {
        {0, 3, true, "abc"},
        {8, 2, true, "ij"},
        {8, 3, false, nullptr},   // past the end
        {20, 1, false, nullptr},  // beyond the end
        {-5, 1, false, nullptr},  // the seek itself fails
        {2, -1, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        EXPECT_EQ(file.readAt(c.position, buffer, c.count), c.ok);
        if (c.ok) {
            EXPECT_EQ(std::string(buffer, static_cast<size_t>(c.count)), c.bytes);
        }
        EXPECT_EQ(file.tell(), 4);
    }

    EXPECT_EQ(file.pushPosition(), 4);
    EXPECT_EQ(file.pushPositionAndSeek(7), 4);
    EXPECT_EQ(file.tell(), 7);
    ASSERT_TRUE(file.seek(9));
    EXPECT_EQ(file.popPosition(), 4);
    EXPECT_EQ(file.tell(), 4);
    ASSERT_TRUE(file.seekFromEnd(-2));
    EXPECT_EQ(file.tell(), 8);
    EXPECT_EQ(file.popPosition(), 4);
    EXPECT_EQ(file.tell(), 4);
    EXPECT_EQ(captureFatal([&] { file.popPosition(); }), "gfile 417");
}

TEST(FileMemoryMode, ChangesReachTheFileAtClose) {
    std::string path = scratchFolder() + "\\mirror.txt";
    putFile(path, "hello world");
    File file;
    ASSERT_TRUE(file.open(path.c_str(), OpenExisting | InMemory | ShareRead));
    EXPECT_TRUE(file.isInMemory());
    EXPECT_EQ(file.size(), 11);
    ASSERT_TRUE(file.seek(6));
    EXPECT_TRUE(file.write("WORLD!!", 7));
    EXPECT_EQ(fileBytes(path), "hello world");  // nothing on disk yet
    char buffer[16] = {};
    EXPECT_TRUE(file.readAt(0, buffer, 13));
    EXPECT_EQ(std::string(buffer, 13), "hello WORLD!!");
    EXPECT_FALSE(file.readAt(10, buffer, 4));
    EXPECT_EQ(text(file.lastError()), "Read past end of file");
    EXPECT_FALSE(file.seek(14));
    EXPECT_FALSE(file.seek(-1));
    file.close();
    EXPECT_EQ(fileBytes(path), "hello WORLD!!");

    // A shorter mirror makes a shorter file.
    ASSERT_TRUE(file.open(path.c_str(), OpenExisting | InMemory));
    ASSERT_TRUE(file.seek(5));
    EXPECT_TRUE(file.truncate());
    EXPECT_EQ(file.size(), 5);
    file.close();
    EXPECT_EQ(fileBytes(path), "hello");

    // Unchanged, the file is not rewritten; read-only access cannot change it.
    ASSERT_TRUE(file.open(path.c_str(), OpenExisting | InMemory | NoWrite | ShareRead));
    EXPECT_FALSE(file.write("x", 1));
    EXPECT_FALSE(file.truncate());
    file.close();
    EXPECT_EQ(fileBytes(path), "hello");

    putFile(path, "");
    ASSERT_TRUE(file.open(path.c_str(), OpenExisting | InMemory));
    EXPECT_EQ(file.size(), 0);
    file.writeText("filled");
    file.close();
    EXPECT_EQ(fileBytes(path), "filled");
}

FileDateTime timeOf(const std::string& path) {
    FileDateTime time;
    EXPECT_TRUE(fileTimeOf(path.c_str(), &time)) << path;
    return time;
}

void expectSameTime(const FileDateTime& a, const FileDateTime& b) {
    EXPECT_EQ(a.year, b.year);
    EXPECT_EQ(a.month, b.month);
    EXPECT_EQ(a.day, b.day);
    EXPECT_EQ(a.hour, b.hour);
    EXPECT_EQ(a.minute, b.minute);
    EXPECT_EQ(a.second, b.second);
}

TEST(FileTime, SetTimeSurvivesClose) {
    std::string folder = scratchFolder();
    FileDateTime wanted(2001, 2, 3, 4, 5, 6);
    struct Case {
        const char* name;
        uint32_t flags;
    } cases[] = {
        {"direct.bin", CreateAlways},
        {"mirrored.bin", CreateAlways | InMemory},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = folder + "\\" + c.name;
        File file;
        ASSERT_TRUE(file.open(path.c_str(), c.flags));
        std::string data(100000, 'q');
        ASSERT_TRUE(file.write(data.data(), static_cast<int>(data.size())));
        ASSERT_TRUE(file.setTime(wanted));
        FileDateTime read;
        ASSERT_TRUE(file.getTime(&read));
        expectSameTime(read, wanted);
        file.close();
        expectSameTime(timeOf(path), wanted);
        EXPECT_EQ(fileBytes(path).size(), data.size());
    }
    // A day the month does not have sets nothing.
    File file;
    ASSERT_TRUE(file.openReadWrite((folder + "\\direct.bin").c_str(), false));
    EXPECT_FALSE(file.setTime(FileDateTime(2001, 2, 29, 4, 5, 6)));
    file.close();
    expectSameTime(timeOf(folder + "\\direct.bin"), wanted);

    File closed;
    FileDateTime time;
    EXPECT_FALSE(closed.getTime(&time));
    EXPECT_FALSE(closed.setTime(wanted));
    EXPECT_FALSE(fileTimeOf((folder + "\\missing").c_str(), &time));
    EXPECT_FALSE(fileTimeOf((folder + "\\direct.bin").c_str(), nullptr));
}

TEST(FileOpen, CreateEmptiesAnExistingFile) {
    std::string path = scratchFolder() + "\\again.txt";
    putFile(path, "previous contents");
    File file;
    ASSERT_TRUE(file.create(path.c_str(), false));
    EXPECT_EQ(file.size(), 0);
    file.writeText("new");
    file.close();
    EXPECT_EQ(fileBytes(path), "new");
}

TEST(WholeFile, ReadWriteAppendAndSize) {
    std::string folder = scratchFolder();
    std::string path = folder + "\\whole.bin";
    std::string bytes("binary\0\r\ndata", 13);
    EXPECT_TRUE(writeWholeFile(path.c_str(), bytes.data(), static_cast<int>(bytes.size())));
    EXPECT_EQ(fileBytes(path), bytes);
    EXPECT_EQ(fileSize(path.c_str()), 13);
    String block("previous");
    EXPECT_TRUE(readWholeFile(path.c_str(), block));
    EXPECT_EQ(text(block), bytes);

    EXPECT_TRUE(writeWholeFile(path.c_str(), String("short")));
    EXPECT_TRUE(readWholeFile(path.c_str(), block));
    EXPECT_EQ(text(block), "short");
    EXPECT_TRUE(writeWholeFile(path.c_str(), nullptr, 5));
    EXPECT_EQ(fileSize(path.c_str()), 0);
    EXPECT_TRUE(readWholeFile(path.c_str(), block));
    EXPECT_TRUE(block.isEmpty());

    EXPECT_TRUE(appendText(path.c_str(), "one\r\n"));
    EXPECT_TRUE(appendText(path.c_str(), "two\r\n"));
    EXPECT_TRUE(appendText(path.c_str(), nullptr));
    EXPECT_EQ(fileBytes(path), "one\r\ntwo\r\n");
    EXPECT_FALSE(appendText(nullptr, "x"));

    std::string missing = folder + "\\nowhere\\file.bin";
    EXPECT_EQ(fileSize(missing.c_str()), -1);
    EXPECT_FALSE(readWholeFile(missing.c_str(), block));
    EXPECT_FALSE(writeWholeFile(missing.c_str(), "x", 1));
    EXPECT_FALSE(appendText(missing.c_str(), "x"));
}

// Another program empties and refills the file while it is read: the block
// may come out shorter than the size seen first, but never holds bytes that
// were not read (the block starts out full of 'Z' to show any left over).
TEST(WholeFile, ReadWholeFileKeepsOnlyTheBytesRead) {
    std::string folder = scratchFolder();
    std::string path = folder + "\\changing.bin";
    std::string signal = folder + "\\resizing.signal";
    HANDLE resizer = startProgram("\"" + besideTestProgram("resize_file.exe") + "\" \"" + path + "\" \"" + signal + "\"");
    ASSERT_NE(resizer, nullptr);
    for (int i = 0; i < 200 && !exists(signal); ++i) Sleep(50);
    ASSERT_TRUE(exists(signal)) << "the helper did not start resizing";
    int leftOver = 0;
    for (int i = 0; i < 400; ++i) {
        String block(std::string(300 * 1024, 'Z').c_str());
        ASSERT_TRUE(readWholeFile(path.c_str(), block));
        if (block.findChar('Z') >= 0) ++leftOver;
    }
    finishProgram(resizer);
    EXPECT_EQ(leftOver, 0);
}

TEST(WholeFile, IsFileWritableAsksAndNeverCreates) {
    std::string folder = scratchFolder();
    std::string path = folder + "\\in-use.dat";
    putFile(path, "busy");
    EXPECT_TRUE(isFileWritable(path.c_str()));

    std::string missing = folder + "\\missing.dat";
    EXPECT_FALSE(isFileWritable(missing.c_str()));
    EXPECT_FALSE(exists(missing));

    // Another program holds the file for writing and shares nothing.
    std::string signal = folder + "\\held.signal";
    HANDLE holder = startProgram("\"" + besideTestProgram("hold_file.exe") + "\" \"" + path + "\" \"" + signal + "\"");
    ASSERT_NE(holder, nullptr);
    for (int i = 0; i < 200 && !exists(signal); ++i) Sleep(50);
    ASSERT_TRUE(exists(signal)) << "the helper did not take the file";
    DWORD start = GetTickCount();
    EXPECT_FALSE(isFileWritable(path.c_str()));
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 450u);  // the one retry
    finishProgram(holder);
    EXPECT_TRUE(isFileWritable(path.c_str()));
    EXPECT_EQ(fileBytes(path), "busy");
}

}  // namespace

// File: the one way the program reads and writes files through the system.
//
// Owns one file handle, checks each read and write against the access asked
// for at open time, keeps the text of the last refused or failed transfer,
// keeps a stack of saved positions, can mirror the whole file in memory
// (written back on close when changed) and reads and sets the last-write time.
// Positions and sizes are 32-bit: files stay below 2 GB.
#pragma once

#include <cstdint>

#include "core/date_time.h"
#include "core/list.h"
#include "core/memory_stream.h"
#include "core/str.h"
#include "files/win32.h"

// Flags of File::open. Bits 0-1 hold the creation rule.
enum FileOpenFlag : uint32_t {
    OpenAlways = 0,
    OpenExisting = 1,
    CreateNew = 2,
    CreateAlways = 3,
    NoRead = 0x0008,
    NoWrite = 0x0010,
    Required = 0x0020,         // failing to open is fatal
    RetryOnce = 0x0040,        // one more try after 500 ms
    InMemory = 0x0080,         // load the whole file into the mirror
    TempInDirectory = 0x0100,  // the name is a directory: a new unique file in it
    TempBesideName = 0x0200,   // a new unique file in the name's directory
    ShareRead = 0x0400,
    ShareWrite = 0x0800,
    SeekToEnd = 0x1000,        // append
    OpenThenClose = 0x2000,    // only whether it opens is wanted
};

class File {
public:
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() { close(); }

    // Each open first closes what was open and records the given name.
    bool open(const char* name, uint32_t flags, uint32_t attributes = FILE_ATTRIBUTE_NORMAL);
    bool openExisting(const char* name, bool read, bool write, bool exclusive);
    bool openRead(const char* name, bool exclusive) { return openExisting(name, true, false, exclusive); }
    bool openReadWrite(const char* name, bool exclusive) { return openExisting(name, true, true, exclusive); }
    // Creates or empties the file, for reading and writing.
    bool create(const char* name, bool exclusive);
    void close();
    bool isOpen() const { return handle_ != nullptr || inMemory_; }
    bool isInMemory() const { return inMemory_; }
    const String& name() const { return name_; }
    const String& lastError() const { return lastError_; }

    bool read(void* destination, int count);
    bool write(const void* source, int count);
    bool readBlock(void* destination, int count);
    // Reads at position and leaves the current position as it was, whatever happens.
    bool readAt(int32_t position, void* destination, int count);
    // Sizes block to count and fills it from offset; fails (block unchanged)
    // when the range passes the end, and empties the block when the read fails.
    bool readBytes(String& block, int32_t offset, int count);
    bool readInt32(int32_t* destination) { return readBlock(destination, 4); }
    // Up to and past the next zero byte.
    String readCString();
    void writeText(const char* text);
    void writeString(const String& s) { write(s.cStr(), s.length()); }
    bool flush();
    // Ends the file at the current position.
    bool truncate();

    int32_t tell();
    bool seek(int32_t position);
    bool seekFromEnd(int32_t offset);
    void rewind() { seek(0); }
    // The length; the position stays where it was.
    int32_t size();
    int32_t pushPosition();
    int32_t pushPositionAndSeek(int32_t position);
    // Returns to the last pushed position; an empty stack is a programming error.
    int32_t popPosition();

    // The last-write time as local time.
    bool getTime(FileDateTime* out);
    // Sets the last-write time (given as local time) after everything pending
    // is on disk, so that nothing written later changes it.
    bool setTime(const FileDateTime& time);

private:
    bool loadMirror();
    void writeBackMirror();

    HANDLE handle_ = nullptr;
    String name_;
    Stack<int32_t> positions_;
    MemoryStream mirror_;
    bool inMemory_ = false;
    bool dirty_ = false;
    bool canRead_ = false;
    bool canWrite_ = false;
    String lastError_;
};

// Whole-file helpers on buffered streams. -1 when the file cannot be opened.
int32_t fileSize(const char* path);
// The block holds exactly the bytes read (empty for an empty file).
bool readWholeFile(const char* path, String& block);
// Creates or empties the file and writes the bytes; false when any of it failed.
bool writeWholeFile(const char* path, const void* data, int count);
bool writeWholeFile(const char* path, const String& block);
bool appendText(const char* path, const char* text);
// Creates the file (never taking over one that is there), writes text, and
// leaves it open in held for reading only, shared for reading only: until
// held is closed, nobody can write, replace or delete it, and any reader
// (a command interpreter running it) can open it. The bytes are read back
// through held, since the file was briefly closed in between. False, and
// the file deleted when it was made, if any step fails or the bytes differ.
bool writeNewHeldFile(File& held, const char* path, const String& text);
bool fileTimeOf(const char* path, FileDateTime* out);
// Whether the existing file can be opened for writing while others may read
// and write it, now or after one half-second retry. Never creates the file.
bool isFileWritable(const char* path);

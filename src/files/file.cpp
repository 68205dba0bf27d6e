#include "files/file.h"

#include <cstdio>

#include "core/fatal.h"
#include "files/file_date_time.h"
#include "files/path_text.h"
#include "files/system_error.h"

namespace {

const DWORD RetryDelayMs = 500;
// Fixed numbers of the consistency reports of this module.
const int CheckPopWithoutPush = 417;
const int CheckInvalidHandle = 418;

DWORD creationRule(uint32_t flags) {
    static const DWORD rules[4] = {OPEN_ALWAYS, OPEN_EXISTING, CREATE_NEW, CREATE_ALWAYS};
    return rules[flags & 3];
}

// The name the system opens: a new unique temporary file for the Temp flags.
String systemNameFor(const char* name, uint32_t flags) {
    String directory;
    if (flags & TempInDirectory)
        directory = name;
    else if (flags & TempBesideName)
        directory = directoryOf(name);
    else
        return String(name);
    char unique[MAX_PATH + 1];
    if (!GetTempFileNameA(directory.cStr(), "XXX", 0, unique)) return String();
    return String(unique);
}

}  // namespace

bool File::open(const char* name, uint32_t flags, uint32_t attributes) {
    close();
    name_ = name;
    canRead_ = !(flags & NoRead);
    canWrite_ = !(flags & NoWrite);
    DWORD access = (canRead_ ? GENERIC_READ : 0) | (canWrite_ ? GENERIC_WRITE : 0);
    DWORD share = ((flags & ShareRead) ? FILE_SHARE_READ : 0) | ((flags & ShareWrite) ? FILE_SHARE_WRITE : 0);
    String systemName = systemNameFor(name, flags);
    HANDLE handle = INVALID_HANDLE_VALUE;
    // A failed temporary name opens nothing rather than some other file.
    if (!systemName.isEmpty())
        handle = CreateFileA(systemName.cStr(), access, share, nullptr, creationRule(flags), attributes, nullptr);
    if (handle == INVALID_HANDLE_VALUE && (flags & RetryOnce) && !systemName.isEmpty()) {
        Sleep(RetryDelayMs);
        handle = CreateFileA(systemName.cStr(), access, share, nullptr, creationRule(flags), attributes, nullptr);
    }
    if (handle == INVALID_HANDLE_VALUE) {
        handle_ = nullptr;
        if (flags & Required)
            reportFatalError("Failed to open required file:\r\n%s", systemName.isEmpty() ? name_.cStr() : systemName.cStr());
        return false;
    }
    handle_ = handle;
    if ((flags & InMemory) && !loadMirror()) {
        close();
        return false;
    }
    if (flags & SeekToEnd) seekFromEnd(0);
    if (flags & OpenThenClose) close();
    return true;
}

bool File::openExisting(const char* name, bool read, bool write, bool exclusive) {
    close();
    name_ = name;
    DWORD access = (read ? GENERIC_READ : 0) | (write ? GENERIC_WRITE : 0);
    HANDLE handle = CreateFileA(name, access, exclusive ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    handle_ = handle;
    canRead_ = read;
    canWrite_ = write;
    return true;
}

bool File::create(const char* name, bool exclusive) {
    close();
    name_ = name;
    HANDLE handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, exclusive ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    handle_ = handle;
    canRead_ = canWrite_ = true;
    return true;
}

bool File::loadMirror() {
    int32_t n = size();
    if (n < 0) return false;
    mirror_.reset();
    mirror_.setLength(n);
    if (n > 0 && !readAt(0, mirror_.data(), n)) {
        mirror_.reset();
        return false;
    }
    inMemory_ = true;
    dirty_ = false;
    return true;
}

// Puts a changed mirror into the file; its failures are not reported.
void File::writeBackMirror() {
    if (!dirty_ || !handle_) return;
    dirty_ = false;
    bool wasInMemory = inMemory_;
    inMemory_ = false;
    rewind();
    write(mirror_.cStr(), mirror_.length());
    truncate();
    inMemory_ = wasInMemory;
}

void File::close() {
    if (inMemory_) {
        writeBackMirror();
        inMemory_ = false;
    }
    if (handle_) {
        if (handle_ == INVALID_HANDLE_VALUE) reportConsistencyFailure("gfile", CheckInvalidHandle);
        CloseHandle(handle_);
        handle_ = nullptr;
    }
    positions_.clear();
    mirror_.reset();
    dirty_ = false;
    canRead_ = canWrite_ = false;
}

bool File::read(void* destination, int count) {
    if (!canRead_) {
        lastError_ = "Read access denied";
        return false;
    }
    if (count < 0) {
        lastError_.assignFormat("Illegal block size %d", count);
        return false;
    }
    if (inMemory_) {
        if (mirror_.read(destination, count)) return true;
        lastError_ = "Read past end of file";
        return false;
    }
    if (!handle_) {
        lastError_ = "File not open";
        return false;
    }
    DWORD got = 0;
    if (!ReadFile(handle_, destination, static_cast<DWORD>(count), &got, nullptr)) {
        lastError_ = lastSystemErrorText();
        return false;
    }
    if (got < static_cast<DWORD>(count)) {
        lastError_ = "Read past end of file";
        return false;
    }
    return true;
}

bool File::write(const void* source, int count) {
    if (count == 0) return true;
    if (count < 0) {
        lastError_ = "Illegal block size";
        return false;
    }
    if (!canWrite_) {
        lastError_ = "Write access denied";
        return false;
    }
    if (inMemory_) {
        mirror_.write(source, count);
        dirty_ = true;
        return true;
    }
    if (!handle_) reportFatalError("Write to unopened File:\n%s", name_.cStr());
    DWORD written = 0;
    if (!WriteFile(handle_, source, static_cast<DWORD>(count), &written, nullptr)) {
        lastError_ = lastSystemErrorText();
        return false;
    }
    if (written < static_cast<DWORD>(count)) {
        lastError_ = "Not all data could be written";
        return false;
    }
    return true;
}

bool File::readBlock(void* destination, int count) {
    if (count == 0) return true;
    if (count < 0) {
        lastError_.assignFormat("Illegal block size %d", count);
        return false;
    }
    if (!destination) {
        lastError_ = "NULL block pointer";
        return false;
    }
    return read(destination, count);
}

bool File::readAt(int32_t position, void* destination, int count) {
    pushPosition();
    // Reading on from wherever the file happened to be would give wrong bytes.
    bool ok = seek(position) && readBlock(destination, count);
    popPosition();
    return ok;
}

bool File::readBytes(String& block, int32_t offset, int count) {
    if (offset < 0 || count < 0) return false;
    if (static_cast<int64_t>(offset) + count > size()) return false;
    block.setLength(count);
    if (readAt(offset, block.data(), count)) return true;
    block.clear();
    return false;
}

String File::readCString() {
    String text;
    char c = 0;
    while (read(&c, 1) && c != 0) text.appendChar(c);
    return text;
}

void File::writeText(const char* text) {
    String bytes(text);
    write(bytes.cStr(), bytes.length());
}

bool File::flush() { return handle_ && FlushFileBuffers(handle_); }

bool File::truncate() {
    if (!canWrite_ || !isOpen()) return false;
    if (inMemory_) {
        mirror_.truncateAtPosition();
        // The shorter mirror must reach the file when it is written back.
        dirty_ = true;
        return true;
    }
    return SetEndOfFile(handle_) != 0;
}

int32_t File::tell() {
    if (inMemory_) return mirror_.position();
    if (!handle_) return -1;
    return static_cast<int32_t>(SetFilePointer(handle_, 0, nullptr, FILE_CURRENT));
}

bool File::seek(int32_t position) {
    if (inMemory_) return mirror_.seek(position);
    if (!handle_) return false;
    return SetFilePointer(handle_, position, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

bool File::seekFromEnd(int32_t offset) {
    if (inMemory_) return mirror_.seek(mirror_.length() + offset);
    if (!handle_) return false;
    return SetFilePointer(handle_, offset, nullptr, FILE_END) != INVALID_SET_FILE_POINTER;
}

int32_t File::size() {
    if (inMemory_) return mirror_.length();
    if (!handle_) return -1;
    pushPosition();
    seekFromEnd(0);
    int32_t end = tell();
    popPosition();
    return end;
}

int32_t File::pushPosition() {
    int32_t position = tell();
    positions_.push(position);
    return position;
}

int32_t File::pushPositionAndSeek(int32_t position) {
    int32_t saved = pushPosition();
    seek(position);
    return saved;
}

int32_t File::popPosition() {
    if (positions_.isEmpty()) reportConsistencyFailure("gfile", CheckPopWithoutPush);
    int32_t position = positions_.pop();
    seek(position);
    return position;
}

bool File::getTime(FileDateTime* out) {
    if (!out || !handle_) return false;
    FILETIME written;
    return GetFileTime(handle_, nullptr, nullptr, &written) && fromUtcFileTime(*out, &written);
}

bool File::setTime(const FileDateTime& time) {
    if (!handle_) return false;
    FILETIME local, universal;
    if (!toFileTime(time, &local) || !LocalFileTimeToFileTime(&local, &universal)) return false;
    // A changed mirror is written now: writing it at close would move the time.
    // The system's own cache needs no flush: a time set through the handle
    // stays when the cache is written out later, and a flush per placed file
    // would make every installation wait for the disk file by file.
    writeBackMirror();
    return SetFileTime(handle_, nullptr, nullptr, &universal) != 0;
}

int32_t fileSize(const char* path) {
    FILE* stream = path ? std::fopen(path, "rb") : nullptr;
    if (!stream) return -1;
    std::fseek(stream, 0, SEEK_END);
    long end = std::ftell(stream);
    std::fclose(stream);
    return static_cast<int32_t>(end);
}

bool readWholeFile(const char* path, String& block) {
    FILE* stream = path ? std::fopen(path, "rb") : nullptr;
    if (!stream) return false;
    int32_t size = fileSize(path);
    if (size < 1) {
        block.clear();
    } else {
        block.setLength(size);
        size_t got = std::fread(block.data(), 1, static_cast<size_t>(size), stream);
        // A file that shrank meanwhile: keep only the bytes that were read.
        block.setLength(static_cast<int>(got));
    }
    std::fclose(stream);
    return true;
}

bool writeWholeFile(const char* path, const void* data, int count) {
    FILE* stream = path ? std::fopen(path, "wb") : nullptr;
    if (!stream) return false;
    bool complete = true;
    if (data && count > 0) complete = std::fwrite(data, 1, static_cast<size_t>(count), stream) == static_cast<size_t>(count);
    // Buffered bytes reach the disk at fclose: a full disk shows there.
    if (std::fclose(stream) != 0) complete = false;
    return complete;
}

bool writeWholeFile(const char* path, const String& block) { return writeWholeFile(path, block.cStr(), block.length()); }

bool appendText(const char* path, const char* text) {
    FILE* stream = path ? std::fopen(path, "a+b") : nullptr;
    if (!stream) return false;
    if (text && std::fputs(text, stream) == EOF) {
        std::fclose(stream);
        return false;
    }
    std::fclose(stream);
    return true;
}

bool writeNewHeldFile(File& held, const char* path, const String& text) {
    held.close();
    File file;
    if (!file.open(path, CreateNew | NoRead)) return false;
    bool written = file.write(text.cStr(), text.length()) && file.flush();
    file.close();
    // Held for reading only, the file needs no more than read sharing from
    // whoever runs it; a handle that could write would make every reader
    // share writing, or fail.
    String readBack;
    if (written && held.open(path, OpenExisting | NoWrite | ShareRead) && held.size() == text.length() &&
        held.readBytes(readBack, 0, text.length()) && readBack == text)
        return true;
    held.close();
    DeleteFileA(path);
    return false;
}

bool fileTimeOf(const char* path, FileDateTime* out) {
    if (!out) return false;
    File file;
    return file.openRead(path, false) && file.getTime(out);
}

bool isFileWritable(const char* path) {
    File file;
    return file.open(path, OpenExisting | NoRead | RetryOnce | ShareRead | ShareWrite | OpenThenClose,
                     FILE_ATTRIBUTE_NORMAL);
}

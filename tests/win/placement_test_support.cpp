#include "placement_test_support.h"

#include <cstring>

#include "archive/archive_format.h"
#include "core/checksum.h"
#include "files/file_date_time.h"
#include "files_child_process.h"
#include "files_test_support.h"
#include "installer/header_settings.h"
#include "installer/restart_replacement.h"
#include "runtime/process_state.h"
#include "runtime/string_table.h"

std::string text(const String& s) { return std::string(s.cStr(), static_cast<size_t>(s.length())); }

void PayloadBuilder::add(const char* name, int32_t kind, int32_t fileFlags, const std::string& contents,
                         const char* extra) {
    bytes.write(name, static_cast<int>(strlen(name)) + 1);
    bytes.write(&kind, 4);
    bytes.write(&fileFlags, 4);
    bytes.write(contents.data(), static_cast<int>(contents.size()));
    uint32_t sum = checksum(contents.data(), static_cast<int>(contents.size()));
    bytes.write(&sum, 4);
    const int32_t time[6] = {2020, 5, 6, 7, 8, 9};
    bytes.write(time, sizeof time);
    bytes.write(extra, static_cast<int>(strlen(extra)) + 1);
    sizes.push_back(static_cast<int32_t>(contents.size()));
}

FileRecord makeRecord(const char* name, int32_t kind, int32_t fileFlags, const char* contents, FileDateTime time,
                      const char* extra) {
    FileRecord record;
    record.name = name;
    record.kind = kind;
    record.fileFlags = fileFlags;
    record.contents = contents;
    record.fileTime = time;
    record.extra = extra;
    return record;
}

void setLocalTime(const std::string& path, const FileDateTime& time) {
    SYSTEMTIME system = {};
    system.wYear = static_cast<WORD>(time.year);
    system.wMonth = static_cast<WORD>(time.month);
    system.wDay = static_cast<WORD>(time.day);
    system.wHour = static_cast<WORD>(time.hour);
    system.wMinute = static_cast<WORD>(time.minute);
    system.wSecond = static_cast<WORD>(time.second);
    FILETIME local, universal;
    ASSERT_TRUE(SystemTimeToFileTime(&system, &local));
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &universal));
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &universal));
    CloseHandle(file);
}

FileDateTime localTimeOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    FILETIME local;
    SYSTEMTIME system;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        !FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !FileTimeToSystemTime(&local, &system))
        return FileDateTime();
    return FileDateTime(system.wYear, system.wMonth, system.wDay, system.wHour, system.wMinute, system.wSecond);
}

std::string timeText(const FileDateTime& t) {
    char buffer[64];
    snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
             t.second);
    return buffer;
}

std::string regValue(const std::string& key, const std::string& name) {
    ProgramRun query = runProgram("reg.exe query \"" + key + "\" /v \"" + name + "\"");
    if (query.exitCode != 0) return "";
    // "    name    TYPE    data": the part after the name.
    std::string wanted = "    " + name + "    ";
    size_t at = query.output.find(wanted);
    if (at == std::string::npos) return "";
    size_t start = at + wanted.size();
    size_t end = query.output.find_first_of("\r\n", start);
    return query.output.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

void PlacementTest::SetUp() {
    root = scratchFolder();
    install = root + "\\inst";
    shared = root + "\\shared";
    ASSERT_TRUE(CreateDirectoryA(install.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(shared.c_str(), nullptr));
    state.installDirectory = install.c_str();
    state.flags = FlagRegisterProduct;
    state.windowsNT = true;
    state.moveFileEx = linkMoveFileEx();
    ASSERT_NE(state.moveFileEx, nullptr);
    sharedDirectory = shared.c_str();
    languageIndex = 0;
    productName = "Widget";
    stringTable.reset(60, 1);
    *stringTable.text(25, 0) = "Cannot create";
    *stringTable.text(31, 0) = "Cannot write";
}

void PlacementTest::TearDown() {
    stringTable.reset(0, 0);
    sharedDirectory.clear();
}

#include "files_test_support.h"

#include <gtest/gtest.h>

std::string scratchFolder() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string base = "C:\\qp-files-test";
    CreateDirectoryA(base.c_str(), nullptr);
    std::string folder = base + "\\" + info->test_suite_name() + "." + info->name();
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void putFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, bytes.size());
}

std::string fileBytes(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

int entryCount(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    do {
        std::string name = entry.cFileName;
        if (name != "." && name != "..") ++count;
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return count;
}

char missingDriveLetter() {
    for (char letter = 'Q'; letter <= 'Y'; ++letter) {
        char root[] = {letter, ':', '\\', 0};
        if (GetDriveTypeA(root) == DRIVE_NO_ROOT_DIR) return letter;
    }
    return 0;
}

// Keeps changing a file's length, as a program rewriting it would: empties it
// and fills it with 'A' bytes again, over and over, until it is ended.
// Usage: resize_file FILE SIGNAL (SIGNAL is created once the resizing runs).
#include <windows.h>

#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    HANDLE file = CreateFileA(argv[1], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    std::vector<char> bytes(256 * 1024, 'A');
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    HANDLE signal = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (signal == INVALID_HANDLE_VALUE) return 4;
    CloseHandle(signal);
    for (DWORD start = GetTickCount(); GetTickCount() - start < 60000;) {
        SetFilePointer(file, 0, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    CloseHandle(file);
    return 0;
}

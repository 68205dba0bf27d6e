// Holds a file open for writing without sharing, as another program would,
// until it is ended. Usage: hold_file FILE SIGNAL (SIGNAL is created once
// FILE is held, so the caller knows when to look).
#include <windows.h>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    HANDLE held = CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) return 3;
    HANDLE signal = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (signal == INVALID_HANDLE_VALUE) return 4;
    CloseHandle(signal);
    Sleep(60000);
    CloseHandle(held);
    return 0;
}

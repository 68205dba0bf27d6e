// Holds a file open for writing without sharing, as another program would,
// until it is ended. Usage: hold_file FILE SIGNAL [read] (SIGNAL is created
// once FILE is held, so the caller knows when to look). With "read" others
// may still read the file, as with a running program or a loaded library.
#include <windows.h>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) return 2;
    DWORD share = argc == 4 && lstrcmpA(argv[3], "read") == 0 ? FILE_SHARE_READ : 0;
    HANDLE held = CreateFileA(argv[1], GENERIC_WRITE, share, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) return 3;
    HANDLE signal = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (signal == INVALID_HANDLE_VALUE) return 4;
    CloseHandle(signal);
    Sleep(60000);
    CloseHandle(held);
    return 0;
}

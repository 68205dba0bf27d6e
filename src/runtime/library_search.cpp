#include "runtime/library_search.h"

#include "files/win32.h"

namespace {

// Not declared for the oldest Windows we target; the value is the system's.
const DWORD SearchSystemFolderOnly = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD);
typedef BOOL(WINAPI* SetDllDirectoryFunction)(LPCSTR);

}  // namespace

void restrictLibrarySearch() {
    // Both are looked up: importing them would keep the program from starting
    // on the Windows versions that lack them.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return;
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault && setDefault(SearchSystemFolderOnly)) return;
    auto setDirectory =
        reinterpret_cast<SetDllDirectoryFunction>(reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryA")));
    if (setDirectory) setDirectory("");
}

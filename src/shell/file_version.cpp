#include "shell/file_version.h"

#include "files/win32.h"
#include "shell/version_text.h"

String fileVersion(const char* path, bool padded) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0) return String();
    String block(static_cast<int>(size));
    String version;
    void* value = nullptr;
    UINT valueLength = 0;
    if (GetFileVersionInfoA(path, handle, size, block.data()) &&
        VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\FileVersion", &value, &valueLength) && value) {
        // The text ends at its zero, but never past the resource block.
        const char* text = static_cast<const char*>(value);
        int limit = static_cast<int>(block.data() + size - text);
        version.assignUpTo(text, limit);
    }
    return padded ? paddedVersion(version) : version;
}

#include "installer/machine_path.h"

#include "files/path_text.h"
#include "files/win32.h"
#include "installer/broadcasts.h"

const char MachineEnvironmentKey[] = "System\\CurrentControlSet\\Control\\Session Manager\\Environment";

namespace {

const char PathValueName[] = "Path";
// Far beyond any real PATH; a value larger than this is not one to rewrite.
const DWORD MaxPathValueSize = 16u * 1024 * 1024;

class EnvironmentKey {
public:
    EnvironmentKey() {
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, MachineEnvironmentKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key_) !=
            ERROR_SUCCESS)
            key_ = nullptr;
    }
    EnvironmentKey(const EnvironmentKey&) = delete;
    EnvironmentKey& operator=(const EnvironmentKey&) = delete;
    ~EnvironmentKey() {
        if (key_) RegCloseKey(key_);
    }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// The whole value, sized by the system rather than by a guess; a missing
// value is an empty PATH. False for a value that is not text.
bool readPath(HKEY key, String& text) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        LONG result = RegQueryValueExA(key, PathValueName, nullptr, &type, nullptr, &size);
        if (result == ERROR_FILE_NOT_FOUND) {
            text.clear();
            return true;
        }
        if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || size > MaxPathValueSize) return false;
        text.setLength(static_cast<int>(size));
        DWORD received = size;
        result = RegQueryValueExA(key, PathValueName, nullptr, &type,
                                  reinterpret_cast<BYTE*>(text.data()), &received);
        if (result == ERROR_MORE_DATA) continue;  // it grew in between
        if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || received > size) return false;
        // The stored bytes need not end in a NUL, nor stop at the first one.
        text.setLength(static_cast<int>(received));
        while (text.lastCharIs('\0')) text.shrink(1);
        return true;
    }
    return false;
}

bool writePath(HKEY key, const String& text) {
    return RegSetValueExA(key, PathValueName, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text.cStr()),
                          static_cast<DWORD>(text.length()) + 1) == ERROR_SUCCESS;
}

// The start of the first entry of path that names directory, and its length.
bool findEntry(const String& path, const String& directory, int& start, int& length) {
    int begin = 0;
    while (begin <= path.length()) {
        int end = path.findChar(';', begin);
        if (end < 0) end = path.length();
        String entry = path.substring(begin, end - begin);
        entry.trim();
        entry.unquote('"');
        if (!entry.isEmpty() && pathsEqual(entry, directory)) {
            start = begin;
            length = end - begin;
            return true;
        }
        begin = end + 1;
    }
    return false;
}

bool isSingleEntry(const String& directory) {
    return !directory.isBlank() && directory.findFirstOf(";\"") < 0;
}

}  // namespace

PathChange addMachinePathEntry(const String& directory) {
    if (!isSingleEntry(directory)) return PathChange::Failed;
    EnvironmentKey key;
    String path;
    if (!key.get() || !readPath(key.get(), path)) return PathChange::Failed;
    int start = 0, length = 0;
    if (findEntry(path, directory, start, length)) return PathChange::Unchanged;
    if (!path.isEmpty() && !path.lastCharIs(';')) path.appendChar(';');
    path.append(directory);
    if (!writePath(key.get(), path)) return PathChange::Failed;
    broadcastEnvironmentChange();
    return PathChange::Changed;
}

PathChange removeMachinePathEntry(const String& directory) {
    if (!isSingleEntry(directory)) return PathChange::Unchanged;
    EnvironmentKey key;
    String path;
    if (!key.get() || !readPath(key.get(), path)) return PathChange::Failed;
    int start = 0, length = 0;
    if (!findEntry(path, directory, start, length)) return PathChange::Unchanged;
    // The entry goes with one separator: the one before it, or after it when
    // it is the first entry.
    if (start > 0) {
        path.remove(start - 1, length + 1);
    } else {
        path.remove(0, start + length < path.length() ? length + 1 : length);
    }
    if (!writePath(key.get(), path)) return PathChange::Failed;
    broadcastEnvironmentChange();
    return PathChange::Changed;
}

void broadcastEnvironmentChange() {
    broadcastToWindows(WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>("Environment"));
}

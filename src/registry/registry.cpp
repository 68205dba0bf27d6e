#include "registry/registry.h"

#include "runtime/errors.h"
#include "runtime/process_state.h"

const char RequiredValueFormat[] =
    "The following registry key is required by %s, but is invalid or does not exist:\n\n%s%s\n\n"
    "If you have tried moving this program to a different computer by copying files, this will not "
    "work.  This program must be reinstalled.";

namespace {

HKEY theCurrentKey = nullptr;
String theCurrentKeyPath;
Stack<HKEY> keyStack;
Stack<String> keyPathStack;

const int FirstQueryBufferSize = 32;
const int SubkeyNameBufferSize = 199;

const char* rootPrefix(HKEY key) {
    if (key == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT\\";
    if (key == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER\\";
    if (key == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE\\";
    if (key == HKEY_USERS) return "HKEY_USERS\\";
    if (key == HKEY_CURRENT_CONFIG) return "HKEY_CURRENT_CONFIG\\";
    return nullptr;
}

HKEY softwareRoot(bool perUser) { return perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

String softwarePath(const char* path) { return String("Software\\") + path; }

// The text of string data: a REG_SZ loses its terminating NUL (when it has one).
void assignText(RegistryValue& out, DWORD type, const char* data, int size) {
    if (type == REG_SZ && size > 0 && data[size - 1] == 0) --size;
    out.isNumber = false;
    out.text.assign(data, size);
}

}  // namespace

HKEY currentKey() { return theCurrentKey; }
const String& currentKeyPath() { return theCurrentKeyPath; }

int openKey(HKEY parent, const char* subkey, unsigned flags) {
    HKEY key = nullptr;
    DWORD disposition = REG_OPENED_EXISTING_KEY;
    LONG result = (flags & RegFlagOpenExisting)
                      ? RegOpenKeyExA(parent, subkey, 0, KEY_ALL_ACCESS, &key)
                      : RegCreateKeyExA(parent, subkey, 0, const_cast<char*>(""), REG_OPTION_NON_VOLATILE,
                                        KEY_ALL_ACCESS, nullptr, &key, &disposition);
    if (result != ERROR_SUCCESS) {
        // The registry functions return their error; the error box reads it from here.
        SetLastError(static_cast<DWORD>(result));
        return 0;
    }
    keyStack.push(theCurrentKey);
    theCurrentKey = key;
    keyPathStack.push(theCurrentKeyPath);
    if (const char* prefix = rootPrefix(parent)) theCurrentKeyPath = prefix;
    // The root itself (an empty subkey) adds nothing, so the path never holds "\\".
    if (subkey && *subkey) {
        theCurrentKeyPath.append(subkey);
        theCurrentKeyPath.appendChar('\\');
    }
    if (disposition == REG_OPENED_EXISTING_KEY) return 1;
    if (disposition == REG_CREATED_NEW_KEY) return 2;
    reportConsistencyFailure("registry", 795);
}

int openSubkey(const char* subkey, unsigned flags) {
    if (!theCurrentKey) return 0;
    return openKey(theCurrentKey, subkey, flags);
}

int openSoftwareKey(const char* path, bool perUser, unsigned flags) {
    return openKey(softwareRoot(perUser), softwarePath(path).cStr(), flags);
}

void closeKey() {
    if (theCurrentKey) RegCloseKey(theCurrentKey);
    theCurrentKey = keyStack.pop();
    theCurrentKeyPath = keyPathStack.pop();
}

bool keyExists(HKEY root, const char* subkey) {
    if (!subkey || !*subkey) return false;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subkey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool softwareKeyExists(const char* path, bool perUser) {
    if (!path) return false;
    return keyExists(softwareRoot(perUser), softwarePath(path).cStr());
}

bool queryValue(const char* name, RegistryValue& out, unsigned flags) {
    if (!theCurrentKey) return false;
    char buffer[FirstQueryBufferSize];
    DWORD type = REG_NONE;
    DWORD size = sizeof buffer;
    LONG result = RegQueryValueExA(theCurrentKey, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    if (result == ERROR_SUCCESS) {
        if (type == REG_SZ || type == REG_BINARY || type == REG_MULTI_SZ) {
            assignText(out, type, buffer, static_cast<int>(size));
            return true;
        }
        if (type == REG_DWORD && size == 4) {
            out.isNumber = true;
            out.number = *reinterpret_cast<const int32_t*>(buffer);
            return true;
        }
        return false;
    }
    if (result == ERROR_FILE_NOT_FOUND) {
        if (flags & RegFlagRequired)
            reportFatalError(RequiredValueFormat, "Quillpack", theCurrentKeyPath.cStr(), name ? name : "");
        return false;
    }
    if (result != ERROR_MORE_DATA) reportConsistencyFailure("registry", 360);

    out.isNumber = false;
    out.text.clear();
    int length = static_cast<int>(size) - ((type == REG_SZ || type == REG_MULTI_SZ) ? 1 : 0);
    if (length < 1) return true;
    // The String keeps room for a NUL after its length, so the whole reported
    // size fits; the length is then cut to what the second query delivered,
    // which is shorter when the value changed in between.
    out.text.setLength(length);
    DWORD secondSize = static_cast<DWORD>(length) + 1;
    if (RegQueryValueExA(theCurrentKey, name, nullptr, &type, reinterpret_cast<BYTE*>(out.text.data()),
                         &secondSize) != ERROR_SUCCESS) {
        out.text.clear();
        return false;
    }
    int received = static_cast<int>(secondSize);
    if ((type == REG_SZ || type == REG_MULTI_SZ) && received > 0 && out.text.data()[received - 1] == 0) --received;
    out.text.setLength(received < length ? received : length);
    return true;
}

bool getBool(const char* name, bool defaultValue, unsigned flags) {
    RegistryValue value;
    if (!queryValue(name, value, flags)) return defaultValue;
    return value.isNumber ? value.number != 0 : !value.text.isEmpty();
}

int32_t getInt(const char* name, int32_t defaultValue, unsigned flags) {
    RegistryValue value;
    if (!queryValue(name, value, flags)) return defaultValue;
    return value.isNumber ? value.number : parseInt(value.text.cStr());
}

String getString(const char* name, const char* defaultValue, unsigned flags) {
    RegistryValue value;
    if (!queryValue(name, value, flags)) return String(defaultValue);
    return value.isNumber ? String::fromInt(value.number) : value.text;
}

String getStringAt(HKEY root, const char* fullPath, const char* defaultValue, unsigned flags) {
    String path(fullPath);
    int at = path.findLastChar('\\');
    String name = path.substring(at + 1);
    if (name.isEmpty()) return String(defaultValue);
    String keyPath = path.substring(0, at < 0 ? 0 : at);
    if (!openKey(root, keyPath.cStr(), 0)) return String(defaultValue);
    String text = getString(name.cStr(), "", flags);
    closeKey();
    return text;
}

bool setInt(const char* name, int32_t value, unsigned flags) {
    if ((flags & RegFlagDeleteIfEmpty) && value == 0) {
        deleteValue(name);
        return true;
    }
    if (!theCurrentKey) return false;
    return RegSetValueExA(theCurrentKey, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4) ==
           ERROR_SUCCESS;
}

bool setBool(const char* name, bool value) { return setInt(name, value ? 1 : 0, 0); }

bool setString(const char* name, const char* text, unsigned flags) {
    String value(text);
    if ((flags & RegFlagDeleteIfEmpty) && value.isEmpty()) return deleteValue(name);
    if (!theCurrentKey) return false;
    return RegSetValueExA(theCurrentKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.cStr()),
                          static_cast<DWORD>(value.length()) + 1) == ERROR_SUCCESS;
}

bool deleteValue(const char* name) {
    if (!theCurrentKey || !name) return false;
    return RegDeleteValueA(theCurrentKey, name) == ERROR_SUCCESS;
}

bool valueExists(const char* name) {
    if (!theCurrentKey) return false;
    return RegQueryValueExA(theCurrentKey, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool isKeyEmpty() {
    if (!theCurrentKey) return true;
    DWORD subkeys = 0, values = 0;
    if (RegQueryInfoKeyA(theCurrentKey, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return true;
    return subkeys == 0 && values == 0;
}

bool isSubkeyEmpty(const char* name) {
    if (!openSubkey(name, 0)) return true;
    bool empty = isKeyEmpty();
    closeKey();
    return empty;
}

int listSubkeys(NameList& names) {
    if (!theCurrentKey) return 0;
    int count = 0;
    for (DWORD index = 0;; ++index) {
        char name[SubkeyNameBufferSize];
        DWORD length = sizeof name;
        LONG result = RegEnumKeyExA(theCurrentKey, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result != ERROR_SUCCESS) {
            SetLastError(result == ERROR_NO_MORE_ITEMS ? 0 : static_cast<DWORD>(result));
            return count;
        }
        names.append(String(name, static_cast<int>(length)));
        ++count;
    }
}

bool deleteSubkey(const char* name, unsigned flags) {
    if (!theCurrentKey || !name || !*name) return false;
    if ((flags & RegFlagOnlyIfEmpty) && !isSubkeyEmpty(name)) return false;
    if (!openSubkey(name, 0)) {
        reportRegistryError(flags);
    } else {
        NameList subkeys;
        listSubkeys(subkeys);
        Iterator it;
        for (String* subkey = subkeys.first(it); subkey; subkey = subkeys.next(it)) deleteSubkey(subkey->cStr(), flags);
        closeKey();
    }
    LONG result = RegDeleteKeyA(theCurrentKey, name);
    if (result == ERROR_SUCCESS) return true;
    SetLastError(static_cast<DWORD>(result));
    reportRegistryError(flags);
    return false;
}

bool deleteKeyAt(HKEY root, const char* parentPath, const char* name, unsigned flags) {
    if (!openKey(root, parentPath, 0)) return false;
    bool deleted = deleteSubkey(name, flags);
    closeKey();
    return deleted;
}

bool deleteSoftwareKey(const char* path, bool perUser, unsigned flags) {
    String full = softwarePath(path);
    int at = full.findLastChar('\\');
    return deleteKeyAt(softwareRoot(perUser), full.substring(0, at).cStr(), full.substring(at + 1).cStr(), flags);
}

bool deleteSoftwareSubkey(const char* path, const char* name, bool perUser, unsigned flags) {
    return deleteKeyAt(softwareRoot(perUser), softwarePath(path).cStr(), name, flags);
}

void deleteSoftwareKeyTree(const char* path, bool perUser) {
    String product(path);
    if (product.isEmpty()) return;
    if (!deleteSoftwareKey(product.cStr(), perUser, 0)) return;
    int at = product.findLastChar('\\');
    if (at < 0) return;
    deleteSoftwareKey(product.substring(0, at).cStr(), perUser, RegFlagOnlyIfEmpty);
}

bool reportRegistryError(unsigned flags) {
    if (!(flags & RegFlagReportErrors)) return false;
    const char* text = systemErrorText();
    if (!*text) return false;
    // Automatic runs show no ordinary error boxes; the error still counts as reported.
    if (!automaticMode) MessageBoxA(nullptr, text, "Registry Error", MB_OK | MB_ICONERROR);
    return true;
}

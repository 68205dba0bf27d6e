// Registry keys named by text paths. One key at a time is current; opening a
// key pushes the previous one and closing pops it back, so callers nest opens
// and closes like brackets. Every value operation acts on the current key.
#pragma once

#include <cstdint>

#include "core/list.h"
#include "core/str.h"
#include "files/win32.h"

enum RegistryFlags : unsigned {
    RegFlagRequired = 0x02,       // reading: a missing value is fatal
    RegFlagDeleteIfEmpty = 0x08,  // writing: "" or 0 deletes the value instead
    RegFlagReportErrors = 0x10,   // opening inside a delete, deleting: show failures
    RegFlagOnlyIfEmpty = 0x20,    // deleting: only a key without subkeys and values
    RegFlagOpenExisting = 0x40,   // opening: never create
};

// A value as read: a number from REG_DWORD, else a text.
struct RegistryValue {
    bool isNumber = false;
    int32_t number = 0;
    String text;
};

using NameList = List<String>;

// The key that value operations use (none at start), and its display path
// ("HKEY_LOCAL_MACHINE\Software\Maker\", always ending in a backslash).
HKEY currentKey();
const String& currentKeyPath();

// 0 failure (nothing changes), 1 an existing key was opened, 2 a new key was
// created; on success the new key is current until the matching closeKey.
int openKey(HKEY parent, const char* subkey, unsigned flags);
int openSubkey(const char* subkey, unsigned flags);
// "Software\" + path under HKEY_CURRENT_USER (perUser) or HKEY_LOCAL_MACHINE.
int openSoftwareKey(const char* path, bool perUser, unsigned flags);
// Closes the current key and makes the previous one current again. Only
// after a successful open.
void closeKey();
bool keyExists(HKEY root, const char* subkey);
bool softwareKeyExists(const char* path, bool perUser);

bool queryValue(const char* name, RegistryValue& out, unsigned flags);
bool getBool(const char* name, bool defaultValue, unsigned flags);
int32_t getInt(const char* name, int32_t defaultValue, unsigned flags);
String getString(const char* name, const char* defaultValue, unsigned flags);
// Reads "key\path\value" below root: empty when the value is missing, the
// default only when there is no value name or the key cannot be opened.
String getStringAt(HKEY root, const char* fullPath, const char* defaultValue, unsigned flags);

bool setInt(const char* name, int32_t value, unsigned flags);
bool setBool(const char* name, bool value);
bool setString(const char* name, const char* text, unsigned flags);
bool deleteValue(const char* name);
bool valueExists(const char* name);

bool isKeyEmpty();
// Opens (creating if missing) the subkey to look: true also when that fails.
bool isSubkeyEmpty(const char* name);
// Appends the current key's direct subkey names; returns how many. Last-error
// is 0 after a complete enumeration, else the code that stopped it.
int listSubkeys(NameList& names);
// Deletes a subkey of the current key with everything below it.
bool deleteSubkey(const char* name, unsigned flags);
bool deleteKeyAt(HKEY root, const char* parentPath, const char* name, unsigned flags);
bool deleteSoftwareKey(const char* path, bool perUser, unsigned flags);
bool deleteSoftwareSubkey(const char* path, const char* name, bool perUser, unsigned flags);
// Removes a product's key and then its parent when that is left empty;
// keys further up are never touched.
void deleteSoftwareKeyTree(const char* path, bool perUser);

// With RegFlagReportErrors, shows the last system error in a "Registry Error"
// box and returns true; false without the flag or without an error text.
bool reportRegistryError(unsigned flags);

// The fixed text of a missing required value (title, key path, value name).
extern const char RequiredValueFormat[];

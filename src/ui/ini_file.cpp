#include "ui/ini_file.h"

#include "files/win32.h"

bool writeIniString(const char* section, const char* key, const char* value, const char* file) {
    return WritePrivateProfileStringA(section, key, value, file && *file ? file : "WIN.INI") != 0;
}

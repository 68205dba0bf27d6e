// Initialisation files: used for the "rename" section of "wininit.ini".
#pragma once

// WritePrivateProfileStringA; a null or empty file name means "WIN.INI".
bool writeIniString(const char* section, const char* key, const char* value, const char* file);

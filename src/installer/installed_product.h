// The product registry record: the key under Windows' uninstall list by
// which Windows offers a product for removal and through which an
// installation finds an earlier one.
#pragma once

#include "core/str.h"

// "Microsoft\Windows\CurrentVersion\Uninstall\<name>" below Software.
String productRecordPath(const String& productName);

// A name that makes one key of its own below the uninstall list: not blank
// and without a backslash (which would reach into another product's key, or
// with an empty name, into the list itself) or a double quote (which would
// end the name early in the uninstaller's command line).
bool isProductKeyName(const String& productName);

// True when the product's record holds an "UninstallString" or a
// "QuietUninstallString". location (when given) then receives its
// "InstallLocation"; it is emptied when the record is there without either
// command, and left alone when there is no record.
bool isProductInstalled(const String& productName, String* location);

// What registration writes into the product registry record, and the paths
// of the uninstaller files it names.
#pragma once

#include "core/str.h"
#include "installer/run_state.h"

// installDirectory\uninstallSubdir (the installation directory itself when
// there is no subfolder), and the uninstaller in it.
String uninstallFolder(const String& installDirectory);
String uninstallerPath(const String& installDirectory);
// /u:"<product name>"
String uninstallArgument();

// "PathEntryAdded": the folder this installation put on the machine's PATH,
// so that removal takes out exactly that entry and no other.
extern const char PathEntryValueName[];

// Opens the record (creating it) and writes every value, then reads
// "UninstallString" back. False when the record cannot be opened or that
// value does not read back as written. pathEntryAdded: the folder added to
// the machine's PATH by this run, or empty (an earlier installation's value
// then stays as it was).
bool writeProductRecord(const RunState& state, const String& pathEntryAdded);

// Kilobytes of the archive's files and the uninstaller, rounded up.
int32_t installedKilobytes();

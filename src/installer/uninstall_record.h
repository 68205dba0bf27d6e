// The uninstall record: every file and directory an installation puts on
// disk, kept in memory while the run goes and written at its end as
// "Uninstall.DAT" in the uninstall folder, together with the messages the
// uninstaller will show (it has no archive of its own to take them from).
//
// File layout (bytes as written, lines ended by "\r\n"):
//   one line per entry: a file's full path, or "~" and a directory's path
//   "\r\n\r\n"
//   "[Strings]\r\n"
//   per saved message: "~<number>\r\n<text>\r\n"
#pragma once

#include "core/hash_map.h"
#include "core/list.h"
#include "core/str.h"

struct UninstallRecord {
    UninstallRecord() { directories.setBucketCount(40); }

    String entries;       // the entry lines so far, in the order they came
    HashMap directories;  // upper-cased paths of the directories entered
};

// The messages the uninstaller needs, in the order they are written.
extern const int SavedMessageNumbers[];
extern const int SavedMessageCount;

// Forgets every entry and every directory entered.
void resetUninstallRecord(UninstallRecord& record);
// A file is entered every time; a directory only the first time (ignoring
// case). An empty path is ignored, and so is one holding a line break, which
// would otherwise read back as entries nobody made.
void addUninstallEntry(UninstallRecord& record, const String& path, bool isDirectory);
// installDirectory\uninstallSubdir\Uninstall.DAT
String uninstallRecordPath(const String& installDirectory);
// Writes the record file (replacing an earlier one), or deletes it when the
// record holds no entry. False when the write failed.
bool writeUninstallRecord(const UninstallRecord& record, const String& installDirectory);

// The uninstaller's side. Splits the text of "Uninstall.DAT" at its
// "[Strings]" line (found in any case): the messages after it go into the
// string table as language 0 (numbers 1 to 1000 only, at most 5000 lines
// looked at, a text's lines joined and trimmed at the end); the entry lines
// before it are returned. Without that line the whole text is entries.
String loadUninstallRecordText(String text);
// The entry lines, empty ones skipped: "~" and a directory, or a file.
void splitUninstallEntries(const String& entries, List<String>& files, List<String>& directories);

// The state of one installation run, owned by the run and passed down by
// reference to placement and registration, so each step can also be driven
// on its own with a state the caller builds.
#pragma once

#include <cstdint>

#include "core/list.h"
#include "core/str.h"
#include "files/win32.h"
#include "installer/uninstall_record.h"

// A shortcut to make once every file is placed.
struct ShortcutEntry {
    bool desktop = false;
    bool programGroup = false;
    bool startup = false;
    String target;  // the placed file
    String name;    // the shortcut's name (may hold a program group)
};

using MoveFileExFunction = BOOL(WINAPI*)(LPCSTR existing, LPCSTR replacement, DWORD flags);

struct RunState {
    String installDirectory;
    String archivePath;  // the installer's own file: registered as "InstallSource"
    bool reinstallation = false;  // installing over an earlier installation in its directory
    // The archive's flag word for this run; placement adds FlagRestartPending.
    uint32_t flags = 0;
    // Starts as the earlier installation's "SharedFiles" value; rebuilt from
    // sharedNames after placement.
    String sharedFilesText;
    String problemText;  // failure lines: the body of the installation log
    String detailsText;  // per-file decisions about existing files
    String fontList;     // "display name" "file name" pairs of the fonts added
    List<String> sharedNames;  // names of the shared-folder records, in record order
    List<ShortcutEntry> shortcutEntries;
    bool programGroupUsed = false;
    bool fontsAdded = false;
    bool endWindows = false;
    // Files in use are replaced at the next restart: on Windows NT through
    // MoveFileExA (linked at run time; null when it is missing), otherwise
    // through the "rename" section of wininit.ini.
    bool windowsNT = false;
    MoveFileExFunction moveFileEx = nullptr;
    UninstallRecord uninstallRecord;
};

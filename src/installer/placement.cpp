#include "installer/placement.h"

#include "archive/archive_format.h"
#include "files/directories.h"
#include "files/file.h"
#include "files/file_attributes.h"
#include "files/path_text.h"
#include "files/system_folders.h"
#include "installer/archive_reader.h"
#include "installer/file_writing.h"
#include "installer/fonts.h"
#include "installer/header_settings.h"
#include "installer/restart_replacement.h"
#include "runtime/errors.h"
#include "runtime/string_table.h"
#include "shell/file_version.h"
#include "shell/special_folders.h"
#include "ui/dialogs.h"

namespace {

bool isInInstallDirectory(int32_t kind) { return kind == KindInstallFolder || kind == KindStartup; }

String targetFolder(int32_t kind, const RunState& state) {
    switch (kind) {
    case KindInstallFolder:
    case KindStartup: return state.installDirectory;
    case KindShared: return sharedDirectory;
    case KindFont: return fontsDirectory();
    case KindSystem: return systemDirectory();
    default: reportCorruptArchive(CodeBadLocationKind);
    }
}

// Enters the file's folder and every folder between it and the installation
// directory, deepest first, so the uninstaller can remove them all in order.
void enterFolders(const String& target, RunState& state) {
    String prefix = state.installDirectory;
    prefix.appendCharIfMissing('\\');
    for (String folder = directoryOf(target);
         folder.length() > prefix.length() && folder.compare(prefix, false, prefix.length()) == 0;
         folder = directoryOf(folder))
        addUninstallEntry(state.uninstallRecord, folder, true);
}

// The file's folder is created for every kind (a record name may hold
// subfolders); an installation-directory folder is also entered into the
// uninstall record, even when it could not be made, unless the whole
// directory goes at uninstallation.
void prepareFolder(const String& target, bool inInstallDirectory, RunState& state) {
    String folder = directoryOf(target);
    if (inInstallDirectory && pathsEqual(folder, state.installDirectory)) return;
    if (!createDirectoryTree(folder.cStr()))
        state.problemText.appendFormat("%s %s\r\n", message(25), folder.cStr());
    if (inInstallDirectory && !(state.flags & FlagRemoveWholeDirectory)) enterFolders(target, state);
}

// A system-folder file stays when its version or its date is not newer.
bool systemFileIsNewer(const FileRecord& record, const String& target, RunState& state) {
    if (!record.extra.isBlank()) {
        String existingVersion = fileVersion(target.cStr(), true);
        if (!existingVersion.isBlank() && record.extra.compare(existingVersion) <= 0) {
            state.detailsText.appendFormat("%s was not installed because its version is not newer.\r\n",
                                           target.cStr());
            return false;
        }
    }
    FileDateTime existingTime;
    if (!fileTimeOf(target.cStr(), &existingTime)) return false;
    if (existingTime.compare(record.fileTime) >= 0) {
        state.detailsText.appendFormat("%s was not installed because its date is not newer.\r\n", target.cStr());
        return false;
    }
    return true;
}

// Places the record at target (a path in its kind's folder).
void place(const FileRecord& record, const String& name, String target, RunState& state) {
    const int32_t kind = record.kind;
    const bool inInstallDirectory = isInInstallDirectory(kind);
    const int32_t mode = record.fileFlags & PlacementMask;
    if (mode == PlaceOnlyIfPresent && !fileExists(target.cStr())) return;
    if (mode == PlaceOnlyIfMissing && fileExists(target.cStr())) {
        // Only the product's own folder: a shared file, a font or a system
        // file that was there before is not this installation's to remove.
        if (inInstallDirectory) addUninstallEntry(state.uninstallRecord, target, false);
        return;
    }

    bool exists = false;
    if (!inInstallDirectory) {
        exists = fileExists(target.cStr());
        if (exists && kind == KindSystem && !systemFileIsNewer(record, target, state)) return;
    }
    if (exists) {
        if (kind != KindSystem && !needsReplacing(target.cStr(), record.fileTime)) {
            state.detailsText.appendFormat("%s is up to date.\r\n", target.cStr());
            return;
        }
        state.detailsText.appendFormat("%s is out of date and will be replaced.\r\n", target.cStr());
    }

    String realTarget;
    if (exists && !isFileWritable(target.cStr())) {
        realTarget = target;
        target = restartTemporaryFile(state.installDirectory);
        if (target.isEmpty()) {
            state.problemText.appendFormat("%s %s\r\n", message(31), realTarget.cStr());
            return;
        }
    }

    prepareFolder(target, inInstallDirectory, state);
    if (inInstallDirectory && !(state.flags & FlagRemoveWholeDirectory))
        addUninstallEntry(state.uninstallRecord, target, false);
    if (!writeFileWithRetry(target.cStr(), record.contents, record.fileTime, state.flags, state.problemText)) {
        // An empty temporary file would only be left behind.
        if (!realTarget.isEmpty()) deleteFile(target.cStr());
        return;
    }
    if (kind == KindFont && !addFont(name, record.extra, target, state)) return;
    if (!realTarget.isEmpty()) scheduleRestartReplacement(target, realTarget, state);
    setProgressText("%s -> %s", name.cStr(), target.cStr());
}

}  // namespace

bool needsReplacing(const char* path, const FileDateTime& fileTime) {
    if (!fileTime.isSet()) return true;
    FileDateTime existing;
    return !fileTimeOf(path, &existing) || existing.compare(fileTime) < 0;
}

void placeFileRecord(const FileRecord& record, RunState& state) {
    // Both separators are valid in a record name; the folder work below
    // splits at backslashes only.
    String name = record.name;
    name.replaceAll("/", "\\");
    String target = joinPath(targetFolder(record.kind, state), name);
    if (record.kind == KindShared) state.sharedNames.append(name);
    if ((record.fileFlags & PlacementMask) == PlaceInvalid) reportCorruptArchive(CodeBadPlacementMode);

    place(record, name, target, state);

    // One shortcut entry per record, and only for a file that is there now
    // (placed, or kept by its placement mode or a failed write).
    const int32_t wanted = record.fileFlags & (FileDesktopShortcut | FileProgramGroupShortcut);
    if (isInInstallDirectory(record.kind) && wanted && fileExists(target.cStr())) {
        ShortcutEntry entry;
        entry.desktop = (wanted & FileDesktopShortcut) != 0;
        entry.programGroup = (wanted & FileProgramGroupShortcut) != 0;
        entry.startup = record.kind == KindStartup;
        entry.target = target;
        entry.name = record.extra;
        state.shortcutEntries.append(entry);
    }
}

void placeFiles(MemoryStream& payload, const int32_t* fileSizes, int fileCount, RunState& state,
                BackgroundExpansion* background) {
    for (int i = 0; i < fileCount; ++i) {
        setProgressPosition(i * 40 / fileCount + 45);
        FileRecord record;
        readFileRecord(payload, fileSizes[i], record, background);
        placeFileRecord(record, state);
    }
}

#include "installer/install_directory.h"

#include "archive/archive_format.h"
#include "core/number_text.h"
#include "files/directories.h"
#include "files/drives.h"
#include "files/file_attributes.h"
#include "files/path_text.h"
#include "installer/checked_message.h"
#include "installer/header_settings.h"
#include "runtime/errors.h"
#include "runtime/process_state.h"
#include "runtime/string_table.h"
#include "shell/special_folders.h"
#include "ui/dialogs.h"

namespace {

const char InvalidDirectoryFormat[] = "Unable to install into this directory:\r\n%s";

// Bytes the archive's files take on a drive with this cluster size: each
// file rounded up to whole clusters (no rounding for a size below 2).
int64_t spaceNeeded(int32_t cluster) {
    int64_t needed = 0;
    for (int i = 0; i < archiveHeader.fileCount; ++i) {
        int64_t size = archiveHeader.fileSize(i);
        if (cluster >= 2) size = (size + cluster - 1) / cluster * cluster;
        needed += size;
    }
    return needed;
}

// Below the free space: true when the user still wants this directory.
bool acceptSpace(char drive) {
    int64_t needed = spaceNeeded(clusterSize(drive));
    int64_t free = diskFreeSpace(drive);
    if (needed < free) return true;
    String text = String::format(messageFormat(19, "%s are needed on drive %c:, but only %s are free."),
                                 formatSize(needed).cStr(), drive, formatSize(free).cStr());
    return MessageBoxA(backgroundWindow, text.cStr(), message(20), MB_YESNO | MB_ICONHAND) == IDYES;
}

// One offer of the directory dialog: true when the directory is accepted
// and exists.
bool chooseOnce(String& directory) {
    if (!chooseDirectory(directory)) exitProgram(ExitOutcome::Cancelled);
    directory.trim();
    if (directory.isEmpty()) return false;
    String problem = installDirectoryProblem(directory);
    if (!problem.isEmpty()) {
        reportError("%s", problem.cStr());
        return false;
    }
    if (!acceptSpace(driveLetterOf(directory))) return false;
    const bool exists = directoryExists(directory.cStr());
    String question = exists ? String::format(messageFormat(22, "Install into %s?"), directory.cStr())
                             : String::format(messageFormat(23, "Create %s and install there?"), directory.cStr());
    if (MessageBoxA(backgroundWindow, question.cStr(), message(24), MB_YESNO | MB_ICONQUESTION) != IDYES) return false;
    if (!exists && !createDirectoryTree(directory.cStr())) {
        reportError("%s\n%s", message(25), directory.cStr());
        return false;
    }
    return true;
}

}  // namespace

String installDirectoryProblem(const String& directory) {
    if (!isValidPath(directory) || !isAbsoluteDrivePath(directory))
        return String::format("%s\r\n%s", message(14), directory.cStr());
    const char drive = driveLetterOf(directory);
    if (!driveExists(drive)) return String::format(messageFormat(16, "Drive %c: does not exist."), drive);
    if (directory.length() <= 3) return String(messageFormat(17, "Please choose a directory, not a whole drive."));
    String programFiles = programFilesDirectory();
    if (pathsEqual(directory, programFiles))
        return String::format(messageFormat(18, "Please choose a directory below %s."), programFiles.cStr());
    return String();
}

void settleInstallDirectory(RunState& state) {
    String& directory = state.installDirectory;
    directory.trim();
    if (directory.isEmpty()) directory = defaultDirectory;
    if (automaticMode || !(state.flags & FlagChooseDirectory)) {
        String problem = installDirectoryProblem(directory);
        if (!problem.isEmpty()) reportFatalError(InvalidDirectoryFormat, problem.cStr());
        requireDirectory(directory.cStr());
        return;
    }
    while (!chooseOnce(directory)) {
    }
}

// Places the payload of the installer given as its first argument into the
// directory given as its second, as the installation run will: the archive
// read by the program's own reader, every record through placeFiles, the
// shared counts, and Uninstall.DAT written. Prints the run's texts so the
// caller can compare them; the files and registry values it checks itself.
#include <cstdio>

#include "archive/archive_format.h"
#include "files/directories.h"
#include "installer/archive_reader.h"
#include "installer/header_settings.h"
#include "installer/own_file.h"
#include "installer/placement.h"
#include "installer/restart_replacement.h"
#include "installer/shared_counts.h"
#include "installer/uninstall_record.h"
#include "runtime/errors.h"
#include "runtime/process_state.h"
#include "ui/background.h"

namespace {

void printSection(const char* name, const String& text) {
    std::printf("== %s\n%s", name, text.cStr());
    if (text.length() > 0 && text.charAt(text.length() - 1) != '\n') std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: archive_place SETUP.EXE DIRECTORY\n");
        return 64;
    }
    setDefaultBackgroundColors();
    File file;
    openOwnFile(file, String(argv[1]));
    readArchiveHeader(file);
    MemoryStream payload;
    readPayload(file, payload);

    RunState state;
    state.installDirectory = String(argv[2]);
    state.flags = productFlags;
    state.windowsNT = isWindowsNT();
    state.moveFileEx = linkMoveFileEx();
    createDirectoryTree(state.installDirectory.cStr());
    if (state.flags & FlagRegisterProduct) createDirectoryTree(sharedDirectory.cStr());
    resetUninstallRecord(state.uninstallRecord);
    placeFiles(payload, archiveHeader.fileSizes, archiveHeader.fileCount, state);
    if (state.flags & FlagRegisterProduct) updateSharedFileCounts(state);
    createDirectoryTree((state.installDirectory + "\\" + uninstallSubdir).cStr());
    bool written = writeUninstallRecord(state.uninstallRecord, state.installDirectory);

    printSection("problems", state.problemText);
    printSection("details", state.detailsText);
    printSection("fonts", state.fontList);
    printSection("shared", state.sharedFilesText);
    std::printf("== shortcuts\n");
    for (Cursor<ShortcutEntry> cursor(&state.shortcutEntries); cursor.advance();) {
        const ShortcutEntry& entry = *cursor.value();
        std::printf("%s|%d%d%d|%s\n", entry.name.cStr(), entry.desktop, entry.programGroup, entry.startup,
                    entry.target.cStr());
    }
    std::printf("== record %s\n", written ? "written" : "not written");
    std::fflush(stdout);
    exitProgram(ExitOutcome::Finished);
}

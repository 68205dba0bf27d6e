#include "installer/installation_run.h"

#include "archive/archive_format.h"
#include "files/directories.h"
#include "files/path_text.h"
#include "installer/archive_reader.h"
#include "installer/batch_script.h"
#include "installer/broadcasts.h"
#include "installer/header_settings.h"
#include "installer/install_directory.h"
#include "installer/install_log.h"
#include "installer/install_questions.h"
#include "installer/placement.h"
#include "installer/product_registration.h"
#include "installer/restart_replacement.h"
#include "installer/shared_counts.h"
#include "installer/uninstall_record.h"
#include "installer/windows_restart.h"
#include "runtime/errors.h"
#include "runtime/process_state.h"
#include "runtime/string_table.h"
#include "shell/shortcuts.h"
#include "shell/special_folders.h"
#include "ui/dialogs.h"

namespace {

void runArchiveScript(const RunState& state, ScriptIndex script) {
    runScript(state.installDirectory, archiveHeader.scripts[script], sharedDirectory, state.flags);
}

void recordShortcut(RunState& state, bool made, const String& link) {
    if (made)
        addUninstallEntry(state.uninstallRecord, link, false);
    else
        state.problemText.appendFormat("%s %s\r\n", message(31), link.cStr());
}

// Up to three shortcuts per entry, in the order the files were placed. The
// names come from the archive: one that is not a plain relative path (a
// drive, a leading backslash, "..") would put a link outside its folder, so
// such a shortcut is not made and is a problem line instead.
void makeShortcuts(RunState& state) {
    const char* workingDirectory = state.installDirectory.cStr();
    const bool groupIsSafe = startMenuFolder.isEmpty() || isSafeRecordName(startMenuFolder.cStr());
    for (Cursor<ShortcutEntry> cursor(&state.shortcutEntries); cursor.advance();) {
        const ShortcutEntry& entry = *cursor.value();
        if (!isSafeRecordName(entry.name.cStr()) || (entry.programGroup && !groupIsSafe)) {
            state.problemText.appendFormat("%s %s\r\n", message(31), entry.name.cStr());
            continue;
        }
        if (entry.desktop) {
            String link;
            bool made = createDesktopShortcut(entry.name.cStr(), entry.target.cStr(), "", workingDirectory, &link);
            recordShortcut(state, made, link);
        }
        if (entry.programGroup) {
            String link;
            bool made = createProgramsShortcut(joinPath(startMenuFolder, entry.name).cStr(), entry.target.cStr(), "",
                                               workingDirectory, &link);
            if (made) state.programGroupUsed = true;
            recordShortcut(state, made, link);
        }
        if (entry.startup) {
            String link = joinPath(startupDirectory(), entry.name);
            bool made = createShortcut(link, entry.target.cStr(), "", workingDirectory);
            recordShortcut(state, made, link);
        }
    }
}

// Places the payload and makes the product removable; the progress dialog
// is open throughout, and failures become lines of state.problemText.
void installFiles(File& programFile, RunState& state) {
    openProgressDialog();
    setProgressText("%s", message(8));
    {
        MemoryStream payload;
        BackgroundExpansion expansion;  // declared after the payload: its thread ends first
        readPayload(programFile, payload, &expansion);
        state.windowsNT = isWindowsNT();
        state.moveFileEx = state.windowsNT ? linkMoveFileEx() : nullptr;
        resetUninstallRecord(state.uninstallRecord);
        placeFiles(payload, archiveHeader.fileSizes, archiveHeader.fileCount, state, &expansion);
        // Damage behind the last record is damage all the same.
        if (!expansion.finish()) reportCorruptArchive(CodePayloadExpandFailed);
    }
    if (state.fontsAdded) broadcastFontChange();
    setProgressPosition(87);
    if (state.flags & FlagRegisterProduct) updateSharedFileCounts(state);
    setProgressPosition(90);
    setProgressText("%s", message(32));
    makeShortcuts(state);
    registerProduct(state);
    runArchiveScript(state, ScriptPostInstall);
    closeProgressDialog();
}

// Whether to restart Windows now that files wait for it: never with
// /norestart, without a question in automatic mode, else as the user says.
bool wantsRestart(const InstallationOptions& options) {
    if (options.noRestart) return false;
    if (automaticMode) return true;
    return MessageBoxA(backgroundWindow, message(37), message(20), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace

void runInstallation(File& programFile, const InstallationOptions& options) {
    RunState state;
    state.archivePath = options.archivePath;
    state.installDirectory = options.installDirectory;
    state.flags = productFlags;
    askInstallationQuestions(state);
    if (!state.reinstallation) settleInstallDirectory(state);

    runArchiveScript(state, ScriptPreInstall);
    installFiles(programFile, state);
    writeInstallLog(state.problemText, state.detailsText, state.installDirectory, state.reinstallation, true,
                    state.flags);

    const bool restartNeeded = (state.flags & FlagRestartPending) != 0;
    state.endWindows = restartNeeded && wantsRestart(options);
    runArchiveScript(state, ScriptFinal);
    if (!sharedDirectory.isEmpty()) removeDirectory(sharedDirectory.cStr());
    removeDirectory(state.installDirectory.cStr());

    const bool restarting = state.endWindows && restartWindows(state.windowsNT);
    // Problems outrank a pending restart in the exit code: the log says what
    // went wrong, and a failed replacement is one of its lines.
    ExitOutcome outcome = ExitOutcome::Finished;
    if (!state.problemText.isEmpty())
        outcome = ExitOutcome::FinishedWithProblems;
    else if (restartNeeded && !restarting)
        outcome = ExitOutcome::FinishedRestartNeeded;
    exitProgram(outcome);
}

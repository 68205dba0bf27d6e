#include "installer/product_registration.h"

#include "archive/archive_format.h"
#include "files/directories.h"
#include "files/path_text.h"
#include "installer/autoexec_path.h"
#include "installer/file_writing.h"
#include "installer/header_settings.h"
#include "installer/machine_path.h"
#include "installer/product_record.h"
#include "registry/registry.h"
#include "runtime/process_state.h"
#include "runtime/string_table.h"
#include "shell/shortcuts.h"
#include "ui/background.h"
#include "ui/dialogs.h"

const char RegistrationFailedText[] =
    "Unable to register the uninstall information.  Uninstall will not work properly.\r\n\r\n";

namespace {

void addProblemLine(RunState& state, const String& path) {
    state.problemText.appendFormat("%s %s\r\n", message(31), path.cStr());
}

void createUninstallShortcuts(RunState& state, const String& uninstaller) {
    String folder = uninstallFolder(state.installDirectory);
    if (!uninstallSubdir.isEmpty()) createDirectoryTree(folder.cStr());
    String shortcutName = String::format("%s %s", message(33), productName.cStr());
    String argument = uninstallArgument();
    if (state.programGroupUsed) {
        String link;
        if (createProgramsShortcut(joinPath(startMenuFolder, shortcutName).cStr(), uninstaller.cStr(), argument.cStr(),
                                   "", &link))
            addUninstallEntry(state.uninstallRecord, link, false);
        else
            addProblemLine(state, link);
    }
    String link = joinPath(folder, shortcutName);
    if (createShortcut(link, uninstaller.cStr(), argument.cStr(), ""))
        addUninstallEntry(state.uninstallRecord, link, false);
    else
        addProblemLine(state, link);
}

void createProductKeys(RunState& state) {
    const String& key = archiveHeader.productRegistryKey;
    if (key.isEmpty()) return;
    bool created = true;
    const bool scopes[] = {false, true};  // the machine's key, then the user's
    for (bool perUser : scopes) {
        if (openSoftwareKey(key.cStr(), perUser, 0))
            closeKey();
        else
            created = false;
    }
    if (!created) state.problemText.appendFormat("Error creating registry keys:\r\n%s\r\n\r\n", key.cStr());
}

// The folder on the PATH: the autoexec.bat line, and on Windows NT (which
// ignores that file) the machine's "Path" value too. Returns the entry when
// this run added it to "Path".
String addToPath(RunState& state) {
    state.problemText.append(updateAutoexecPath(state.installDirectory, true));
    if (!state.windowsNT) return String();
    switch (addMachinePathEntry(state.installDirectory)) {
    case PathChange::Changed:
        return state.installDirectory;
    case PathChange::Unchanged:
        return String();
    case PathChange::Failed:
        break;
    }
    String where = String::format("HKEY_LOCAL_MACHINE\\%s (Path)", MachineEnvironmentKey);
    state.problemText.append(pathChangeFailureText(where.cStr(), state.installDirectory, true));
    return String();
}

}  // namespace

bool writeUninstaller(const String& path, const String& bytes, const FileDateTime& time, RunState& state) {
    return writeFileWithRetry(path.cStr(), bytes, time, state.flags, state.problemText);
}

void registerProduct(RunState& state) {
    bool registering = (state.flags & FlagRegisterProduct) != 0;
    String uninstaller = uninstallerPath(state.installDirectory);
    if (registering) createUninstallShortcuts(state, uninstaller);
    setProgressPosition(95);

    if (!background.picture.isEmpty() && (state.flags & FlagKeepPicture)) {
        String picturePath = joinPath(uninstallFolder(state.installDirectory), "Installer Background.BMP");
        background.picture.saveToFile(picturePath.cStr());
        addUninstallEntry(state.uninstallRecord, picturePath, false);
    }
    createProductKeys(state);
    String pathEntryAdded;
    if (state.flags & FlagAddToPath) pathEntryAdded = addToPath(state);

    if (registering) {
        writeUninstaller(uninstaller, programBytes, archiveHeader.uninstallerTime, state);
        if (!writeProductRecord(state, pathEntryAdded)) state.problemText.append(RegistrationFailedText);
    }
    setProgressText("%s", message(36));
    setProgressPosition(100);
    if (registering && !writeUninstallRecord(state.uninstallRecord, state.installDirectory))
        addProblemLine(state, uninstallRecordPath(state.installDirectory));
}

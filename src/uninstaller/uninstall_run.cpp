#include "uninstaller/uninstall_run.h"

#include "archive/archive_format.h"
#include "core/quick_sort.h"
#include "files/directories.h"
#include "files/file.h"
#include "files/file_attributes.h"
#include "files/path_text.h"
#include "installer/autoexec_path.h"
#include "installer/batch_script.h"
#include "installer/broadcasts.h"
#include "installer/fonts.h"
#include "installer/header_settings.h"
#include "installer/installed_product.h"
#include "installer/machine_path.h"
#include "installer/product_record.h"
#include "installer/restart_replacement.h"
#include "installer/shared_counts.h"
#include "installer/uninstall_record.h"
#include "registry/registry.h"
#include "runtime/errors.h"
#include "runtime/process_state.h"
#include "runtime/string_table.h"
#include "shell/special_folders.h"
#include "ui/background.h"
#include "uninstaller/protected_folders.h"
#include "uninstaller/self_removal.h"

const char ProductMissingFormat[] = "No product named '%s' is installed.";
const char RecordUnusableFormat[] =
    "Unable to access the uninstall information for:\r\n%s\r\n\r\nThe uninstallation cannot be performed.";
const char SharedCountsErrorText[] = "REGISTRY ERROR:  Unable to adjust shared file reference counts.\r\n\r\n";

namespace {

const char SharedCountsKey[] = "Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// Keys below Software that belong to the system or to every program.
const char* const SystemKeyNames[] = {"Microsoft", "Classes", "Policies", "Wow6432Node", "Clients",
                                      "RegisteredApplications"};

// What the boxes say when the record brings no text of its own (its
// "Uninstall.DAT" is gone or damaged): never an empty question.
struct FallbackText {
    int number;
    const char* text;
};
const FallbackText FallbackTexts[] = {
    {10, "Some items could not be removed:\r\n\r\n%s"},
    {15, "Uninstall"},
    {20, "Uninstall"},
    {34, "The product has been removed."},
    {35, "Remove Shared File?"},
    {53, "Do you want to remove this product and all of its components?"},
    {55, "Uninstall"},
    {56, "Do you want to remove the font %s?"},
    {57, "Remove Font?"},
    {58, "Unable to remove"},
    {59, "The shared file %s is no longer used. Do you want to remove it?"},
};

const char* uninstallerMessage(int number) {
    const char* text = message(number);
    if (*text) return text;
    for (const FallbackText& fallback : FallbackTexts)
        if (fallback.number == number) return fallback.text;
    return text;
}

struct UninstallRun {
    String installDirectory;
    String uninstallFolder;
    String problemText;
    UninstallRecord record;
};

void addProblemLine(UninstallRun& run, const String& path) {
    run.problemText.appendFormat("%s %s\r\n", uninstallerMessage(58), path.cStr());
}

// A text of the record used with one argument: as a format only when its
// one conversion is %s, else followed by the argument.
String formatMessage(int number, const String& argument) {
    const char* text = uninstallerMessage(number);
    if (formatConversionsAre(text, "s")) return String::format(text, argument.cStr());  // NOLINT: checked above
    String shown(text);
    if (!shown.isEmpty()) shown.append("\r\n\r\n");
    shown.append(argument);
    return shown;
}

bool askYes(const String& question, int captionNumber) {
    return MessageBoxA(backgroundWindow, question.cStr(), uninstallerMessage(captionNumber), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// A file is there when the system lists it, even when nobody may read it.
bool isExistingFile(const char* path) {
    uint32_t attributes = fileAttributes(path);
    return attributes != 0xFFFFFFFF && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isPlainInstallDirectory(const String& directory) {
    String folder = comparableFolder(directory);
    return folder.length() > 2;  // "X:" alone is a drive root
}

void readBackground(uint32_t flags, const String& uninstallFolder) {
    background.title = getString("DisplayTitle", "", 0);
    background.titleColor = static_cast<COLORREF>(getInt("TitleColor", static_cast<int32_t>(GetSysColor(COLOR_WINDOWTEXT)), 0));
    background.topColor = static_cast<COLORREF>(getInt("TopColor", static_cast<int32_t>(GetSysColor(COLOR_WINDOW)), 0));
    background.bottomColor = static_cast<COLORREF>(getInt("BottomColor", 0, 0));
    background.plainColor = getBool("MonoColor", true, 0);
    if (flags & FlagKeepPicture)
        background.picture.loadFromFile(joinPath(uninstallFolder, "Installer Background.BMP").cStr());
    repaintBackground();
    if (backgroundWindow) UpdateWindow(backgroundWindow);
}

// The font's value under the machine's Fonts key, only while it still
// names this font's file (another product may have registered the name since).
void unregisterFont(const String& displayName, const String& fontFile) {
    if (!openSoftwareKey(fontsRegistryKey(isWindowsNT()), false, RegFlagOpenExisting)) return;
    if (getString(displayName.cStr(), "", 0).compare(fontFile, false) == 0) deleteValue(displayName.cStr());
    closeKey();
}

void removeFonts(UninstallRun& run) {
    String list = getString("ProductFonts", "", 0);
    if (list.isEmpty()) return;
    String kept;
    bool removedAny = false;
    for (;;) {
        list.trimLeft();
        String name = list.nextWord();
        if (name.isEmpty()) break;
        list.trimLeft();
        String fontFile = list.nextWord();
        if (fontFile.isEmpty()) break;
        if (!automaticMode && (productFlags & FlagAskBeforeFontRemoval) && !askYes(formatMessage(56, name), 57))
            continue;
        // The installation lists file names relative to the Fonts folder;
        // any other name would reach outside it.
        if (!isSafeRecordName(fontFile.cStr())) {
            addProblemLine(run, fontFile);
            continue;
        }
        // Windows finds the font by the name it was added under, some
        // systems only by its full path. A font no session has loaded cannot
        // be unloaded, yet it is gone as soon as its file is.
        String fontPath = joinPath(fontsDirectory(), fontFile);
        bool unloaded = RemoveFontResourceA(fontFile.cStr()) || RemoveFontResourceA(fontPath.cStr());
        bool fileGone = deleteFile(fontPath.cStr()) || !isExistingFile(fontPath.cStr());
        if (!unloaded && !fileGone) {
            addProblemLine(run, fontFile);
            kept.appendFormat("\"%s\" \"%s\" ", name.cStr(), fontFile.cStr());
            continue;
        }
        unregisterFont(name, fontFile);
        removedAny = true;
    }
    setString("ProductFonts", kept.cStr(), 0);
    if (removedAny) broadcastFontChange();
}

void removeFiles(UninstallRun& run, const List<String>& files) {
    Iterator it;
    for (String* path = files.first(it); path; path = files.next(it)) {
        if (!isRemovableEntry(*path, false, run.installDirectory)) {
            addProblemLine(run, *path);
            continue;
        }
        if (!isExistingFile(path->cStr())) continue;
        if (!deleteFile(path->cStr())) {
            addProblemLine(run, *path);
            addUninstallEntry(run.record, *path, false);
        }
    }
}

int longerFirst(const void* a, const void* b, void*) {
    return (*static_cast<const String* const*>(b))->length() - (*static_cast<const String* const*>(a))->length();
}

// Deeper directories before their parents: longest path first.
void removeDirectories(UninstallRun& run, const List<String>& directories) {
    int count = directories.count();
    if (count == 0) return;
    const String** order = new const String*[static_cast<size_t>(count)];
    int n = 0;
    Iterator it;
    for (String* path = directories.first(it); path; path = directories.next(it)) order[n++] = path;
    quickSort(order, n, sizeof order[0], longerFirst, nullptr);
    for (int i = 0; i < n; ++i) {
        const String& path = *order[i];
        if (!isRemovableEntry(path, true, run.installDirectory)) {
            addProblemLine(run, path);
            continue;
        }
        if (directoryExists(path.cStr()) && !removeDirectory(path.cStr())) {
            addProblemLine(run, path);
            addUninstallEntry(run.record, path, true);
        }
    }
    delete[] order;
}

// The program group: the product's folder and the folders above it inside
// the Programs folder, each only when empty; the Programs folder itself and
// everything above it stay.
void removeStartMenuFolder() {
    String group = getString("ProductStartMenu", "", 0);
    if (group.isEmpty() || !isSafeRecordName(group.cStr())) return;
    group.replaceAll("/", "\\");
    group.trimRight('\\');
    String programs = programsDirectory();
    while (!group.isEmpty()) {
        if (!removeDirectory(joinPath(programs, group).cStr())) return;
        int separator = group.findLastChar('\\');
        if (separator < 0) return;
        group.truncate(separator);
    }
}

void releaseSharedFiles(UninstallRun& run) {
    String list = getString("SharedFiles", "", 0);
    if (list.isEmpty()) return;
    // The names are relative to the shared directory; without a plain
    // absolute one they would name files wherever the process stands.
    if (comparableFolder(sharedDirectory).isEmpty()) return;
    if (!openSoftwareKey(SharedCountsKey, false, 0)) {
        run.problemText.append(SharedCountsErrorText);
        return;
    }
    while (!list.isEmpty()) {
        String name = takeSharedFileName(list);
        if (name.isEmpty()) break;
        name.replaceAll("/", "\\");
        if (!isSafeRecordName(name.cStr())) continue;
        // The full path the installation counted the file under.
        String path = sharedFilePath(name);
        int32_t count = getInt(path.cStr(), 0, 0);
        if (count >= 1) {
            setInt(path.cStr(), count - 1, RegFlagDeleteIfEmpty);
            if (count - 1 >= 1) continue;
        }
        if (!isExistingFile(path.cStr())) continue;
        if (!automaticMode && (productFlags & FlagAskBeforeSharedRemoval) && !askYes(formatMessage(59, path), 35))
            continue;
        deleteFile(path.cStr());
    }
    closeKey();
}

void removeProductKeys() {
    String key = getString("ProductRegistry", "", 0);
    if (key.isEmpty()) return;
    if (isRemovableProductKey(key)) {
        deleteSoftwareKeyTree(key.cStr(), false);
        deleteSoftwareKeyTree(key.cStr(), true);
    }
    deleteValue("ProductRegistry");
}

// The PATH entries the installation made: the autoexec.bat line, and on
// Windows NT the machine "Path" entry it recorded as its own.
void removeFromPath(const String& installDirectory) {
    reportError("%s", updateAutoexecPath(installDirectory, false).cStr());
    String added = getString(PathEntryValueName, "", 0);
    if (added.isEmpty() || !pathsEqual(added, installDirectory)) return;
    switch (removeMachinePathEntry(added)) {
    case PathChange::Changed:
        broadcastEnvironmentChange();
        break;
    case PathChange::Unchanged:
        break;
    case PathChange::Failed: {
        String where = String::format("HKEY_LOCAL_MACHINE\\%s (Path)", MachineEnvironmentKey);
        reportError("%s", pathChangeFailureText(where.cStr(), added, false).cStr());
        return;
    }
    }
    deleteValue(PathEntryValueName);
}

void finishRegistration(const String& installDirectory) {
    if (productFlags & FlagAddToPath) removeFromPath(installDirectory);
    String script = getString("UninstallBatch2", "", 0);
    runScript(driveRootOf(installDirectory), script, String(), productFlags);
    deleteValue("UninstallBatch2");
    deleteSoftwareSubkey("Microsoft\\Windows\\CurrentVersion\\Uninstall", productName.cStr(), false, 0);
}

void reportOutcome(const UninstallRun& run) {
    if (automaticMode) return;
    if (run.problemText.isEmpty())
        MessageBoxA(backgroundWindow, uninstallerMessage(34), uninstallerMessage(15), MB_ICONINFORMATION);
    else
        MessageBoxA(backgroundWindow, formatMessage(10, run.problemText).cStr(), uninstallerMessage(20), MB_ICONEXCLAMATION);
}

// Everything between the confirmation and the report, with the record's key current.
void removeProduct(UninstallRun& run, const String& entrySection) {
    sharedDirectory = getString("SharedPath", "", 0);
    String script = getString("UninstallBatch1", "", 0);
    if (!script.isEmpty()) {
        runScript(run.installDirectory, script, sharedDirectory, productFlags);
        deleteValue("UninstallBatch1");
    }
    removeFonts(run);

    resetUninstallRecord(run.record);
    List<String> files;
    List<String> directories;
    splitUninstallEntries(entrySection, files, directories);
    removeFiles(run, files);
    removeDirectories(run, directories);
    deleteFile(joinPath(run.uninstallFolder, "Install.LOG").cStr());
    writeUninstallRecord(run.record, run.installDirectory);
    resetUninstallRecord(run.record);

    removeStartMenuFolder();
    releaseSharedFiles(run);
    if (!comparableFolder(sharedDirectory).isEmpty()) removeDirectory(sharedDirectory.cStr());
    removeProductKeys();
    if ((productFlags & FlagRemoveWholeDirectory) && mayDeleteTree(run.installDirectory))
        deleteDirectoryTree(run.installDirectory.cStr());
    if (run.problemText.isEmpty()) finishRegistration(run.installDirectory);
}

}  // namespace

bool isRemovableProductKey(const String& keyPath) {
    if (keyPath.isEmpty() || keyPath.findFirstOf("/:") >= 0) return false;
    String rest = keyPath;
    String first;
    bool firstComponent = true;
    while (true) {
        int separator = rest.findChar('\\');
        String component = separator < 0 ? rest : rest.substring(0, separator);
        if (component.isBlank()) return false;
        if (firstComponent) first = component;
        firstComponent = false;
        if (separator < 0) break;
        rest.remove(0, separator + 1);
    }
    first.trim();
    for (const char* name : SystemKeyNames)
        if (first.compare(name, false) == 0) return false;
    return true;
}

bool isRemovableEntry(const String& path, bool isDirectory, const String& installDirectory) {
    String entry = comparableFolder(path);
    if (entry.isEmpty()) return false;
    String folder = comparableFolder(installDirectory);
    if (folder.length() > 2 && folderContains(folder, entry)) return true;
    if (isDirectory) return false;
    int length = entry.length();
    return length > 4 && entry.substring(length - 4).compare(".LNK", false) == 0;
}

UninstallResult uninstallProduct(String& installDirectory) {
    String keyPath = productRecordPath(productName);
    if (!isProductKeyName(productName) || !softwareKeyExists(keyPath.cStr(), false)) {
        reportError(ProductMissingFormat, productName.cStr());
        return UninstallResult::NotUninstallable;
    }
    if (!openSoftwareKey(keyPath.cStr(), false, RegFlagOpenExisting)) {
        reportError(RecordUnusableFormat, productName.cStr());
        return UninstallResult::NotUninstallable;
    }
    UninstallRun run;
    installDirectory = getString("InstallLocation", "", 0);
    productFlags = static_cast<uint32_t>(getInt("ProductFlags", 0, 0));
    if (productFlags & FlagAutomaticUninstall) automaticMode = true;
    uninstallSubdir = getString("UninstallSubdir", "", 0);
    // Every path of the run hangs off these two: a record whose location is
    // not a plain folder, or whose uninstall folder lies outside it, could
    // lead the run anywhere.
    if (!isPlainInstallDirectory(installDirectory) ||
        (!uninstallSubdir.isEmpty() && !isSafeRecordName(uninstallSubdir.cStr()))) {
        closeKey();
        reportError(RecordUnusableFormat, productName.cStr());
        return UninstallResult::NotUninstallable;
    }
    run.installDirectory = installDirectory;
    run.uninstallFolder = uninstallFolder(installDirectory);
    readBackground(productFlags, run.uninstallFolder);

    String recordText;
    readWholeFile(uninstallRecordPath(installDirectory).cStr(), recordText);
    languageIndex = 0;
    String entrySection = loadUninstallRecordText(recordText);

    if (!automaticMode && !askYes(uninstallerMessage(53), 55)) {
        closeKey();
        exitProgram(ExitOutcome::Cancelled);
    }
    removeProduct(run, entrySection);
    closeKey();
    reportOutcome(run);
    return run.problemText.isEmpty() ? UninstallResult::Removed : UninstallResult::ProblemsLeft;
}

void runUninstaller(const String& installDirectoryOverride) {
    String installDirectory = installDirectoryOverride;
    switch (uninstallProduct(installDirectory)) {
    case UninstallResult::Removed:
        removeSelf(installDirectory);
        exitProgram(ExitOutcome::Finished);
    case UninstallResult::ProblemsLeft:
        exitProgram(ExitOutcome::FinishedWithProblems);
    case UninstallResult::NotUninstallable:
        break;
    }
    exitProgram(ExitOutcome::FatalError);
}

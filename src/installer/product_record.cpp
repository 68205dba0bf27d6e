#include "installer/product_record.h"

#include "archive/archive_format.h"
#include "core/date_time.h"
#include "files/path_text.h"
#include "installer/header_settings.h"
#include "installer/installed_product.h"
#include "registry/registry.h"
#include "runtime/process_state.h"
#include "ui/background.h"

const char PathEntryValueName[] = "PathEntryAdded";

String uninstallFolder(const String& installDirectory) { return joinPath(installDirectory, uninstallSubdir); }

String uninstallerPath(const String& installDirectory) {
    return joinPath(uninstallFolder(installDirectory), "Uninstall.EXE");
}

String uninstallArgument() { return "/u:\"" + productName + "\""; }

int32_t installedKilobytes() {
    int64_t bytes = programBytes.length();
    for (int i = 0; i < archiveHeader.fileCount; ++i)
        if (archiveHeader.fileSize(i) > 0) bytes += archiveHeader.fileSize(i);
    int64_t kilobytes = (bytes + 1023) / 1024;
    return kilobytes > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(kilobytes);
}

bool writeProductRecord(const RunState& state, const String& pathEntryAdded) {
    // An empty name or one with a backslash would write into the uninstall
    // list itself or into another product's record.
    if (!isProductKeyName(productName)) return false;
    String recordPath = productRecordPath(productName);
    if (!openSoftwareKey(recordPath.cStr(), false, 0)) return false;

    String uninstaller = uninstallerPath(state.installDirectory);
    // Quoted: the path may hold blanks, and an unquoted one lets Windows try
    // each shorter prefix ("D:\Apps\Demo.exe") as the program first.
    String quoted = "\"" + uninstaller + "\"";
    String uninstallString = quoted + " " + uninstallArgument();
    setString("UninstallString", uninstallString.cStr(), 0);
    setString("QuietUninstallString", (quoted + " /a " + uninstallArgument()).cStr(), 0);
    setString("DisplayName", productName.cStr(), 0);
    setString("DisplayIcon", uninstaller.cStr(), 0);
    setString("InstallSource", state.archivePath.cStr(), 0);
    setString("DisplayVersion", productVersion.cStr(), RegFlagDeleteIfEmpty);
    setString("Publisher", archiveHeader.publisher.cStr(), RegFlagDeleteIfEmpty);
    setString("InstallLocation", state.installDirectory.cStr(), 0);
    setString("InstallDate", nowText().cStr(), 0);
    int dot = productVersion.findChar('.');
    if (dot >= 0) {
        setInt("VersionMajor", productVersion.toInt(), 0);
        setInt("VersionMinor", parseInt(productVersion.cStr() + dot + 1), 0);
    }
    setInt("EstimatedSize", installedKilobytes(), 0);
    setInt("NoModify", 1, 0);
    setInt("NoRepair", 1, 0);
    setString("ProductRegistry", archiveHeader.productRegistryKey.cStr(), RegFlagDeleteIfEmpty);
    setString("ProductStartMenu", startMenuFolder.cStr(), RegFlagDeleteIfEmpty);
    setString("SharedPath", sharedDirectory.cStr(), RegFlagDeleteIfEmpty);
    setString("ProductFonts", state.fontList.cStr(), RegFlagDeleteIfEmpty);
    setInt("ProductFlags", static_cast<int32_t>(state.flags), 0);
    setString("UninstallBatch1", archiveHeader.scripts[ScriptUninstall1].cStr(), RegFlagDeleteIfEmpty);
    setString("UninstallBatch2", archiveHeader.scripts[ScriptUninstall2].cStr(), RegFlagDeleteIfEmpty);
    setString("SharedFiles", state.sharedFilesText.cStr(), RegFlagDeleteIfEmpty);
    setString("UninstallSubdir", uninstallSubdir.cStr(), RegFlagDeleteIfEmpty);
    if (!pathEntryAdded.isEmpty()) setString(PathEntryValueName, pathEntryAdded.cStr(), 0);
    setString("DisplayTitle", background.title.cStr(), 0);
    if (state.flags & (FlagUseColors | FlagKeepPicture))
        setInt("TitleColor", static_cast<int32_t>(background.titleColor), 0);
    else
        deleteValue("TitleColor");
    setInt("TopColor", static_cast<int32_t>(background.topColor), 0);
    setInt("BottomColor", static_cast<int32_t>(background.bottomColor), 0);
    setBool("MonoColor", background.plainColor);

    bool readBack = getString("UninstallString", "", 0).equals(uninstallString);
    closeKey();
    return readBack;
}

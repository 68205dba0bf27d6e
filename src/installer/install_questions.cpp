#include "installer/install_questions.h"

#include "archive/archive_format.h"
#include "files/file_attributes.h"
#include "installer/checked_message.h"
#include "installer/header_settings.h"
#include "installer/install_directory.h"
#include "installer/installed_product.h"
#include "registry/registry.h"
#include "runtime/errors.h"
#include "runtime/process_state.h"
#include "runtime/string_table.h"
#include "ui/ask_to_continue.h"
#include "ui/background.h"
#include "ui/dialogs.h"

namespace {

const int DialogContinue = 1001;

struct EarlierInstallation {
    String location;
    double version = 0;
    bool exists = false;
};

void chooseLanguage() {
    if (archiveHeader.languageCount == 1 || automaticMode) {
        languageIndex = 0;
        return;
    }
    if (showLanguageDialog(archiveHeader.languageNames, archiveHeader.languageCount) != DialogContinue)
        exitProgram(ExitOutcome::Cancelled);
}

// The product this archive adds to must be installed; its directory may be
// the one offered.
void requireMasterProduct() {
    const String& master = archiveHeader.masterProduct.isBlank() ? productName : archiveHeader.masterProduct;
    String location;
    if (!isProductInstalled(master, &location)) {
        reportError(messageFormat(12, "%s is not installed."), master.cStr());
        exitProgram(ExitOutcome::FatalError);
    }
    if (defaultDirectory.compare("<master>", false) == 0) defaultDirectory = location;
}

// The product's uninstall entry from an earlier run. Its shared-file list is
// taken over even when its directory is gone, so that the counts it raised
// are released. A directory that no installation could have been made in
// (relative, a drive root, Program Files itself) does not count: installing
// "again" there would put files wherever that value points.
EarlierInstallation findEarlierInstallation(RunState& state) {
    EarlierInstallation earlier;
    if (!isProductKeyName(productName)) return earlier;
    if (!openSoftwareKey(productRecordPath(productName).cStr(), false, RegFlagOpenExisting)) return earlier;
    earlier.location = getString("InstallLocation", "", 0);
    earlier.version = getString("DisplayVersion", "", 0).toDouble();
    state.sharedFilesText = getString("SharedFiles", "", 0);
    closeKey();
    earlier.exists = !earlier.location.isEmpty() && installDirectoryProblem(earlier.location).isEmpty() &&
                     directoryExists(earlier.location.cStr());
    return earlier;
}

void showText(int (*dialog)(const char*), const String& text) {
    if (automaticMode || text.isEmpty()) return;
    if (dialog(text.cStr()) != DialogContinue) exitProgram(ExitOutcome::Cancelled);
}

// The notice about the versions: 3 when either is not a number, 4 when they
// are equal, 5 when this archive is newer, 6 when it is not.
int versionNotice(double previous, double current) {
    if (previous == 0 || current == 0) return 3;
    if (previous == current) return 4;
    return previous < current ? 5 : 6;
}

void confirmReinstallation(const EarlierInstallation& earlier, RunState& state) {
    if (productFlags & FlagStopIfInstalled) {
        // This box is the only word the user gets: shown even in an automatic run.
        automaticMode = false;
        reportError("%s", message(9));
        exitProgram(ExitOutcome::FatalError);
    }
    if (!automaticMode) {
        int notice = versionNotice(earlier.version, productVersion.toDouble());
        String text = String::format("%s\r\n%s\r\n\r\n%s", message(notice), earlier.location.cStr(), message(7));
        if (MessageBoxA(backgroundWindow, text.cStr(), message(2), MB_YESNO | MB_ICONQUESTION) != IDYES)
            exitProgram(ExitOutcome::Cancelled);
    }
    state.reinstallation = true;
    state.installDirectory = earlier.location;
}

}  // namespace

void askInstallationQuestions(RunState& state) {
    chooseLanguage();
    background.title = message(0);
    repaintBackground();
    if (productFlags & FlagExtendsProduct) requireMasterProduct();

    EarlierInstallation earlier;
    if (productFlags & FlagRegisterProduct) earlier = findEarlierInstallation(state);

    if (!automaticMode && askToContinue(backgroundWindow, message(1), productName.cStr()))
        exitProgram(ExitOutcome::Cancelled);
    showText(showLicenseDialog, archiveHeader.licenceText);
    showText(showReadmeDialog, archiveHeader.readmeText);

    if ((productFlags & FlagRegisterProduct) && earlier.exists) confirmReinstallation(earlier, state);
}

#include "installer/startup.h"

#include "files/file_date_time.h"
#include "installer/archive_reader.h"
#include "installer/installation_run.h"
#include "installer/own_file.h"
#include "runtime/errors.h"
#include "runtime/library_search.h"
#include "runtime/process_state.h"
#include "ui/background.h"

namespace {

String expandedCommandInterpreter() {
    char buffer[256];
    DWORD n = ExpandEnvironmentStringsA("%comspec%", buffer, sizeof buffer);
    String text;
    if (n > 0 && n <= sizeof buffer) text = buffer;
    if (n == 0 || text.isBlank()) text = "command.com";
    return text;
}

}  // namespace

CommandLineOptions startProgram(HINSTANCE instance, const char* commandLine) {
    // Before the first window: windows, common controls and themes load
    // further DLLs by name.
    restrictLibrarySearch();
    localClock = readWindowsLocalTime;
    commandInterpreter = expandedCommandInterpreter();
    instanceHandle = instance;
    // The background stands behind every box that follows, usage errors included.
    setDefaultBackgroundColors();
    backgroundWindow = createBackgroundWindow(instance, nullptr);

    CommandLineOptions options;
    String errorText;
    if (!parseCommandLine(String(commandLine), options, errorText)) reportUsageError(errorText.cStr());
    automaticMode = options.automaticMode;
    productName = options.productName;
    return options;
}

void runInstaller(const CommandLineOptions& options) {
    InstallationOptions installation;
    installation.archivePath = programPathFromCommandLine(String(GetCommandLineA()));
    installation.installDirectory = options.installDirectoryOverride;
    installation.noRestart = options.noRestart;
    File programFile;
    openOwnFile(programFile, installation.archivePath);
    readArchiveHeader(programFile);
    runInstallation(programFile, installation);
}

// The program's entry: start-up, then the installation or, with /u:, the
// uninstallation; neither returns.
#include "installer/startup.h"
#include "uninstaller/uninstall_run.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    CommandLineOptions options = startProgram(instance, commandLine);
    if (options.uninstallRequested) runUninstaller(options.installDirectoryOverride);
    runInstaller(options);
}

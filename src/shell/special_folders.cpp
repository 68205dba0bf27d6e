#include "shell/special_folders.h"

#include "files/path_text.h"
#include "files/system_folders.h"
#include "registry/registry.h"

String shellFolder(const char* name) {
    String path = String::format("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\%s", name);
    return getStringAt(HKEY_CURRENT_USER, path.cStr(), "", 0);
}

String windowsSetting(const char* name) {
    String path = String::format("Software\\Microsoft\\Windows\\CurrentVersion\\%s", name);
    return getStringAt(HKEY_LOCAL_MACHINE, path.cStr(), "", 0);
}

String programFilesDirectory() {
    String value = windowsSetting("ProgramFilesDir");
    return value.isEmpty() ? String("c:\\Program Files") : value;
}

String commonFilesDirectory() {
    String value = windowsSetting("CommonFilesDir");
    return value.isEmpty() ? joinPath(programFilesDirectory(), "Common Files") : value;
}

String desktopDirectory() {
    String value = shellFolder("Desktop");
    return value.isEmpty() ? joinPath(windowsDirectory(), "Desktop") : value;
}

String fontsDirectory() {
    String value = shellFolder("Fonts");
    return value.isEmpty() ? joinPath(windowsDirectory(), "Fonts") : value;
}

String startMenuDirectory() {
    String value = shellFolder("Start Menu");
    return value.isEmpty() ? joinPath(windowsDirectory(), "Start Menu") : value;
}

String programsDirectory() {
    String value = shellFolder("Programs");
    return value.isEmpty() ? joinPath(startMenuDirectory(), "Programs") : value;
}

// The value is "Startup"; the folder of the fallback is "StartUp".
String startupDirectory() {
    String value = shellFolder("Startup");
    return value.isEmpty() ? joinPath(programsDirectory(), "StartUp") : value;
}

char bootDrive() {
    String value = getStringAt(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Setup\\BootDir", "", 0);
    char letter = driveLetterOf(value);
    return letter ? letter : 'C';
}

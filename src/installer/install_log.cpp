#include "installer/install_log.h"

#include "archive/archive_format.h"
#include "core/date_time.h"
#include "files/file.h"
#include "files/path_text.h"
#include "files/shell_open.h"
#include "files/win32.h"
#include "installer/header_settings.h"
#include "installer/product_record.h"
#include "runtime/process_state.h"
#include "runtime/string_table.h"

const double InstallerVersion = 5.1;

void writeInstallLog(String problems, const String& details, const String& directory, bool reinstallation,
                     bool offerToShow, uint32_t flags) {
    String logPath = joinPath(uninstallFolder(directory), "Install.LOG");
    bool hadProblems = !problems.isEmpty();
    bool openLog = false;
    if (offerToShow) {
        if (hadProblems) {
            if (!automaticMode) {
                // The question comes from the archive: it is a format only
                // when it asks for exactly the one text it is given.
                const char* question = message(40);
                String text = formatConversionsAre(question, "s") ? String::format(question, logPath.cStr())
                                                                  : String(question);
                openLog = MessageBoxA(backgroundWindow, text.cStr(), message(41), MB_YESNO | MB_ICONINFORMATION) ==
                          IDYES;
            }
        } else {
            if (!automaticMode) MessageBoxA(backgroundWindow, message(42), message(43), MB_ICONINFORMATION);
            problems.append(message(43));
            problems.append("\r\n\r\n");
        }
    }
    if (!(flags & FlagAlwaysWriteLog) && !hadProblems && details.isEmpty()) return;
    if (!details.isEmpty()) problems = details + "\r\n" + problems;

    String log = String::format("\r\nInstallation log for: %s\r\n", productName.cStr());
    log.appendFormat("Install date: %s\r\n", nowText().cStr());
    log.appendFormat("Install type: %s\r\n", reinstallation ? "Reinstall" : "New");
    log.appendFormat("Install location: %s\r\n", directory.cStr());
    log.appendFormat("Installer version: %.1f\r\n", InstallerVersion);
    if (!productVersion.isBlank()) log.appendFormat("Product version: %s\r\n", productVersion.cStr());
    log.append("\r\n");
    log.append(problems);
    if (!appendText(logPath.cStr(), log.cStr())) return;
    if (openLog) openWithShell(logPath.cStr());
}

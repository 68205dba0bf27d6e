#include "installer/own_file.h"

#include "runtime/errors.h"

const char NoArchiveText[] =
    "This program performs installations and uninstallations.\r\nThere is no installation archive "
    "present.\r\nNo Uninstallation parameters were specified.\r\n\r\nYou should not delete this "
    "program or execute it directly.";

void openOwnFile(File& file, const String& archivePath) {
    if (!file.openRead(archivePath.cStr(), false))
        reportFatalError("Error code 1: The self-extracting archive could not open itself.  Filename:\n%s",
                         archivePath.cStr());
}

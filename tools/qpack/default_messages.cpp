#include "qpack/default_messages.h"

#include "archive/message_formats.h"

namespace {

// Texts the installer and uninstaller show. "<product>" becomes the product
// name and "<os>" the Windows directory when they are shown. Texts with a
// printf conversion are formats; their conversions are fixed per number.
const std::string Texts[StandardMessageCount] = {
    /* 0 title */ "<product> Setup",
    /* 1 opening question */
    "This program will install <product> on your computer.\r\n\r\n"
    "It is recommended that you close all other programs before you continue.\r\n\r\n"
    "Do you want to continue?",
    /* 2 caption: earlier installation */ "<product> Is Already Installed",
    /* 3 versions not comparable */ "A copy of <product> is already installed in this folder:",
    /* 4 same version */ "This version of <product> is already installed in this folder:",
    /* 5 newer over older */ "An older version of <product> is installed in this folder:",
    /* 6 older over newer */ "A newer version of <product> is already installed in this folder:",
    /* 7 closing line */ "Do you want to install over the existing copy?",
    /* 8 reading payload */ "Reading the installation files...",
    /* 9 reinstall forbidden */
    "<product> is already installed on this computer.\r\n\r\n"
    "Please remove it with Add/Remove Programs before you install it again.",
    /* 10 uninstall problems: %s */
    "Some parts of <product> could not be removed:\r\n\r\n%s\r\n"
    "You can remove these items yourself, or run the uninstaller again later.",
    /* 11 choose directory prompt */ "Choose the folder in which <product> will be installed:",
    /* 12 master product missing: %s */
    "This installation adds to %s, which is not installed on this computer.\r\n\r\n"
    "Please install that product first, then run this installation again.",
    /* 13 corrupt archive: %d */
    "This installation package is damaged and cannot be used.\r\n\r\n"
    "Please obtain a new copy of the installer from your vendor.\r\n\r\nError code: %d",
    /* 14 invalid directory */ "This is not a valid folder name. Please enter a complete path that begins with a drive letter:",
    /* 15 caption: uninstall finished */ "Uninstallation Complete",
    /* 16 missing drive: %c */ "Drive %c: does not exist. Please choose a folder on another drive.",
    /* 17 drive root */ "<product> cannot be installed into the top folder of a drive. Please choose a folder below it.",
    /* 18 Program Files itself: %s */ "<product> cannot be installed directly into %s. Please choose a folder inside it.",
    /* 19 free space: %s %c %s */
    "<product> needs %s of disk space, but drive %c: has only %s free.\r\n\r\n"
    "Do you want to install into this folder anyway?",
    /* 20 caption of questions */ "<product> Setup",
    /* 21 caption of error boxes */ "<product> Setup Error",
    /* 22 existing directory: %s */ "<product> will be installed into the existing folder\r\n%s\r\n\r\nDo you want to continue?",
    /* 23 new directory: %s */ "<product> will be installed into the new folder\r\n%s\r\n\r\nDo you want to continue?",
    /* 24 caption: directory */ "Installation Folder",
    /* 25 directory not created */ "Unable to create the folder",
    /* 26 next disk: %d %c */
    "Please insert disk %d of the installation into drive %c:, or copy its file next to the installer, then click OK.",
    /* 27 caption: disk prompt */ "Next Disk Needed",
    /* 28 cancel question */ "Do you really want to cancel the installation of <product>?",
    /* 29 expanding payload */ "Unpacking the installation files...",
    /* 30 kept for the uninstaller */ "The removal of <product> was cancelled.",
    /* 31 failure line */ "Unable to install",
    /* 32 making shortcuts */ "Creating shortcuts...",
    /* 33 uninstall shortcut */ "Uninstall",
    /* 34 uninstall succeeded */ "<product> has been removed from your computer.",
    /* 35 caption: shared file */ "Remove Shared File?",
    /* 36 finishing */ "Finishing the installation...",
    /* 37 restart question */
    "Some files were in use and will be replaced the next time Windows starts.\r\n\r\n"
    "Do you want to restart Windows now to complete the installation?",
    /* 38 spare */ "Please wait...",
    /* 39 progress heading */ "Installing <product>...",
    /* 40 offer the log: %s */
    "The installation has finished, but some problems occurred.\r\n"
    "They are listed in the log\r\n%s\r\n\r\nDo you want to read the log now?",
    /* 41 caption: log question */ "Installation Finished With Problems",
    /* 42 success */ "<product> has been installed successfully.",
    /* 43 caption: success */ "Installation Complete",
    /* 44 licence caption */ "Licence Agreement",
    /* 45 accept */ "I &Accept",
    /* 46 decline */ "I &Decline",
    /* 47 licence prompt */ "Please read the following licence agreement. You must accept it to install <product>.",
    /* 48 next */ "&Next >",
    /* 49 cancel */ "&Cancel",
    /* 50 readme caption */ "Read Me",
    /* 51 readme prompt */ "Please read the following information before you install <product>.",
    /* 52 browse */ "&Browse...",
    /* 53 uninstall question */ "Do you want to remove <product> and all of its components from your computer?",
    /* 54 progress caption */ "<product> Setup",
    /* 55 caption: uninstall question */ "Remove <product>",
    /* 56 font question: %s */ "Do you want to remove the font %s?",
    /* 57 caption: font question */ "Remove Font?",
    /* 58 removal failure line */ "Unable to remove",
    /* 59 shared file question: %s */
    "The shared file\r\n%s\r\nis no longer used by any installed program.\r\n\r\n"
    "Do you want to remove it? If you are not sure, choose No.",
};

}  // namespace

const std::string& defaultMessage(int number) {
    static const std::string none;
    if (number < 0 || number >= StandardMessageCount) return none;
    return Texts[number];
}

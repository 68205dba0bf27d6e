#include "archive/archive_format.h"

#include <cstring>

const char VolumeNameFormat[] = "Disk%d.QPK";

const FlagName FlagNames[] = {
    {"stop-if-installed", FlagStopIfInstalled},
    {"hidden-scripts", FlagHiddenScripts},
    {"register-product", FlagRegisterProduct},
    {"ask-before-font-removal", FlagAskBeforeFontRemoval},
    {"compressed-payload", FlagCompressedPayload},
    {"always-write-log", FlagAlwaysWriteLog},
    {"choose-directory", FlagChooseDirectory},
    {"automatic", FlagAutomatic},
    {"automatic-uninstall", FlagAutomaticUninstall},
    {"remove-whole-directory", FlagRemoveWholeDirectory},
    {"test-checksums", FlagTestChecksums},
    {"add-to-path", FlagAddToPath},
    {"use-colors", FlagUseColors},
    {"restart-pending", FlagRestartPending},
    {"keep-picture", FlagKeepPicture},
    {"extends-product", FlagExtendsProduct},
    {"ask-before-shared-removal", FlagAskBeforeSharedRemoval},
    {"verify-writes", FlagVerifyWrites},
    {"clear-read-only", FlagClearReadOnly},
    {"range-payload", FlagRangePayload},
    {nullptr, 0},
};

bool isLocationKind(int32_t kind) { return locationKindName(kind) != nullptr; }

const char* locationKindName(int32_t kind) {
    switch (kind) {
    case KindInstallFolder: return "install";
    case KindShared: return "shared";
    case KindFont: return "font";
    case KindStartup: return "startup";
    case KindSystem: return "system";
    default: return nullptr;
    }
}

const char* placementModeName(int32_t mode) {
    switch (mode & PlacementMask) {
    case PlaceAlways: return "always";
    case PlaceOnlyIfPresent: return "if-present";
    case PlaceOnlyIfMissing: return "if-missing";
    default: return nullptr;
    }
}

bool isSafeRecordName(const char* name) {
    if (!name || !*name) return false;
    if (*name == '\\' || *name == '/') return false;
    const char* componentStart = name;
    bool onlyDotsAndBlanks = true;
    for (const char* p = name;; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        // Line breaks would split the name into several entries of the
        // uninstall record; the rest are characters no file name may hold.
        if (c != 0 && (c < 0x20 || std::strchr(":\"*?<>|", c))) return false;
        if (c == '\\' || c == '/' || c == 0) {
            // Windows trims dots and blanks at a component's end, so ". ." or
            // ".. " would become a parent reference after this check.
            if (p > componentStart && onlyDotsAndBlanks) return false;
            if (c == 0) return true;
            componentStart = p + 1;
            onlyDotsAndBlanks = true;
        } else if (c != '.' && c != ' ') {
            onlyDotsAndBlanks = false;
        }
    }
}

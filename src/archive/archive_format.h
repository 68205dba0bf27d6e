// The installation archive's container, header and file records, defined
// once for the stub's reader and for the builder.
//
// Layout of an installer file (A = archive offset, H = header length):
//   0 .. A-1        the program itself
//   A               magic (ArchiveMagic)
//   A+4             H, signed, at least 1
//   A+8             key K: scrambling key and checksum of the plain header
//   A+12            H bytes of header image, scrambled with K
//   A+12+H          first part of the payload (may be empty)
//   size-4          trailer: A, signed; 0 means no archive
// The payload continues in the volumes "Disk2.QPK", "Disk3.QPK", ... beside
// the program. All numbers are little-endian.
#pragma once

#include <cstdint>

#include "core/checksum.h"

constexpr uint32_t ArchiveMagic = 12345678u;  // bytes 4E 61 BC 00
constexpr uint32_t HeaderEndMarker = 0xD3E82B97u;
constexpr int ContainerPrefixSize = 12;  // magic, header length, key
constexpr int TrailerSize = 4;
constexpr int MaxStringsPerLanguage = 10000;
// "Disk%d.QPK": volume numbers start at 2 (the program file is disk 1).
extern const char VolumeNameFormat[];
constexpr int FirstVolumeNumber = 2;

// The flag word (productFlags). Bits not named here are reserved.
enum ProductFlag : uint32_t {
    FlagStopIfInstalled = 0x1,         // an existing installation stops this one
    FlagHiddenScripts = 0x2,           // scripts run hidden, without pause lines
    FlagRegisterProduct = 0x4,         // shared directory, uninstaller, uninstall key
    FlagAskBeforeFontRemoval = 0x10,   // uninstaller asks per font
    FlagCompressedPayload = 0x20,      // payload is one compressed image
    FlagAlwaysWriteLog = 0x40,         // log written even with nothing to report
    FlagChooseDirectory = 0x80,        // the user may choose the directory
    FlagAutomatic = 0x100,             // as if /a had been given
    FlagAutomaticUninstall = 0x200,    // the uninstaller runs without questions
    FlagRemoveWholeDirectory = 0x400,  // no per-file uninstall entries; delete the tree
    FlagTestChecksums = 0x800,         // test header, program and contents checksums
    FlagAddToPath = 0x1000,            // add the installation directory to PATH
    FlagUseColors = 0x2000,            // the header's colours apply
    FlagRestartPending = 0x4000,       // set by the installation, never in an archive
    FlagKeepPicture = 0x8000,          // keep the background picture for the uninstaller
    FlagExtendsProduct = 0x10000,      // extends the installed masterProduct
    FlagAskBeforeSharedRemoval = 0x20000,
    FlagVerifyWrites = 0x40000,        // read every written file back
    FlagClearReadOnly = 0x80000,       // clear read-only after a failed write
    // With FlagCompressedPayload: the payload is one range image, not a token image.
    FlagRangePayload = 0x100000,
};

// A readable name for each flag bit, shared by the builder's project files
// and its inspection output. The table ends with a null name.
struct FlagName {
    const char* name;
    uint32_t bit;
};
extern const FlagName FlagNames[];

// Where a file record goes.
enum LocationKind : int32_t {
    KindInstallFolder = 0,
    KindShared = 1,
    KindFont = 4,
    KindStartup = 5,  // installation folder, plus a Startup-folder shortcut
    KindSystem = 6,
};
bool isLocationKind(int32_t kind);
// "install", "shared", "font", "startup", "system"; null for other values.
const char* locationKindName(int32_t kind);

// The file-record flag word.
enum FileFlag : int32_t {
    FileDesktopShortcut = 0x1,
    FileProgramGroupShortcut = 0x2,
    PlacementMask = 0xC,
};
// Placement modes (fileFlags & PlacementMask). 4 is invalid.
enum PlacementMode : int32_t {
    PlaceAlways = 0,
    PlaceInvalid = 4,
    PlaceOnlyIfPresent = 8,
    PlaceOnlyIfMissing = 0xC,
};
// "always", "if-present", "if-missing"; null for the invalid mode.
const char* placementModeName(int32_t mode);

// Corrupt-archive codes: every structural or integrity failure of an archive.
enum CorruptCode : int {
    CodeNegativeContentsLength = 5,
    CodeBadArchiveOffset = 10,
    CodeBadMagic = 20,
    CodeBadHeaderLength = 22,
    CodeHeaderChecksum = 25,
    CodeBadFileCount = 27,
    CodeNegativeFileSize = 28,
    CodeBadPayloadLength = 29,
    CodeNoLanguages = 30,
    CodeBadStringCount = 31,
    CodeBadEndMarker = 32,
    CodeProgramUnreadable = 35,
    CodeProgramChecksum = 40,
    CodeHeaderPastEnd = 45,
    CodePayloadReadFailed = 50,
    CodePayloadChecksum = 55,
    CodePayloadExpandFailed = 60,
    CodeBadRecordName = 70,
    CodeContentsPastEnd = 90,
    CodeContentsChecksum = 100,
    CodeBadLocationKind = 110,
    CodeBadPlacementMode = 112,
};

// The five batch scripts, in header order.
enum ScriptIndex {
    ScriptPreInstall,
    ScriptPostInstall,
    ScriptFinal,
    ScriptUninstall1,
    ScriptUninstall2,
    ScriptCount
};

// A record name must be a plain relative path below its target folder:
// not empty, no drive or stream colon, no leading separator, no ".."
// component. Both separators count, since Windows accepts both.
bool isSafeRecordName(const char* name);

#include "installer/archive_reader.h"

#include <utility>

#include "archive/archive_format.h"
#include "archive/pe_signature.h"
#include "core/expand_block.h"
#include "files/directories.h"
#include "files/path_text.h"
#include "files/system_folders.h"
#include "installer/header_settings.h"
#include "installer/own_file.h"
#include "installer/parallel_range_expansion.h"
#include "runtime/errors.h"
#include "runtime/process_state.h"
#include "runtime/string_table.h"
#include "shell/special_folders.h"
#include "ui/background.h"
#include "ui/dialogs.h"

ArchiveHeader archiveHeader;
uint32_t productFlags = 0;
String productVersion;
String uninstallSubdir;
String startMenuFolder;
String defaultDirectory;
String sharedDirectory;
String programBytes;

const char EmptyVolumeFormat[] = "The file %s is empty.";
const char MissingVolumeFormat[] = "The file %s is missing.";

namespace {

// Takes the checked header into the process-wide settings.
void applyHeader(ArchiveHeader& h) {
    productFlags = h.flags;
    if (h.flags & FlagAutomatic) automaticMode = true;
    if (productName.isEmpty()) productName = h.productName;
    productVersion = h.productVersion;
    uninstallSubdir = h.uninstallSubdir;

    if (h.flags & FlagRegisterProduct) {
        sharedDirectory = joinPath(commonFilesDirectory(), h.publisher);
        createDirectoryTree(sharedDirectory.cStr());
    }

    startMenuFolder = h.startMenuFolder;
    if (startMenuFolder.isEmpty())
        startMenuFolder = h.publisher.isEmpty() ? productName : h.publisher + "\\" + productName;

    defaultDirectory = h.defaultDirectory;
    if (defaultDirectory.isEmpty()) defaultDirectory = productName;
    else defaultDirectory.replaceAll("<os>", windowsDirectory().cStr(), false);
    if (defaultDirectory.compare("<master>", false) != 0) makeAbsolute(defaultDirectory, programFilesDirectory());

    if (h.flags & FlagUseColors) {
        background.titleColor = h.titleColorValue;
        background.topColor = h.topColorValue;
        background.bottomColor = h.bottomColorValue;
        if (h.topColorValue != h.bottomColorValue) background.plainColor = false;
    }
    if (!h.picture.isEmpty()) {
        background.titleColor = h.titleColorValue;
        background.picture.loadFromMemory(h.picture.cStr(), h.picture.length());
    }
    repaintBackground();

    stringTable.reset(h.stringCount, h.languageCount);
    for (int n = 0; n < h.stringCount; ++n)
        for (int l = 0; l < h.languageCount; ++l) *stringTable.text(n, l) = std::move(*h.text(n, l));
}

// The file's size, or for a signed file where its certificate table begins
// (less the signer's padding): nothing behind it belongs to the archive.
int32_t archiveEnd = -1;

int32_t remainingInArchive(File& file) {
    int32_t position = file.tell();
    return archiveEnd < 0 || position < 0 || position > archiveEnd ? -1 : archiveEnd - position;
}

bool readOwnFileAt(void* file, int32_t offset, void* buffer, int32_t length) {
    return static_cast<File*>(file)->readAt(offset, buffer, length);
}

// The disk prompt until the volume opens. A box that cannot be shown at all
// counts as Cancel, and a cancel question that cannot be shown as Yes, so
// the prompt never repeats without a user.
void openVolume(File& file, const String& path, int diskNumber) {
    while (!file.openRead(path.cStr(), true)) {
        if (automaticMode) reportFatalError(MissingVolumeFormat, path.cStr());
        const char* prompt = message(26);
        if (!formatConversionsAre(prompt, "dc")) prompt = "Please insert disk %d in drive %c:";
        String text = String::format(prompt, diskNumber, driveLetterOf(path));
        int answer = MessageBoxA(backgroundWindow, text.cStr(), message(27), MB_OKCANCEL | MB_ICONQUESTION);
        if (answer == IDOK) continue;
        int cancel = MessageBoxA(backgroundWindow, message(28), message(20), MB_YESNO | MB_ICONQUESTION);
        if (cancel != IDNO) exitProgram(ExitOutcome::Cancelled);
    }
}

}  // namespace

void readArchiveHeader(File& file) {
    archiveEnd = findArchiveEnd(readOwnFileAt, &file, file.size());
    int32_t archiveOffset = 0;
    file.readAt(archiveEnd - TrailerSize, &archiveOffset, TrailerSize);
    if (archiveOffset == 0) reportFatalError("%s", NoArchiveText);
    // Windows lets a position pass the end of a file; such an offset cannot be reached either.
    if (archiveOffset < 0 || archiveOffset > archiveEnd || !file.seek(archiveOffset))
        reportCorruptArchive(CodeBadArchiveOffset);

    int32_t magic = 0, headerLength = 0, key = 0;
    file.readInt32(&magic);
    if (uint32_t(magic) != ArchiveMagic) reportCorruptArchive(CodeBadMagic);
    file.readInt32(&headerLength);
    if (headerLength < 1) reportCorruptArchive(CodeBadHeaderLength);
    file.readInt32(&key);
    // A header longer than the rest of the file is judged before anything
    // that long is allocated.
    if (headerLength > remainingInArchive(file)) reportCorruptArchive(CodeHeaderPastEnd);

    String block(headerLength);
    file.readBlock(block.data(), headerLength);
    decodeHeaderImage(block, uint32_t(key));
    int code = parseArchiveHeader(block, uint32_t(key), archiveHeader);
    if (code) reportCorruptArchive(code);
    applyHeader(archiveHeader);

    if (!file.readBytes(programBytes, 0, archiveOffset)) reportCorruptArchive(CodeProgramUnreadable);
    // The checksum counts the fields a signer rewrites as zero; installers
    // built before that rule hold the checksum of the bytes as they stand.
    // The uninstaller is written from the cleared bytes: an unsigned program.
    const uint32_t asStored = checksum(programBytes.cStr(), programBytes.length());
    clearSignatureFields(programBytes.data(), programBytes.length());
    if ((productFlags & FlagTestChecksums) && asStored != archiveHeader.programChecksum &&
        checksum(programBytes.cStr(), programBytes.length()) != archiveHeader.programChecksum)
        reportCorruptArchive(CodeProgramChecksum);
}

void readPayload(File& file, MemoryStream& payload, BackgroundExpansion* background) {
    const int32_t payloadLength = archiveHeader.payloadLength;
    int32_t available = remainingInArchive(file) - TrailerSize;
    if (available < 0) reportCorruptArchive(CodeHeaderPastEnd);

    payload.reset();
    int64_t total = 0;
    for (int diskNumber = 1;; ) {
        setProgressPosition(static_cast<int>(total * 30 / payloadLength + 5));
        if (available > 0) {
            if (total + available > MaxExpandedLength) reportCorruptArchive(CodePayloadReadFailed);
            char* room = payload.grow(available);
            if (!room || !file.readBlock(room, available)) reportCorruptArchive(CodePayloadReadFailed);
            total += available;
            if (total >= payloadLength) break;
        }
        ++diskNumber;
        String path = pathBesideModule(String::format(VolumeNameFormat, diskNumber).cStr());
        openVolume(file, path, diskNumber);
        available = file.size();
        if (available == 0) reportFatalError(EmptyVolumeFormat, path.cStr());
        if (available < 0) reportCorruptArchive(CodePayloadReadFailed);
    }
    file.close();

    if (checksum(payload.cStr(), payload.length()) != archiveHeader.payloadChecksum)
        reportCorruptArchive(CodePayloadChecksum);
    if (productFlags & FlagCompressedPayload) {
        setProgressPosition(40);
        setProgressText("%s", message(29));
        bool expanded;
        if (productFlags & FlagRangePayload)
            expanded = ExpandRangeImage(payload, decodeRangeSegmentsInParallel);
        else
            expanded = (background && background->start(payload)) || ExpandBlock(payload);
        if (!expanded) reportCorruptArchive(CodePayloadExpandFailed);
    }
    payload.seek(0);
}

void readFileRecord(MemoryStream& payload, int32_t size, FileRecord& record, BackgroundExpansion* background) {
    const bool testChecksums = (productFlags & FlagTestChecksums) != 0;
    if (!background || !background->started()) {
        int code = decodeFileRecord(payload, size, testChecksums, record);
        if (code) reportCorruptArchive(code);
        return;
    }
    ReadableExtent extent;
    const int code = decodeGrowingFileRecord(payload, size, testChecksums, record, BackgroundExpansion::readableTo,
                                             background, extent);
    // A record the expansion could not finish is the expansion's damage.
    if (background->damaged() && (code || payload.position() >= extent.end))
        reportCorruptArchive(CodePayloadExpandFailed);
    if (code) reportCorruptArchive(code);
}

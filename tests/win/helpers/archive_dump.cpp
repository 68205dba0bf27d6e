// Runs the program's own archive reader on the installer given as its
// argument and prints what it read, one "name: value" line each, in the
// form `qpack inspect` uses, so the two can be compared. Volumes are looked
// for beside this program, as the installer looks for them beside itself.
#include <cstdio>

#include "archive/archive_format.h"
#include "core/checksum.h"
#include "files/file.h"
#include "installer/archive_reader.h"
#include "installer/header_settings.h"
#include "installer/own_file.h"
#include "runtime/errors.h"
#include "runtime/process_state.h"
#include "runtime/string_table.h"
#include "ui/background.h"

namespace {

void printQuoted(const char* name, const String& s) {
    std::printf("%s: \"", name);
    for (int i = 0; i < s.length(); ++i) {
        unsigned char c = static_cast<unsigned char>(s.charAt(i));
        switch (c) {
        case '\r': std::printf("\\r"); break;
        case '\n': std::printf("\\n"); break;
        case '\t': std::printf("\\t"); break;
        case '\\': std::printf("\\\\"); break;
        case '"': std::printf("\\\""); break;
        default:
            if (c < 0x20 || c >= 0x7F) std::printf("\\x%02X", c);
            else std::putchar(c);
        }
    }
    std::printf("\"\n");
}

void printTime(const char* name, const FileDateTime& t) {
    if (!t.isSet()) std::printf("%s: none\n", name);
    else std::printf("%s: %04d-%02d-%02d %02d:%02d:%02d\n", name, t.year, t.month, t.day, t.hour, t.minute, t.second);
}

void printSettings() {
    const ArchiveHeader& h = archiveHeader;
    std::printf("flags: 0x%08X\n", productFlags);
    printTime("uninstallerTime", h.uninstallerTime);
    std::printf("programChecksum: 0x%08X\n", h.programChecksum);
    std::printf("fileCount: %d\npayloadLength: %d\npayloadChecksum: 0x%08X\n", h.fileCount, h.payloadLength,
                h.payloadChecksum);
    printQuoted("publisher", h.publisher);
    printQuoted("productName", productName);
    printQuoted("productVersion", productVersion);
    printQuoted("productRegistryKey", h.productRegistryKey);
    printQuoted("licenceText", h.licenceText);
    printQuoted("readmeText", h.readmeText);
    printQuoted("uninstallSubdir", uninstallSubdir);
    std::printf("titleColor: 0x%08X\n", h.titleColorValue);
    std::printf("topColor: 0x%08X\n", h.topColorValue);
    std::printf("bottomColor: 0x%08X\n", h.bottomColorValue);
    std::printf("pictureSize: %d\n", h.picture.length());
    std::printf("pictureChecksum: 0x%08X\n", checksum(h.picture.cStr(), h.picture.length()));
    if (productFlags & FlagExtendsProduct) printQuoted("masterProduct", h.masterProduct);
    static const char* const scriptKeys[ScriptCount] = {"preInstallScript", "postInstallScript", "finalScript",
                                                        "uninstallScript1", "uninstallScript2"};
    for (int i = 0; i < ScriptCount; ++i) printQuoted(scriptKeys[i], h.scripts[i]);
    std::printf("archiveDate: %04d-%02d-%02d\n", h.archiveDate.year, h.archiveDate.month, h.archiveDate.day);
    std::printf("languageCount: %d\nstringCount: %d\n", stringTable.languages(), stringTable.rows());
    for (int l = 0; l < h.languageCount; ++l) {
        char key[32];
        std::snprintf(key, sizeof key, "language.%d", l);
        printQuoted(key, h.languageNames[l]);
    }
    for (int n = 0; n < stringTable.rows(); ++n)
        for (int l = 0; l < stringTable.languages(); ++l) {
            char key[32];
            std::snprintf(key, sizeof key, "message.%d.%d", n, l);
            printQuoted(key, *stringTable.text(n, l));
        }
    // What the reader derived from the header.
    printQuoted("derived.startMenuFolder", startMenuFolder);
    printQuoted("derived.defaultDirectory", defaultDirectory);
    printQuoted("derived.sharedDirectory", sharedDirectory);
    std::printf("derived.automaticMode: %d\n", automaticMode ? 1 : 0);
    std::printf("derived.background: title 0x%08lX top 0x%08lX bottom 0x%08lX plain %d picture %dx%d\n",
                background.titleColor, background.topColor, background.bottomColor, background.plainColor ? 1 : 0,
                background.picture.width(), background.picture.height());
    std::printf("derived.programBytes: %d\n", programBytes.length());
}

void printRecords(MemoryStream& payload) {
    for (int i = 0; i < archiveHeader.fileCount; ++i) {
        FileRecord r;
        readFileRecord(payload, archiveHeader.fileSize(i), r);
        char key[48];
        std::snprintf(key, sizeof key, "file.%d.name", i);
        printQuoted(key, r.name);
        std::printf("file.%d.kind: %s (%d)\n", i, locationKindName(r.kind) ? locationKindName(r.kind) : "?", r.kind);
        std::printf("file.%d.size: %d\n", i, r.contents.length);
        std::printf("file.%d.checksum: 0x%08X\n", i, checksum(r.contents.bytes, r.contents.length));
        std::snprintf(key, sizeof key, "file.%d.time", i);
        printTime(key, r.fileTime);
        std::snprintf(key, sizeof key, "file.%d.extra", i);
        printQuoted(key, r.extra);
        std::printf("file.%d.rawFlags: 0x%08X\n", i, static_cast<unsigned>(r.fileFlags));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: archive_dump SETUP.EXE\n");
        return 64;
    }
    setDefaultBackgroundColors();
    File file;
    openOwnFile(file, String(argv[1]));
    readArchiveHeader(file);
    printSettings();
    std::fflush(stdout);
    MemoryStream payload;
    readPayload(file, payload);
    std::printf("payload: %d bytes\n", payload.length());
    printRecords(payload);
    std::printf("result: sound\n");
    std::fflush(stdout);
    exitProgram(ExitOutcome::Finished);
}

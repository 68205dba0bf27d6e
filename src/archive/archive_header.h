// The archive header: every setting of an installation, its languages and
// its numbered texts, read from the plain (unscrambled, expanded) header.
#pragma once

#include <cstdint>

#include "archive/archive_format.h"
#include "core/date_time.h"
#include "core/str.h"

class ArchiveHeader {
public:
    ArchiveHeader() = default;
    ArchiveHeader(const ArchiveHeader&) = delete;
    ArchiveHeader& operator=(const ArchiveHeader&) = delete;
    ~ArchiveHeader() { clear(); }

    void clear();
    // The text of message `number` in `language`; null outside the table.
    const String* text(int number, int language) const;
    String* text(int number, int language);
    int32_t fileSize(int i) const { return i >= 0 && i < fileCount ? fileSizes[i] : 0; }

    uint32_t flags = 0;
    FileDateTime uninstallerTime;
    uint32_t programChecksum = 0;
    int32_t fileCount = 0;
    int32_t* fileSizes = nullptr;  // fileCount entries
    int32_t payloadLength = 0;
    uint32_t payloadChecksum = 0;
    String publisher;
    String productName;
    String startMenuFolder;
    String defaultDirectory;
    String productVersion;
    String productRegistryKey;
    String licenceText;
    String readmeText;
    String uninstallSubdir;
    uint32_t titleColorValue = 0;
    uint32_t topColorValue = 0;
    uint32_t bottomColorValue = 0;
    String picture;  // packed bitmap; empty: none
    String masterProduct;
    String scripts[ScriptCount];
    Date archiveDate;
    int languageCount = 0;
    int stringCount = 0;
    String* languageNames = nullptr;  // languageCount texts
    String* strings = nullptr;        // stringCount rows of languageCount texts
};

// Expands an unscrambled header image that holds a token image or a range
// image, told apart by their magic words (the flags that name the payload's
// codec lie inside the header). Returns whether it expanded. A plain header
// passes through unchanged, and so does a damaged image: read as a header,
// its magic word gives flags with FlagTestChecksums set, so the checksum of
// the plain header refuses it (code 25).
bool expandHeaderImage(String& image);

// Unscrambles a header image with its key, then expandHeaderImage.
void decodeHeaderImage(String& image, uint32_t key);

// Reads a plain header block field by field into `header`.
// Returns 0, or the corrupt-archive code of the first check that fails, in
// field order: 25 (checksum, with FlagTestChecksums), 27, 28, 29, 30, 31, 32.
// Never reads outside the block, and never allocates more than the block's
// bytes could fill: a count that reaches beyond the block is judged by the
// check that its zero-filled reads would have met.
int parseArchiveHeader(const String& plainHeader, uint32_t key, ArchiveHeader& header);

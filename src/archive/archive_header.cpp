#include "archive/archive_header.h"

#include <cstddef>

#include "core/expand_block.h"
#include "core/memory_stream.h"
#include "core/range_image.h"

void ArchiveHeader::clear() {
    delete[] fileSizes;
    fileSizes = nullptr;
    delete[] languageNames;
    languageNames = nullptr;
    delete[] strings;
    strings = nullptr;
    fileCount = languageCount = stringCount = 0;
}

const String* ArchiveHeader::text(int number, int language) const {
    if (number < 0 || number >= stringCount || language < 0 || language >= languageCount) return nullptr;
    return &strings[number * languageCount + language];
}

String* ArchiveHeader::text(int number, int language) {
    return const_cast<String*>(static_cast<const ArchiveHeader&>(*this).text(number, language));
}

// A damaged image is refused by being read as a plain header, which only
// works while both magic words carry the checksum flag.
static_assert(CompressedImageMagic & FlagTestChecksums, "a damaged token header would pass unchecked");
static_assert(RangeImageMagic & FlagTestChecksums, "a damaged range header would pass unchecked");

bool expandHeaderImage(String& image) {
    if (isRangeImage(reinterpret_cast<const unsigned char*>(image.cStr()), image.length()))
        return ExpandRangeImage(image);
    return ExpandBlock(image);
}

void decodeHeaderImage(String& image, uint32_t key) {
    scramble(image.data(), image.length(), key);
    expandHeaderImage(image);  // false for a plain header, which is then used as it stands
}

namespace {

int remainingBytes(const MemoryStream& s) {
    return s.position() < 0 || s.position() > s.length() ? 0 : s.length() - s.position();
}

}  // namespace

int parseArchiveHeader(const String& plainHeader, uint32_t key, ArchiveHeader& h) {
    h.clear();
    MemoryStream s(plainHeader);

    s >> h.flags;
    if ((h.flags & FlagTestChecksums) && checksum(plainHeader.cStr(), plainHeader.length()) != key)
        return CodeHeaderChecksum;
    s >> h.uninstallerTime >> h.programChecksum >> h.fileCount;
    if (h.fileCount < 1) return CodeBadFileCount;

    // Sizes past the end of the block would read as zeros, and so would the
    // payload length behind them: judge such a count without allocating it.
    int available = remainingBytes(s) / 4;
    int sizesPresent = h.fileCount <= available ? h.fileCount : available;
    h.fileSizes = new int32_t[sizesPresent > 0 ? sizesPresent : 1];
    for (int i = 0; i < sizesPresent; ++i) {
        s >> h.fileSizes[i];
        if (h.fileSizes[i] < 0) return CodeNegativeFileSize;
    }
    if (sizesPresent < h.fileCount) return CodeBadPayloadLength;
    s >> h.payloadLength;
    if (h.payloadLength < 1) return CodeBadPayloadLength;
    s >> h.payloadChecksum;

    s.readText(h.publisher);
    s.readText(h.productName);
    s.readText(h.startMenuFolder);
    s.readText(h.defaultDirectory);
    s.readText(h.productVersion);
    s.readText(h.productRegistryKey);
    s.readText(h.licenceText);
    s.readText(h.readmeText);
    s.readText(h.uninstallSubdir);
    s >> h.titleColorValue >> h.topColorValue >> h.bottomColorValue;

    int32_t pictureSize = 0;
    s >> pictureSize;
    if (pictureSize > 0) {
        // A picture longer than the block leaves every later field zero:
        // the language count is the first check that meets a zero.
        if (pictureSize > remainingBytes(s)) return CodeNoLanguages;
        s.readInto(h.picture, pictureSize);
    }
    if (h.flags & FlagExtendsProduct) s.readText(h.masterProduct);
    for (String& script : h.scripts) s.readText(script);
    s >> h.archiveDate;

    uint8_t languages = 0;
    s >> languages;
    if (languages < 1) return CodeNoLanguages;
    int32_t stringCount = 0;
    s >> stringCount;
    if (stringCount < 1 || stringCount > MaxStringsPerLanguage) return CodeBadStringCount;
    // Each text takes at least its NUL; more texts than bytes means the
    // block ends among them and the end marker reads as zero.
    int64_t texts = int64_t(languages) * (int64_t(stringCount) + 1);
    if (texts > remainingBytes(s)) return CodeBadEndMarker;

    h.languageCount = languages;
    h.stringCount = stringCount;
    h.languageNames = new String[languages];
    h.strings = new String[static_cast<size_t>(stringCount) * languages];
    for (int i = 0; i < languages; ++i) s.readText(h.languageNames[i]);
    for (int i = 0; i < stringCount * languages; ++i) s.readText(h.strings[i]);

    uint32_t endMarker = 0;
    s >> endMarker;
    if (endMarker != HeaderEndMarker) return CodeBadEndMarker;
    return 0;
}

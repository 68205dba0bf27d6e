#include "qpack/inspect.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "archive/archive_header.h"
#include "archive/file_record.h"
#include "archive/pe_signature.h"
#include "core/expand_block.h"
#include "core/memory_stream.h"
#include "core/range_image.h"
#include "qpack/installer_image.h"
#include "qpack/pe_header.h"

namespace fs = std::filesystem;

std::string quotedText(const char* bytes, int length) {
    std::string out = "\"";
    for (int i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        switch (c) {
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                out += hex;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

namespace {

std::string quoted(const String& s) { return quotedText(s.cStr(), s.length()); }

std::string hex32(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", v);
    return text;
}

std::string timeText(const FileDateTime& t) {
    if (!t.isSet()) return "none";
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return text;
}

std::string flagNames(uint32_t flags) {
    std::string names;
    for (const FlagName* f = FlagNames; f->name; ++f)
        if (flags & f->bit) names += std::string(" ") + f->name;
    uint32_t known = 0;
    for (const FlagName* f = FlagNames; f->name; ++f) known |= f->bit;
    if (flags & ~known) names += " reserved:" + hex32(flags & ~known);
    return names;
}

bool readWhole(const fs::path& file, String& bytes) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::vector<char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad() || b.size() > 0x7FFFFFFF) return false;
    bytes = String(b.data(), static_cast<int>(b.size()));
    return true;
}

// "range image, 2 segments": how many threads the program can expand it on.
std::string rangeImageText(const String& image) {
    RangeImageLayout layout;
    if (!readRangeImageLayout(reinterpret_cast<const unsigned char*>(image.cStr()), image.length(), layout))
        return "range image, bad segment table";
    int n = layout.segmentCount;
    return "range image, " + std::to_string(n) + (n == 1 ? " segment" : " segments");
}

// The payload's codec as the program reads it: by the flags.
std::string payloadCodec(uint32_t flags, const String& payload) {
    if (!(flags & FlagCompressedPayload)) return "stored";
    return (flags & FlagRangePayload) ? rangeImageText(payload) : "token image";
}

int32_t int32At(const String& s, int at) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(s.cStr()) + at;
    return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

class Inspector {
public:
    Inspector(const fs::path& file, std::ostream& out) : file_(file), out_(out) {}

    int run() {
        if (!readWhole(file_, image_)) {
            out_ << "error: cannot read " << file_.string() << "\n";
            return 1;
        }
        int code = readContainer();
        if (!code) code = readPayloadAndRecords();
        out_ << (code ? "result: corrupt, code " + std::to_string(code) : std::string("result: sound")) << "\n";
        return code;
    }

private:
    void line(const std::string& name, const std::string& value) { out_ << name << ": " << value << "\n"; }

    int readContainer() {
        int size = image_.length();
        line("installer", quotedText(file_.string().c_str(), static_cast<int>(file_.string().size())) + " " +
                              std::to_string(size) + " bytes");
        MemoryBlock file{image_.cStr(), size};
        CertificateTable table = findCertificateTable(readMemoryAt, &file, size);
        line("signature", table.size ? "certificate table at " + std::to_string(table.offset) + ", " +
                                           std::to_string(table.size) + " bytes"
                                     : std::string("none"));
        archiveEnd_ = findArchiveEnd(readMemoryAt, &file, size);
        line("archiveEnd", std::to_string(archiveEnd_));
        size = archiveEnd_;
        int32_t archiveOffset = size >= TrailerSize ? int32At(image_, size - TrailerSize) : 0;
        if (archiveOffset == 0) {
            out_ << "error: no archive is attached (the trailer is zero)\n";
            return CodeBadArchiveOffset;
        }
        if (archiveOffset < 0 || archiveOffset > size) return CodeBadArchiveOffset;
        if (archiveOffset + ContainerPrefixSize > size || uint32_t(int32At(image_, archiveOffset)) != ArchiveMagic)
            return CodeBadMagic;
        int32_t headerLength = int32At(image_, archiveOffset + 4);
        if (headerLength < 1) return CodeBadHeaderLength;
        uint32_t key = uint32_t(int32At(image_, archiveOffset + 8));
        int headerStart = archiveOffset + ContainerPrefixSize;
        // A header cut short by the end of the file reads as zeros, as in the
        // program; the checks that follow find it.
        int present = headerLength < size - headerStart ? headerLength : size - headerStart;
        String headerImage(headerLength);
        std::memset(headerImage.data(), 0, static_cast<size_t>(headerLength));
        std::memcpy(headerImage.data(), image_.cStr() + headerStart, static_cast<size_t>(present));
        scramble(headerImage.data(), headerImage.length(), key);
        // The header's codec is told by its magic word; an image that does
        // not expand is read as it stands.
        const unsigned char* headerBytes = reinterpret_cast<const unsigned char*>(headerImage.cStr());
        std::string codec = isRangeImage(headerBytes, headerImage.length()) ? rangeImageText(headerImage) : "token image";
        bool compressed = expandHeaderImage(headerImage);
        line("program", std::to_string(archiveOffset) + " bytes");
        line("architecture", architectureText(archiveOffset));
        line("header", std::to_string(headerLength) + " bytes stored" + (compressed ? ", compressed" : "") + ", " +
                           std::to_string(headerImage.length()) + " bytes plain");
        line("headerCodec", compressed ? codec : "stored");
        // Every checksum is verified here, whatever the flag says.
        if (checksum(headerImage.cStr(), headerImage.length()) != key) return CodeHeaderChecksum;
        int code = parseArchiveHeader(headerImage, key, header_);
        if (code) return code;
        // As the program tests it: the fields a signer rewrites count as zero,
        // or, in installers built before that rule, the bytes as they stand.
        String program(image_.cStr(), archiveOffset);
        clearSignatureFields(program.data(), program.length());
        if (checksum(image_.cStr(), archiveOffset) != header_.programChecksum &&
            checksum(program.cStr(), program.length()) != header_.programChecksum)
            return CodeProgramChecksum;
        payloadStart_ = headerStart + present;
        printHeader();
        return 0;
    }

    void printHeader() {
        const ArchiveHeader& h = header_;
        line("flags", hex32(h.flags) + flagNames(h.flags));
        line("uninstallerTime", timeText(h.uninstallerTime));
        line("programChecksum", hex32(h.programChecksum));
        line("fileCount", std::to_string(h.fileCount));
        line("payloadLength", std::to_string(h.payloadLength));
        line("payloadChecksum", hex32(h.payloadChecksum));
        line("publisher", quoted(h.publisher));
        line("productName", quoted(h.productName));
        line("startMenuFolder", quoted(h.startMenuFolder));
        line("defaultDirectory", quoted(h.defaultDirectory));
        line("productVersion", quoted(h.productVersion));
        line("productRegistryKey", quoted(h.productRegistryKey));
        line("licenceText", quoted(h.licenceText));
        line("readmeText", quoted(h.readmeText));
        line("uninstallSubdir", quoted(h.uninstallSubdir));
        line("titleColor", hex32(h.titleColorValue));
        line("topColor", hex32(h.topColorValue));
        line("bottomColor", hex32(h.bottomColorValue));
        line("pictureSize", std::to_string(h.picture.length()));
        line("pictureChecksum", hex32(checksum(h.picture.cStr(), h.picture.length())));
        if (h.flags & FlagExtendsProduct) line("masterProduct", quoted(h.masterProduct));
        static const char* const scriptKeys[ScriptCount] = {"preInstallScript", "postInstallScript", "finalScript",
                                                            "uninstallScript1", "uninstallScript2"};
        for (int i = 0; i < ScriptCount; ++i) line(scriptKeys[i], quoted(h.scripts[i]));
        char date[32];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", h.archiveDate.year, h.archiveDate.month, h.archiveDate.day);
        line("archiveDate", date);
        line("languageCount", std::to_string(h.languageCount));
        line("stringCount", std::to_string(h.stringCount));
        for (int l = 0; l < h.languageCount; ++l) line("language." + std::to_string(l), quoted(h.languageNames[l]));
        for (int n = 0; n < h.stringCount; ++n)
            for (int l = 0; l < h.languageCount; ++l)
                line("message." + std::to_string(n) + "." + std::to_string(l), quoted(*h.text(n, l)));
    }

    // Only reported: the program checksum is what finds a damaged program.
    std::string architectureText(int programSize) const {
        PeHeaders headers;
        std::string problem = readPeHeaders(reinterpret_cast<const uint8_t*>(image_.cStr()),
                                            static_cast<size_t>(programSize), headers);
        return problem.empty() ? describeArchitecture(headers) : "unknown (" + problem + ")";
    }

    int readPayloadAndRecords() {
        const ArchiveHeader& h = header_;
        int available = archiveEnd_ - payloadStart_ - TrailerSize;
        if (available < 0) return CodeHeaderPastEnd;
        MemoryStream payload;
        payload.write(image_.cStr() + payloadStart_, available);
        int parts = 1;
        for (int disk = FirstVolumeNumber; payload.length() < h.payloadLength; ++disk, ++parts) {
            fs::path volume = file_.parent_path() / volumeFileName(disk);
            String bytes;
            if (!readWhole(volume, bytes)) {
                out_ << "error: cannot read the volume " << volume.string() << "\n";
                return 1;
            }
            if (bytes.isEmpty()) {
                out_ << "error: the volume " << volume.string() << " is empty\n";
                return 1;
            }
            payload.write(bytes.cStr(), bytes.length());
        }
        line("payload", std::to_string(payload.length()) + " bytes in " + std::to_string(parts) + " part(s)");
        if (checksum(payload.cStr(), payload.length()) != h.payloadChecksum) return CodePayloadChecksum;
        line("payloadCodec", payloadCodec(h.flags, payload));
        if (h.flags & FlagCompressedPayload) {
            bool expanded = (h.flags & FlagRangePayload) ? ExpandRangeImage(payload) : ExpandBlock(payload);
            if (!expanded) return CodePayloadExpandFailed;
        }
        payload.seek(0);
        for (int i = 0; i < h.fileCount; ++i) {
            FileRecord r;
            int code = decodeFileRecord(payload, h.fileSize(i), true, r);
            if (code) return code;
            if (!isLocationKind(r.kind)) return CodeBadLocationKind;
            if ((r.fileFlags & PlacementMask) == PlaceInvalid) return CodeBadPlacementMode;
            std::string p = "file." + std::to_string(i) + ".";
            line(p + "name", quoted(r.name));
            line(p + "kind", std::string(locationKindName(r.kind)) + " (" + std::to_string(r.kind) + ")");
            std::string shortcuts;
            if (r.fileFlags & FileDesktopShortcut) shortcuts += " desktop";
            if (r.fileFlags & FileProgramGroupShortcut) shortcuts += " program-group";
            line(p + "flags", hex32(uint32_t(r.fileFlags)) + " mode=" + placementModeName(r.fileFlags) +
                                  (shortcuts.empty() ? "" : " shortcuts:" + shortcuts));
            line(p + "size", std::to_string(r.contents.length));
            line(p + "checksum", hex32(r.contentsChecksum));
            line(p + "time", timeText(r.fileTime));
            line(p + "extra", quoted(r.extra));
        }
        return 0;
    }

    fs::path file_;
    std::ostream& out_;
    String image_;
    ArchiveHeader header_;
    int payloadStart_ = 0;
    int32_t archiveEnd_ = 0;  // the file's size, or where a signature's table and padding begin
};

}  // namespace

int inspectInstaller(const fs::path& installer, std::ostream& out) { return Inspector(installer, out).run(); }

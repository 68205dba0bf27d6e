// A builder project file: an INI-like script that names the product, its
// settings, texts, languages and files. Parsing checks syntax and values;
// files on disk are read later, when the archive content is resolved.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "qpack/compressor.h"

// Every project or input problem: names the file and line (line 0: the file
// as a whole) and says what is wrong.
class ProjectError : public std::runtime_error {
public:
    ProjectError(const std::string& file, int line, const std::string& problem);
};

// Six fields of local date and time; month 0 means "no time".
struct ArchiveTime {
    int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool operator==(const ArchiveTime& o) const {
        return year == o.year && month == o.month && day == o.day && hour == o.hour && minute == o.minute &&
               second == o.second;
    }
};

struct ArchiveDate {
    int day = 0, month = 0, year = 0;
    bool operator==(const ArchiveDate& o) const { return day == o.day && month == o.month && year == o.year; }
};

// A text that is either written in the project or read from a file.
struct TextSource {
    std::string text;
    std::filesystem::path file;  // empty: the text is inline
    int line = 0;
};

// One line of the [Files] section.
struct FileEntry {
    int line = 0;
    std::string source;                // as written
    std::filesystem::path sourcePath;  // resolved against the project's folder
    bool wildcard = false;
    bool recurse = false;
    std::string target;  // record name, or folder prefix for a wildcard
    int32_t kind = KindInstallFolder;
    int32_t mode = PlaceAlways;
    int32_t shortcutFlags = 0;
    std::string shortcutName;  // empty: the file name without its extension
    std::string fontName;      // empty: the file name without its extension
    bool versionGiven = false;
    std::string version;
    bool timeGiven = false;
    ArchiveTime time;
};

struct LanguageEntry {
    int line = 0;
    std::string name;
    std::filesystem::path messageFile;  // empty: the built-in English texts
};

// [Build] Codec: which compressed image the header and payload are stored as.
enum class Codec {
    Fast,   // token images at the project's Level: quick to build, quickest to expand
    Small,  // range images (Level does not apply): the smallest installer
};

struct Project {
    std::filesystem::path file;
    std::filesystem::path folder;

    uint32_t flags = FlagTestChecksums;
    std::string productName, publisher, productVersion, defaultDirectory, startMenuFolder, registryKey,
        uninstallSubdir, masterProduct;
    bool uninstallerTimeGiven = false;
    ArchiveTime uninstallerTime;
    bool archiveDateGiven = false;
    ArchiveDate archiveDate;

    uint32_t titleColor = 0xFFFFFF, topColor = 0x800000, bottomColor = 0;
    std::filesystem::path picture;
    int pictureLine = 0;
    TextSource licence, readme;
    TextSource scripts[ScriptCount];

    std::vector<LanguageEntry> languages;  // empty: English only
    std::vector<FileEntry> files;

    bool compressHeader = true;
    int compressionLevel = DefaultCompressionLevel;
    Codec codec = Codec::Fast;
    int64_t volumeSize = 0;  // 0: no volumes
    // Both or neither: the certificate and private key the build signs with.
    std::filesystem::path signCertificate, signKey;
};

// Parses project text. `file` names it in messages and anchors relative paths.
Project parseProject(const std::string& text, const std::filesystem::path& file);
Project loadProject(const std::filesystem::path& file);

// "#RRGGBB" to a Windows colour value (0x00BBGGRR); false for anything else.
bool parseColor(const std::string& text, uint32_t& colorRef);
// "YYYY-MM-DD HH:MM:SS"; false for anything else.
bool parseArchiveTime(const std::string& text, ArchiveTime& time);
bool parseArchiveDate(const std::string& text, ArchiveDate& date);

// The script names of the [Scripts] section, in header order.
extern const char* const ScriptNames[ScriptCount];

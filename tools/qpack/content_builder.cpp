#include "qpack/content_builder.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <fstream>
#include <map>
#include <set>

#include "archive/message_formats.h"
#include "qpack/ansi_text.h"
#include "qpack/default_messages.h"
#include "qpack/message_file.h"
#include "qpack/pe_version.h"

namespace fs = std::filesystem;

Bytes readInputFile(const fs::path& file, const std::string& project, int line) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) throw ProjectError(project, line, "file not found: " + file.string());
    std::ifstream in(file, std::ios::binary);
    if (!in) throw ProjectError(project, line, "cannot read " + file.string());
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw ProjectError(project, line, "cannot read " + file.string());
    return bytes;
}

std::string withWindowsLineEnds(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}

bool wildcardMatch(const std::string& pattern, const std::string& name) {
    size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
    auto same = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    };
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || (pattern[p] != '*' && same(pattern[p], name[n])))) {
            ++p, ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

namespace {

class Resolver {
public:
    Resolver(const Project& project, std::vector<std::string>& warnings, const FileReadProgress& progress)
        : p_(project), name_(project.file.string()), warnings_(warnings), progress_(progress) {}

    ArchiveContent resolve() {
        ArchiveContent c;
        c.flags = p_.flags;
        c.uninstallerTime = p_.uninstallerTimeGiven ? p_.uninstallerTime : localNow();
        c.publisher = ansi(p_.publisher, "Publisher");
        c.productName = ansi(p_.productName, "Name");
        c.startMenuFolder = ansi(p_.startMenuFolder, "StartMenuFolder");
        c.defaultDirectory = ansi(p_.defaultDirectory, "DefaultDirectory");
        c.productVersion = ansi(p_.productVersion, "Version");
        c.productRegistryKey = ansi(p_.registryKey, "RegistryKey");
        c.uninstallSubdir = ansi(p_.uninstallSubdir, "UninstallSubdir");
        c.masterProduct = ansi(p_.masterProduct, "MasterProduct");
        c.licenceText = textOf(p_.licence);
        c.readmeText = textOf(p_.readme);
        for (int i = 0; i < ScriptCount; ++i) c.scripts[i] = textOf(p_.scripts[i]);
        c.titleColor = p_.titleColor;
        c.topColor = p_.topColor;
        c.bottomColor = p_.bottomColor;
        if (!p_.picture.empty()) c.picture = packedBitmap(p_.picture);
        if (p_.archiveDateGiven) {
            c.archiveDate = p_.archiveDate;
        } else {
            ArchiveTime now = localNow();
            c.archiveDate = ArchiveDate{now.day, now.month, now.year};
        }
        resolveLanguages(c);
        // Every wildcard is expanded before the first file is read, so that
        // progress can say how many files there are.
        std::vector<std::vector<Match>> matches;
        for (const FileEntry& f : p_.files) {
            matches.push_back(expand(f));
            fileCount_ += matches.back().size();
        }
        for (size_t i = 0; i < p_.files.size(); ++i) addFiles(p_.files[i], matches[i], c.records);
        return c;
    }

private:
    static ArchiveTime fromTimeT(std::time_t t) {
        std::tm* tm = std::localtime(&t);
        ArchiveTime a;
        if (!tm) return a;
        a.year = tm->tm_year + 1900;
        a.month = tm->tm_mon + 1;
        a.day = tm->tm_mday;
        a.hour = tm->tm_hour;
        a.minute = tm->tm_min;
        a.second = std::min(tm->tm_sec, 59);
        return a;
    }

    static ArchiveTime localNow() { return fromTimeT(std::time(nullptr)); }

    // Every text goes into the archive as Windows text.
    std::string ansi(const std::string& text, const std::string& what) {
        bool lossy = false;
        std::string converted = ansiText(text, lossy);
        if (lossy) warnings_.push_back(name_ + ": " + what + " holds characters that Windows text cannot show; they became '?'");
        return converted;
    }

    std::string textOf(const TextSource& source) {
        std::string text = source.text;
        if (!source.file.empty()) {
            Bytes b = readInputFile(source.file, name_, source.line);
            text.assign(b.begin(), b.end());
        }
        if (text.find('\0') != std::string::npos)
            throw ProjectError(name_, source.line, "a text holds a NUL byte, which cannot be stored");
        return ansi(withWindowsLineEnds(text), source.file.empty() ? "a script" : source.file.string());
    }

    // A .bmp file without its 14-byte file header is the packed bitmap the installer shows.
    Bytes packedBitmap(const fs::path& file) const {
        int line = p_.pictureLine;
        Bytes b = readInputFile(file, name_, line);
        if (b.size() < 14 + 40 || b[0] != 'B' || b[1] != 'M')
            throw ProjectError(name_, line, "not a Windows bitmap (.bmp) file: " + file.string());
        return Bytes(b.begin() + 14, b.end());
    }

    void resolveLanguages(ArchiveContent& c) {
        std::vector<LanguageEntry> languages = p_.languages;
        if (languages.empty()) languages.push_back(LanguageEntry{0, "English", {}});
        std::vector<std::map<int, std::string>> tables;
        int rows = StandardMessageCount;
        for (const LanguageEntry& l : languages) {
            std::map<int, std::string> table;
            if (!l.messageFile.empty()) {
                std::error_code ec;
                if (!fs::is_regular_file(l.messageFile, ec))
                    throw ProjectError(name_, l.line, "message file not found: " + l.messageFile.string());
                table = loadMessageFile(l.messageFile);
            }
            if (!table.empty()) rows = std::max(rows, table.rbegin()->first + 1);
            for (auto& entry : table) entry.second = ansi(entry.second, l.messageFile.string());
            tables.push_back(std::move(table));
            c.languageNames.push_back(ansi(l.name, "a language name"));
        }
        c.strings.assign(rows, std::vector<std::string>(languages.size()));
        for (size_t li = 0; li < languages.size(); ++li) {
            int missing = 0;
            for (int n = 0; n < rows; ++n) {
                auto found = tables[li].find(n);
                if (found != tables[li].end()) {
                    c.strings[n][li] = found->second;
                } else {
                    c.strings[n][li] = defaultMessage(n);
                    if (!languages[li].messageFile.empty()) ++missing;
                }
            }
            if (missing)
                warnings_.push_back(languages[li].messageFile.string() + ": " + std::to_string(missing) +
                                    " message(s) missing; the English texts stand in for them");
        }
    }

    struct Match {
        fs::path path;
        std::string relative;  // backslash-separated, below the wildcard's folder
    };

    std::vector<Match> expand(const FileEntry& f) const {
        std::vector<Match> matches;
        if (!f.wildcard) {
            matches.push_back({f.sourcePath, f.sourcePath.filename().string()});
            return matches;
        }
        fs::path folder = f.sourcePath.parent_path();
        std::string pattern = f.sourcePath.filename().string();
        std::error_code ec;
        if (!fs::is_directory(folder, ec)) throw ProjectError(name_, f.line, "folder not found: " + folder.string());
        auto consider = [&](const fs::directory_entry& e) {
            if (!e.is_regular_file() || !wildcardMatch(pattern, e.path().filename().string())) return;
            std::string rel = fs::relative(e.path(), folder).generic_string();
            std::replace(rel.begin(), rel.end(), '/', '\\');
            matches.push_back({e.path(), rel});
        };
        if (f.recurse)
            for (const auto& e : fs::recursive_directory_iterator(folder)) consider(e);
        else
            for (const auto& e : fs::directory_iterator(folder)) consider(e);
        if (matches.empty()) throw ProjectError(name_, f.line, "no file matches " + f.source);
        std::sort(matches.begin(), matches.end(), [](const Match& a, const Match& b) { return a.relative < b.relative; });
        return matches;
    }

    ArchiveTime fileTimeOf(const fs::path& file, int line) const {
        struct stat st;
        if (stat(file.string().c_str(), &st) != 0) throw ProjectError(name_, line, "cannot read the time of " + file.string());
        return fromTimeT(st.st_mtime);
    }

    static std::string stem(const std::string& recordName) {
        std::string base = recordName.substr(recordName.find_last_of('\\') + 1);
        size_t dot = base.find_last_of('.');
        return dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
    }

    void addFiles(const FileEntry& f, const std::vector<Match>& matches, std::vector<ArchiveRecord>& records) {
        for (const Match& m : matches) {
            ArchiveRecord r;
            if (f.wildcard) {
                std::string prefix = f.target;
                if (!prefix.empty() && prefix.back() != '\\') prefix += '\\';
                r.name = prefix + m.relative;
            } else {
                r.name = f.target.empty() ? m.relative : f.target;
            }
            r.name = ansi(r.name, "a file name");
            if (!isSafeRecordName(r.name.c_str()) || r.name.find('\0') != std::string::npos)
                throw ProjectError(name_, f.line, "unsafe record name '" + r.name + "'");
            if (!names_.insert(std::to_string(f.kind) + ":" + lower(r.name)).second)
                throw ProjectError(name_, f.line, "two files would be installed as '" + r.name + "'");
            r.kind = f.kind;
            r.fileFlags = f.mode | f.shortcutFlags;
            r.contents = readInputFile(m.path, name_, f.line);
            if (r.contents.size() > 0x7FFFFFFF) throw ProjectError(name_, f.line, "file too large: " + m.path.string());
            bytesRead_ += r.contents.size();
            if (progress_) progress_(++filesRead_, fileCount_, bytesRead_);
            r.time = f.timeGiven ? f.time : fileTimeOf(m.path, f.line);
            if ((f.kind == KindInstallFolder || f.kind == KindStartup) && f.shortcutFlags)
                r.extra = f.shortcutName.empty() ? stem(r.name) : ansi(f.shortcutName, "a shortcut name");
            else if (f.kind == KindFont)
                r.extra = f.fontName.empty() ? stem(r.name) : ansi(f.fontName, "a font name");
            else if (f.kind == KindSystem)
                r.extra = normalizeVersion(f.versionGiven ? f.version : peFileVersion(r.contents));
            records.push_back(std::move(r));
        }
    }

    static std::string lower(std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    }

    const Project& p_;
    std::string name_;
    std::vector<std::string>& warnings_;
    const FileReadProgress& progress_;
    std::set<std::string> names_;
    size_t fileCount_ = 0;
    size_t filesRead_ = 0;
    uint64_t bytesRead_ = 0;
};

}  // namespace

ArchiveContent resolveProject(const Project& project, std::vector<std::string>& warnings,
                              const FileReadProgress& progress) {
    return Resolver(project, warnings, progress).resolve();
}

#include "qpack/project.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

const char* const ScriptNames[ScriptCount] = {"PreInstall", "PostInstall", "Final", "Uninstall1", "Uninstall2"};

ProjectError::ProjectError(const std::string& file, int line, const std::string& problem)
    : std::runtime_error(line > 0 ? file + ":" + std::to_string(line) + ": " + problem : file + ": " + problem) {}

namespace {

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A value may be written in double quotes to keep blanks at its ends.
std::string unquoted(const std::string& value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
    return value;
}

bool parseNumber(const std::string& text, int64_t& value) {
    if (text.empty() || text.size() > 18) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// Backslashes are the natural separator for Windows authors; slashes work too.
std::string withBackslashes(std::string s) {
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

class Parser {
public:
    Parser(const fs::path& file) : fileName_(file.string()) {
        project_.file = file;
        project_.folder = file.parent_path();
    }

    Project parse(const std::string& text) {
        std::istringstream in(text);
        std::string raw;
        while (std::getline(in, raw)) {
            ++line_;
            if (!raw.empty() && raw.back() == '\r') raw.pop_back();
            handleLine(raw);
        }
        finishScriptBody();
        check();
        return std::move(project_);
    }

private:
    [[noreturn]] void fail(const std::string& problem, int line = -1) const {
        throw ProjectError(fileName_, line < 0 ? line_ : line, problem);
    }

    fs::path resolve(const std::string& path) const {
        fs::path p(withBackslashesToNative(path));
        return p.is_absolute() ? p : project_.folder / p;
    }

    static std::string withBackslashesToNative(std::string s) {
#ifndef _WIN32
        std::replace(s.begin(), s.end(), '\\', '/');
#endif
        return s;
    }

    void handleLine(const std::string& raw) {
        std::string t = trim(raw);
        if (scriptBody_ >= 0) {
            // A script section takes its lines as they stand, until the next section.
            if (!(t.size() >= 2 && t.front() == '[' && t.back() == ']')) {
                scriptLines_.push_back(raw);
                return;
            }
            finishScriptBody();
        }
        if (t.empty() || t[0] == ';' || t[0] == '#') return;
        if (t.front() == '[') {
            if (t.back() != ']') fail("section header without a closing ']'");
            openSection(trim(t.substr(1, t.size() - 2)));
            return;
        }
        if (section_.empty()) fail("text outside of a section");
        if (section_ == "files") {
            addFile(t);
            return;
        }
        size_t eq = t.find('=');
        if (eq == std::string::npos) fail("expected 'name = value'");
        std::string key = trim(t.substr(0, eq));
        std::string value = unquoted(trim(t.substr(eq + 1)));
        if (key.empty()) fail("missing name before '='");
        std::string id = section_ + "." + lower(key);
        if (!seen_.insert(id).second) fail("'" + key + "' is given twice in [" + sectionTitle_ + "]");
        setValue(lower(key), key, value);
    }

    void openSection(const std::string& title) {
        std::string name = lower(title);
        sectionTitle_ = title;
        if (name.rfind("script ", 0) == 0) {
            std::string which = trim(title.substr(7));
            int index = scriptIndex(which);
            if (index < 0) fail("unknown script '" + which + "' (use PreInstall, PostInstall, Final, Uninstall1 or Uninstall2)");
            setScriptOnce(index, line_);
            scriptBody_ = index;
            scriptLines_.clear();
            section_ = "script";
            return;
        }
        static const std::set<std::string> known = {"product", "flags", "appearance", "texts",
                                                    "scripts", "languages", "files", "build"};
        if (!known.count(name)) fail("unknown section [" + title + "]");
        if (!sections_.insert(name).second) fail("section [" + title + "] appears twice");
        section_ = name;
    }

    static int scriptIndex(const std::string& name) {
        for (int i = 0; i < ScriptCount; ++i)
            if (lower(name) == lower(ScriptNames[i])) return i;
        return -1;
    }

    void setScriptOnce(int index, int line) {
        if (project_.scripts[index].line != 0)
            fail(std::string("script ") + ScriptNames[index] + " is already given on line " +
                 std::to_string(project_.scripts[index].line));
        project_.scripts[index].line = line;
    }

    void finishScriptBody() {
        if (scriptBody_ < 0) return;
        while (!scriptLines_.empty() && trim(scriptLines_.back()).empty()) scriptLines_.pop_back();
        std::string body;
        for (const std::string& l : scriptLines_) body += l + "\r\n";
        project_.scripts[scriptBody_].text = body;
        scriptBody_ = -1;
    }

    void setValue(const std::string& key, const std::string& keyAsWritten, const std::string& value) {
        if (section_ == "product") return setProduct(key, keyAsWritten, value);
        if (section_ == "flags") return setFlag(keyAsWritten, value);
        if (section_ == "appearance") return setAppearance(key, keyAsWritten, value);
        if (section_ == "texts") return setText(key, keyAsWritten, value);
        if (section_ == "scripts") {
            int index = scriptIndex(keyAsWritten);
            if (index < 0) fail("unknown script '" + keyAsWritten + "'");
            setScriptOnce(index, line_);
            if (value.empty()) fail("script file name missing");
            project_.scripts[index].file = resolve(value);
            return;
        }
        if (section_ == "languages") return addLanguage(keyAsWritten, value);
        if (section_ == "build") return setBuild(key, keyAsWritten, value);
        fail("unexpected value");
    }

    void setProduct(const std::string& key, const std::string& keyAsWritten, const std::string& value) {
        Project& p = project_;
        if (key == "name") p.productName = value;
        else if (key == "publisher") p.publisher = value;
        else if (key == "version") p.productVersion = value;
        else if (key == "defaultdirectory") p.defaultDirectory = value;
        else if (key == "startmenufolder") p.startMenuFolder = value;
        else if (key == "registrykey") p.registryKey = value;
        else if (key == "uninstallsubdir") p.uninstallSubdir = value;
        else if (key == "masterproduct") p.masterProduct = value;
        else if (key == "uninstallertime") {
            if (!parseArchiveTime(value, p.uninstallerTime)) fail("bad time '" + value + "' (use YYYY-MM-DD HH:MM:SS)");
            p.uninstallerTimeGiven = true;
        } else if (key == "archivedate") {
            if (!parseArchiveDate(value, p.archiveDate)) fail("bad date '" + value + "' (use YYYY-MM-DD)");
            p.archiveDateGiven = true;
        } else
            fail("unknown setting '" + keyAsWritten + "' in [Product]");
    }

    bool yesNo(const std::string& value) const {
        std::string v = lower(value);
        if (v == "yes" || v == "true" || v == "1" || v == "on") return true;
        if (v == "no" || v == "false" || v == "0" || v == "off") return false;
        fail("expected yes or no, not '" + value + "'");
    }

    void setFlag(const std::string& name, const std::string& value) {
        for (const FlagName* f = FlagNames; f->name; ++f) {
            if (lower(name) != f->name) continue;
            // The flag says how the payload was compressed, so only the build sets it.
            if (f->bit == FlagRangePayload)
                fail("the flag range-payload is not set by name: [Build] Codec = small sets it");
            if (yesNo(value)) project_.flags |= f->bit;
            else project_.flags &= ~f->bit;
            return;
        }
        fail("unknown flag '" + name + "'");
    }

    void setAppearance(const std::string& key, const std::string& keyAsWritten, const std::string& value) {
        uint32_t* color = key == "titlecolor" ? &project_.titleColor
                        : key == "topcolor"   ? &project_.topColor
                        : key == "bottomcolor" ? &project_.bottomColor
                                               : nullptr;
        if (color) {
            if (!parseColor(value, *color)) fail("bad colour '" + value + "' (use #RRGGBB)");
            return;
        }
        if (key == "picture") {
            if (value.empty()) fail("picture file name missing");
            project_.picture = resolve(value);
            project_.pictureLine = line_;
            return;
        }
        fail("unknown setting '" + keyAsWritten + "' in [Appearance]");
    }

    void setText(const std::string& key, const std::string& keyAsWritten, const std::string& value) {
        TextSource* text = key == "licence" || key == "license" ? &project_.licence
                         : key == "readme"                      ? &project_.readme
                                                                : nullptr;
        if (!text) fail("unknown setting '" + keyAsWritten + "' in [Texts]");
        if (value.empty()) fail("text file name missing");
        text->file = resolve(value);
        text->line = line_;
    }

    void addLanguage(const std::string& name, const std::string& value) {
        LanguageEntry entry;
        entry.line = line_;
        entry.name = name;
        if (lower(value) != "builtin") {
            if (value.empty()) fail("message file name missing (or 'builtin')");
            entry.messageFile = resolve(value);
        }
        project_.languages.push_back(entry);
        if (project_.languages.size() > 255) fail("more than 255 languages");
    }

    void setBuild(const std::string& key, const std::string& keyAsWritten, const std::string& value) {
        int64_t n = 0;
        if (key == "compressheader") project_.compressHeader = yesNo(value);
        else if (key == "level") {
            if (!parseNumber(value, n) || n < FastestCompressionLevel || n > BestCompressionLevel)
                fail("compression level must be 1 to 9");
            project_.compressionLevel = static_cast<int>(n);
        } else if (key == "codec") {
            std::string v = lower(value);
            if (v == "fast") project_.codec = Codec::Fast;
            else if (v == "small") project_.codec = Codec::Small;
            else fail("unknown codec '" + value + "': Codec is fast or small");
        } else if (key == "volumesize") {
            std::string v = lower(value);
            int64_t unit = 1;
            if (!v.empty() && v.back() == 'k') unit = 1024, v.pop_back();
            else if (!v.empty() && v.back() == 'm') unit = 1024 * 1024, v.pop_back();
            if (!parseNumber(trim(v), n) || n * unit > 0x7FFFFFFF) fail("bad volume size '" + value + "'");
            project_.volumeSize = n * unit;
        } else if (key == "signcertificate" || key == "signkey") {
            if (value.empty()) fail("file name missing");
            (key == "signcertificate" ? project_.signCertificate : project_.signKey) = resolve(value);
        } else
            fail("unknown setting '" + keyAsWritten + "' in [Build]");
    }

    void addFile(const std::string& text) {
        FileEntry entry;
        entry.line = line_;
        std::vector<std::string> fields;
        std::string field;
        std::istringstream in(text);
        while (std::getline(in, field, '|')) fields.push_back(trim(field));
        entry.source = fields.empty() ? "" : fields[0];
        if (entry.source.empty()) fail("file source missing");
        entry.wildcard = entry.source.find_first_of("*?") != std::string::npos;
        std::string sourceFolder = withBackslashes(entry.source);
        size_t lastSep = sourceFolder.find_last_of('\\');
        if (sourceFolder.find_first_of("*?") < (lastSep == std::string::npos ? 0 : lastSep))
            fail("wildcards are allowed in the file name only, not in folders");
        entry.sourcePath = resolve(entry.source);
        std::set<std::string> given;
        for (size_t i = 1; i < fields.size(); ++i) {
            const std::string& option = fields[i];
            size_t eq = option.find('=');
            std::string name = lower(trim(option.substr(0, eq)));
            std::string value = eq == std::string::npos ? "" : unquoted(trim(option.substr(eq + 1)));
            if (!given.insert(name).second) fail("option '" + name + "' is given twice");
            setFileOption(entry, name, value, eq != std::string::npos);
        }
        if (entry.recurse && !entry.wildcard) fail("'recurse' needs a wildcard source such as folder\\*.*");
        if (!entry.wildcard && !entry.target.empty() && !isSafeRecordName(entry.target.c_str()))
            fail("unsafe target name '" + entry.target + "': it must be a relative path without '..', drive or leading backslash");
        if (entry.wildcard && !entry.target.empty()) {
            std::string folder = entry.target;
            while (!folder.empty() && folder.back() == '\\') folder.pop_back();
            if (!isSafeRecordName(folder.c_str()))
                fail("unsafe target folder '" + entry.target + "': it must be a relative path without '..', drive or leading backslash");
        }
        project_.files.push_back(entry);
    }

    void setFileOption(FileEntry& entry, const std::string& name, const std::string& value, bool hasValue) {
        auto needValue = [&] {
            if (!hasValue || value.empty()) fail("option '" + name + "' needs a value");
        };
        if (name == "recurse") {
            if (hasValue) fail("'recurse' takes no value");
            entry.recurse = true;
        } else if (name == "target") {
            needValue();
            entry.target = withBackslashes(value);
        } else if (name == "kind") {
            needValue();
            static const int32_t kinds[] = {KindInstallFolder, KindShared, KindFont, KindStartup, KindSystem};
            for (int32_t k : kinds)
                if (lower(value) == locationKindName(k)) return void(entry.kind = k);
            fail("unknown kind '" + value + "' (use install, shared, font, startup or system)");
        } else if (name == "mode") {
            needValue();
            static const int32_t modes[] = {PlaceAlways, PlaceOnlyIfPresent, PlaceOnlyIfMissing};
            for (int32_t m : modes)
                if (lower(value) == placementModeName(m)) return void(entry.mode = m);
            fail("unknown mode '" + value + "' (use always, if-present or if-missing)");
        } else if (name == "shortcuts") {
            needValue();
            std::istringstream in(value);
            std::string item;
            while (std::getline(in, item, ',')) {
                item = lower(trim(item));
                if (item == "desktop") entry.shortcutFlags |= FileDesktopShortcut;
                else if (item == "program-group") entry.shortcutFlags |= FileProgramGroupShortcut;
                else if (item != "none") fail("unknown shortcut '" + item + "' (use desktop, program-group or none)");
            }
        } else if (name == "shortcut-name") {
            needValue();
            entry.shortcutName = value;
        } else if (name == "font-name") {
            needValue();
            entry.fontName = value;
        } else if (name == "version") {
            needValue();
            entry.versionGiven = true;
            entry.version = lower(value) == "none" ? "" : value;
        } else if (name == "time") {
            needValue();
            entry.timeGiven = true;
            if (lower(value) == "none") entry.time = ArchiveTime();
            else if (!parseArchiveTime(value, entry.time)) fail("bad time '" + value + "' (use YYYY-MM-DD HH:MM:SS or none)");
        } else
            fail("unknown file option '" + name + "'");
    }

    void check() {
        Project& p = project_;
        if (p.productName.empty()) fail("the product needs a Name in [Product]", 0);
        if (p.files.empty()) fail("the project lists no files in [Files]", 0);
        if ((p.flags & FlagExtendsProduct) == 0 && !p.masterProduct.empty())
            fail("MasterProduct is given but the flag extends-product is not set", 0);
        if (p.signCertificate.empty() != p.signKey.empty())
            fail("signing needs both SignCertificate and SignKey in [Build]", 0);
        for (const FileEntry& f : p.files) {
            bool installFolder = f.kind == KindInstallFolder || f.kind == KindStartup;
            if (f.shortcutFlags && !installFolder)
                fail("shortcuts are made only for files of kind install or startup", f.line);
            if (!f.fontName.empty() && f.kind != KindFont) fail("font-name applies to kind font only", f.line);
            if (f.versionGiven && f.kind != KindSystem) fail("version applies to kind system only", f.line);
            if (!f.shortcutName.empty() && !installFolder)
                fail("shortcut-name applies to kinds install and startup only", f.line);
        }
    }

    std::string fileName_;
    Project project_;
    int line_ = 0;
    std::string section_;
    std::string sectionTitle_;
    std::set<std::string> sections_;
    std::set<std::string> seen_;
    int scriptBody_ = -1;
    std::vector<std::string> scriptLines_;
};

}  // namespace

Project parseProject(const std::string& text, const fs::path& file) { return Parser(file).parse(text); }

Project loadProject(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw ProjectError(file.string(), 0, "cannot open the project file");
    std::stringstream buffer;
    buffer << in.rdbuf();
    return parseProject(buffer.str(), file);
}

bool parseColor(const std::string& text, uint32_t& colorRef) {
    if (text.size() != 7 || text[0] != '#') return false;
    uint32_t rgb = 0;
    for (size_t i = 1; i < 7; ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
        rgb = rgb << 4 | static_cast<uint32_t>(std::stoi(text.substr(i, 1), nullptr, 16));
    }
    colorRef = (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
    return true;
}

namespace {

bool validDate(int year, int month, int day) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1601 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= days[month - 1] + (month == 2 && leap ? 1 : 0);
}

}  // namespace

bool parseArchiveTime(const std::string& text, ArchiveTime& time) {
    ArchiveTime t;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &t.year, &t.month, &t.day, &t.hour, &t.minute,
                    &t.second, &tail) != 6)
        return false;
    if (text.size() != 19 || !validDate(t.year, t.month, t.day) || t.hour < 0 || t.hour > 23 || t.minute < 0 ||
        t.minute > 59 || t.second < 0 || t.second > 59)
        return false;
    time = t;
    return true;
}

bool parseArchiveDate(const std::string& text, ArchiveDate& date) {
    ArchiveDate d;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &d.year, &d.month, &d.day, &tail) != 3) return false;
    if (text.size() != 10 || !validDate(d.year, d.month, d.day)) return false;
    date = d;
    return true;
}

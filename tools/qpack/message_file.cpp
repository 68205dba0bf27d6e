#include "qpack/message_file.h"

#include <fstream>
#include <sstream>

#include "archive/archive_format.h"
#include "archive/message_formats.h"
#include "core/str.h"
#include "qpack/project.h"

namespace {

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

std::string unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char n = s[i + 1];
            if (n == 'n') { out += "\r\n"; ++i; continue; }
            if (n == 't') { out += '\t'; ++i; continue; }
            if (n == '\\') { out += '\\'; ++i; continue; }
        }
        out += s[i];
    }
    return out;
}

}  // namespace

std::string messageFormatProblem(int number, const std::string& text) {
    const char* wanted = messageConversions(number);
    if (!wanted || formatConversionsAre(text.c_str(), wanted)) return "";
    std::string expected;
    for (const char* c = wanted; *c; ++c) expected += std::string(expected.empty() ? "" : ", ") + "%" + *c;
    return "message " + std::to_string(number) + " must hold exactly the conversions " +
           (expected.empty() ? std::string("(none; write %% for a percent sign)") : expected) + " in this order";
}

std::map<int, std::string> parseMessageFile(const std::string& text, const std::string& fileName) {
    std::map<int, std::string> messages;
    std::istringstream in(text);
    std::string raw;
    int line = 0;
    while (std::getline(in, raw)) {
        ++line;
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        std::string t = trim(raw);
        if (t.empty() || t[0] == ';' || t[0] == '#') continue;
        size_t eq = t.find('=');
        std::string key = trim(t.substr(0, eq == std::string::npos ? 0 : eq));
        if (eq == std::string::npos || key.empty()) throw ProjectError(fileName, line, "expected 'NUMBER = text'");
        if (key.size() > 4 || key.find_first_not_of("0123456789") != std::string::npos)
            throw ProjectError(fileName, line, "'" + key + "' is not a message number from 0 to 9999");
        int number = std::stoi(key);
        std::string value = unescape(trim(t.substr(eq + 1)));
        std::string problem = messageFormatProblem(number, value);
        if (!problem.empty()) throw ProjectError(fileName, line, problem);
        if (!messages.emplace(number, value).second)
            throw ProjectError(fileName, line, "message " + key + " is given twice");
    }
    return messages;
}

std::map<int, std::string> loadMessageFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw ProjectError(file.string(), 0, "cannot open the message file");
    std::stringstream buffer;
    buffer << in.rdbuf();
    return parseMessageFile(buffer.str(), file.string());
}

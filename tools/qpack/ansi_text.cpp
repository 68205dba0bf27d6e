#include "qpack/ansi_text.h"

#include <cstdint>
#include <vector>

namespace {

// Code page 1252 bytes 0x80 to 0x9F and the characters they stand for.
const uint32_t Cp1252High[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

// The code points of text, or false when it is not well-formed UTF-8.
bool decodeUtf8(const std::string& text, std::vector<uint32_t>& out) {
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || i + extra >= text.size() + (extra == 0 ? 1 : 0)) return false;
        uint32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            cp = cp << 6 | (next & 0x3F);
        }
        static const uint32_t smallest[4] = {0, 0x80, 0x800, 0x10000};
        if (cp < smallest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        out.push_back(cp);
        i += static_cast<size_t>(extra) + 1;
    }
    return true;
}

}  // namespace

std::string ansiText(const std::string& text, bool& lossy) {
    std::vector<uint32_t> codePoints;
    bool ascii = true;
    for (char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii || !decodeUtf8(text, codePoints)) return text;
    std::string out;
    for (uint32_t cp : codePoints) {
        if (cp < 0x80 || (cp >= 0xA0 && cp < 0x100)) {
            out += static_cast<char>(cp);
            continue;
        }
        char mapped = 0;
        for (int i = 0; i < 32; ++i)
            if (Cp1252High[i] == cp) mapped = static_cast<char>(0x80 + i);
        if (!mapped) {
            mapped = '?';
            lossy = true;
        }
        out += mapped;
    }
    return out;
}

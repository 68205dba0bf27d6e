#include "core/str.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/checksum.h"
#include "core/memory.h"

const char WHITESPACE[] = " \r\n\t";

namespace {

const char emptyText[1] = {0};
constexpr int MaxStringLength = 0x40000000;
constexpr int Slack = 25;
constexpr int ShrinkMargin = 512;

int textLength(const char* text) { return text ? static_cast<int>(std::strlen(text)) : 0; }

bool inSet(const char* set, int setLength, char c) {
    return setLength > 0 && std::memchr(set, c, static_cast<size_t>(setLength)) != nullptr;
}

bool sameIgnoringCase(const char* a, const char* b, int n) {
    for (int i = 0; i < n; ++i)
        if (toUpper(a[i]) != toUpper(b[i])) return false;
    return true;
}

// Reads an optional sign and decimal digits, wrapping like 32-bit arithmetic.
int parseDecimal(const char* p, const char* end, const char** stop) {
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    uint32_t value = 0;
    while (p < end && isDigit(*p)) value = value * 10u + uint32_t(*p++ - '0');
    if (stop) *stop = p;
    return static_cast<int>(negative ? 0u - value : value);
}

// Sign, digits, optional fraction and exponent. Kept here rather than taken
// from strtod: the C99 strtod that mingw links would add 20 KB to the program.
double parseDecimalFraction(const char* p) {
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    double value = 0.0;
    while (isDigit(*p)) value = value * 10.0 + (*p++ - '0');
    if (*p == '.') {
        double scale = 1.0;
        for (++p; isDigit(*p); ++p) {
            scale /= 10.0;
            value += (*p - '0') * scale;
        }
    }
    if ((*p == 'e' || *p == 'E') && (isDigit(p[1]) || ((p[1] == '+' || p[1] == '-') && isDigit(p[2])))) {
        int exponent = parseDecimal(p + 1, p + std::strlen(p), nullptr);
        for (; exponent > 0 && value < 1e308; --exponent) value *= 10.0;
        for (; exponent < 0 && value > 0.0; ++exponent) value /= 10.0;
    }
    return negative ? -value : value;
}

}  // namespace

bool isDigit(int c) { return c >= '0' && c <= '9'; }
bool isAlpha(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isSpace(int c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }
int toUpper(int c) { return (c >= 'a' && c <= 'z') ? c - 32 : (c & 0xFF); }

int parseInt(const char* text) {
    if (!text) return 0;
    return parseDecimal(text, text + std::strlen(text), nullptr);
}

char lastCharOf(const char* text) {
    if (!text) reportConsistencyFailure("Core32", 5337);
    size_t n = std::strlen(text);
    return n ? text[n - 1] : 0;
}

char* insertCharsAtStart(char* text, char c, int n) {
    if (!text) reportConsistencyFailure("Core32", 5888);
    if (n < 1) return text;
    std::memmove(text + n, text, std::strlen(text) + 1);
    std::memset(text, c, static_cast<size_t>(n));
    return text + n;
}

bool formatConversionsAre(const char* format, const char* conversions) {
    if (!format || !conversions) return false;
    const char* wanted = conversions;
    for (const char* p = format; *p; ++p) {
        if (*p != '%') continue;
        ++p;
        if (*p == '%') continue;
        // Flags and width only; precision, length modifiers and '*' are refused.
        while (*p == '-' || *p == '+' || *p == ' ' || *p == '#' || *p == '0') ++p;
        while (isDigit(*p)) ++p;
        if (!*p || *p != *wanted) return false;
        ++wanted;
    }
    return *wanted == 0;
}

// ---- construction -------------------------------------------------------

String::String(const char* text) {
    int n = textLength(text);
    if (n == 0) return;
    text_ = static_cast<char*>(allocateBytes(static_cast<size_t>(n) + Slack));
    std::memcpy(text_, text, static_cast<size_t>(n) + 1);
    length_ = n;
    capacity_ = n + Slack;
}

String::String(int length) { setLength(length); }

String::String(char c) { assign(&c, 1); }

String::String(const String& other) { assign(other.text_, other.length_); }

String::String(String&& other) noexcept
    : text_(other.text_), length_(other.length_), capacity_(other.capacity_) {
    other.text_ = nullptr;
    other.length_ = other.capacity_ = 0;
}

String& String::operator=(const String& other) {
    if (this != &other) assign(other.text_, other.length_);
    return *this;
}

String& String::operator=(String&& other) noexcept {
    if (this != &other) {
        clear();
        text_ = other.text_;
        length_ = other.length_;
        capacity_ = other.capacity_;
        other.text_ = nullptr;
        other.length_ = other.capacity_ = 0;
    }
    return *this;
}

String& String::operator=(const char* text) {
    assign(text);
    return *this;
}

// ---- buffer management --------------------------------------------------

void String::setLength(int n) {
    if (n <= 0) {
        clear();
        return;
    }
    if (n == length_) return;
    if (n >= capacity_ || n < capacity_ - ShrinkMargin) {
        if (n > MaxStringLength) reportConsistencyFailure("Core32", 663);
        text_ = static_cast<char*>(reallocateBytes(text_, static_cast<size_t>(n) + Slack));
        capacity_ = n + Slack;
    }
    length_ = n;
    text_[n] = 0;
}

char* String::grow(int n) {
    if (n < 0) reportConsistencyFailure("Core32", 2646);
    int old = length_;
    setLength(length_ + n);
    return text_ ? text_ + old : const_cast<char*>(emptyText);
}

void String::resetToLength(int n) {
    clear();
    if (n > 0) setLength(n);
}

void String::recomputeLength() {
    if (!text_) return;
    setLength(textLength(text_));
}

char* String::release() {
    char* p = text_;
    text_ = nullptr;
    length_ = capacity_ = 0;
    return p;
}

void String::adopt(char* p, int n) {
    clear();
    if (!p) return;
    if (n < 1) {
        freeBytes(p);
        return;
    }
    text_ = static_cast<char*>(reallocateBytes(p, static_cast<size_t>(n) + 1));
    capacity_ = n + 1;
    length_ = n;
    text_[n] = 0;
}

void String::clear() {
    freeBytes(text_);
    text_ = nullptr;
    length_ = capacity_ = 0;
}

void String::assign(const char* p, int n) {
    if (n < 1 || !p) {
        clear();
        return;
    }
    setLength(n);
    std::memmove(text_, p, static_cast<size_t>(n));
}

void String::assign(const char* text) { assign(text, textLength(text)); }

void String::assignUpTo(const char* text, int maxCount) {
    int n = 0;
    if (text)
        while (n < maxCount && text[n]) ++n;
    assign(text, n);
}

// ---- access -------------------------------------------------------------

const char* String::cStr() const { return text_ ? text_ : emptyText; }

char String::charAt(int i) const { return (i >= 0 && i < length_) ? text_[i] : 0; }

char* String::pointerAt(int i) {
    if (i < 0 || i >= length_) reportConsistencyFailure("Core32", 603);
    return text_ + i;
}

bool String::setCharAt(int i, char c) {
    if (i < 0 || i >= length_) return false;
    if (c == 0 && i == 0) {
        clear();  // an empty String never keeps a buffer
        return true;
    }
    text_[i] = c;
    if (c == 0) length_ = i;
    return true;
}

bool String::isBlank() const { return findFirstNotOf(WHITESPACE) < 0; }

// ---- comparison ---------------------------------------------------------

bool String::equals(const String& other) const {
    return length_ == other.length_ &&
           (length_ == 0 || std::memcmp(text_, other.text_, static_cast<size_t>(length_)) == 0);
}

namespace {
int compareBytes(const char* a, int aLength, const char* b, int bLength, bool caseSensitive,
                 int maxCount) {
    int n = (aLength < bLength ? aLength : bLength);
    n = n < maxCount ? n + 1 : maxCount;  // one terminator position, so a prefix is smaller
    if (n < 1) return -1;
    if (caseSensitive) return std::memcmp(a, b, static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        int ca = toUpper(static_cast<unsigned char>(a[i]));
        int cb = toUpper(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca - cb;
        if (ca == 0) break;
    }
    return 0;
}
}  // namespace

int String::compare(const char* s, bool caseSensitive, int maxCount) const {
    int n = textLength(s);
    if (n == 0) return length_ == 0 ? 0 : 1;
    if (length_ == 0) return -1;
    return compareBytes(text_, length_, s, n, caseSensitive, maxCount);
}

int String::compare(const String& other, bool caseSensitive, int maxCount) const {
    if (length_ == 0) return -1;
    if (other.length_ == 0) return 1;
    return compareBytes(text_, length_, other.text_, other.length_, caseSensitive, maxCount);
}

// ---- scanning -----------------------------------------------------------

int String::findChar(char c, int from, bool caseSensitive) const {
    if (from < 0) from = 0;
    int wanted = caseSensitive ? static_cast<unsigned char>(c) : toUpper(static_cast<unsigned char>(c));
    for (int i = from; i < length_; ++i) {
        int here = static_cast<unsigned char>(text_[i]);
        if ((caseSensitive ? here : toUpper(here)) == wanted) return i;
    }
    return -1;
}

int String::find(const char* s, int from, bool caseSensitive) const {
    int n = textLength(s);
    if (n == 0) return -1;
    if (from < 0) from = 0;
    for (int i = from; i <= length_ - n; ++i) {
        bool match = caseSensitive ? std::memcmp(text_ + i, s, static_cast<size_t>(n)) == 0
                                   : sameIgnoringCase(text_ + i, s, n);
        if (match) return i;
    }
    return -1;
}

int String::findLastChar(char c, int from) const {
    if (from > length_ - 1) from = length_ - 1;
    for (int i = from; i >= 0; --i)
        if (text_[i] == c) return i;
    return -1;
}

int String::findFirstOf(const char* set, int from) const {
    int n = textLength(set);
    if (n == 0 || from >= length_) return -1;
    if (from < 0) from = 0;
    for (int i = from; i < length_; ++i)
        if (inSet(set, n, text_[i])) return i;
    return -1;
}

int String::findFirstNotOf(const char* set, int from) const {
    if (!set) return -1;
    int n = textLength(set);
    if (from < 0) from = 0;
    for (int i = from; i < length_; ++i)
        if (!inSet(set, n, text_[i])) return i;
    return -1;
}

int String::findNumberStart(int from) const {
    if (from < 0) from = 0;
    for (int i = from; i < length_; ++i) {
        char c = text_[i];
        if (isDigit(c) || c == '+' || c == '-' || c == '.') return i;
    }
    return -1;
}

// ---- editing ------------------------------------------------------------

void String::insert(const char* p, int n, int pos) {
    if (!p || n < 1) return;
    if (pos < 0) pos = 0;
    if (pos > length_) pos = length_;
    int tail = length_ - pos;
    setLength(length_ + n);
    std::memmove(text_ + pos + n, text_ + pos, static_cast<size_t>(tail));
    std::memcpy(text_ + pos, p, static_cast<size_t>(n));
}

void String::insertText(const char* text, int pos, int maxCount) {
    int n = textLength(text);
    insert(text, n < maxCount ? n : maxCount, pos);
}

void String::insertString(const String& s, int pos, int maxCount) {
    insert(s.text_, s.length_ < maxCount ? s.length_ : maxCount, pos);
}

void String::insertChars(char c, int pos, int count) {
    if (count < 1) return;
    if (pos < 0) pos = 0;
    if (pos > length_) pos = length_;
    int tail = length_ - pos;
    setLength(length_ + count);
    std::memmove(text_ + pos + count, text_ + pos, static_cast<size_t>(tail));
    std::memset(text_ + pos, c, static_cast<size_t>(count));
}

void String::append(const char* p, int n) {
    if (!p || n < 1) return;
    int old = length_;
    setLength(length_ + n);
    std::memcpy(text_ + old, p, static_cast<size_t>(n));
}

void String::append(const char* text) { append(text, textLength(text)); }

void String::append(const String& s, int maxCount) {
    append(s.text_, s.length_ < maxCount ? s.length_ : maxCount);
}

void String::appendChar(char c) { append(&c, 1); }

bool String::appendCharIfMissing(char c) {
    if (lastCharIs(c)) return false;
    appendChar(c);
    return true;
}

bool String::remove(int pos, int count) {
    if (pos >= length_) return false;
    if (pos < 0) {
        count += pos;
        pos = 0;
    }
    if (count < 1) return false;
    if (static_cast<int64_t>(pos) + count >= length_) {
        setLength(pos);
        return true;
    }
    std::memmove(text_ + pos, text_ + pos + count, static_cast<size_t>(length_ - pos - count) + 1);
    length_ -= count;
    return true;
}

bool String::truncateAtChar(char c) {
    int at = findChar(c);
    if (at < 0) return false;
    truncate(at);
    return true;
}

int String::removeFirst(int n) {
    if (n < 1) return 0;
    if (n > length_) n = length_;
    remove(0, n);
    return n;
}

int String::removeLast(int n) {
    if (n < 1) return 0;
    int start = length_ - n < 0 ? 0 : length_ - n;
    int removed = length_ - start;
    truncate(start);
    return removed;
}

int String::removeBothEnds(int n) {
    int removed = removeLast(n);
    return removed + removeFirst(n);
}

char String::popFirst() {
    char c = firstChar();
    remove(0, 1);
    return c;
}

bool String::removeFirstIf(char c) { return firstCharIs(c) && remove(0, 1); }

bool String::removeLastIf(char c) { return lastCharIs(c) && remove(length_ - 1, 1); }

bool String::removeSwitchChar() {
    if (!firstCharIs('/') && !firstCharIs('-')) return false;
    return remove(0, 1);
}

bool String::removePrefix(const char* s, int maxCount) {
    int n = textLength(s);
    if (n > maxCount) n = maxCount;
    if (n < 1 || n > length_ || !sameIgnoringCase(text_, s, n)) return false;
    return remove(0, n);
}

bool String::unquote(char c) {
    if (!firstCharIs(c) || !lastCharIs(c)) return false;
    removeLast(1);
    removeFirst(1);
    return true;
}

int String::removeAll(const char* s, int maxCount, bool caseSensitive) {
    int n = textLength(s);
    if (n == 0) return 0;
    int removed = 0, at = 0;
    while (removed < maxCount && (at = find(s, at, caseSensitive)) >= 0) {
        remove(at, n);
        ++removed;
    }
    return removed;
}

int String::removeAllChars(char c) {
    int kept = 0;
    for (int i = 0; i < length_; ++i)
        if (text_[i] != c) text_[kept++] = text_[i];
    int removed = length_ - kept;
    if (removed) setLength(kept);
    return removed;
}

int String::replaceAll(const char* oldText, const char* newText, bool caseSensitive) {
    int oldLength = textLength(oldText);
    if (oldLength == 0) return 0;
    if (!newText) newText = emptyText;
    int newLength = textLength(newText);
    int d = newLength - oldLength;
    if (d == 0) {
        int count = 0;
        for (int at = find(oldText, 0, caseSensitive); at >= 0; at = find(oldText, at + newLength, caseSensitive)) {
            std::memcpy(text_ + at, newText, static_cast<size_t>(newLength));
            ++count;
        }
        return count;
    }
    // Collect the matches first so the length changes only once.
    int count = 0;
    for (int at = find(oldText, 0, caseSensitive); at >= 0; at = find(oldText, at + oldLength, caseSensitive))
        ++count;
    if (count == 0) return 0;
    int* positions = static_cast<int*>(allocateBytes(sizeof(int) * static_cast<size_t>(count)));
    int k = 0;
    for (int at = find(oldText, 0, caseSensitive); at >= 0; at = find(oldText, at + oldLength, caseSensitive))
        positions[k++] = at;
    int oldTotal = length_;
    if (d < 0) {
        int write = positions[0];
        for (int i = 0; i < count; ++i) {
            std::memcpy(text_ + write, newText, static_cast<size_t>(newLength));
            write += newLength;
            int from = positions[i] + oldLength;
            int to = i + 1 < count ? positions[i + 1] : oldTotal;
            std::memmove(text_ + write, text_ + from, static_cast<size_t>(to - from));
            write += to - from;
        }
        setLength(oldTotal + count * d);
    } else {
        setLength(oldTotal + count * d);
        for (int i = count - 1; i >= 0; --i) {
            int from = positions[i] + oldLength;
            int to = i + 1 < count ? positions[i + 1] : oldTotal;
            int shift = (i + 1) * d;
            std::memmove(text_ + from + shift, text_ + from, static_cast<size_t>(to - from));
            std::memcpy(text_ + positions[i] + i * d, newText, static_cast<size_t>(newLength));
        }
    }
    freeBytes(positions);
    return count;
}

int String::trimLeft(const char* set) {
    int n = textLength(set);
    int i = 0;
    while (i < length_ && inSet(set, n, text_[i])) ++i;
    return removeFirst(i);
}

int String::trimRight(const char* set) {
    int n = textLength(set);
    int i = length_;
    while (i > 0 && inSet(set, n, text_[i - 1])) --i;
    return removeLast(length_ - i);
}

int String::trimRight(char c) {
    char set[2] = {c, 0};
    return c ? trimRight(set) : 0;
}

int String::trim() {
    int removed = trimLeft();
    return removed + trimRight();
}

void String::makeUpper() {
    for (int i = 0; i < length_; ++i)
        text_[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text_[i])));
}

// ---- extraction ---------------------------------------------------------

String String::substring(int pos, int count) const {
    String out;
    substring(pos, count, out);
    return out;
}

bool String::substring(int pos, int count, String& out) const {
    if (pos < 0) pos = 0;
    if (count > length_ - pos) count = length_ - pos;
    if (count < 1) {
        out.clear();
        return false;
    }
    out.assign(text_ + pos, count);
    return true;
}

String String::cut(int pos, int count) {
    String out = substring(pos, count);
    remove(pos, count);
    return out;
}

void String::takeSplitLine(String& line, bool withEnding) {
    int end = 0;
    while (end < length_ && text_[end] != 0 && text_[end] != '\n' && text_[end] != '\r') ++end;
    if (end == length_) {
        line = static_cast<String&&>(*this);
        return;
    }
    int ending = 1;
    if (end + 1 < length_ && ((text_[end] == '\n' && text_[end + 1] == '\r') ||
                              (text_[end] == '\r' && text_[end + 1] == '\n')))
        ending = 2;
    line.assign(text_, withEnding ? end + ending : end);
    remove(0, end + ending);
}

String String::takeLine() {
    String line;
    takeSplitLine(line, false);
    return line;
}

String String::takeLineWithEnding() {
    String line;
    takeSplitLine(line, true);
    return line;
}

String String::takeQuoted(char q, int pos) {
    String out;
    if (pos < 0 || pos >= length_ || text_[pos] != q) return out;
    int i = pos + 1;
    int end = length_;
    while (i < length_) {
        if (text_[i] == q) {
            if (i + 1 < length_ && text_[i + 1] == q) {
                out.appendChar(q);
                i += 2;
                continue;
            }
            end = i + 1;
            break;
        }
        ++i;
        out.appendChar(text_[i - 1]);
    }
    remove(pos, end - pos);
    return out;
}

String String::nextWord() {
    String word;
    trimLeft();
    while (length_ > 0) {
        if (firstCharIs('"')) {
            word.append(takeQuoted('"', 0));
            continue;
        }
        char c = popFirst();
        if (isSpace(static_cast<unsigned char>(c))) break;
        word.appendChar(c);
    }
    return word;
}

// ---- conversions --------------------------------------------------------

int String::toInt() const {
    int start = findNumberStart(0);
    if (start < 0) return 0;
    String digits = substring(start);
    digits.removeAllChars(',');
    return parseDecimal(digits.cStr(), digits.cStr() + digits.length(), nullptr);
}

double String::toDouble(int from) const {
    int start = findNumberStart(from);
    if (start < 0) return 0.0;
    String digits = substring(start);
    digits.removeAllChars(',');
    return parseDecimalFraction(digits.cStr());
}

int String::parseIntAt(int& pos) const {
    if (pos < 0 || pos >= length_) return static_cast<int>(0x80000000u);
    const char* stop = nullptr;
    int value = parseDecimal(text_ + pos, text_ + length_, &stop);
    pos = static_cast<int>(stop - text_);
    return value;
}

String String::fromInt(int v) { return format("%d", v); }

String String::fromDouble(double v, int decimals) {
    if (decimals >= 0) return format("%.*f", decimals, v);
    String text = format("%.6f", v);
    if (text.findChar('.') >= 0) {
        text.trimRight('0');
        text.removeLastIf('.');
    }
    return text;
}

String String::format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    String out = formatList(fmt, args);
    va_end(args);
    return out;
}

String String::formatList(const char* fmt, va_list args) {
    String out;
    out.assignFormatList(fmt, args);
    return out;
}

String& String::assignFormat(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    assignFormatList(fmt, args);
    va_end(args);
    return *this;
}

String& String::assignFormatList(const char* fmt, va_list args) {
    clear();
    return appendFormatList(fmt, args);
}

String& String::appendFormat(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    appendFormatList(fmt, args);
    va_end(args);
    return *this;
}

String& String::appendFormatList(const char* fmt, va_list args) {
    if (!fmt) return *this;
    // Measure first, then format into exactly that many bytes: no scratch
    // area whose size a long argument could exceed.
    va_list measure;
    va_copy(measure, args);
#ifdef _WIN32
    int n = _vscprintf(fmt, measure);
#else
    int n = std::vsnprintf(nullptr, 0, fmt, measure);
#endif
    va_end(measure);
    if (n < 1) return *this;
    int old = length_;
    setLength(old + n);
#ifdef _WIN32
    _vsnprintf(text_ + old, static_cast<size_t>(n), fmt, args);
    text_[old + n] = 0;
#else
    std::vsnprintf(text_ + old, static_cast<size_t>(n) + 1, fmt, args);
#endif
    return *this;
}

uint32_t String::checksum() const { return ::checksum(text_, length_); }

String operator+(const String& a, char c) {
    String out(a);
    out.appendChar(c);
    return out;
}

String operator+(const String& a, const char* b) {
    String out(a);
    out.append(b);
    return out;
}

String operator+(const String& a, const String& b) {
    String out(a);
    out.append(b);
    return out;
}

String operator+(const char* a, const String& b) {
    String out(a);
    out.append(b);
    return out;
}

// String: the one text type and general byte buffer.
//
// Owns a heap buffer, keeps an explicit length (it may hold NUL bytes) and
// always a NUL after the last byte, so cStr() can go straight to Windows.
// An empty String has no buffer. Bad arguments (null pointers, negative
// counts, positions out of range) are tolerated: nothing happens, or the
// result is empty, false, -1 or 0. Allocation failure ends the process.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "core/fatal.h"

// " \r\n\t": the set used by trimming and blank tests.
extern const char WHITESPACE[];

bool isDigit(int c);
bool isAlpha(int c);
bool isSpace(int c);
int toUpper(int c);
int parseInt(const char* text);
// The byte before the NUL, or 0 for an empty text. Null is a consistency failure.
char lastCharOf(const char* text);
// Moves text (with its NUL) right by n and fills the gap with c; returns the
// pointer just past the inserted bytes. The caller's buffer must be large enough.
char* insertCharsAtStart(char* text, char c, int n);

// True when the printf conversions of format, in order, are exactly the
// letters of conversions ("%%" counts as none). Texts that come from an
// archive are used as formats only after this check.
bool formatConversionsAre(const char* format, const char* conversions);

class String {
public:
    String() = default;
    String(const char* text);  // NOLINT: plain texts convert implicitly by design
    explicit String(int length);
    explicit String(char c);
    String(const char* p, int n) { assign(p, n); }
    String(const String& other);
    String(String&& other) noexcept;
    String& operator=(const String& other);
    String& operator=(String&& other) noexcept;
    String& operator=(const char* text);
    ~String() { clear(); }

    // Buffer management.
    void setLength(int n);
    char* grow(int n);
    void shrink(int n) { setLength(length_ - n); }
    void resetToLength(int n);
    void recomputeLength();
    char* release();
    void adopt(char* p, int n);
    void clear();

    void assign(const char* p, int n);
    void assign(const char* text);
    void assignUpTo(const char* text, int maxCount);

    // Access.
    int length() const { return length_; }
    int capacity() const { return capacity_; }
    bool isEmpty() const { return length_ == 0; }
    const char* cStr() const;
    char* data() { return text_; }
    char charAt(int i) const;
    char* pointerAt(int i);
    bool setCharAt(int i, char c);
    char firstChar() const { return length_ ? text_[0] : 0; }
    char lastChar() const { return length_ ? text_[length_ - 1] : 0; }
    bool firstCharIs(char c) const { return length_ && text_[0] == c; }
    bool lastCharIs(char c) const { return length_ && text_[length_ - 1] == c; }
    bool isBlank() const;

    // Comparison.
    bool equals(const String& other) const;
    bool operator==(const String& other) const { return equals(other); }
    bool operator!=(const String& other) const { return !equals(other); }
    int compare(const char* s, bool caseSensitive = true, int maxCount = 2147483647) const;
    int compare(const String& other, bool caseSensitive = true, int maxCount = 2147483647) const;

    // Scanning: an index or -1.
    int findChar(char c, int from = 0, bool caseSensitive = true) const;
    int find(const char* s, int from = 0, bool caseSensitive = true) const;
    int findLastChar(char c, int from = 2147483647) const;
    int findFirstOf(const char* set, int from = 0) const;
    int findFirstNotOf(const char* set, int from = 0) const;
    int findNumberStart(int from = 0) const;

    // Editing.
    void insert(const char* p, int n, int pos);
    void insertText(const char* text, int pos, int maxCount = 2147483647);
    void insertString(const String& s, int pos, int maxCount = 2147483647);
    void insertChars(char c, int pos, int count);
    void append(const char* p, int n);
    void append(const char* text);
    void append(const String& s, int maxCount = 2147483647);
    void appendChar(char c);
    bool appendCharIfMissing(char c);
    bool remove(int pos, int count);
    bool truncate(int pos) { return remove(pos, 2147483647); }
    bool truncateAtChar(char c);
    int removeFirst(int n);
    int removeLast(int n);
    int removeBothEnds(int n);
    char popFirst();
    bool removeFirstIf(char c);
    bool removeLastIf(char c);
    bool removeSwitchChar();
    bool removePrefix(const char* s, int maxCount = 2147483647);
    bool unquote(char c);
    int removeAll(const char* s, int maxCount = 2147483647, bool caseSensitive = true);
    int removeAllChars(char c);
    int replaceAll(const char* oldText, const char* newText, bool caseSensitive = true);
    int trimLeft(const char* set = WHITESPACE);
    int trimRight(const char* set = WHITESPACE);
    int trimRight(char c);
    int trim();
    void makeUpper();

    // Extraction.
    String substring(int pos, int count = 2147483647) const;
    bool substring(int pos, int count, String& out) const;
    String cut(int pos, int count);
    String takeLine();
    String takeLineWithEnding();
    String takeQuoted(char q, int pos = 0);
    String nextWord();

    // Conversions.
    int toInt() const;
    double toDouble(int from = 0) const;
    int parseIntAt(int& pos) const;
    static String fromInt(int v);
    static String fromDouble(double v, int decimals);
    static String format(const char* fmt, ...) QP_PRINTF(1, 2);
    static String formatList(const char* fmt, va_list args);
    String& assignFormat(const char* fmt, ...) QP_PRINTF(2, 3);
    String& assignFormatList(const char* fmt, va_list args);
    String& appendFormat(const char* fmt, ...) QP_PRINTF(2, 3);
    String& appendFormatList(const char* fmt, va_list args);
    uint32_t checksum() const;

    String& operator+=(const String& s) { append(s); return *this; }
    String& operator+=(const char* s) { append(s); return *this; }
    String& operator+=(char c) { appendChar(c); return *this; }

private:
    void takeSplitLine(String& line, bool withEnding);

    char* text_ = nullptr;
    int32_t length_ = 0;
    int32_t capacity_ = 0;
};

String operator+(const String& a, char c);
String operator+(const String& a, const char* b);
String operator+(const String& a, const String& b);
String operator+(const char* a, const String& b);

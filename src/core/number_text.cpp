#include "core/number_text.h"

#include <cmath>
#include <cstring>

namespace {

const char* const NumberWords[28] = {
    "Zero",    "One",     "Two",       "Three",    "Four",     "Five",    "Six",
    "Seven",   "Eight",   "Nine",      "Ten",      "Eleven",   "Twelve",  "Thirteen",
    "Fourteen", "Fifteen", "Sixteen",  "Seventeen", "Eighteen", "Nineteen", "Twenty",
    "Thirty",  "Forty",   "Fifty",     "Sixty",    "Seventy",  "Eighty",  "Ninety"};

const char* const OrdinalUnits[10] = {"",      "First", "Second",  "Third",  "Fourth",
                                      "Fifth", "Sixth", "Seventh", "Eighth", "Ninth"};

const char* const OrdinalTens[10] = {"",          "",          "Twentieth", "Thirtieth", "Fortieth",
                                     "Fiftieth",  "Sixtieth",  "Seventieth", "Eightieth", "Ninetieth"};

// Decimal digits of a 64-bit value, by hand: the Windows C runtime's printf
// has no portable 64-bit conversion.
String decimalText(int64_t value) {
    char digits[24];
    int pos = sizeof digits;
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        digits[--pos] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (value < 0) digits[--pos] = '-';
    return String(digits + pos, static_cast<int>(sizeof digits) - pos);
}

// The whole part of a finite v >= 0, largest unit first, with no "and".
// fmod is exact, so the fraction of v survives the unit steps untouched.
void appendWholeWords(String& out, double v) {
    static const struct {
        double size;
        const char* name;
    } units[] = {{1e6, " Million"}, {1e3, " Thousand"}, {1e2, " Hundred"}};
    for (const auto& unit : units) {
        if (v < unit.size) continue;
        double rest = std::fmod(v, unit.size);
        appendWholeWords(out, std::floor((v - rest) / unit.size));
        out += unit.name;
        v = rest;
        if (std::floor(v) == 0) return;
        out += ' ';
    }
    if (v >= 20) {
        int tens = static_cast<int>(v / 10);  // 2 to 9: the hundreds are gone
        out += NumberWords[18 + tens];
        v -= tens * 10;
        if (std::floor(v) == 0) return;
        out += ' ';
    }
    out += NumberWords[static_cast<int>(v)];
}

void appendDecimalWords(String& out, double fraction) {
    out += " Point";
    String digits = String::format("%.3f", fraction);
    int point = digits.findChar('.');
    for (int i = point + 1; point >= 0 && i < digits.length(); ++i) {
        out += ' ';
        out += NumberWords[digits.charAt(i) - '0'];
        if (digits.findFirstNotOf("0", i + 1) < 0) break;
    }
}

void appendFractionWords(String& out, double fraction) {
    static const struct {
        double value;
        const char* words;
    } eighths[] = {{0.125, "One Eighth"},    {0.25, "One Fourth"},  {0.375, "Three Eighths"},
                   {0.5, "One Half"},        {0.625, "Five Eighths"}, {0.75, "Three Fourths"},
                   {0.875, "Seven Eighths"}};
    out += " and ";
    for (const auto& eighth : eighths) {
        if (fraction == eighth.value) {
            out += eighth.words;
            return;
        }
    }
    out.appendFormat("%.0f/1000", fraction * 1000);
}

void copyToBuffer(const String& text, char* buffer, int size, int checkNumber) {
    if (!buffer || size < 1) reportConsistencyFailure("Core32", checkNumber);
    int n = text.length() < size ? text.length() : size - 1;
    std::memcpy(buffer, text.cStr(), static_cast<size_t>(n));
    buffer[n] = 0;
}

}  // namespace

int32_t roundUpToMultiple(int32_t value, int32_t unit) {
    if (unit < 2) return value;
    int64_t rest = value % unit;
    if (rest == 0) return value;
    int64_t raised = static_cast<int64_t>(value) + (rest > 0 ? unit - rest : -rest);
    return raised > 2147483647 ? 2147483647 : static_cast<int32_t>(raised);
}

String formatSize(int64_t bytes) {
    static const struct {
        int64_t limit;
        double unit;
        const char* format;
    } scales[] = {{int64_t(1) << 20, 1024.0, "%.2f KB"},
                  {int64_t(1) << 30, 1048576.0, "%.2f MB"},
                  {int64_t(1) << 40, 1073741824.0, "%.2f GB"}};
    if (bytes < 1024) return decimalText(bytes) + " bytes";
    for (const auto& scale : scales)
        if (bytes < scale.limit) return String::format(scale.format, static_cast<double>(bytes) / scale.unit);
    return String::format("%.2f TB", static_cast<double>(bytes) / 1099511627776.0);
}

String withThousands(int64_t value) {
    String text = decimalText(value);
    if (text.length() < 5) return text;
    // Only digits are grouped: a minus sign never gets a comma after it.
    int firstDigit = value < 0 ? 1 : 0;
    for (int at = text.length() - 3; at > firstDigit; at -= 3) text.insertChars(',', at, 1);
    return text;
}

String ordinalSuffix(int n) {
    int64_t magnitude = n < 0 ? -static_cast<int64_t>(n) : n;
    int lastTwo = static_cast<int>(magnitude % 100);
    int last = static_cast<int>(magnitude % 10);
    const char* suffix = "th";
    if (!(lastTwo >= 4 && lastTwo <= 20) && last >= 1 && last <= 3) suffix = last == 1 ? "st" : last == 2 ? "nd" : "rd";
    return String::format("%d%s", n, suffix);
}

String ordinalWords(int n) {
    String out;
    int64_t value = n;
    if (value < 0) {
        out += "Negative ";
        value = -value;
    }
    int rest = static_cast<int>(value % 100);
    int units = static_cast<int>(value % 10);
    int64_t higher = value - rest;  // hundreds and above
    if (rest == 12) {
        if (higher) {
            appendWholeWords(out, static_cast<double>(higher));
            out += ' ';
        }
        out += "Twelfth";
    } else if (rest == 0 || (rest >= 10 && rest <= 19)) {
        appendWholeWords(out, static_cast<double>(value));
        out += "th";
    } else if (units == 0) {
        if (higher) {
            appendWholeWords(out, static_cast<double>(higher));
            out += ' ';
        }
        out += OrdinalTens[rest / 10];
    } else {
        if (value != units) {
            appendWholeWords(out, static_cast<double>(value - units));
            out += ' ';
        }
        out += OrdinalUnits[units];
    }
    return out;
}

String numberWords(double value, int mode) {
    String out;
    if (mode < -1 || mode > 2 || !std::isfinite(value)) return out;
    if (value < 0) {
        out += "Negative ";
        value = -value;
    }
    appendWholeWords(out, value);
    if (mode == 0) return out;
    double fraction = value - std::floor(value);
    if (fraction == 0 && mode == 1) return out += " and No/100";
    if (fraction == 0 && mode == 2) return out;
    if (mode == -1)
        appendDecimalWords(out, fraction);
    else if (mode == 1)
        out.appendFormat(" and %.0f/100", fraction * 100);
    else
        appendFractionWords(out, fraction);
    return out;
}

void ordinalSuffix(int n, char* buffer, int size) { copyToBuffer(ordinalSuffix(n), buffer, size, 5354); }

void ordinalWords(int n, char* buffer, int size) { copyToBuffer(ordinalWords(n), buffer, size, 5385); }

void numberWords(double value, char* buffer, int size, int mode) {
    copyToBuffer(numberWords(value, mode), buffer, size, 5588);
}

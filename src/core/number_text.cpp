#include "core/number_text.h"

String withThousands(int64_t value) {
    // Converted by hand: the Windows C runtime's printf has no portable 64-bit form.
    char digits[24];
    int pos = sizeof digits;
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        digits[--pos] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (value < 0) digits[--pos] = '-';
    String text(digits + pos, static_cast<int>(sizeof digits) - pos);
    if (text.length() < 5) return text;
    for (int at = text.length() - 3; at > 0; at -= 3) text.insertChars(',', at, 1);
    return text;
}

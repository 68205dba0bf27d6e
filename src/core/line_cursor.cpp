#include "core/line_cursor.h"

String LineCursor::next(bool withEnding) {
    const char* text = text_.cStr();
    const int length = text_.length();
    const int start = position_;
    int end = start;
    while (end < length && text[end] != 0 && text[end] != '\n' && text[end] != '\r') ++end;
    if (end >= length) {
        position_ = length;
        return String(text + start, length - start);
    }
    int ending = 1;
    if (end + 1 < length &&
        ((text[end] == '\n' && text[end + 1] == '\r') || (text[end] == '\r' && text[end + 1] == '\n')))
        ending = 2;
    position_ = end + ending;
    return String(text + start, (withEnding ? end + ending : end) - start);
}

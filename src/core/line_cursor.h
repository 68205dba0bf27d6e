// Reads a text line by line without changing it: the lines String::takeLine
// would give, in the same order, at a cost in proportion to the text.
// Taking lines off the front of a String moves the rest of it each time,
// which for the record of a product with tens of thousands of files costs
// seconds.
#pragma once

#include "core/str.h"

class LineCursor {
public:
    explicit LineCursor(const String& text) : text_(text) {}
    LineCursor(const LineCursor&) = delete;
    LineCursor& operator=(const LineCursor&) = delete;

    bool atEnd() const { return position_ >= text_.length(); }
    // The first character of the next line; 0 at the end.
    char peek() const { return atEnd() ? '\0' : text_.cStr()[position_]; }
    // The next line without its ending (CR, LF, CR LF, LF CR or NUL), or
    // with it; the last line may have none. Empty at the end.
    String next(bool withEnding = false);

private:
    const String& text_;
    int position_ = 0;
};

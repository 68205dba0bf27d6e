#include "files/path_text.h"

int lastSeparatorIndex(const String& path) {
    int at = path.findLastChar('\\');
    return at >= 0 ? at : path.findChar(':');
}

bool addExtension(String& path, const char* extension) {
    int lastBackslash = path.findLastChar('\\');
    if (path.findChar('.', lastBackslash + 1) >= 0) return false;
    if (!extension || *extension != '.') path.appendChar('.');
    path.append(extension);
    return true;
}

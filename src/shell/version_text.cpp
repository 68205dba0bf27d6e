#include "shell/version_text.h"

namespace {

const int ComponentWidth = 10;

}  // namespace

String paddedVersion(const String& version) {
    String padded;
    if (version.isEmpty()) return padded;
    int start = 0;
    for (;;) {
        int dot = version.findChar('.', start);
        int end = dot < 0 ? version.length() : dot;
        int width = end - start;
        if (width < ComponentWidth) padded.insertChars('0', padded.length(), ComponentWidth - width);
        for (int i = start; i < end; ++i)
            padded.appendChar(static_cast<char>(toUpper(static_cast<unsigned char>(version.charAt(i)))));
        if (dot < 0) break;
        padded.appendChar('.');
        start = dot + 1;
    }
    return padded;
}

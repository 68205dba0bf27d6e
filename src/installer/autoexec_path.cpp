#include "installer/autoexec_path.h"

#include "files/file.h"
#include "files/system_folders.h"
#include "shell/special_folders.h"

namespace {

// autoexec.bat is a few lines; anything far larger is not one we should rewrite.
const int32_t MaxAutoexecSize = 16 * 1024 * 1024;

// The first occurrence of line that starts a line of text, or -1: a match
// inside a longer line (another folder's PATH line, say) is not ours.
int findLine(const String& text, const String& line, bool caseSensitive) {
    for (int at = text.find(line.cStr(), 0, caseSensitive); at >= 0; at = text.find(line.cStr(), at + 1, caseSensitive))
        if (at == 0 || text.charAt(at - 1) == '\n') return at;
    return -1;
}

}  // namespace

String autoexecPathLine(const String& directory) {
    return String::format("PATH=%%PATH%%;%s\r\n", shortPathName(directory.cStr()).cStr());
}

String pathChangeFailureText(const char* what, const String& directory, bool add) {
    return String::format("Unable to modify %s.  You will need to manually %s %s %s the PATH environment variable.\r\n\r\n",
                          what, add ? "add" : "remove", directory.cStr(), add ? "to" : "from");
}

String updateAutoexecPath(const String& directory, bool add) {
    String path = String::format("%c:\\autoexec.bat", bootDrive());
    File file;
    if (!file.openReadWrite(path.cStr(), true) && add) file.create(path.cStr(), true);
    // The whole file, not only up to a first zero byte: a rewrite must not
    // cut off whatever follows one.
    int32_t size = file.isOpen() ? file.size() : -1;
    String text;
    if (size < 0 || size > MaxAutoexecSize || (size > 0 && !file.readBytes(text, 0, size)))
        return pathChangeFailureText(path.cStr(), directory, add);

    String line = autoexecPathLine(directory);
    bool written = true;
    if (add) {
        if (findLine(text, line, true) >= 0) return String();
        written = file.seekFromEnd(0);
        if (written && !text.lastCharIs('\n')) written = file.write("\r\n", 2);
        if (written) written = file.write(line.cStr(), line.length());
    } else {
        int at = findLine(text, line, false);
        if (at < 0) {
            // The file's last line without a line break; only there, or the
            // start of a longer folder's line would be cut off.
            line.shrink(2);
            at = text.length() - line.length();
            if (at < 0 || text.find(line.cStr(), at, false) != at || (at > 0 && text.charAt(at - 1) != '\n')) at = -1;
        }
        if (at < 0) return String();
        text.remove(at, line.length());
        written = file.seek(0) && file.write(text.cStr(), text.length()) && file.truncate();
    }
    if (!file.flush()) written = false;
    file.close();
    return written ? String() : pathChangeFailureText(path.cStr(), directory, add);
}

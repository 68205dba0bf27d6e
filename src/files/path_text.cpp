#include "files/path_text.h"

namespace {

bool hasDriveColon(const String& path) { return path.charAt(1) == ':'; }

}  // namespace

int lastSeparatorIndex(const String& path) {
    int at = path.findLastChar('\\');
    return at >= 0 ? at : path.findChar(':');
}

int fileNameStart(const String& path) { return lastSeparatorIndex(path) + 1; }

String directoryOf(const String& path) {
    int at = lastSeparatorIndex(path);
    if (at < 0) return String();
    // A drive root keeps its colon and backslash, so c:\file gives c:\ and
    // the parent of c:\ is c:\ itself.
    bool keepSeparator = path.charAt(at) == ':' || (at > 0 && path.charAt(at - 1) == ':');
    return path.substring(0, keepSeparator ? at + 1 : at);
}

String fileNameOf(const String& path) { return path.substring(fileNameStart(path)); }

bool stripFileName(String& path) {
    int at = lastSeparatorIndex(path);
    if (at < 0) return false;
    path.truncate(at + 1);
    return true;
}

bool splitPath(const String& path, String& directory, String& name) {
    int at = path.findLastChar('\\');
    if (at < 0 && hasDriveColon(path)) at = 1;
    if (at >= 0) {
        directory = path.substring(0, at + 1);
        name = path.substring(at + 1);
        return true;
    }
    directory.clear();
    name = path;
    return !name.isEmpty();
}

String joinPath(const String& dir, const String& name) {
    if (dir.isEmpty()) return name;
    if (name.isEmpty()) return dir;
    String joined(dir);
    if (name.firstCharIs('\\'))
        joined.removeLastIf('\\');
    else if (!joined.lastCharIs(':') && !joined.lastCharIs('\\'))
        joined.appendChar('\\');
    joined.append(name);
    return joined;
}

bool addExtension(String& path, const char* extension) {
    int lastBackslash = path.findLastChar('\\');
    if (path.findChar('.', lastBackslash + 1) >= 0) return false;
    if (!extension || *extension != '.') path.appendChar('.');
    path.append(extension);
    return true;
}

bool prefixDirectory(String& name, const String& dir) {
    if (dir.isEmpty()) return false;
    if (name.findChar('\\') >= 0 || name.findChar(':') >= 0) return false;
    name = joinPath(dir, name);
    return true;
}

bool makeAbsolute(String& path, const String& base) {
    if (!isAbsoluteDrivePath(base)) return false;
    if (hasDriveColon(path)) {
        if (path.charAt(2) == '\\') return false;
        // d:dir keeps its own drive and takes the base's folders.
        String folders = base.substring(2);
        if (!folders.lastCharIs('\\')) folders.appendChar('\\');
        path.insertString(folders, 2);
        return true;
    }
    if (path.firstCharIs('\\')) {
        path.insertString(base, 0, 2);
        return true;
    }
    String absolute(base);
    if (!absolute.lastCharIs('\\')) absolute.appendChar('\\');
    absolute.append(path);
    path = absolute;
    return true;
}

char driveLetterOf(const String& path) {
    if (!isAlpha(static_cast<unsigned char>(path.charAt(0))) || !hasDriveColon(path)) return 0;
    return static_cast<char>(toUpper(static_cast<unsigned char>(path.charAt(0))));
}

String driveRootOf(const String& path) {
    if (!isAlpha(static_cast<unsigned char>(path.charAt(0))) || !hasDriveColon(path)) return String();
    return path.substring(0, path.charAt(2) == '\\' ? 3 : 2);
}

bool isAbsoluteDrivePath(const String& path) {
    return !path.isEmpty() && path.charAt(1) == ':' && path.charAt(2) == '\\';
}

bool isValidPath(String path) {
    if (path.length() >= 2 && path.firstCharIs('"') && path.lastCharIs('"')) path.removeBothEnds(1);
    // A quoted nothing is no more a path than nothing at all.
    if (path.isEmpty()) return false;
    if (hasDriveColon(path)) path.remove(1, 1);
    return path.findFirstOf("/\"<>|*?:;") < 0;
}

bool pathsEqual(String a, String b) {
    a.trimRight('\\');
    b.trimRight('\\');
    return a.length() == b.length() && (a.isEmpty() || a.compare(b, false) == 0);
}

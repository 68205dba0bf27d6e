#include "installer/uninstall_record.h"

#include "core/line_cursor.h"
#include "files/file.h"
#include "files/file_attributes.h"
#include "files/path_text.h"
#include "installer/header_settings.h"
#include "runtime/string_table.h"

const int SavedMessageNumbers[] = {10, 15, 20, 30, 34, 35, 53, 55, 56, 57, 58, 59};
const int SavedMessageCount = sizeof SavedMessageNumbers / sizeof SavedMessageNumbers[0];

void resetUninstallRecord(UninstallRecord& record) {
    record.entries.clear();
    record.directories.setBucketCount(40);
}

void addUninstallEntry(UninstallRecord& record, const String& path, bool isDirectory) {
    if (path.isEmpty() || path.findFirstOf("\r\n") >= 0) return;
    if (isDirectory) {
        String key = path;
        key.makeUpper();
        if (!record.directories.insert(key, true)) return;
        record.entries.appendChar('~');
    }
    record.entries.append(path);
    record.entries.append("\r\n");
}

String uninstallRecordPath(const String& installDirectory) {
    return joinPath(joinPath(installDirectory, uninstallSubdir), "Uninstall.DAT");
}

bool writeUninstallRecord(const UninstallRecord& record, const String& installDirectory) {
    String path = uninstallRecordPath(installDirectory);
    if (record.entries.isEmpty()) {
        deleteFile(path.cStr());
        return true;
    }
    String text = record.entries;
    text.append("\r\n\r\n[Strings]\r\n");
    for (int i = 0; i < SavedMessageCount; ++i)
        text.appendFormat("~%d\r\n%s\r\n", SavedMessageNumbers[i], message(SavedMessageNumbers[i]));
    return writeWholeFile(path.cStr(), text);
}

namespace {

const int MaxMessageLines = 5000;
const int HighestMessageNumber = 1000;

void loadMessages(const String& section) {
    LineCursor lines(section);
    for (int count = 0; count < MaxMessageLines && !lines.atEnd(); ++count) {
        String line = lines.next();
        if (!line.firstCharIs('~')) continue;
        int number = line.substring(1).toInt();
        // The block's text lines follow; an unwanted number skips them too,
        // since none of them starts with "~".
        if (number < 1 || number > HighestMessageNumber) continue;
        String text;
        while (!lines.atEnd() && lines.peek() != '~') text.append(lines.next(true));
        text.trimRight();
        stringTable.growRows(number + 1);
        *stringTable.text(number, 0) = text;
    }
}

}  // namespace

String loadUninstallRecordText(String text) {
    const char header[] = "[Strings]";
    int at = text.find(header, 0, false);
    if (at < 0) return text;
    loadMessages(text.substring(at + static_cast<int>(sizeof header) - 1));
    text.truncate(at);
    return text;
}

void splitUninstallEntries(const String& entries, List<String>& files, List<String>& directories) {
    LineCursor lines(entries);
    while (!lines.atEnd()) {
        String line = lines.next();
        if (line.isEmpty()) continue;
        if (line.removeFirstIf('~'))
            directories.append(line);
        else
            files.append(line);
    }
}

#include "installer/file_writing.h"

#include "archive/archive_format.h"
#include "files/file.h"
#include "files/file_attributes.h"
#include "runtime/string_table.h"

namespace {

bool writeAttempt(const char* path, const String& contents, uint32_t flags, bool firstAttempt) {
    File file;
    if (!file.create(path, true) || !file.write(contents.cStr(), contents.length())) {
        file.close();
        if (firstAttempt && (flags & FlagClearReadOnly)) setReadOnly(path, false);
        return false;
    }
    file.close();
    if (!(flags & FlagVerifyWrites)) return true;
    String written;
    return readWholeFile(path, written) && written.equals(contents);
}

}  // namespace

bool writeFileWithRetry(const char* path, const String& contents, const FileDateTime& fileTime, uint32_t flags,
                        String& problemText) {
    bool written = false;
    for (int attempt = 0; attempt < 3 && !written; ++attempt) written = writeAttempt(path, contents, flags, attempt == 0);
    if (!written) {
        problemText.appendFormat("%s %s\r\n", message(31), path);
        return false;
    }
    if (fileTime.isSet()) {
        File file;
        if (file.openExisting(path, false, true, false)) file.setTime(fileTime);
    }
    return true;
}

#include "installer/file_writing.h"

#include "archive/archive_format.h"
#include "files/file.h"
#include "files/file_attributes.h"
#include "runtime/string_table.h"

namespace {

bool writeAttempt(const char* path, ByteSpan contents, const FileDateTime& fileTime, uint32_t flags,
                  bool firstAttempt) {
    File file;
    if (!file.create(path, true) || !file.write(contents.bytes, contents.length)) {
        file.close();
        if (firstAttempt && (flags & FlagClearReadOnly)) setReadOnly(path, false);
        return false;
    }
    // Through the writing handle: the same time as opening the file again
    // for it, without a second open and close per placed file.
    if (fileTime.isSet()) file.setTime(fileTime);
    file.close();
    if (!(flags & FlagVerifyWrites)) return true;
    String written;
    return readWholeFile(path, written) && contents.equals(written);
}

}  // namespace

bool writeFileWithRetry(const char* path, ByteSpan contents, const FileDateTime& fileTime, uint32_t flags,
                        String& problemText) {
    bool written = false;
    for (int attempt = 0; attempt < 3 && !written; ++attempt)
        written = writeAttempt(path, contents, fileTime, flags, attempt == 0);
    if (!written) problemText.appendFormat("%s %s\r\n", message(31), path);
    return written;
}

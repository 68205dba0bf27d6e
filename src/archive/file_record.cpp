#include "archive/file_record.h"

#include "archive/archive_format.h"

int decodeFileRecord(MemoryStream& payload, int32_t size, bool testChecksums, FileRecord& record) {
    record = FileRecord();
    payload.readText(record.name);
    if (!isSafeRecordName(record.name.cStr())) return CodeBadRecordName;
    payload >> record.kind >> record.fileFlags;
    if (size < 0) return CodeNegativeContentsLength;
    if (size > payload.remaining() || !payload.readSpan(record.contents, size)) return CodeContentsPastEnd;
    payload >> record.contentsChecksum;
    if (testChecksums && checksum(record.contents.bytes, record.contents.length) != record.contentsChecksum)
        return CodeContentsChecksum;
    payload >> record.fileTime;
    payload.readText(record.extra);
    return 0;
}

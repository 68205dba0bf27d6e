#include "archive/file_record.h"

#include "archive/archive_format.h"

namespace {

// What a record holds besides its contents, as a first guess when waiting
// for it: its name, three numbers, a time and a short text.
constexpr int RecordTextRoom = 4096;

}  // namespace

int decodeGrowingFileRecord(MemoryStream& payload, int32_t size, bool testChecksums, FileRecord& record,
                            ReadableExtentWait readableTo, void* context, ReadableExtent& decidedOn) {
    const int start = payload.position();
    int64_t wanted = int64_t(start) + (size > 0 ? size : 0) + RecordTextRoom;
    for (;;) {
        decidedOn = readableTo(context, wanted);
        const int code = decodeFileRecord(payload, size, testChecksums, record);
        if (decidedOn.final || (!code && payload.position() < decidedOn.end)) return code;
        payload.seek(start);
        wanted = int64_t(decidedOn.end) + RecordTextRoom;
    }
}

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

// One file of the payload: name, location kind, flags, contents, contents
// checksum, time and an extra text (shortcut name, font name or version).
#pragma once

#include <cstdint>

#include "core/date_time.h"
#include "core/memory_stream.h"
#include "core/str.h"

struct FileRecord {
    String name;  // relative to the target folder
    int32_t kind = 0;
    int32_t fileFlags = 0;
    ByteSpan contents;  // a view into the payload the record was read from
    uint32_t contentsChecksum = 0;
    FileDateTime fileTime;  // month 0: no time
    String extra;
};

// Reads the record at the payload's position, whose contents are `size`
// bytes long. Returns 0, or the corrupt-archive code: 70 for a name that is
// not a plain relative path (empty, drive, leading separator, ".."), 90 when
// the payload ends inside the contents, 100 for a contents checksum that
// differs while `testChecksums` is set. Never reads outside the payload and
// never allocates more than the payload still holds.
int decodeFileRecord(MemoryStream& payload, int32_t size, bool testChecksums, FileRecord& record);

// How far a payload that is still being produced may be read now, and
// whether it will ever go further.
struct ReadableExtent {
    int end;
    bool final;
};
// Waits until the payload may be read to at least end (or as far as it ever
// will be), limits the payload's reads to that and says how far it is.
using ReadableExtentWait = ReadableExtent (*)(void* context, int64_t end);

// decodeFileRecord for a payload still being produced. A reading that
// fails, or reaches the readable end, before the extent is final proves
// nothing: it is read again with more. The result is decided on a final
// extent or on one the record lies wholly inside; decidedOn tells which.
int decodeGrowingFileRecord(MemoryStream& payload, int32_t size, bool testChecksums, FileRecord& record,
                            ReadableExtentWait readableTo, void* context, ReadableExtent& decidedOn);

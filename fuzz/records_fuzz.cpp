// Fuzz target: file records of a payload. Input: one byte whose low bit
// says whether contents checksums are tested and whose next bits give the
// record count (1 to 8), that many 32-bit contents sizes, then the payload.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "archive/archive_format.h"
#include "archive/file_record.h"
#include "core/fatal.h"

void reportFatalError(const char*, ...) { std::abort(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 24)) return 0;
    bool testChecksums = data[0] & 1;
    int count = ((data[0] >> 1) & 7) + 1;
    size_t head = 1 + 4 * static_cast<size_t>(count);
    if (size < head) return 0;
    MemoryStream payload;
    payload.write(data + head, static_cast<int>(size - head));
    payload.seek(0);
    for (int i = 0; i < count; ++i) {
        int32_t contentsSize = 0;
        std::memcpy(&contentsSize, data + 1 + 4 * i, 4);
        FileRecord record;
        int code = decodeFileRecord(payload, contentsSize, testChecksums, record);
        if (code) break;
        // An accepted record is safe to place and holds exactly its size.
        if (!isSafeRecordName(record.name.cStr()) || record.contents.length != contentsSize) std::abort();
    }
    return 0;
}

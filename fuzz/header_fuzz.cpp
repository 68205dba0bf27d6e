// Fuzz target: the archive header from its decoded image. Input: a 4-byte
// key, then the header image (plain or a compressed image). The parser must
// never read outside the block nor allocate beyond what the block could fill.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "archive/archive_header.h"
#include "core/fatal.h"

// Nothing in the header reader may end the process: a fatal report is a finding.
void reportFatalError(const char*, ...) { std::abort(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4 || size > (1u << 24)) return 0;
    uint32_t key = 0;
    std::memcpy(&key, data, 4);
    String block(reinterpret_cast<const char*>(data + 4), static_cast<int>(size - 4));
    decodeHeaderImage(block, 0);  // the image arrives unscrambled here
    ArchiveHeader header;
    int code = parseArchiveHeader(block, key, header);
    if (code == 0) {
        // A sound header must hold what it says it holds.
        for (int n = 0; n < header.stringCount; ++n)
            for (int l = 0; l < header.languageCount; ++l)
                if (!header.text(n, l)) std::abort();
        for (int i = 0; i < header.fileCount; ++i)
            if (header.fileSize(i) < 0) std::abort();
    }
    return 0;
}

// Fuzz target: finding the archive's end in a signed (or unsigned) file and
// clearing the signature fields of its program bytes. Input: the file. The
// result must lie inside the file, and clearing must stay inside the bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "archive/pe_signature.h"
#include "core/fatal.h"

void reportFatalError(const char*, ...) { std::abort(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 24)) return 0;
    MemoryBlock file{data, static_cast<int32_t>(size)};
    int32_t end = findArchiveEnd(readMemoryAt, &file, static_cast<int32_t>(size));
    if (end < 0 || end > static_cast<int32_t>(size)) std::abort();
    CertificateTable table = findCertificateTable(readMemoryAt, &file, static_cast<int32_t>(size));
    if (table.size != 0 && (end > table.offset || end < table.offset - SignerAlignment + 1)) std::abort();
    // An exactly sized copy, so that a write past the program bytes is caught.
    std::vector<char> program(data, data + size);
    clearSignatureFields(program.data(), static_cast<int32_t>(program.size()));
    return 0;
}

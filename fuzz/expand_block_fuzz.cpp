// Fuzz target: block expansion and the builder's compressor. One input is
// tried three ways:
// 1. as a block offered to ExpandBlock (any bytes, magic or not);
// 2. as hint and tokens behind the magic word, so that every input reaches
//    the token reader; the tokens are also expanded straight from the
//    fuzzer's exactly sized buffer, where ASan sees any read past the end;
// 3. as data for the compressor, whose image must expand back to it.
// A refused block must come back unchanged; any disagreement aborts.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/expand_block.h"
#include "core/fatal.h"
#include "core/str.h"
#include "expand_checked.h"
#include "qpack/compressor.h"

// Nothing in expansion may end the process: a fatal report is a finding.
void reportFatalError(const char*, ...) { std::abort(); }

namespace {

bool expand(const unsigned char* p, size_t n, String& block) {
    return expandChecked([](String& b) { return ExpandBlock(b); }, p, n, block);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 16)) return 0;
    String block;
    expand(data, size, block);

    if (size >= 4) {
        std::vector<unsigned char> image(4 + size);
        const uint32_t magic = CompressedImageMagic;
        for (int i = 0; i < 4; ++i) image[size_t(i)] = (unsigned char)(magic >> (8 * i));
        std::memcpy(image.data() + 4, data, size);
        bool expanded = expand(image.data(), image.size(), block);
        ExpansionOutput out(0);
        int produced = expandTokens(data + 4, int(size - 4), out);
        if (expanded != (produced >= 0)) std::abort();
        // Measuring must foretell exactly what expanding produces or refuses.
        if (measureTokens(data + 4, int(size - 4)) != produced) std::abort();
        if (expanded && !sameBytes(block, out.bytes(), size_t(produced))) std::abort();
    }

    const int level = FastestCompressionLevel + int(size % BestCompressionLevel);
    std::vector<unsigned char> image = compressImage(data, size, level);
    if (!expand(image.data(), image.size(), block) || !sameBytes(block, data, size)) std::abort();
    return 0;
}

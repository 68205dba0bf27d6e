// Fuzz target: range image expansion and the builder's range coder. One
// input is tried three ways:
// 1. as a block offered to ExpandRangeImage (any bytes, magic or not); one
//    that expands must expand the same segment by segment;
// 2. as one segment: the first two bytes give its expanded size, the rest
//    are its coded bytes, decoded straight from the fuzzer's exactly sized
//    buffer into an exactly sized output, where ASan sees any access past
//    either end; the same segment behind a head and a one-entry table must
//    pass the layout check and expand alike;
// 3. as data for the coder, whose image must expand back to it: only one
//    input in CoderShare, chosen by its bytes. Under the sanitizers a coder
//    call takes about 60 ms whatever the input's size (its match tables),
//    some 300 times the two readings above, and those readings, which face
//    hostile bytes, are what this target is for.
// A refused block must come back unchanged; any disagreement aborts.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "core/fatal.h"
#include "core/range_image.h"
#include "core/str.h"
#include "expand_checked.h"
#include "qpack/range_compressor.h"

// Nothing in expansion may end the process: a fatal report is a finding.
void reportFatalError(const char*, ...) { std::abort(); }

namespace {

bool expand(const unsigned char* p, size_t n, String& block) {
    return expandChecked([](String& b) { return ExpandRangeImage(b); }, p, n, block);
}

// The image decoded segment by segment into one buffer, each segment into an
// exactly sized buffer of its own first; false when the layout or a segment is refused.
bool expandBySegments(const unsigned char* image, size_t size, std::vector<unsigned char>& whole) {
    RangeImageLayout layout;
    if (!readRangeImageLayout(image, int(size), layout)) return false;
    whole.assign(size_t(layout.expandedSize), 0);
    for (int i = 0; i < layout.segmentCount; ++i) {
        const RangeSegment& s = layout.segments[i];
        std::unique_ptr<unsigned char[]> out(new unsigned char[size_t(s.expandedSize)]);
        if (!decodeRangeSegment(s, out.get())) return false;
        if (s.expandedSize) std::memcpy(whole.data() + s.outputOffset, out.get(), size_t(s.expandedSize));
    }
    return true;
}

constexpr uint32_t CoderShare = 256;

bool chosenForTheCoder(const uint8_t* data, size_t size) {
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
    return hash % CoderShare == 0;
}

void putWord(std::vector<unsigned char>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back((unsigned char)(v >> (8 * i)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 16)) return 0;
    String block;
    std::vector<unsigned char> whole;
    if (expand(data, size, block)) {
        if (!expandBySegments(data, size, whole) || !sameBytes(block, whole.data(), whole.size())) std::abort();
    }

    if (size >= 2) {
        const int packedSize = int(size - 2);
        const int mostExpanded = packedSize * MaxRangeBytesPerPackedByte;
        int expandedSize = data[0] | data[1] << 8;
        if (expandedSize > mostExpanded) expandedSize = mostExpanded;
        std::unique_ptr<unsigned char[]> out(new unsigned char[size_t(expandedSize)]);
        const RangeSegment segment{data + 2, packedSize, 0, expandedSize};
        const bool decoded = decodeRangeSegment(segment, out.get());

        std::vector<unsigned char> image;
        putWord(image, RangeImageMagic);
        putWord(image, uint32_t(expandedSize));
        putWord(image, 1);
        putWord(image, uint32_t(expandedSize));
        putWord(image, uint32_t(packedSize));
        image.insert(image.end(), data + 2, data + size);
        RangeImageLayout layout;
        if (!readRangeImageLayout(image.data(), int(image.size()), layout)) std::abort();
        const bool expanded = expand(image.data(), image.size(), block);
        if (expanded != decoded) std::abort();
        if (expanded && !sameBytes(block, out.get(), size_t(expandedSize))) std::abort();
    }

    if (!chosenForTheCoder(data, size)) return 0;
    std::vector<unsigned char> image = compressRangeImage(data, size);
    if (!expand(image.data(), image.size(), block) || !sameBytes(block, data, size)) std::abort();
    if (!expandBySegments(image.data(), image.size(), whole) || whole.size() != size ||
        (size && std::memcmp(whole.data(), data, size) != 0))
        std::abort();
    return 0;
}

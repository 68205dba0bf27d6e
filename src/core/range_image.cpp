#include "core/range_image.h"

#include <cstring>

#include "core/expand_block.h"
#include "core/hot_path.h"
#include "core/memory.h"
#include "core/range_model.h"

using namespace range_model;

namespace {

uint32_t readWord32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Reads the coded bytes. Past their end it reads zeros and remembers that it
// did: an honest stream is read exactly to its last byte, never beyond.
class RangeDecoder {
public:
    RangeDecoder(const unsigned char* p, int size) : next_(p), end_(p + size) {
        // The coder's first byte is the carry space of its low word: always 0.
        damaged_ = size < 5 || p[0] != 0;
        next_ += size < 5 ? size : 1;
        for (int i = 0; i < 4; ++i) code_ = code_ << 8 | nextByte();
        if (code_ == range_) damaged_ = true;  // the code must lie below the range
    }

    // Decodes one bit with probability p of a 0, and adapts p.
    QP_HOT_INLINE unsigned bit(uint16_t& p) {
        uint32_t bound = (range_ >> ProbabilityBits) * p;
        unsigned result;
        if (code_ < bound) {
            range_ = bound;
            adaptAfterZero(p);
            result = 0;
        } else {
            range_ -= bound;
            code_ -= bound;
            adaptAfterOne(p);
            result = 1;
        }
        normalize();
        return result;
    }

    // count bits, each equally likely, high bit first.
    uint32_t plainBits(int count) {
        uint32_t result = 0;
        while (count-- > 0) {
            range_ >>= 1;
            uint32_t one = code_ >= range_;
            code_ -= range_ & (0u - one);
            result = result << 1 | one;
            normalize();
        }
        return result;
    }

    // count bits through a tree of probabilities, high bit first.
    unsigned tree(uint16_t* probabilities, int count) {
        unsigned m = 1;
        for (int i = 0; i < count; ++i) m = m << 1 | bit(probabilities[m]);
        return m - (1u << count);
    }

    // count bits through a tree of probabilities, low bit first.
    unsigned reverseTree(uint16_t* probabilities, int count) {
        unsigned m = 1, result = 0;
        for (int i = 0; i < count; ++i) {
            unsigned b = bit(probabilities[m]);
            m = m << 1 | b;
            result |= b << i;
        }
        return result;
    }

    // Whether the stream was read exactly to its end and no further.
    bool endedCleanly() const { return !damaged_ && next_ == end_; }

private:
    unsigned char nextByte() {
        if (next_ < end_) return *next_++;
        damaged_ = true;
        return 0;
    }
    QP_HOT_INLINE void normalize() {
        if (range_ < RangeTop) {
            range_ <<= 8;
            code_ = code_ << 8 | nextByte();
        }
    }

    const unsigned char* next_;
    const unsigned char* end_;
    uint32_t range_ = 0xFFFFFFFFu;
    uint32_t code_ = 0;
    bool damaged_;
};

unsigned decodeLength(RangeDecoder& rc, LengthModel& m, int positionState) {
    if (!rc.bit(m.choice)) return MinMatchLength + rc.tree(m.low[positionState], LowLengthBits);
    if (!rc.bit(m.choice2)) return MinMatchLength + LowLengths + rc.tree(m.mid[positionState], MidLengthBits);
    return MinMatchLength + LowLengths + MidLengths + rc.tree(m.high, HighLengthBits);
}

// The distance less one.
uint32_t decodeDistance(RangeDecoder& rc, Model& m, unsigned length) {
    unsigned slot = rc.tree(m.distanceSlot[lengthStateForDistance(int(length))], DistanceSlotBits);
    if (slot < FirstModelledSlot) return slot;
    int footerBits = int(slot >> 1) - 1;
    uint32_t base = (2u | (slot & 1)) << footerBits;
    if (slot < EndModelledSlot)
        return base + rc.reverseTree(m.distanceSpecial + specialDistanceOffset(int(slot)), footerBits);
    return base + (rc.plainBits(footerBits - AlignBits) << AlignBits) + rc.reverseTree(m.align, AlignBits);
}

// One literal; after a copy, the byte the last distance points at guides
// it for as long as the bits agree.
unsigned char decodeLiteral(RangeDecoder& rc, uint16_t* coder, bool afterCopy, unsigned matchByte) {
    unsigned symbol = 1;
    if (afterCopy) {
        do {
            unsigned matchBit = (matchByte >> 7) & 1;
            matchByte <<= 1;
            unsigned b = rc.bit(coder[((1 + matchBit) << 8) + symbol]);
            symbol = symbol << 1 | b;
            if (matchBit != b) break;
        } while (symbol < 0x100);
    }
    while (symbol < 0x100) symbol = symbol << 1 | rc.bit(coder[symbol]);
    return static_cast<unsigned char>(symbol);
}

// Copies length bytes from distance bytes back to to, where room bytes of
// the segment's output are left (room >= length). Eight bytes at a time
// where the source is at least that far back and the last chunk cannot
// overshoot the room: segments are expanded side by side, so a write past
// one's end would land in another's.
void copyEarlier(unsigned char* to, uint32_t distance, uint32_t length, uint32_t room) {
    const unsigned char* from = to - distance;
    if (distance >= 8 && room >= length + 8) {
        for (uint32_t i = 0; i < length; i += 8) {
            uint64_t chunk;
            std::memcpy(&chunk, from + i, 8);
            std::memcpy(to + i, &chunk, 8);
        }
        return;
    }
    while (length--) *to++ = *from++;
}

}  // namespace

bool isRangeImage(const unsigned char* image, int size) {
    return size >= RangeImageHeadSize && readWord32(image) == RangeImageMagic;
}

bool readRangeImageLayout(const unsigned char* image, int size, RangeImageLayout& layout) {
    if (!isRangeImage(image, size)) return false;
    uint32_t expanded = readWord32(image + 4), count = readWord32(image + 8);
    if (expanded > uint32_t(MaxExpandedLength) || count < 1 || count > uint32_t(MaxRangeSegments)) return false;
    int64_t packedAt = RangeImageHeadSize + int64_t(count) * RangeSegmentEntrySize;
    if (packedAt > size) return false;
    int64_t outputAt = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const unsigned char* entry = image + RangeImageHeadSize + i * RangeSegmentEntrySize;
        uint32_t segmentExpanded = readWord32(entry), packed = readWord32(entry + 4);
        if (packed > uint32_t(size - packedAt) ||
            segmentExpanded > uint64_t(packed) * MaxRangeBytesPerPackedByte)
            return false;
        RangeSegment& s = layout.segments[i];
        s.packed = image + packedAt;
        s.packedSize = int(packed);
        s.outputOffset = int(outputAt);
        outputAt += segmentExpanded;
        if (outputAt > int64_t(expanded)) return false;
        s.expandedSize = int(segmentExpanded);
        packedAt += packed;
    }
    layout.expandedSize = int(expanded);
    layout.segmentCount = int(count);
    return packedAt == size && outputAt == int64_t(expanded);
}

bool decodeRangeSegment(const RangeSegment& segment, unsigned char* out) {
    // The model is 30 KB: from the heap, since the stub's threads have small stacks.
    Model& m = *static_cast<Model*>(allocateBytes(sizeof(Model)));
    resetModel(m);
    RangeDecoder rc(segment.packed, segment.packedSize);
    const uint32_t size = uint32_t(segment.expandedSize);
    uint32_t position = 0, distances[RepeatDistances] = {0, 0, 0, 0};
    int state = 0;
    bool intact = true;
    while (position < size) {
        int positionState = int(position & (PositionStates - 1));
        if (!rc.bit(m.isMatch[state][positionState])) {
            uint16_t* coder = m.literal[position ? out[position - 1] >> (8 - LiteralContextBits) : 0];
            bool afterCopy = state >= FirstStateAfterCopy;
            // After a copy the distance lies inside the output (checked when it was read).
            unsigned matchByte = afterCopy ? out[position - distances[0] - 1] : 0;
            out[position++] = decodeLiteral(rc, coder, afterCopy, matchByte);
            state = stateAfterLiteral(state);
            continue;
        }
        unsigned length;
        if (rc.bit(m.isRepeat[state])) {
            if (position == 0) { intact = false; break; }
            if (!rc.bit(m.isRepeat0[state])) {
                if (!rc.bit(m.isRepeat0Long[state][positionState])) {
                    state = stateAfterShortRepeat(state);
                    out[position] = out[position - distances[0] - 1];
                    ++position;
                    continue;
                }
            } else {
                uint32_t distance;
                if (!rc.bit(m.isRepeat1[state])) {
                    distance = distances[1];
                } else if (!rc.bit(m.isRepeat2[state])) {
                    distance = distances[2];
                    distances[2] = distances[1];
                } else {
                    distance = distances[3];
                    distances[3] = distances[2];
                    distances[2] = distances[1];
                }
                distances[1] = distances[0];
                distances[0] = distance;
            }
            length = decodeLength(rc, m.repeatLength, positionState);
            state = stateAfterRepeat(state);
        } else {
            distances[3] = distances[2];
            distances[2] = distances[1];
            distances[1] = distances[0];
            length = decodeLength(rc, m.matchLength, positionState);
            distances[0] = decodeDistance(rc, m, length);
            state = stateAfterMatch(state);
        }
        // Every distance in the list was checked like this when it was first used.
        if (distances[0] >= position || length > size - position) { intact = false; break; }
        copyEarlier(out + position, distances[0] + 1, length, size - position);
        position += length;
    }
    freeBytes(&m);
    return intact && rc.endedCleanly();
}

bool decodeRangeSegmentsInTurn(const RangeImageLayout& layout, unsigned char* out) {
    for (int i = 0; i < layout.segmentCount; ++i)
        if (!decodeRangeSegment(layout.segments[i], out + layout.segments[i].outputOffset)) return false;
    return true;
}

bool ExpandRangeImage(String& block, RangeSegmentsDecoder decodeAll) {
    RangeImageLayout layout;
    const unsigned char* image = reinterpret_cast<const unsigned char*>(block.cStr());
    if (!readRangeImageLayout(image, block.length(), layout)) return false;
    // One byte more than the expanded size: String keeps a NUL behind its bytes.
    unsigned char* out = static_cast<unsigned char*>(allocateBytes(size_t(layout.expandedSize) + 1));
    if (!decodeAll(layout, out)) {
        freeBytes(out);
        return false;
    }
    block.adopt(reinterpret_cast<char*>(out), layout.expandedSize);
    return true;
}

#include "core/expand_block.h"

#include <cstdint>
#include <cstring>

#include "core/hot_path.h"
#include "core/memory.h"

namespace {

// The most output one token byte can stand for: a back-reference with a
// 16-bit length takes 5 bytes and yields up to 65,538.
constexpr int64_t MaxOutputPerTokenBytes = 65538;
constexpr int64_t LongestTokenForMaxOutput = 5;

uint32_t readWord32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

int presizeFor(int32_t hint, int tokensLength) {
    if (hint <= 0) return 0;
    int64_t reachable = (int64_t(tokensLength) / LongestTokenForMaxOutput + 1) * MaxOutputPerTokenBytes;
    int64_t size = hint < reachable ? int64_t(hint) : reachable;
    return size < MaxExpandedLength ? int(size) : MaxExpandedLength;
}


// Loads all 16 bytes before storing any of them, in register-sized pieces
// (GCC turns an array or a 16-byte memcpy into rep movs at -Os); on 64-bit
// hosts as one vector move.
#if UINTPTR_MAX > 0xFFFFFFFFu && defined(__GNUC__)
#define QP_VECTOR_CHUNKS 1
typedef unsigned char Chunk16 __attribute__((vector_size(16)));
QP_HOT_INLINE void copy16(unsigned char* dst, const unsigned char* src) {
    Chunk16 v;
    std::memcpy(&v, src, 16);
    std::memcpy(dst, &v, 16);
}
#else
QP_HOT_INLINE void copy16(unsigned char* dst, const unsigned char* src) {
    uint32_t a, b, c, d;
    std::memcpy(&a, src, 4);
    std::memcpy(&b, src + 4, 4);
    std::memcpy(&c, src + 8, 4);
    std::memcpy(&d, src + 12, 4);
    std::memcpy(dst, &a, 4);
    std::memcpy(dst + 4, &b, 4);
    std::memcpy(dst + 8, &c, 4);
    std::memcpy(dst + 12, &d, 4);
}
#endif

// The first 32 bytes of a back-reference. With vector registers both chunks
// are loaded before either is stored: the second load then never waits for
// the first store, which it overlaps whenever the distance is under 32.
QP_HOT_INLINE void copy32(unsigned char* dst, const unsigned char* src) {
#if QP_VECTOR_CHUNKS
    Chunk16 a, b;
    std::memcpy(&a, src, 16);
    std::memcpy(&b, src + 16, 16);
    std::memcpy(dst, &a, 16);
    std::memcpy(dst + 16, &b, 16);
#else
    copy16(dst, src);
    copy16(dst + 16, src + 16);
#endif
}

// Copies n bytes in 16-byte chunks; may read and write up to 15 bytes past
// n (the callers check the room). Chunks are safe for back-references:
// every source byte that matters lies before dst, so a store never changes
// a byte that a later chunk still needs. Long copies have no overlap at all
// and go to memcpy.
QP_HOT_INLINE void chunkCopy(unsigned char* dst, const unsigned char* src, int n) {
    if (QP_LIKELY(n <= 16)) {
        copy16(dst, src);
    } else if (n <= 48) {
        for (int i = 0; i < n; i += 16) copy16(dst + i, src + i);
    } else {
        std::memcpy(dst, src, size_t(n));
    }
}

// Fills n bytes in word-sized pieces; may write up to a word less one byte past n.
QP_HOT_INLINE void chunkFill(unsigned char* dst, unsigned char value, int n) {
    uintptr_t w;
    std::memset(&w, value, sizeof w);
    for (int i = 0; i < n; i += int(sizeof w)) std::memcpy(dst + i, &w, sizeof w);
}

// A run of at most 66 bytes, away from the output's end: 80 bytes are
// written whatever the count, so that no branch depends on it.
QP_HOT_INLINE void runFill80(unsigned char* dst, unsigned char value, int n) {
#if QP_VECTOR_CHUNKS
    (void)n;
    Chunk16 v = {};
    v += value;
    for (int i = 0; i < 80; i += 16) std::memcpy(dst + i, &v, 16);
#else
    chunkFill(dst, value, n);
#endif
}

}  // namespace

ExpansionOutput::ExpansionOutput(int initialCapacity)
    : bytes_(static_cast<char*>(allocateBytes(size_t(initialCapacity) + CopySlack))),
      capacity_(initialCapacity),
      owned_(true) {}

ExpansionOutput::ExpansionOutput(char* fixedBuffer, int capacity)
    : bytes_(fixedBuffer), capacity_(capacity), owned_(false) {}

ExpansionOutput::~ExpansionOutput() {
    if (owned_) freeBytes(bytes_);
}

void ExpansionOutput::growTo(int needed) {
    if (needed <= capacity_ || !owned_) return;
    int64_t wanted = int64_t(capacity_) + capacity_ / 2;
    if (wanted < needed) wanted = needed;
    if (wanted > MaxExpandedLength) wanted = MaxExpandedLength;
    bytes_ = static_cast<char*>(reallocateBytes(bytes_, size_t(wanted) + CopySlack));
    capacity_ = int(wanted);
}

char* ExpansionOutput::release() {
    char* p = owned_ ? bytes_ : nullptr;
    bytes_ = nullptr;
    capacity_ = 0;
    return p;
}

void ExpansionOutput::reportTo(ExpansionReport report, void* context, int step) {
    report_ = step > 0 ? report : nullptr;
    reportContext_ = context;
    reportStep_ = step;
}

namespace {

// The slow part of the room check: grows the output for n more bytes at
// position and returns its new start, or null past the output's limit.
unsigned char* growFor(ExpansionOutput& out, int64_t position, int n) {
    if (position + n > out.limit()) return nullptr;
    out.growTo(int(position + n));
    return reinterpret_cast<unsigned char*>(out.bytes());
}

}  // namespace

// Input and output room under which the unchecked path stops: a short
// literal reads 1 + 64 bytes and writes 64, a copy with a 5-bit length reads
// and writes 48 (a longer one is checked against the room by itself). A run
// writes 80 bytes, 8 more than this room: they go into the slack.
constexpr int64_t FastMargin = 72;
static_assert(80 <= FastMargin + ExpansionOutput::CopySlack, "a run's fill must stay inside the slack");

int expandTokens(const unsigned char* tokens, int length, ExpansionOutput& out) {
    const unsigned char* ip = tokens;
    const unsigned char* const iend = tokens + (length > 0 ? length : 0);
    unsigned char* base = reinterpret_cast<unsigned char*>(out.bytes());
    unsigned char* op = base;
    unsigned char* oend = base + out.capacity();
    int64_t nextReport = out.reports() ? out.reportStep() : int64_t(MaxExpandedLength) + 1;

// One room check per token; growing is rare (a low hint) and bounded by
// MaxExpandedLength. With n bytes of room, the output's slack takes the
// chunks' overshoot, so writes need no check of their own.
#define QP_MAKE_ROOM(n)                                              \
    if (oend - op < (n)) {                                           \
        const int64_t position = op - base;                          \
        if (!(base = growFor(out, position, (n)))) return -1;        \
        op = base + position;                                        \
        oend = base + out.capacity();                                \
    }

    while (ip < iend) {
        if (QP_UNLIKELY(op - base >= nextReport)) {
            out.reportProduced(int(op - base));
            nextReport = (op - base) + out.reportStep();
        }
        // Far from both ends the common tokens (short literals, copies, runs)
        // need no check of their own: one check per token that FastMargin
        // bytes of input and of output room are left covers their operands
        // and whole-chunk moves; only a copy with a 16-bit length checks the
        // room for its length. Long literals, and a long copy that needs more
        // room, leave this loop for the checked path below. The moves have
        // fixed sizes where they can: a branch on a token's length is
        // mispredicted far more often than a few extra bytes cost.
        //
        // At or past these limits the room is under FastMargin (computed
        // without stepping a pointer outside its buffer).
        const unsigned char* const ilimit = iend - tokens >= FastMargin ? iend - (FastMargin - 1) : tokens;
        unsigned char* olimit = oend - base >= FastMargin ? oend - (FastMargin - 1) : base;
        // The report comes at least every step bytes.
        if (nextReport < olimit - base) olimit = base + nextReport;
        while (ip < ilimit && op < olimit) {
            unsigned control = *ip;
            if (control < 0xC0) {
                if (control < 0x40) {
                    const int count = int(control) + 3;
                    runFill80(op, ip[1], count);
                    op += count;
                    ip += 2;
                    continue;
                }
                if (control >= 0x80) break;
                const int count = int(control & 0x3F);
                copy16(op, ip + 1);
                copy16(op + 16, ip + 17);
                copy16(op + 32, ip + 33);
                copy16(op + 48, ip + 49);
                op += count;
                ip += 1 + count;
                // A copy nearly always follows a literal: going straight to
                // it spares a hard-to-predict branch at the top.
                if (ip >= ilimit || op >= olimit) break;
                control = *ip;
                if (control < 0xC0) continue;
            }
            const int field = int(control & 0x1F);
            if (field == 0) {  // a copy with a 16-bit length: up to 65,538 bytes
                const unsigned wide = (control >> 5) & 1;
                const int len = int(ip[1] | ip[2] << 8) + 3;
                const int distance = int(readWord32(ip + 3) & (wide ? 0xFFFFFFu : 0xFFFFu)) + 4;
                if (oend - op < len) break;  // the checked path grows the output
                ip += 5 + wide;
                if (QP_LIKELY(distance <= op - base && len <= distance)) {
                    chunkCopy(op, op - distance, len);
                    op += len;
                }
                continue;
            }
            const unsigned wide = (control >> 5) & 1;
            const int distance = int(readWord32(ip + 1) & (wide ? 0xFFFFFFu : 0xFFFFu)) + 4;
            const int len = field + 3;
            ip += 3 + wide;
            if (QP_LIKELY(distance <= op - base && len <= distance)) {
                const unsigned char* src = op - distance;
                copy32(op, src);
                if (len > 32) copy16(op + 32, src + 32);
                op += len;
            }
        }
        if (ip >= iend) break;
        unsigned control = *ip++;
        if (control < 0xC0) {
            if (control < 0x40) {  // run: one value, n + 3 times
                const int count = int(control) + 3;
                if (ip >= iend) return -1;
                QP_MAKE_ROOM(count)
                chunkFill(op, *ip++, count);
                op += count;
                continue;
            }
            // literal: short n bytes, long n | h << 6 bytes
            int count = int(control & 0x3F);
            if (control & 0x80) {
                if (ip >= iend) return -1;
                count |= int(*ip++) << 6;
            }
            if (iend - ip < count) return -1;
            QP_MAKE_ROOM(count)
            if (QP_LIKELY(iend - ip >= count + 16))  // a chunk is read even for 0 bytes
                chunkCopy(op, ip, count);
            else
                std::memcpy(op, ip, size_t(count));
            op += count;
            ip += count;
            // A back-reference nearly always follows a literal: going
            // straight to it spares a hard-to-predict branch at the top.
            if (ip >= iend || *ip < 0xC0) continue;
            control = *ip++;
        }
        // back-reference
        int len = int(control & 0x1F);
        int distance;
        if (QP_LIKELY(len != 0 && control < 0xE0)) {  // the common form: 5-bit length, 16-bit distance
            if (iend - ip < 2) return -1;
            distance = ip[0] | ip[1] << 8;
            ip += 2;
        } else {
            const int extra = (len == 0 ? 2 : 0) + 2 + (control >= 0xE0 ? 1 : 0);
            if (iend - ip < extra) return -1;
            if (len == 0) {
                len = ip[0] | ip[1] << 8;
                ip += 2;
            }
            distance = ip[0] | ip[1] << 8;
            ip += 2;
            if (control >= 0xE0) distance |= *ip++ << 16;
        }
        len += 3;
        distance += 4;
        // The source must lie wholly before the output position: it starts
        // inside the output and does not reach the position.
        if (distance > op - base || len > distance) continue;
        QP_MAKE_ROOM(len)
        // Chunks may run 15 bytes past len: into the output's slack, and on
        // the source side no further than op + 15, still inside it.
        chunkCopy(op, op - distance, len);
        op += len;
    }
#undef QP_MAKE_ROOM
    return int(op - base);
}

int measureTokens(const unsigned char* tokens, int length) {
    const unsigned char* ip = tokens;
    const unsigned char* const iend = tokens + (length > 0 ? length : 0);
    int64_t produced = 0;
    while (ip < iend) {
        const unsigned control = *ip++;
        int64_t count;
        if (control < 0x40) {  // run
            if (ip >= iend) return -1;
            ++ip;
            count = int64_t(control) + 3;
        } else if (control < 0xC0) {  // literal, short or long
            count = control & 0x3F;
            if (control & 0x80) {
                if (ip >= iend) return -1;
                count |= int64_t(*ip++) << 6;
            }
            if (iend - ip < count) return -1;
            ip += count;
        } else {  // back-reference: produces nothing unless its source lies wholly before it
            int64_t len = control & 0x1F;
            const int operands = (len == 0 ? 2 : 0) + 2 + (control >= 0xE0 ? 1 : 0);
            if (iend - ip < operands) return -1;
            if (len == 0) {
                len = ip[0] | ip[1] << 8;
                ip += 2;
            }
            int64_t distance = ip[0] | ip[1] << 8;
            ip += 2;
            if (control >= 0xE0) distance |= int64_t(*ip++) << 16;
            len += 3;
            distance += 4;
            count = distance <= produced && len <= distance ? len : 0;
        }
        produced += count;
        if (produced > MaxExpandedLength) return -1;
    }
    return int(produced);
}

bool readTokenImage(const String& block, TokenImage& image) {
    if (block.length() < CompressedImageHeadSize) return false;
    const unsigned char* head = reinterpret_cast<const unsigned char*>(block.cStr());
    if (readWord32(head) != CompressedImageMagic) return false;
    image.tokens = head + CompressedImageHeadSize;
    image.length = block.length() - CompressedImageHeadSize;
    image.presize = presizeFor(int32_t(readWord32(head + 4)), image.length);
    return true;
}

bool ExpandBlock(String& block) {
    TokenImage image;
    if (!readTokenImage(block, image)) return false;
    ExpansionOutput out(image.presize);
    int produced = expandTokens(image.tokens, image.length, out);
    if (produced < 0) return false;
    block.adopt(out.release(), produced);
    return true;
}

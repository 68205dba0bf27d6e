#include "qpack/compressor.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "core/expand_block.h"

namespace {

// Token limits of the image form.
constexpr int MinMatch = 4;  // a 3-byte copy needs the 16-bit length: 5 bytes for 3
constexpr int MaxMatch = 65538;
constexpr int ShortLengthMax = 34;  // longest length that fits the control byte
constexpr int NearDistanceMax = 65539;
constexpr int MinDistance = 4;
constexpr int MinRun = 3;
constexpr int MaxRun = 66;
constexpr int RunCost = 2;
constexpr int ShortLiteralMax = 63;
constexpr int LongLiteralMax = 16383;
// Chain links live in a ring of 2^24 positions; the format could reach 3 bytes further.
constexpr int RingBits = 24;
constexpr uint32_t NoPosition = 0xFFFFFFFFu;

int matchCost(int len, int distance) {
    return (distance > NearDistanceMax ? 4 : 3) + (len >= MinMatch && len <= ShortLengthMax ? 0 : 2);
}

// What the parsers weigh a copy at: its bytes, and one more when it reaches
// beyond the 16-bit distances. Such a copy misses the cache when expanded;
// the extra byte keeps out the far ones that save little (on the benchmark
// corpus it also made the output smaller, by steering the parse).
int parseCost(int len, int distance) { return matchCost(len, distance) + (distance > NearDistanceMax ? 1 : 0); }

struct LevelSettings {
    int chainDepth;
    int niceLength;  // a match this long is taken at once, without weighing others
    bool optimal;
    bool lazy;
    // Greedy parsing only: bytes a copy must save beyond its cost before it
    // is taken (near: within the 16-bit distances; far: beyond them), and a
    // run likewise. Every token costs the expander time whatever it saves,
    // and a far source tends to miss the cache, so a copy or run that saves
    // a byte or two is left to the literal stretch around it. Inside a
    // literal stretch a token costs two (it splits the stretch); right after
    // another token it costs one, so there the tolls are lower by
    // tokenAfterTokenRelief.
    int nearMatchToll;
    int farMatchToll;
    int runToll;
    int tokenAfterTokenRelief;
};

const LevelSettings levelSettings[] = {
    {2, 32, false, false, 0, 0, 0, 0},    // 1
    {8, 64, false, true, 4, 10, 6, 2},    // 2
    {24, 128, false, true, 0, 0, 0, 0},   // 3
    {4, 64, true, false, 0, 0, 0, 0},     // 4
    {8, 96, true, false, 0, 0, 0, 0},     // 5
    {16, 128, true, false, 0, 0, 0, 0},   // 6
    {32, 192, true, false, 0, 0, 0, 0},   // 7
    {64, 256, true, false, 0, 0, 0, 0},   // 8
    {256, 1024, true, false, 0, 0, 0, 0}  // 9
};

uint32_t read32(const unsigned char* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// Length of the common prefix of a and b, at most limit.
int commonLength(const unsigned char* a, const unsigned char* b, int limit) {
    int k = 0;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // Eight bytes at a time; the lowest differing bit is in the first differing byte.
    while (k + 8 <= limit) {
        uint64_t x, y;
        std::memcpy(&x, a + k, 8);
        std::memcpy(&y, b + k, 8);
        if (x != y) return k + (__builtin_ctzll(x ^ y) >> 3);
        k += 8;
    }
#endif
    while (k < limit && a[k] == b[k]) ++k;
    return k;
}

struct Match {
    int length;
    int distance;  // 0: a run of the byte at the position
};

class TokenWriter {
public:
    TokenWriter(const unsigned char* data, std::vector<unsigned char>& out) : data_(data), out_(out) {}

    size_t pendingLiterals() const { return pending_; }
    void literal() {
        ++pending_;
        ++position_;
    }
    void token(const Match& m) {
        flushLiterals();
        if (m.distance == 0) {
            out_.push_back((unsigned char)(m.length - MinRun));
            out_.push_back(data_[position_]);
        } else {
            int l = m.length - 3, d = m.distance - MinDistance;
            bool wide = d > 0xFFFF, shortLength = l >= 1 && l <= 31;
            out_.push_back((unsigned char)(0xC0 | (wide ? 0x20 : 0) | (shortLength ? l : 0)));
            if (!shortLength) {
                out_.push_back((unsigned char)l);
                out_.push_back((unsigned char)(l >> 8));
            }
            out_.push_back((unsigned char)d);
            out_.push_back((unsigned char)(d >> 8));
            if (wide) out_.push_back((unsigned char)(d >> 16));
        }
        position_ += size_t(m.length);
    }
    void flushLiterals() {
        const unsigned char* p = data_ + position_ - pending_;
        while (pending_ > 0) {
            size_t n = std::min(pending_, size_t(LongLiteralMax));
            if (n <= ShortLiteralMax) {
                out_.push_back((unsigned char)(0x40 | n));
            } else {
                out_.push_back((unsigned char)(0x80 | (n & 0x3F)));
                out_.push_back((unsigned char)(n >> 6));
            }
            out_.insert(out_.end(), p, p + n);
            p += n;
            pending_ -= n;
        }
    }

private:
    const unsigned char* data_;
    std::vector<unsigned char>& out_;
    size_t position_ = 0;
    size_t pending_ = 0;
};

// Hash chains over 4-byte prefixes, nearest position first.
class MatchFinder {
public:
    MatchFinder(const unsigned char* data, size_t size, int chainDepth, int niceLength)
        : data_(data), size_(size), chainDepth_(chainDepth), niceLength_(niceLength) {
        int bits = 12;
        while (bits < 22 && (size_t(1) << bits) < size) ++bits;
        hashShift_ = 32 - bits;
        head_.assign(size_t(1) << bits, NoPosition);
        int ringBits = 12;
        while (ringBits < RingBits && (size_t(1) << ringBits) < size) ++ringBits;
        ringMask_ = (uint32_t(1) << ringBits) - 1;
        maxDistance_ = ringMask_;
        links_.assign(size_t(ringMask_) + 1, NoPosition);
    }

    // Both calls are made position after position: the next position's
    // chain head is fetched while this one is worked on (the table is far
    // larger than the cache; this makes level 2 about 15 % faster).
    void prefetchNext(size_t i) const {
        if (i + 5 <= size_) __builtin_prefetch(&head_[hash(i + 1)]);
    }

    void insert(size_t i) {
        if (i + 4 > size_) return;
        prefetchNext(i);
        uint32_t& slot = head_[hash(i)];
        links_[i & ringMask_] = slot;
        slot = uint32_t(i);
    }

    // Inserts i and fills found with matches of increasing length (each the
    // nearest of its length). Returns their count.
    int find(size_t i, Match* found, int capacity) {
        if (i + 4 > size_) return 0;
        prefetchNext(i);
        uint32_t& slot = head_[hash(i)];
        uint32_t cur = slot;
        links_[i & ringMask_] = cur;
        slot = uint32_t(i);
        const int available = int(std::min(size_ - i, size_t(MaxMatch)));
        int best = MinMatch - 1, count = 0;
        for (int depth = chainDepth_; depth > 0 && cur != NoPosition; --depth) {
            size_t distance = i - cur;
            if (distance > maxDistance_) break;
            if (distance >= MinDistance) {
                int limit = int(std::min(size_t(available), distance));
                if (limit > best && data_[cur + best] == data_[i + best]) {
                    int len = commonLength(data_ + cur, data_ + i, limit);
                    if (len > best) {
                        best = len;
                        found[count++] = {len, int(distance)};
                        if (count == capacity || len == available || len >= niceLength_) break;
                    }
                }
            }
            uint32_t next = links_[cur & ringMask_];
            if (next >= cur) break;  // the ring slot was taken by a newer position
            cur = next;
        }
        return count;
    }

private:
    uint32_t hash(size_t i) const { return (read32(data_ + i) * 2654435761u) >> hashShift_; }

    const unsigned char* data_;
    size_t size_;
    int chainDepth_;
    int niceLength_;
    int hashShift_;
    uint32_t ringMask_;
    size_t maxDistance_;
    std::vector<uint32_t> head_;
    std::vector<uint32_t> links_;
};

// Tracks the stretch of equal bytes around the parser's position: the run
// token covers up to 66 of them.
class RunTracker {
public:
    RunTracker(const unsigned char* data, size_t size) : data_(data), size_(size) {}

    // Equal bytes from i onwards (at least 1).
    size_t forwardLength(size_t i) {
        if (i >= end_ || i < start_ || data_[i] != data_[start_]) {
            start_ = i;
            end_ = i + 1;
            while (end_ < size_ && data_[end_] == data_[i]) ++end_;
        }
        return end_ - i;
    }

private:
    const unsigned char* data_;
    size_t size_;
    size_t start_ = 0, end_ = 0;
};

// Back-references may not overlap their output, so inside a stretch that
// repeats with a short period p the nearest copies are at most p long. A
// copy from the farthest multiple of p inside the stretch doubles what is
// out instead; the hash chains, nearest first, would rarely reach it.
class PeriodTracker {
public:
    PeriodTracker(const unsigned char* data, size_t size) : data_(data), size_(size) {}

    // The longest copy at i from inside the stretch of period p around it
    // (p >= 1; i - p must be inside the data), or length 0.
    Match farthestCopy(size_t i, size_t p) {
        if (p != period_ || i < start_ + p || i >= end_) {
            if (data_[i] != data_[i - p]) return {0, 0};
            period_ = p;
            start_ = i - p;
            while (start_ > 0 && i - start_ < size_t(NearDistanceMax) && data_[start_ - 1] == data_[start_ - 1 + p])
                --start_;
            end_ = i;
            while (end_ < size_ && data_[end_] == data_[end_ - p]) ++end_;
        }
        size_t distance = std::min(i - start_, size_t(NearDistanceMax)) / p * p;
        if (distance < size_t(MinDistance)) return {0, 0};
        return {int(std::min({distance, end_ - i, size_t(MaxMatch)})), int(distance)};
    }

private:
    const unsigned char* data_;
    size_t size_;
    size_t period_ = 0, start_ = 0, end_ = 0;
};

constexpr int MaxCandidates = 64;

// Calls the progress callback at most once per CompressionProgressStep, so
// that a parser may ask as often as suits it.
class ProgressReporter {
public:
    ProgressReporter(const CompressionProgress& progress, size_t total)
        : progress_(progress), total_(total), next_(progress ? CompressionProgressStep : SIZE_MAX) {}

    void at(size_t consumed) {
        if (consumed < next_) return;
        progress_(consumed, total_);
        next_ = consumed + CompressionProgressStep;
    }
    void done() {
        if (progress_) progress_(total_, total_);
    }

private:
    const CompressionProgress& progress_;
    size_t total_;
    size_t next_;
};

class Compressor {
public:
    Compressor(const unsigned char* data, size_t size, const LevelSettings& settings, std::vector<unsigned char>& out,
               const CompressionProgress& progress)
        : data_(data),
          size_(size),
          settings_(settings),
          progress_(progress, size),
          finder_(data, size, settings.chainDepth, settings.niceLength),
          runs_(data, size),
          periods_(data, size),
          writer_(data, out) {}

    void run() {
        if (settings_.optimal)
            parseOptimally();
        else
            parseGreedily();
        writer_.flushLiterals();
        progress_.done();
    }

private:
    // Candidates at i, longest last. Inside a periodic stretch (equal bytes,
    // or a longest match cut short by its own distance) the farthest copy
    // from the stretch joins them where it is longer.
    int candidates(size_t i, Match* found) {
        int count = finder_.find(i, found, MaxCandidates - 1);
        size_t period = 0;
        if (i > 0 && data_[i] == data_[i - 1])
            period = 1;
        else if (count > 0 && found[count - 1].length == found[count - 1].distance)
            period = size_t(found[count - 1].distance);
        if (period > 0) {
            Match far = periods_.farthestCopy(i, period);
            if (far.length >= MinMatch && (count == 0 || far.length > found[count - 1].length)) found[count++] = far;
        }
        return count;
    }

    struct Choice {
        Match match;
        int saving;  // bytes saved against literals
    };

    // The best token at i by its saving net of the level's tolls; afterToken:
    // no literal is pending, so a token here splits no literal stretch.
    Choice choose(size_t i, bool afterToken) {
        Match found[MaxCandidates];
        int count = candidates(i, found);
        const int relief = afterToken ? settings_.tokenAfterTokenRelief : 0;
        const int nearToll = settings_.nearMatchToll - relief, farToll = settings_.farMatchToll - relief;
        Choice best{{0, 0}, 0};
        for (int k = 0; k < count; ++k) {
            for (int len : {found[k].length, std::min(found[k].length, ShortLengthMax)}) {
                const int distance = found[k].distance;
                int saving = len - parseCost(len, distance) - (distance > NearDistanceMax ? farToll : nearToll);
                if (saving > best.saving) best = {{len, distance}, saving};
            }
        }
        int run = int(std::min(runs_.forwardLength(i), size_t(MaxRun)));
        int runSaving = run - RunCost - (settings_.runToll - relief);
        if (run >= MinRun && runSaving > best.saving) best = {{run, 0}, runSaving};
        return best;
    }

    void skipOver(size_t from, size_t to) {
        for (size_t k = from; k < to; ++k) finder_.insert(k);
    }

    void parseGreedily() {
        size_t pos = 0;
        Choice current = choose(0, true);
        while (pos < size_) {
            // Progress is told between stretches, not tested at every
            // position: this loop is the whole of levels 1 to 3.
            const size_t stretchEnd = std::min(size_, pos + CompressionProgressStep);
            while (pos < stretchEnd) {
                if (current.saving <= 0) {
                    writer_.literal();
                    ++pos;
                    if (pos < size_) current = choose(pos, false);
                    continue;
                }
                size_t searched = pos + 1;
                if (settings_.lazy && pos + 1 < size_ && current.match.length < settings_.niceLength) {
                    Choice next = choose(pos + 1, false);
                    searched = pos + 2;
                    if (next.saving > current.saving) {
                        writer_.literal();
                        ++pos;
                        current = next;
                        continue;
                    }
                }
                writer_.token(current.match);
                size_t end = pos + size_t(current.match.length);
                skipOver(searched, end);
                pos = end;
                if (pos < size_) current = choose(pos, true);
            }
            if (pos < size_) progress_.at(pos);
        }
    }

    // Cheapest token sequence over stretches of up to SegmentLength bytes.
    // A match of niceLength or more ends a stretch early and is taken as is.
    static constexpr size_t SegmentLength = size_t(1) << 20;
    static constexpr uint32_t Unreached = 0xFFFFFFFFu;

    void parseOptimally() {
        const size_t slots = std::min(size_, SegmentLength + MaxMatch) + 1;
        price_.resize(slots);
        pendingLiterals_.resize(slots);
        steps_.resize(slots);
        size_t start = 0;
        while (start < size_) start = parseSegment(start);
    }

    // One more literal after pending ones: its byte, plus a header byte to
    // open a stretch, one more when the stretch turns from short to long,
    // and a new header for every full long stretch.
    static uint32_t literalPrice(uint32_t pending) {
        uint32_t inChunk = pending % LongLiteralMax;
        return inChunk == 0 || inChunk == ShortLiteralMax ? 2 : 1;
    }

    void reach(size_t target, uint32_t cost, const Match& step, uint32_t pendingAfter) {
        if (cost < price_[target]) {
            price_[target] = cost;
            steps_[target] = step;
            pendingLiterals_[target] = pendingAfter;
        }
    }

    // Returns where the next segment starts.
    size_t parseSegment(size_t start) {
        const size_t end = std::min(size_, start + SegmentLength);
        const size_t reachable = std::min(size_, end + MaxMatch) - start;
        std::fill(price_.begin(), price_.begin() + long(reachable) + 1, Unreached);
        price_[0] = 0;
        pendingLiterals_[0] = uint32_t(writer_.pendingLiterals());
        Match found[MaxCandidates];
        for (size_t pos = start; pos < end; ++pos) {
            progress_.at(pos);
            const size_t j = pos - start;
            const uint32_t here = price_[j];
            const uint32_t pending = pendingLiterals_[j];
            reach(j + 1, here + literalPrice(pending), {0, 0}, pending + 1);

            int count = candidates(pos, found);
            if (count > 0 && found[count - 1].length >= settings_.niceLength) {
                emitPath(j);
                writer_.token(found[count - 1]);
                skipOver(pos + 1, pos + size_t(found[count - 1].length));
                return pos + size_t(found[count - 1].length);
            }
            int covered = MinMatch - 1;
            for (int k = 0; k < count; ++k) {
                const Match& m = found[k];
                for (int len = covered + 1; len <= m.length; ++len)
                    reach(j + size_t(len), here + uint32_t(parseCost(len, m.distance)), {len, m.distance}, 0);
                covered = std::max(covered, m.length);
            }
            int run = int(std::min(runs_.forwardLength(pos), size_t(MaxRun)));
            for (int len = MinRun; len <= run; ++len) reach(j + size_t(len), here + RunCost, {len, 0}, 0);
        }
        emitPath(end - start);
        return end;
    }

    // Writes the cheapest path from the segment's start to offset last.
    void emitPath(size_t last) {
        path_.clear();
        for (size_t t = last; t > 0;) {
            const Match& step = steps_[t];
            path_.push_back(step);
            t -= step.length == 0 ? 1 : size_t(step.length);
        }
        for (auto it = path_.rbegin(); it != path_.rend(); ++it) {
            if (it->length == 0)
                writer_.literal();
            else
                writer_.token(*it);
        }
    }

    const unsigned char* data_;
    size_t size_;
    LevelSettings settings_;
    ProgressReporter progress_;
    MatchFinder finder_;
    RunTracker runs_;
    PeriodTracker periods_;
    TokenWriter writer_;
    std::vector<uint32_t> price_;
    std::vector<uint32_t> pendingLiterals_;
    std::vector<Match> steps_;
    std::vector<Match> path_;
};

void put32(std::vector<unsigned char>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back((unsigned char)(v >> (8 * i)));
}

}  // namespace

std::vector<unsigned char> compressImage(const unsigned char* data, size_t size, int level,
                                         const CompressionProgress& progress) {
    if (size > size_t(MaxExpandedLength))
        throw std::length_error("input longer than a compressed image can expand to");
    level = std::clamp(level, FastestCompressionLevel, BestCompressionLevel);
    std::vector<unsigned char> out;
    out.reserve(size / 2 + 64);
    put32(out, CompressedImageMagic);
    put32(out, uint32_t(size));
    if (size > 0) Compressor(data, size, levelSettings[level - 1], out, progress).run();
    return out;
}

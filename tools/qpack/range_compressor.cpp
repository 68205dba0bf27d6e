#include "range_compressor.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <stdexcept>
#include <thread>

#include "core/expand_block.h"
#include "core/range_image.h"
#include "core/range_model.h"

using namespace range_model;

namespace {

// ---- the range coder ------------------------------------------------------

class RangeEncoder {
public:
    explicit RangeEncoder(std::vector<unsigned char>& out) : out_(out) {}

    void bit(uint16_t& p, unsigned b) {
        uint32_t bound = (range_ >> ProbabilityBits) * p;
        if (b == 0) {
            range_ = bound;
            adaptAfterZero(p);
        } else {
            low_ += bound;
            range_ -= bound;
            adaptAfterOne(p);
        }
        while (range_ < RangeTop) {
            range_ <<= 8;
            shiftLow();
        }
    }

    void plainBits(uint32_t value, int count) {
        while (count-- > 0) {
            range_ >>= 1;
            low_ += range_ & (0u - ((value >> count) & 1));
            if (range_ < RangeTop) {
                range_ <<= 8;
                shiftLow();
            }
        }
    }

    void tree(uint16_t* probabilities, int count, unsigned value) {
        unsigned m = 1;
        for (int i = count - 1; i >= 0; --i) {
            unsigned b = (value >> i) & 1;
            bit(probabilities[m], b);
            m = m << 1 | b;
        }
    }

    void reverseTree(uint16_t* probabilities, int count, unsigned value) {
        unsigned m = 1;
        for (int i = 0; i < count; ++i) {
            unsigned b = (value >> i) & 1;
            bit(probabilities[m], b);
            m = m << 1 | b;
        }
    }

    void flush() {
        for (int i = 0; i < 5; ++i) shiftLow();
    }

private:
    // The top byte of low_ may still change by a carry; it waits in cache_,
    // with any 0xFF bytes behind it that a carry would also turn over.
    void shiftLow() {
        if (uint32_t(low_) < 0xFF000000u || (low_ >> 32) != 0) {
            unsigned char carry = static_cast<unsigned char>(low_ >> 32);
            unsigned char pending = cache_;
            do {
                out_.push_back(static_cast<unsigned char>(pending + carry));
                pending = 0xFF;
            } while (--cacheSize_ != 0);
            cache_ = static_cast<unsigned char>(low_ >> 24);
        }
        ++cacheSize_;
        low_ = (low_ & 0x00FFFFFFu) << 8;
    }

    std::vector<unsigned char>& out_;
    uint64_t low_ = 0;
    uint32_t range_ = 0xFFFFFFFFu;
    unsigned char cache_ = 0;
    uint64_t cacheSize_ = 1;
};

// ---- prices: what a decision costs, in 1/16 bits ------------------------

constexpr int PriceShift = 4;
constexpr uint32_t InfinitePrice = 1u << 30;

struct PriceTable {
    uint32_t ofZero[ProbabilityOne >> 4];
    PriceTable() {
        for (int i = 0; i < (ProbabilityOne >> 4); ++i) {
            double p = (i * 16 + 8) / double(ProbabilityOne);
            ofZero[i] = uint32_t(std::lround(-std::log2(p) * (1 << PriceShift)));
        }
    }
};
const PriceTable priceTable;

inline uint32_t price(uint16_t p, unsigned b) { return priceTable.ofZero[(b ? ProbabilityOne - p : p) >> 4]; }

uint32_t treePrice(const uint16_t* probabilities, int count, unsigned value) {
    uint32_t sum = 0;
    unsigned m = 1;
    for (int i = count - 1; i >= 0; --i) {
        unsigned b = (value >> i) & 1;
        sum += price(probabilities[m], b);
        m = m << 1 | b;
    }
    return sum;
}

uint32_t reverseTreePrice(const uint16_t* probabilities, int count, unsigned value) {
    uint32_t sum = 0;
    unsigned m = 1;
    for (int i = 0; i < count; ++i) {
        unsigned b = (value >> i) & 1;
        sum += price(probabilities[m], b);
        m = m << 1 | b;
    }
    return sum;
}

// Calls visit(probability, bit) for each of a literal's eight bits, as the
// decoder reads them: guided by the byte at the last distance after a copy,
// as long as its bits agree. Coding and pricing a literal both walk this way.
template <class Coder, class Visit>
void walkLiteral(Coder* coder, bool afterCopy, unsigned matchByte, unsigned byte, Visit&& visit) {
    unsigned symbol = 1;
    int i = 7;
    if (afterCopy) {
        for (; i >= 0; --i) {
            unsigned matchBit = (matchByte >> i) & 1, b = (byte >> i) & 1;
            visit(coder[((1 + matchBit) << 8) + symbol], b);
            symbol = symbol << 1 | b;
            if (matchBit != b) {
                --i;
                break;
            }
        }
    }
    for (; i >= 0; --i) {
        unsigned b = (byte >> i) & 1;
        visit(coder[symbol], b);
        symbol = symbol << 1 | b;
    }
}

uint32_t literalPrice(const uint16_t* coder, bool afterCopy, unsigned matchByte, unsigned byte) {
    uint32_t sum = 0;
    walkLiteral(coder, afterCopy, matchByte, byte, [&sum](uint16_t p, unsigned b) { sum += price(p, b); });
    return sum;
}

int distanceSlot(uint32_t distance) {
    if (distance < FirstModelledSlot) return int(distance);
    int top = 31;
    while (!(distance >> top)) --top;
    return top * 2 + int((distance >> (top - 1)) & 1);
}

// ---- the match finder: a binary tree of every earlier position ----------

struct Match {
    uint32_t length;
    uint32_t distance;  // less one
};

constexpr uint32_t NoPosition = 0xFFFFFFFFu;
constexpr int NiceLength = 128;  // a match this long is taken without weighing others
constexpr int SearchDepth = 80;  // tree nodes visited per position
constexpr int MaxHash4Bits = 22;
constexpr int MaxHash3Bits = 16;

// Tables no larger than the input needs: filling 4 million entries would
// cost a small input (a header) far more than coding it.
int hashBits(uint32_t size, int most) {
    int bits = 8;
    while (bits < most && (1u << bits) < size) ++bits;
    return bits;
}

class MatchFinder {
public:
    MatchFinder(const unsigned char* data, uint32_t size)
        : data_(data), size_(size), hash3Bits_(hashBits(size, MaxHash3Bits)), hash4Bits_(hashBits(size, MaxHash4Bits)),
          hash2_(1u << 16, NoPosition), hash3_(1u << hash3Bits_, NoPosition), hash4_(1u << hash4Bits_, NoPosition),
          tree_(size_t(size) * 2, NoPosition) {}

    // Inserts position pos (each once, in order) and returns its matches
    // into found, longer and longer, each with the nearest distance seen for
    // its length. With found null the position is only inserted.
    int insert(uint32_t pos, Match* found) {
        uint32_t available = size_ - pos;
        uint32_t limit = std::min<uint32_t>(available, MaxMatchLength);
        if (available < 4) {
            // Too close to the end for the tree's 4-byte key: short matches only.
            return found && available >= 2 ? shortMatches(pos, limit, found) : 0;
        }
        const unsigned char* cur = data_ + pos;
        uint32_t h2 = cur[0] | uint32_t(cur[1]) << 8;
        uint32_t h3 = ((cur[0] | uint32_t(cur[1]) << 8 | uint32_t(cur[2]) << 16) * 2654435761u) >> (32 - hash3Bits_);
        uint32_t h4 = (readWord32(cur) * 2654435761u) >> (32 - hash4Bits_);
        uint32_t c2 = hash2_[h2], c3 = hash3_[h3];
        hash2_[h2] = hash3_[h3] = pos;
        uint32_t candidate = hash4_[h4];
        hash4_[h4] = pos;

        int count = 0;
        uint32_t best = 1;
        if (found) {
            for (uint32_t c : {c2, c3}) {
                if (c == NoPosition) continue;
                uint32_t length = commonLength(data_ + c, cur, 0, limit);
                if (length > best) {
                    best = length;
                    found[count++] = {length, pos - c - 1};
                }
            }
        }

        uint32_t* left = &tree_[size_t(pos) * 2];
        uint32_t* right = left + 1;
        uint32_t leftLength = 0, rightLength = 0;
        uint32_t treeLimit = std::min<uint32_t>(limit, NiceLength);
        for (int depth = SearchDepth;; --depth) {
            if (candidate == NoPosition || depth == 0) {
                *left = *right = NoPosition;
                break;
            }
            const unsigned char* other = data_ + candidate;
            uint32_t length = commonLength(other, cur, std::min(leftLength, rightLength), treeLimit);
            if (found && length > best) {
                best = length;
                found[count++] = {length, pos - candidate - 1};
            }
            if (length == treeLimit) {
                // As long as the limit allows: this position takes the other's place.
                *left = tree_[size_t(candidate) * 2];
                *right = tree_[size_t(candidate) * 2 + 1];
                break;
            }
            if (other[length] < cur[length]) {
                *left = candidate;
                left = &tree_[size_t(candidate) * 2 + 1];
                candidate = *left;
                leftLength = length;
            } else {
                *right = candidate;
                right = &tree_[size_t(candidate) * 2];
                candidate = *right;
                rightLength = length;
            }
        }
        if (found && best == treeLimit && treeLimit < limit && count > 0) {
            // The tree stops at NiceLength; the chosen match may go on.
            Match& last = found[count - 1];
            last.length = commonLength(cur - last.distance - 1, cur, last.length, limit);
        }
        return count;
    }

private:
    static uint32_t readWord32(const unsigned char* p) {
        uint32_t w;
        std::memcpy(&w, p, 4);
        return w;
    }
    static uint32_t commonLength(const unsigned char* a, const unsigned char* b, uint32_t from, uint32_t limit) {
        while (from < limit && a[from] == b[from]) ++from;
        return from;
    }
    int shortMatches(uint32_t pos, uint32_t limit, Match* found) {
        // The last few bytes: look back a little for the longest.
        uint32_t best = 1;
        int count = 0;
        for (uint32_t back = 1; back <= std::min<uint32_t>(pos, 256); ++back) {
            uint32_t length = commonLength(data_ + pos - back, data_ + pos, 0, limit);
            if (length > best) {
                best = length;
                found[count++] = {length, back - 1};
            }
        }
        return count;
    }

    const unsigned char* data_;
    uint32_t size_;
    int hash3Bits_, hash4Bits_;
    std::vector<uint32_t> hash2_, hash3_, hash4_, tree_;
};

// ---- the segment coder: an optimal parse over the model's own prices -----

constexpr int OptimumSpan = 2048;  // positions weighed together at most
constexpr int PriceRefreshInterval = 256;  // decisions between refreshes of the length and distance prices
constexpr int PriceRefreshMatches = 64;    // or matches, whichever come first

// One way to reach a node: a decision, or a literal and a repeat that
// follow one another often enough to be weighed together.
enum class Step : uint8_t {
    Literal,
    ShortRepeat,          // the one byte at the last distance
    Repeat,               // repeatIndex: which of the last distances
    Match,                // distance
    LiteralRepeat,        // a literal, then a copy from the last distance
    MatchLiteralRepeat,   // a match (distance, matchLength), a literal, a copy from the same distance
};

struct Node {
    uint32_t price;
    uint32_t from;  // the node the step starts at
    Step step;
    uint8_t repeatIndex;
    uint16_t matchLength;
    uint32_t distance;
    int state;
    uint32_t distances[RepeatDistances];
};

class SegmentCoder {
public:
    SegmentCoder(const unsigned char* data, uint32_t size, std::vector<unsigned char>& out,
                 std::atomic<size_t>& consumed)
        : data_(data), size_(size), rc_(out), finder_(data, size), consumed_(consumed),
          nodes_(OptimumSpan + 2 * MaxMatchLength + 2) {
        resetModel(m_);
    }

    void run() {
        uint32_t position = 0;
        while (position < size_) {
            position += parseFrom(position);
            consumed_.store(position, std::memory_order_relaxed);
        }
        rc_.flush();
    }

private:
    // ---- encoding one decision, exactly as the decoder reads it ----
    void encodeLiteral(uint32_t pos) {
        rc_.bit(m_.isMatch[state_][pos & (PositionStates - 1)], 0);
        uint16_t* coder = m_.literal[pos ? data_[pos - 1] >> (8 - LiteralContextBits) : 0];
        bool afterCopy = state_ >= FirstStateAfterCopy;
        unsigned matchByte = afterCopy ? data_[pos - distances_[0] - 1] : 0;
        walkLiteral(coder, afterCopy, matchByte, data_[pos], [this](uint16_t& p, unsigned b) { rc_.bit(p, b); });
        state_ = stateAfterLiteral(state_);
    }

    void encodeLength(LengthModel& lm, uint32_t length, int positionState) {
        uint32_t l = length - MinMatchLength;
        if (l < LowLengths) {
            rc_.bit(lm.choice, 0);
            rc_.tree(lm.low[positionState], LowLengthBits, l);
        } else if (l < LowLengths + MidLengths) {
            rc_.bit(lm.choice, 1);
            rc_.bit(lm.choice2, 0);
            rc_.tree(lm.mid[positionState], MidLengthBits, l - LowLengths);
        } else {
            rc_.bit(lm.choice, 1);
            rc_.bit(lm.choice2, 1);
            rc_.tree(lm.high, HighLengthBits, l - LowLengths - MidLengths);
        }
    }

    void encodeRepeat(uint32_t pos, int index, uint32_t length) {
        int ps = int(pos & (PositionStates - 1));
        rc_.bit(m_.isMatch[state_][ps], 1);
        rc_.bit(m_.isRepeat[state_], 1);
        if (index == 0) {
            rc_.bit(m_.isRepeat0[state_], 0);
            rc_.bit(m_.isRepeat0Long[state_][ps], length == 1 ? 0 : 1);
            if (length == 1) {
                state_ = stateAfterShortRepeat(state_);
                return;
            }
        } else {
            rc_.bit(m_.isRepeat0[state_], 1);
            uint32_t distance = distances_[index];
            if (index == 1) {
                rc_.bit(m_.isRepeat1[state_], 0);
            } else {
                rc_.bit(m_.isRepeat1[state_], 1);
                rc_.bit(m_.isRepeat2[state_], index == 3 ? 1 : 0);
                if (index == 3) distances_[3] = distances_[2];
                distances_[2] = distances_[1];
            }
            distances_[1] = distances_[0];
            distances_[0] = distance;
        }
        encodeLength(m_.repeatLength, length, ps);
        state_ = stateAfterRepeat(state_);
    }

    void encodeMatch(uint32_t pos, uint32_t distance, uint32_t length) {
        int ps = int(pos & (PositionStates - 1));
        rc_.bit(m_.isMatch[state_][ps], 1);
        rc_.bit(m_.isRepeat[state_], 0);
        encodeLength(m_.matchLength, length, ps);
        int slot = distanceSlot(distance);
        rc_.tree(m_.distanceSlot[lengthStateForDistance(int(length))], DistanceSlotBits, unsigned(slot));
        if (slot >= FirstModelledSlot) {
            int footerBits = (slot >> 1) - 1;
            uint32_t base = (2u | (slot & 1)) << footerBits, rest = distance - base;
            if (slot < EndModelledSlot) {
                rc_.reverseTree(m_.distanceSpecial + specialDistanceOffset(slot), footerBits, rest);
            } else {
                rc_.plainBits(rest >> AlignBits, footerBits - AlignBits);
                rc_.reverseTree(m_.align, AlignBits, rest & (AlignSize - 1));
            }
        }
        distances_[3] = distances_[2];
        distances_[2] = distances_[1];
        distances_[1] = distances_[0];
        distances_[0] = distance;
        state_ = stateAfterMatch(state_);
        ++matchesSinceRefresh_;
    }

    // ---- prices of the current model ----
    void refreshPrices() {
        for (int ps = 0; ps < PositionStates; ++ps) {
            fillLengthPrices(m_.matchLength, ps, matchLengthPrice_[ps]);
            fillLengthPrices(m_.repeatLength, ps, repeatLengthPrice_[ps]);
        }
        for (int ls = 0; ls < LengthStatesForDistance; ++ls) {
            for (int slot = 0; slot < DistanceSlots; ++slot) {
                uint32_t p = treePrice(m_.distanceSlot[ls], DistanceSlotBits, unsigned(slot));
                if (slot >= EndModelledSlot) p += uint32_t((slot >> 1) - 1 - AlignBits) << PriceShift;
                slotPrice_[ls][slot] = p;
            }
            for (uint32_t d = 0; d < FullDistances; ++d) {
                int slot = distanceSlot(d);
                uint32_t p = slotPrice_[ls][slot];
                if (slot >= FirstModelledSlot) {
                    int footerBits = (slot >> 1) - 1;
                    uint32_t base = (2u | (slot & 1)) << footerBits;
                    p += reverseTreePrice(m_.distanceSpecial + specialDistanceOffset(slot), footerBits, d - base);
                }
                nearDistancePrice_[ls][d] = p;
            }
        }
        for (unsigned a = 0; a < AlignSize; ++a) alignPrice_[a] = reverseTreePrice(m_.align, AlignBits, a);
        decisionsSinceRefresh_ = 0;
        matchesSinceRefresh_ = 0;
    }

    static void fillLengthPrices(const LengthModel& lm, int ps, uint32_t* prices) {
        uint32_t low = price(lm.choice, 0), notLow = price(lm.choice, 1);
        uint32_t mid = notLow + price(lm.choice2, 0), high = notLow + price(lm.choice2, 1);
        for (int l = 0; l < MaxMatchLength - MinMatchLength + 1; ++l) {
            if (l < LowLengths)
                prices[l] = low + treePrice(lm.low[ps], LowLengthBits, unsigned(l));
            else if (l < LowLengths + MidLengths)
                prices[l] = mid + treePrice(lm.mid[ps], MidLengthBits, unsigned(l - LowLengths));
            else
                prices[l] = high + treePrice(lm.high, HighLengthBits, unsigned(l - LowLengths - MidLengths));
        }
    }

    uint32_t distancePrice(uint32_t distance, uint32_t length) const {
        int ls = lengthStateForDistance(int(length));
        if (distance < FullDistances) return nearDistancePrice_[ls][distance];
        return slotPrice_[ls][distanceSlot(distance)] + alignPrice_[distance & (AlignSize - 1)];
    }

    uint32_t repeatPrice(int index, int state, int ps) const {
        uint32_t p = price(m_.isMatch[state][ps], 1) + price(m_.isRepeat[state], 1);
        if (index == 0) return p + price(m_.isRepeat0[state], 0) + price(m_.isRepeat0Long[state][ps], 1);
        p += price(m_.isRepeat0[state], 1);
        if (index == 1) return p + price(m_.isRepeat1[state], 0);
        return p + price(m_.isRepeat1[state], 1) + price(m_.isRepeat2[state], index == 3 ? 1 : 0);
    }

    uint32_t shortRepeatPrice(int state, int ps) const {
        return price(m_.isMatch[state][ps], 1) + price(m_.isRepeat[state], 1) + price(m_.isRepeat0[state], 0) +
               price(m_.isRepeat0Long[state][ps], 0);
    }

    // ---- the parse ----
    void relax(uint32_t at, uint32_t cost, uint32_t from, Step step, uint32_t value = 0, uint32_t matchLength = 0) {
        Node& n = nodes_[at];
        if (cost >= n.price) return;
        const Node& f = nodes_[from];
        n.price = cost;
        n.from = from;
        n.step = step;
        std::memcpy(n.distances, f.distances, sizeof n.distances);
        switch (step) {
        case Step::Literal:
            n.state = stateAfterLiteral(f.state);
            break;
        case Step::ShortRepeat:
            n.state = stateAfterShortRepeat(f.state);
            break;
        case Step::Repeat:
            n.repeatIndex = uint8_t(value);
            for (uint32_t i = value; i > 0; --i) n.distances[i] = f.distances[i - 1];
            n.distances[0] = f.distances[value];
            n.state = stateAfterRepeat(f.state);
            break;
        case Step::LiteralRepeat:
            n.state = stateAfterRepeat(stateAfterLiteral(f.state));
            break;
        case Step::Match:
        case Step::MatchLiteralRepeat:
            n.distance = value;
            n.matchLength = uint16_t(matchLength);
            n.distances[3] = f.distances[2];
            n.distances[2] = f.distances[1];
            n.distances[1] = f.distances[0];
            n.distances[0] = value;
            n.state = stateAfterMatch(f.state);
            if (step == Step::MatchLiteralRepeat) n.state = stateAfterRepeat(stateAfterLiteral(n.state));
            break;
        }
    }

    void reach(uint32_t& end, uint32_t at) {
        while (end < at) nodes_[++end].price = InfinitePrice;
    }

    uint32_t repeatLength(uint32_t pos, uint32_t distance) const {
        if (distance >= pos) return 0;
        uint32_t limit = std::min<uint32_t>(size_ - pos, MaxMatchLength);
        const unsigned char* a = data_ + pos;
        const unsigned char* b = a - distance - 1;
        uint32_t l = 0;
        while (l < limit && a[l] == b[l]) ++l;
        return l;
    }

    uint32_t literalPriceAt(uint32_t pos, int state, uint32_t lastDistance) const {
        const uint16_t* coder = m_.literal[pos ? data_[pos - 1] >> (8 - LiteralContextBits) : 0];
        bool afterCopy = state >= FirstStateAfterCopy;
        unsigned matchByte = afterCopy ? data_[pos - lastDistance - 1] : 0;
        return price(m_.isMatch[state][pos & (PositionStates - 1)], 0) +
               literalPrice(coder, afterCopy, matchByte, data_[pos]);
    }

    // The price of a copy from the last distance at pos, after a literal
    // that left the parse in state; 0 when there is none to weigh.
    uint32_t repeatAfterLiteral(uint32_t pos, uint32_t distance, int state, uint32_t& length) const {
        if (pos >= size_) return 0;
        length = repeatLength(pos, distance);
        if (length < MinMatchLength) return 0;
        int ps = int(pos & (PositionStates - 1));
        return repeatPrice(0, state, ps) + repeatLengthPrice_[ps][length - MinMatchLength];
    }

    // Weighs every way to code the bytes from position on, up to where all
    // ways meet or OptimumSpan ends, codes the cheapest and returns how many
    // bytes it covered.
    uint32_t parseFrom(uint32_t position) {
        if (decisionsSinceRefresh_ >= PriceRefreshInterval || matchesSinceRefresh_ >= PriceRefreshMatches) refreshPrices();
        Node& start = nodes_[0];
        start.price = 0;
        start.state = state_;
        std::memcpy(start.distances, distances_, sizeof distances_);
        uint32_t end = 0;
        reach(end, 1);
        for (uint32_t cur = 0; cur < end; ++cur) {
            uint32_t pos = position + cur;
            int count = finder_.insert(pos, matches_);
            const Node node = nodes_[cur];
            if (count > 0 && matches_[count - 1].length >= uint32_t(NiceLength)) {
                // A long match ends the weighing here: take it.
                Match longest = matches_[count - 1];
                uint32_t at = cur + longest.length;
                reach(end, at);
                nodes_[at].price = InfinitePrice;
                relax(at, 0, cur, Step::Match, longest.distance);
                for (uint32_t i = 1; i < longest.length; ++i) finder_.insert(pos + i, nullptr);
                end = at;
                break;
            }
            int ps = int(pos & (PositionStates - 1));
            // A literal, or the one byte at the last distance.
            uint32_t literal = node.price + literalPriceAt(pos, node.state, node.distances[0]);
            relax(cur + 1, literal, cur, Step::Literal);
            bool repeatsByte = node.distances[0] < pos && data_[pos - node.distances[0] - 1] == data_[pos];
            if (repeatsByte) relax(cur + 1, node.price + shortRepeatPrice(node.state, ps), cur, Step::ShortRepeat);
            if (cur + 2 * MaxMatchLength + 1 >= OptimumSpan) {
                // Past the span only literals are weighed, so that the ways meet.
                continue;
            }
            uint32_t length2;
            if (!repeatsByte && node.distances[0] < pos) {
                if (uint32_t p = repeatAfterLiteral(pos + 1, node.distances[0], stateAfterLiteral(node.state), length2)) {
                    reach(end, cur + 1 + length2);
                    relax(cur + 1 + length2, literal + p, cur, Step::LiteralRepeat);
                }
            }
            // Copies from the four last distances.
            uint32_t longestRepeat = 0;
            for (int r = 0; r < RepeatDistances; ++r) {
                uint32_t length = repeatLength(pos, node.distances[r]);
                if (length < MinMatchLength) continue;
                longestRepeat = std::max(longestRepeat, length);
                uint32_t base = node.price + repeatPrice(r, node.state, ps);
                reach(end, cur + length);
                for (uint32_t l = MinMatchLength; l <= length; ++l)
                    relax(cur + l, base + repeatLengthPrice_[ps][l - MinMatchLength], cur, Step::Repeat, uint32_t(r));
            }
            // New copies; for each length the nearest distance that reaches it.
            if (count > 0) {
                uint32_t base = node.price + price(m_.isMatch[node.state][ps], 1) + price(m_.isRepeat[node.state], 0);
                uint32_t longest = matches_[count - 1].length;
                reach(end, cur + longest);
                int i = 0;
                // Lengths that a repeat already covers are cheaper as repeats, nearly always.
                uint32_t from = std::max<uint32_t>(MinMatchLength, std::min(longestRepeat + 1, longest));
                while (matches_[i].length < from) ++i;
                for (uint32_t l = from; l <= longest; ++l) {
                    if (l > matches_[i].length) ++i;
                    uint32_t d = matches_[i].distance;
                    uint32_t cost = base + matchLengthPrice_[ps][l - MinMatchLength] + distancePrice(d, l);
                    relax(cur + l, cost, cur, Step::Match, d);
                    if (l != matches_[i].length || pos + l >= size_) continue;
                    // The whole match, a literal, and the match's distance again.
                    int afterMatch = stateAfterMatch(node.state);
                    uint32_t lit = literalPriceAt(pos + l, afterMatch, d);
                    if (uint32_t p = repeatAfterLiteral(pos + l + 1, d, stateAfterLiteral(afterMatch), length2)) {
                        reach(end, cur + l + 1 + length2);
                        relax(cur + l + 1 + length2, cost + lit + p, cur, Step::MatchLiteralRepeat, d, l);
                    }
                }
            }
        }
        // Walk back from the end, then code forwards.
        uint32_t at = end, steps = 0;
        while (at > 0) {
            path_[steps++] = at;
            at = nodes_[at].from;
        }
        uint32_t from = 0;
        while (steps > 0) {
            uint32_t to = path_[--steps];
            const Node& n = nodes_[to];
            uint32_t pos = position + from, length = to - from;
            switch (n.step) {
            case Step::Literal:
                encodeLiteral(pos);
                break;
            case Step::ShortRepeat:
                encodeRepeat(pos, 0, 1);
                break;
            case Step::Repeat:
                encodeRepeat(pos, n.repeatIndex, length);
                break;
            case Step::Match:
                encodeMatch(pos, n.distance, length);
                break;
            case Step::LiteralRepeat:
                encodeLiteral(pos);
                encodeRepeat(pos + 1, 0, length - 1);
                break;
            case Step::MatchLiteralRepeat:
                encodeMatch(pos, n.distance, n.matchLength);
                encodeLiteral(pos + n.matchLength);
                encodeRepeat(pos + n.matchLength + 1, 0, length - n.matchLength - 1);
                break;
            }
            ++decisionsSinceRefresh_;
            from = to;
        }
        return end;
    }

    const unsigned char* data_;
    uint32_t size_;
    RangeEncoder rc_;
    MatchFinder finder_;
    std::atomic<size_t>& consumed_;
    Model m_;
    int state_ = 0;
    uint32_t distances_[RepeatDistances] = {0, 0, 0, 0};
    std::vector<Node> nodes_;
    uint32_t path_[OptimumSpan + 2 * MaxMatchLength + 2];
    Match matches_[MaxMatchLength + 2];
    uint32_t matchLengthPrice_[PositionStates][MaxMatchLength - MinMatchLength + 1];
    uint32_t repeatLengthPrice_[PositionStates][MaxMatchLength - MinMatchLength + 1];
    uint32_t slotPrice_[LengthStatesForDistance][DistanceSlots];
    uint32_t nearDistancePrice_[LengthStatesForDistance][FullDistances];
    uint32_t alignPrice_[AlignSize];
    int decisionsSinceRefresh_ = PriceRefreshInterval;
    int matchesSinceRefresh_ = 0;
};

// Where the segments begin (and, last, the end). They are expanded side by
// side, so the expansion takes as long as the slowest segment, and a
// segment's expansion time follows its packed size far more than its
// expanded size. So the cut goes where each side is estimated to pack to
// the same size: every stretch's size as a fast token image, coded alone.
constexpr size_t EstimateStretch = size_t(1) << 20;

std::vector<size_t> segmentStarts(const unsigned char* data, size_t size, size_t count) {
    std::vector<size_t> cost;
    size_t total = 0;
    for (size_t at = 0; at < size; at += EstimateStretch) {
        size_t n = std::min(EstimateStretch, size - at);
        cost.push_back(compressImage(data + at, n, FastestCompressionLevel).size());
        total += cost.back();
    }
    std::vector<size_t> starts{0};
    size_t sum = 0;
    for (size_t i = 0; i < cost.size() && starts.size() < count; ++i) {
        sum += cost[i];
        if (sum * count >= total * starts.size()) starts.push_back(std::min(size, (i + 1) * EstimateStretch));
    }
    while (starts.size() < count) starts.push_back(size);
    starts.push_back(size);
    return starts;
}

void put32(std::vector<unsigned char>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + size_t(i)] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace

std::vector<unsigned char> compressRangeImage(const unsigned char* data, size_t size,
                                              const CompressionProgress& progress) {
    if (size > size_t(MaxExpandedLength)) throw std::length_error("more bytes than an image can hold");
    const size_t count = size >= RangeSegmentSplitSize ? 2 : 1;
    std::vector<size_t> starts = segmentStarts(data, size, count);

    std::vector<std::vector<unsigned char>> packed(count);
    std::vector<std::atomic<size_t>> consumed(count);
    std::vector<std::atomic<bool>> finished(count);
    std::vector<std::exception_ptr> failures(count);
    for (size_t i = 0; i < count; ++i) consumed[i] = 0, finished[i] = false;
    auto codeSegment = [&](size_t i) {
        try {
            auto coder = std::make_unique<SegmentCoder>(data + starts[i], uint32_t(starts[i + 1] - starts[i]),
                                                        packed[i], consumed[i]);
            coder->run();
        } catch (...) {
            failures[i] = std::current_exception();
        }
        finished[i] = true;
    };
    std::vector<std::thread> threads;
    for (size_t i = 1; i < count; ++i) threads.emplace_back(codeSegment, i);
    if (progress) {
        // The first segment on a thread of its own too, so that this one can report.
        threads.emplace_back(codeSegment, 0);
        for (;;) {
            size_t sum = 0;
            bool all = true;
            for (size_t i = 0; i < count; ++i) {
                sum += consumed[i].load(std::memory_order_relaxed);
                all = all && finished[i];
            }
            if (all) break;
            progress(sum, size);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    } else {
        codeSegment(0);
    }
    for (auto& t : threads) t.join();
    for (auto& f : failures)
        if (f) std::rethrow_exception(f);
    if (progress) progress(size, size);

    std::vector<unsigned char> image(RangeImageHeadSize + count * RangeSegmentEntrySize);
    put32(image, 0, RangeImageMagic);
    put32(image, 4, uint32_t(size));
    put32(image, 8, uint32_t(count));
    for (size_t i = 0; i < count; ++i) {
        put32(image, RangeImageHeadSize + i * RangeSegmentEntrySize, uint32_t(starts[i + 1] - starts[i]));
        put32(image, RangeImageHeadSize + i * RangeSegmentEntrySize + 4, uint32_t(packed[i].size()));
    }
    for (auto& p : packed) image.insert(image.end(), p.begin(), p.end());
    return image;
}

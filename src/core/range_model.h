// What the range image's coder and decoder share: the adaptive bit model,
// the parse state machine and the sizes of every probability table. The
// decoder (core/range_image.cpp) and the builder's coder
// (tools/qpack/range_compressor.cpp) must agree on each of these exactly.
#pragma once

#include <cstdint>

namespace range_model {

// A probability is the chance of a 0 bit in units of 1/2048; each coded bit
// moves it 1/32 of the way towards what was seen.
constexpr int ProbabilityBits = 11;
constexpr uint16_t ProbabilityOne = 1u << ProbabilityBits;
constexpr uint16_t ProbabilityHalf = ProbabilityOne / 2;
constexpr int AdaptShift = 5;
// The range is renormalised a byte at a time once it falls below this.
constexpr uint32_t RangeTop = 1u << 24;

inline void adaptAfterZero(uint16_t& p) { p = uint16_t(p + ((ProbabilityOne - p) >> AdaptShift)); }
inline void adaptAfterOne(uint16_t& p) { p = uint16_t(p - (p >> AdaptShift)); }

// The parse state remembers the kinds of the last few decisions (literal,
// match, repeated match, one-byte repeat), which predicts the next one well.
constexpr int StateCount = 12;
constexpr int FirstStateAfterCopy = 7;  // states below follow a literal
inline int stateAfterLiteral(int s) { return s < 4 ? 0 : s < 10 ? s - 3 : s - 6; }
inline int stateAfterMatch(int s) { return s < FirstStateAfterCopy ? 7 : 10; }
inline int stateAfterRepeat(int s) { return s < FirstStateAfterCopy ? 8 : 11; }
inline int stateAfterShortRepeat(int s) { return s < FirstStateAfterCopy ? 9 : 11; }

// Decisions also depend on the output position's two low bits (machine code
// and tables are laid out in 4-byte units).
constexpr int PositionBits = 2;
constexpr int PositionStates = 1 << PositionBits;
// A literal is predicted from the three high bits of the byte before it.
constexpr int LiteralContextBits = 3;
constexpr int LiteralCoderSize = 0x300;  // 8-bit tree, doubled for the match byte's guidance

constexpr int RepeatDistances = 4;

// Lengths 2 to 273: 3 bits (2-9), 3 more bits (10-17), or 8 bits (18-273).
constexpr int MinMatchLength = 2;
constexpr int LowLengthBits = 3;
constexpr int MidLengthBits = 3;
constexpr int HighLengthBits = 8;
constexpr int LowLengths = 1 << LowLengthBits;
constexpr int MidLengths = 1 << MidLengthBits;
constexpr int HighLengths = 1 << HighLengthBits;
constexpr int MaxMatchLength = MinMatchLength + LowLengths + MidLengths + HighLengths - 1;  // 273

// A distance (less one) is coded as a 6-bit slot: the top two bits of the
// number and its bit count. Slots 0-3 are the distance itself; from slot 4
// on, the bits below the top two follow: for slots below 14 through a
// small reverse tree of their own, above that as plain bits and then four
// aligned low bits through a shared reverse tree.
constexpr int DistanceSlotBits = 6;
constexpr int DistanceSlots = 1 << DistanceSlotBits;
constexpr int LengthStatesForDistance = 4;  // lengths 2, 3, 4, 5 and more
constexpr int FirstModelledSlot = 4;
constexpr int EndModelledSlot = 14;
constexpr int FullDistances = 1 << (EndModelledSlot >> 1);  // 128
constexpr int AlignBits = 4;
constexpr int AlignSize = 1 << AlignBits;

// Slots FirstModelledSlot to EndModelledSlot - 1 each have a reverse tree
// of 2^footerBits probabilities (slot / 2 - 1 footer bits), one after the
// other in Model::distanceSpecial: 2, 2, 4, 4, 8, 8, 16, 16, 32, 32.
inline int specialDistanceOffset(int slot) {
    int footerBits = (slot >> 1) - 1;
    return 2 * ((1 << footerBits) - 2) + (slot & 1) * (1 << footerBits);
}
constexpr int SpecialDistanceProbabilities = 124;

inline int lengthStateForDistance(int length) {
    int s = length - MinMatchLength;
    return s < LengthStatesForDistance - 1 ? s : LengthStatesForDistance - 1;
}

struct LengthModel {
    uint16_t choice;   // 0: low lengths
    uint16_t choice2;  // 0: mid lengths, 1: high
    uint16_t low[PositionStates][LowLengths];
    uint16_t mid[PositionStates][MidLengths];
    uint16_t high[HighLengths];
};

// Every adaptive probability of one segment, all starting at one half.
struct Model {
    uint16_t isMatch[StateCount][PositionStates];
    uint16_t isRepeat[StateCount];
    uint16_t isRepeat0[StateCount];
    uint16_t isRepeat1[StateCount];
    uint16_t isRepeat2[StateCount];
    uint16_t isRepeat0Long[StateCount][PositionStates];
    uint16_t distanceSlot[LengthStatesForDistance][DistanceSlots];
    uint16_t distanceSpecial[SpecialDistanceProbabilities];
    uint16_t align[AlignSize];
    LengthModel matchLength;
    LengthModel repeatLength;
    uint16_t literal[1 << LiteralContextBits][LiteralCoderSize];
};

inline void resetModel(Model& m) {
    uint16_t* p = reinterpret_cast<uint16_t*>(&m);
    for (unsigned i = 0; i < sizeof(Model) / sizeof(uint16_t); ++i) p[i] = ProbabilityHalf;
}

inline const uint16_t* literalCoder(const Model& m, uint8_t previousByte) {
    return m.literal[previousByte >> (8 - LiteralContextBits)];
}

}  // namespace range_model

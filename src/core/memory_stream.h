// MemoryStream: a byte block (a String) with one read/write position.
//
// Reads face bytes from a possibly damaged or crafted archive, so every read
// is bounded by the block: a read that runs past the end copies what is
// there, zero-fills the rest of the caller's value, still advances the
// position by the full count and fails. Once one read has failed, every later
// read of one or more bytes fails too. A negative position (reached through
// skip) is treated like one past the end: reads fail with zeros and writes
// do nothing, so nothing outside the block is ever touched.
//
// Values are little-endian, unaligned, untagged: 16/32-bit integers; a Date
// as day (8 bits), month (8 bits), year (16 bits); a FileDateTime as six
// 32-bit fields; a text as its bytes and one NUL.
#pragma once

#include <cstdint>

#include "core/byte_span.h"
#include "core/date_time.h"
#include "core/str.h"

class MemoryStream : public String {
public:
    MemoryStream() = default;
    explicit MemoryStream(const String& block) : String(block) {}
    explicit MemoryStream(String&& block) : String(static_cast<String&&>(block)) {}

    int position() const { return position_; }
    // Position 0 and the block freed.
    void reset();
    // Drops the bytes from the position on, if any.
    void truncateAtPosition();
    // Reads stop at end as they stop at the end of the block: for a block
    // that another thread is still filling, end is how far it is final.
    // A negative end lifts the limit.
    void limitReads(int end);
    // Where reads stop: the end of the block, or the read limit before it.
    int readEnd() const;
    bool atEnd() const { return position_ < 0 || position_ >= readEnd(); }
    // The bytes from the position to where reads stop; 0 there or past it, or at a negative position.
    int remaining() const { return atEnd() ? 0 : readEnd() - position_; }
    // Moves the position without any check; reads beyond the end then fail.
    void skip(int n) { advance(n); }
    // False (position unchanged) unless 0 <= p <= length.
    bool seek(int p);

    // n = 0 succeeds; a null buffer or n < 0 fails and touches nothing.
    bool read(void* buffer, int n);
    // Appends n bytes to s; on failure s is left exactly as it was (the
    // position still advances by n). n < 1 succeeds and reads nothing.
    bool readInto(String& s, int n);
    // Sets span to the n bytes at the position and moves past them, copying
    // nothing; fails like readInto (span left empty). The span stays valid
    // while the block is neither written nor freed.
    bool readSpan(ByteSpan& span, int n);
    // Reads up to the next NUL (and past it). Fails at the end of the block,
    // or when the block ends before a NUL (s then holds the bytes found).
    bool readText(String& s);

    // Chained value reads. They do not report success: callers check
    // atEnd(), the position, or a checksum over the block.
    MemoryStream& operator>>(uint8_t& value);
    MemoryStream& operator>>(int8_t& value);
    MemoryStream& operator>>(char& value);
    MemoryStream& operator>>(uint16_t& value);
    MemoryStream& operator>>(int16_t& value);
    MemoryStream& operator>>(uint32_t& value);
    MemoryStream& operator>>(int32_t& value);
    MemoryStream& operator>>(Date& value);
    MemoryStream& operator>>(FileDateTime& value);

    // Byte-wise writes at the position; the block grows when they pass its end.
    bool write(const void* p, int n);
    bool fill(char c, int n);
    // Copies n bytes starting at offset from of this block to the position.
    // The source must lie wholly in the block and before the position;
    // otherwise nothing is written and the result is false.
    bool copyWithin(int from, int n);

private:
    // Advances the position by n, extending the block when the new position
    // passes its length, and returns the n bytes that end there. Null (and no
    // change) when the position is negative.
    char* reserve(int n);
    uint32_t readLittleEndian(int width);
    // Adds n, saturating at the int range so a huge count cannot wrap round.
    void advance(int64_t n);

    int32_t position_ = 0;
    // Both zero while reads go to the end of the block. (A member that
    // starts at -1 here made GCC 12's link-time optimiser fail on mingw.)
    bool readsLimited_ = false;
    int32_t readLimit_ = 0;
};

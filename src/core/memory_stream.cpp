#include "core/memory_stream.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr int64_t IntMax = 2147483647;
constexpr int64_t IntMin = -IntMax - 1;

int32_t decodeInt32(const unsigned char* p) {
    return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                                uint32_t(p[3]) << 24);
}

}  // namespace

void MemoryStream::advance(int64_t n) {
    int64_t moved = position_ + n;
    position_ = static_cast<int32_t>(moved > IntMax ? IntMax : moved < IntMin ? IntMin : moved);
}

void MemoryStream::reset() {
    clear();
    position_ = 0;
    limitReads(-1);
}

void MemoryStream::truncateAtPosition() {
    if (position_ >= 0 && position_ < length()) setLength(position_);
}

void MemoryStream::limitReads(int end) {
    readsLimited_ = end >= 0;
    readLimit_ = readsLimited_ ? end : 0;
}

int MemoryStream::readEnd() const { return readsLimited_ && readLimit_ < length() ? readLimit_ : length(); }

bool MemoryStream::seek(int p) {
    if (p < 0 || p > length()) return false;
    position_ = p;
    return true;
}

bool MemoryStream::read(void* buffer, int n) {
    if (n == 0) return true;
    if (!buffer || n < 0) return false;
    char* out = static_cast<char*>(buffer);
    int available = remaining();
    if (available >= n) {
        std::memcpy(out, cStr() + position_, static_cast<size_t>(n));
        position_ += n;
        return true;
    }
    if (available > 0) std::memcpy(out, cStr() + position_, static_cast<size_t>(available));
    std::memset(out + available, 0, static_cast<size_t>(n - available));
    advance(n);
    return false;
}

bool MemoryStream::readInto(String& s, int n) {
    if (n < 1) return true;
    int available = remaining();
    if (available < n) {
        // Checked before growing s, so a crafted count cannot force a huge allocation.
        advance(n);
        return false;
    }
    char* destination = s.grow(n);
    return read(destination, n);
}

bool MemoryStream::readSpan(ByteSpan& span, int n) {
    span = ByteSpan();
    if (n < 1) return true;
    int available = remaining();
    if (available < n) {
        advance(n);
        return false;
    }
    span = ByteSpan(cStr() + position_, n);
    advance(n);
    return true;
}

bool MemoryStream::readText(String& s) {
    if (atEnd()) {
        s.clear();
        return false;
    }
    const char* start = cStr() + position_;
    const int available = remaining();
    const void* nul = std::memchr(start, 0, static_cast<size_t>(available));
    int count = nul ? static_cast<int>(static_cast<const char*>(nul) - start) : available;
    if (count > 0)
        s.assign(start, count);
    else
        s.clear();
    position_ += count;
    if (!nul) return false;
    ++position_;
    return true;
}

uint32_t MemoryStream::readLittleEndian(int width) {
    unsigned char bytes[4] = {0, 0, 0, 0};
    read(bytes, width);
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

MemoryStream& MemoryStream::operator>>(uint8_t& value) {
    value = static_cast<uint8_t>(readLittleEndian(1));
    return *this;
}

MemoryStream& MemoryStream::operator>>(int8_t& value) {
    value = static_cast<int8_t>(readLittleEndian(1));
    return *this;
}

MemoryStream& MemoryStream::operator>>(char& value) {
    value = static_cast<char>(readLittleEndian(1));
    return *this;
}

MemoryStream& MemoryStream::operator>>(uint16_t& value) {
    value = static_cast<uint16_t>(readLittleEndian(2));
    return *this;
}

MemoryStream& MemoryStream::operator>>(int16_t& value) {
    value = static_cast<int16_t>(readLittleEndian(2));
    return *this;
}

MemoryStream& MemoryStream::operator>>(uint32_t& value) {
    value = readLittleEndian(4);
    return *this;
}

MemoryStream& MemoryStream::operator>>(int32_t& value) {
    value = static_cast<int32_t>(readLittleEndian(4));
    return *this;
}

MemoryStream& MemoryStream::operator>>(Date& value) {
    unsigned char bytes[4];
    read(bytes, 4);
    // A fresh value, so a short read leaves no day number from before.
    value = Date();
    value.set(static_cast<int8_t>(bytes[1]), static_cast<int8_t>(bytes[0]),
              static_cast<int16_t>(uint16_t(bytes[2] | bytes[3] << 8)));
    return *this;
}

MemoryStream& MemoryStream::operator>>(FileDateTime& value) {
    unsigned char bytes[24];
    read(bytes, 24);
    value = FileDateTime(decodeInt32(bytes), decodeInt32(bytes + 4), decodeInt32(bytes + 8),
                         decodeInt32(bytes + 12), decodeInt32(bytes + 16), decodeInt32(bytes + 20));
    return *this;
}

char* MemoryStream::reserve(int n) {
    if (position_ < 0) return nullptr;
    int oldLength = length();
    int64_t end = static_cast<int64_t>(position_) + n;
    // Past the int range the length limit of String reports it.
    int newEnd = static_cast<int>(end > IntMax ? IntMax : end);
    if (length() < newEnd) setLength(newEnd);
    // Bytes skipped over between the old end and the position get zeros
    // rather than whatever the allocator left there.
    if (position_ > oldLength) std::memset(data() + oldLength, 0, static_cast<size_t>(position_ - oldLength));
    position_ = newEnd;
    return data() + newEnd - n;
}

bool MemoryStream::write(const void* p, int n) {
    if (n < 1 || !p || position_ < 0) return false;
    // Bytes of this very block would move if reserve reallocates it.
    uintptr_t source = reinterpret_cast<uintptr_t>(p);
    uintptr_t base = reinterpret_cast<uintptr_t>(cStr());
    if (length() > 0 && source >= base && source < base + static_cast<uintptr_t>(length())) {
        String copy(static_cast<const char*>(p), n);
        std::memcpy(reserve(n), copy.cStr(), static_cast<size_t>(n));
        return true;
    }
    std::memcpy(reserve(n), p, static_cast<size_t>(n));
    return true;
}

bool MemoryStream::fill(char c, int n) {
    if (n < 1 || position_ < 0) return false;
    std::memset(reserve(n), c, static_cast<size_t>(n));
    return true;
}

bool MemoryStream::copyWithin(int from, int n) {
    if (n < 1 || from < 0 || position_ < 0) return false;
    int64_t sourceEnd = static_cast<int64_t>(from) + n;
    if (sourceEnd > position_ || sourceEnd > length()) return false;
    char* destination = reserve(n);
    // The source ends at or before the old position, so the ranges never overlap.
    std::memcpy(destination, cStr() + from, static_cast<size_t>(n));
    return true;
}

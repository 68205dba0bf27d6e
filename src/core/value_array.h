// ValueArray: small plain values (int, handles) stored directly, with free
// room at both ends. The capacity wanted for n values is n * 3 / 2, at least
// 6, and never more than 2,048 spare values. New values read as zero.
#pragma once

#include <cstring>

#include "core/memory.h"
#include "core/vector.h"

template <class T>
class ValueArray : public Vector<T> {
    static_assert(__is_trivially_copyable(T), "ValueArray holds plain values; use Array for objects");

public:
    ValueArray() = default;
    ValueArray(const ValueArray& other) : Vector<T>() { copyFrom(other); }
    explicit ValueArray(const Collection<T>& other) { copyFrom(other); }
    ValueArray& operator=(const ValueArray& other) {
        if (this != &other) {
            clear();
            copyFrom(other);
        }
        return *this;
    }
    ~ValueArray() override { clear(); }

    int offset() const { return offset_; }
    int capacity() const { return capacity_; }

    T& at(int i) override {
        this->checkIndex(i);
        return items_[offset_ + i];
    }

    bool removeRange(int first, int last) override {
        if (!this->clampRange(first, last)) return false;
        int removed = last - first + 1;
        int behind = this->count_ - 1 - last;
        if (first < behind) {
            moveValues(offset_ + removed, offset_, first);
            offset_ += removed;
        } else {
            moveValues(offset_ + first, offset_ + last + 1, behind);
        }
        this->count_ -= removed;
        return true;
    }

    void forgetStorage() override {
        items_ = nullptr;
        offset_ = capacity_ = 0;
        this->count_ = 0;
    }

    T& insertNew(int i) override {
        if (i < 0) i = 0;
        if (i > this->count_) i = this->count_;
        if (offset_ > 0 && i <= this->count_ / 2) {
            // Room in front and fewer values to move there.
            moveValues(offset_ - 1, offset_, i);
            --offset_;
            ++this->count_;
        } else {
            int old = this->count_;
            resize(old + 1);
            moveValues(offset_ + i + 1, offset_ + i, old - i);
        }
        items_[offset_ + i] = T();
        return items_[offset_ + i];
    }

    void resize(int n) override {
        if (n <= 0) {
            clear();
            return;
        }
        int wanted = wantedCapacity(n);
        int old = this->count_;
        if (n <= capacity_ && wanted <= capacity_ - 2048) {
            // Far too much room: a smaller array.
            int start = (wanted - n) / 4;
            T* values = newValues(wanted);
            moveOut(values + start, n < old ? n : old);
            replaceStorage(values, start, wanted);
        } else {
            if (n > capacity_) {
                items_ = static_cast<T*>(reallocateBytes(items_, byteCount(wanted)));
                capacity_ = wanted;
            }
            if (offset_ + n > capacity_) {
                int start = (capacity_ - n) / 4;
                moveValues(start, offset_, n < old ? n : old);
                offset_ = start;
            }
        }
        for (int k = old; k < n; ++k) items_[offset_ + k] = T();
        this->count_ = n;
    }

    // Keeps no contents: n zero values.
    void reallocate(int n) override {
        if (n <= 0) {
            clear();
            return;
        }
        if (n > capacity_) {
            int capacity = checkedCapacity(n < 3 ? 6 : 2 * int64_t(n));
            freeBytes(items_);
            items_ = newValues(capacity);
            capacity_ = capacity;
            offset_ = capacity / 4;
        } else {
            offset_ = (capacity_ - n) / 2;
        }
        this->count_ = n;
        for (int k = 0; k < n; ++k) items_[offset_ + k] = T();
    }

    bool swap(int i, int j) override {
        if (!this->valueAt(i) || !this->valueAt(j)) return false;
        T kept = items_[offset_ + i];
        items_[offset_ + i] = items_[offset_ + j];
        items_[offset_ + j] = kept;
        return true;
    }

    void clear() override {
        freeBytes(items_);
        forgetStorage();
    }

    // The first r values go to the room behind the last when they fit there.
    bool rotateForward(int n) override {
        if (this->count_ < 2 || n == 0) return false;
        if (n < 0) return rotateBackward(this->reversedRotation(n));
        int r = n % this->count_;
        if (r <= capacity_ - offset_ - this->count_) {
            moveValues(offset_ + this->count_, offset_, r);
            offset_ += r;
        } else {
            rebuildRotated(r);
        }
        return true;
    }

    // The last r values go to the room in front when they fit there.
    bool rotateBackward(int n) override {
        if (this->count_ < 2 || n == 0) return false;
        if (n < 0) return rotateForward(this->reversedRotation(n));
        int r = n % this->count_;
        if (r <= offset_) {
            moveValues(offset_ - r, offset_ + this->count_ - r, r);
            offset_ -= r;
        } else {
            rebuildRotated(this->count_ - r);
        }
        return true;
    }

private:
    static int wantedCapacity(int n) {
        int64_t wanted = int64_t(n) * 3 / 2;
        if (wanted < 6) wanted = 6;
        if (wanted > 2048) wanted = int64_t(n) + 2048;
        return checkedCapacity(wanted);
    }

    // A capacity whose bytes the address space can hold; anything larger
    // is reported as the allocation failure it would be.
    static int checkedCapacity(int64_t capacity) {
        unsigned long long bytes = static_cast<unsigned long long>(capacity) * sizeof(T);
        if (capacity > 0x7FFFFFFF || bytes > static_cast<size_t>(-1) / 2) outOfMemoryHandler(bytes);
        return static_cast<int>(capacity);
    }

    static size_t byteCount(int capacity) { return static_cast<size_t>(capacity) * sizeof(T); }

    static T* newValues(int capacity) { return static_cast<T*>(allocateBytes(byteCount(capacity))); }

    void moveValues(int to, int from, int n) {
        if (n > 0) std::memmove(items_ + to, items_ + from, static_cast<size_t>(n) * sizeof(T));
    }

    void moveOut(T* to, int n) {
        if (n > 0) std::memcpy(to, items_ + offset_, static_cast<size_t>(n) * sizeof(T));
    }

    void replaceStorage(T* values, int offset, int capacity) {
        freeBytes(items_);
        items_ = values;
        offset_ = offset;
        capacity_ = capacity;
    }

    // A new array of twice the count, from a quarter in, holding values
    // r..count-1 followed by 0..r-1.
    void rebuildRotated(int r) {
        int n = this->count_;
        int capacity = checkedCapacity(2 * int64_t(n));
        int start = capacity / 4;
        T* values = newValues(capacity);
        std::memcpy(values + start, items_ + offset_ + r, static_cast<size_t>(n - r) * sizeof(T));
        std::memcpy(values + start + n - r, items_ + offset_, static_cast<size_t>(r) * sizeof(T));
        replaceStorage(values, start, capacity);
    }

    void copyFrom(const Collection<T>& other) {
        int n = other.count();
        if (n <= 0) return;
        capacity_ = wantedCapacity(n);
        offset_ = (capacity_ - n) / 4;
        items_ = newValues(capacity_);
        Iterator it;
        const T* value = other.first(it);
        for (; this->count_ < n && value; value = other.next(it)) items_[offset_ + this->count_++] = *value;
    }

    T* items_ = nullptr;
    int32_t offset_ = 0;
    int32_t capacity_ = 0;
};

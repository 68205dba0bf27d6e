// Array: a slot array of pointers to separately allocated elements, with
// free slots kept at both ends. Adding or removing at either end rarely moves
// pointers and never copies elements, and elements never move in memory, so
// a reference from at() stays valid while other elements come and go.
//
// Slot management: holding n elements needs no new slot array while
// n <= capacity, unless n > 500 and below a quarter of the capacity; when the
// used slots would pass the end they are centred instead. A new slot array
// has n + n / 2 slots with the elements starting at slot (n / 2) / 2.
#pragma once

#include <cstring>

#include "core/memory.h"
#include "core/quick_sort.h"
#include "core/vector.h"

template <class T>
class Array : public Vector<T> {
public:
    // Receives pointers to two slots; negative, 0 or positive.
    using SlotCompare = int (*)(T* const* a, T* const* b);

    Array() = default;
    Array(const Array& other) : Vector<T>() { copyFrom(other); }
    explicit Array(const Collection<T>& other) { copyFrom(other); }
    Array& operator=(const Array& other) {
        if (this != &other) {
            Array copy(other);
            exchangeStorage(copy);
        }
        return *this;
    }
    ~Array() override { clear(); }

    int offset() const { return offset_; }
    int capacity() const { return capacity_; }

    T& at(int i) override {
        this->checkIndex(i);
        return *items_[offset_ + i];
    }

    bool removeRange(int first, int last) override {
        if (!this->clampRange(first, last)) return false;
        for (int k = first; k <= last; ++k) delete items_[offset_ + k];
        int removed = last - first + 1;
        int behind = this->count_ - 1 - last;
        // Closes the gap from the side with fewer slots to move.
        if (first < behind) {
            moveSlots(offset_ + removed, offset_, first);
            offset_ += removed;
        } else {
            moveSlots(offset_ + first, offset_ + last + 1, behind);
        }
        this->count_ -= removed;
        reserve(this->count_);
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
        if (this->count_ < capacity_) {
            if (offset_ <= (capacity_ - this->count_) / 2) {
                moveSlots(offset_ + i + 1, offset_ + i, this->count_ - i);
            } else {
                moveSlots(offset_ - 1, offset_, i);
                --offset_;
            }
            items_[offset_ + i] = new T();
            ++this->count_;
        } else {
            this->appendNew();
            T* added = items_[offset_ + this->count_ - 1];
            moveSlots(offset_ + i + 1, offset_ + i, this->count_ - 1 - i);
            items_[offset_ + i] = added;
        }
        return *items_[offset_ + i];
    }

    void resize(int n) override {
        if (n <= 0) {
            clear();
            return;
        }
        if (n < this->count_) {
            for (int k = n; k < this->count_; ++k) delete items_[offset_ + k];
            this->count_ = n;
            reserve(n);
        } else if (n > this->count_) {
            reserve(n);
            for (int k = this->count_; k < n; ++k) items_[offset_ + k] = new T();
            this->count_ = n;
        }
    }

    void reallocate(int n) override { resize(n); }

    bool swap(int i, int j) override {
        if (!this->valueAt(i) || !this->valueAt(j)) return false;
        T* kept = items_[offset_ + i];
        items_[offset_ + i] = items_[offset_ + j];
        items_[offset_ + j] = kept;
        return true;
    }

    void clear() override {
        for (int k = 0; k < this->count_; ++k) delete items_[offset_ + k];
        freeBytes(items_);
        forgetStorage();
    }

    // Into a new slot array of count + count / 2 slots, from slot count / 4.
    bool rotateForward(int n) override {
        if (this->count_ < 2 || n == 0) return false;
        if (n < 0) return rotateBackward(this->reversedRotation(n));
        rebuildRotated(n % this->count_);
        return true;
    }

    bool rotateBackward(int n) override {
        if (this->count_ < 2 || n == 0) return false;
        if (n < 0) return rotateForward(this->reversedRotation(n));
        rebuildRotated((this->count_ - n % this->count_) % this->count_);
        return true;
    }

    // Sorts the slot pointers in place; the elements themselves stay put.
    void sort(SlotCompare compare) {
        if (!compare || this->count_ < 2) return;
        quickSort(items_ + offset_, this->count_, sizeof(T*), compareSlots, &compare);
    }

private:
    static int compareSlots(const void* a, const void* b, void* context) {
        SlotCompare compare = *static_cast<SlotCompare*>(context);
        return compare(static_cast<T* const*>(a), static_cast<T* const*>(b));
    }

    // Slot counts whose bytes the address space cannot hold are reported as
    // the allocation failure they would be.
    static T** newSlots(int64_t capacity) {
        unsigned long long bytes = static_cast<unsigned long long>(capacity) * sizeof(T*);
        if (capacity > 0x7FFFFFFF || bytes > static_cast<size_t>(-1) / 2) outOfMemoryHandler(bytes);
        return static_cast<T**>(allocateBytes(static_cast<size_t>(bytes)));
    }

    void moveSlots(int to, int from, int n) {
        if (n > 0) std::memmove(items_ + to, items_ + from, static_cast<size_t>(n) * sizeof(T*));
    }

    void reserve(int n) {
        if (n <= capacity_ && (n <= 500 || n >= capacity_ / 4)) {
            if (offset_ + n <= capacity_) return;
            int centred = (capacity_ - n) / 2;
            moveSlots(centred, offset_, this->count_);
            offset_ = centred;
            return;
        }
        int64_t grown = int64_t(n) + n / 2;
        T** slots = newSlots(grown);
        int start = (n / 2) / 2;
        int kept = this->count_ < n ? this->count_ : n;
        if (kept > 0) std::memcpy(slots + start, items_ + offset_, static_cast<size_t>(kept) * sizeof(T*));
        freeBytes(items_);
        items_ = slots;
        offset_ = start;
        capacity_ = static_cast<int>(grown);
    }

    // The slots r..count-1 followed by 0..r-1.
    void rebuildRotated(int r) {
        int n = this->count_;
        int64_t capacity = int64_t(n) + n / 2;
        int start = n / 4;
        T** slots = newSlots(capacity);
        std::memcpy(slots + start, items_ + offset_ + r, static_cast<size_t>(n - r) * sizeof(T*));
        std::memcpy(slots + start + n - r, items_ + offset_, static_cast<size_t>(r) * sizeof(T*));
        freeBytes(items_);
        items_ = slots;
        offset_ = start;
        capacity_ = static_cast<int>(capacity);
    }

    void copyFrom(const Collection<T>& other) {
        int n = other.count();
        if (n <= 0) return;
        items_ = newSlots(int64_t(n) + n / 2);
        capacity_ = n + n / 2;
        offset_ = (n / 2) / 2;
        Iterator it;
        const T* value = other.first(it);
        for (; this->count_ < n && value; value = other.next(it)) items_[offset_ + this->count_++] = new T(*value);
    }

    void exchangeStorage(Array& other) {
        T** items = items_;
        int offset = offset_, capacity = capacity_, count = this->count_;
        items_ = other.items_;
        offset_ = other.offset_;
        capacity_ = other.capacity_;
        this->count_ = other.count_;
        other.items_ = items;
        other.offset_ = offset;
        other.capacity_ = capacity;
        other.count_ = count;
    }

    int32_t offset_ = 0;
    int32_t capacity_ = 0;
    T** items_ = nullptr;
};

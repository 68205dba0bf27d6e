// InlineArray: count objects side by side in one block, which records the
// element count in front of the elements. Meant for tables whose size is set
// once; every change of size builds a new block and moves the elements over.
#pragma once

#include <cstdint>
#include <new>

#include "core/memory.h"
#include "core/vector.h"

template <class T>
class InlineArray : public Vector<T> {
public:
    InlineArray() = default;
    InlineArray(const InlineArray& other) : Vector<T>() { copyFrom(other); }
    explicit InlineArray(const Collection<T>& other) { copyFrom(other); }
    InlineArray& operator=(const InlineArray& other) {
        if (this != &other) {
            clear();
            copyFrom(other);
        }
        return *this;
    }
    ~InlineArray() override { clear(); }

    T& at(int i) override {
        this->checkIndex(i);
        return items_[i];
    }

    bool removeRange(int first, int last) override {
        if (!this->clampRange(first, last)) return false;
        int removed = last - first + 1;
        int left = this->count_ - removed;
        if (left == 0) {
            clear();
            return true;
        }
        T* items = newElements(left);
        moveElements(items, 0, first);
        moveElements(items + first, last + 1, left - first);
        replace(items, left);
        return true;
    }

    void forgetStorage() override {
        items_ = nullptr;
        this->count_ = 0;
    }

    T& insertNew(int i) override {
        if (i < 0) i = 0;
        if (i > this->count_) i = this->count_;
        T* items = newElements(this->count_ + 1);
        moveElements(items, 0, i);
        moveElements(items + i + 1, i, this->count_ - i);
        replace(items, this->count_ + 1);
        return items_[i];
    }

    void resize(int n) override {
        if (n <= 0) {
            clear();
            return;
        }
        if (n == this->count_) return;
        T* items = newElements(n);
        moveElements(items, 0, n < this->count_ ? n : this->count_);
        replace(items, n);
    }

    // Destroys every element and puts n default-constructed ones in their place.
    void reallocate(int n) override {
        clear();
        if (n <= 0) return;
        items_ = newElements(n);
        this->count_ = n;
    }

    bool swap(int i, int j) override {
        if (!this->valueAt(i) || !this->valueAt(j)) return false;
        if (i == j) return true;
        T kept(static_cast<T&&>(items_[i]));
        items_[i] = static_cast<T&&>(items_[j]);
        items_[j] = static_cast<T&&>(kept);
        return true;
    }

    void clear() override {
        deleteElements(items_);
        forgetStorage();
    }

private:
    // Room for the count in front, keeping the elements aligned.
    static constexpr size_t Header = alignof(T) < sizeof(int64_t) ? sizeof(int64_t) : alignof(T);

    // Sizes are checked here rather than left to an array new: a count from a
    // damaged archive ends in the out-of-memory report, never in a wrapped size.
    static T* newElements(int n) {
        unsigned long long bytes = static_cast<unsigned long long>(n) * sizeof(T) + Header;
        if (bytes > static_cast<size_t>(-1) / 2) outOfMemoryHandler(bytes);
        char* block = static_cast<char*>(allocateBytes(static_cast<size_t>(bytes)));
        *reinterpret_cast<int32_t*>(block) = n;
        T* items = reinterpret_cast<T*>(block + Header);
        for (int k = 0; k < n; ++k) new (items + k) T();
        return items;
    }

    static void deleteElements(T* items) {
        if (!items) return;
        char* block = reinterpret_cast<char*>(items) - Header;
        int n = *reinterpret_cast<int32_t*>(block);
        for (int k = 0; k < n; ++k) items[k].~T();
        freeBytes(block);
    }

    void moveElements(T* to, int from, int n) {
        for (int k = 0; k < n; ++k) to[k] = static_cast<T&&>(items_[from + k]);
    }

    void replace(T* items, int count) {
        deleteElements(items_);
        items_ = items;
        this->count_ = count;
    }

    void copyFrom(const Collection<T>& other) {
        int n = other.count();
        if (n <= 0) return;
        items_ = newElements(n);
        this->count_ = n;
        Iterator it;
        const T* value = other.first(it);
        for (int k = 0; k < n && value; ++k, value = other.next(it)) items_[k] = *value;
    }

    T* items_ = nullptr;
};

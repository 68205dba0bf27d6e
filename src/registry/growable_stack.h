// A last-in, first-out store for the registry module's key and path stacks
// and for the names a key enumeration collects. Elements are owned copies.
#pragma once

#include "core/fatal.h"

template <class T>
class GrowableStack {
public:
    GrowableStack() = default;
    GrowableStack(const GrowableStack&) = delete;
    GrowableStack& operator=(const GrowableStack&) = delete;
    ~GrowableStack() { delete[] items_; }

    int count() const { return count_; }
    const T& at(int i) const { return items_[i]; }

    void push(const T& item) {
        if (count_ == capacity_) {
            int capacity = capacity_ ? capacity_ * 2 : 8;
            T* items = new T[capacity];
            for (int i = 0; i < count_; ++i) items[i] = static_cast<T&&>(items_[i]);
            delete[] items_;
            items_ = items;
            capacity_ = capacity;
        }
        items_[count_++] = item;
    }

    // Popping an empty stack is a programming error, reported with typeName.
    T pop(const char* typeName) {
        if (count_ == 0) reportFatalError("Stack<%s>::pop", typeName);
        return static_cast<T&&>(items_[--count_]);
    }

private:
    T* items_ = nullptr;
    int count_ = 0;
    int capacity_ = 0;
};

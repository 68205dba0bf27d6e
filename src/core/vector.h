// Vector: indexed storage behind the Collection interface. Index 0 is the
// head, count - 1 the tail; iterators hold indexes, -1 meaning none.
//
// at() and element() on a bad index are programming errors that end the
// process; valueAt() is the checked access that returns null instead, and
// every walking operation goes through it.
#pragma once

#include "core/collection.h"
#include "core/fatal.h"
#include "core/type_name.h"

template <class T>
class Vector : public Collection<T> {
public:
    // ---- walking ----------------------------------------------------------

    bool beginForward(Iterator& it) const override {
        it.current = it.previous = -1;
        it.next = this->count_ > 0 ? 0 : -1;
        return this->count_ > 0;
    }

    bool beginBackward(Iterator& it) const override {
        it.current = it.next = -1;
        it.previous = this->count_ - 1;
        return this->count_ > 0;
    }

    T* first(Iterator& it) const override {
        it.current = this->count_ > 0 ? 0 : -1;
        it.next = this->count_ > 1 ? 1 : -1;
        it.previous = -1;
        return valueAt(0);
    }

    T* next(Iterator& it) const override {
        it.previous = it.current;
        it.current = it.next;
        it.next = (it.current >= 0 && it.current + 1 < this->count_) ? it.current + 1 : -1;
        return valueAt(it.current);
    }

    T* last(Iterator& it) const override {
        it.current = this->count_ - 1;
        it.previous = this->count_ - 2 >= 0 ? this->count_ - 2 : -1;
        it.next = -1;
        return valueAt(this->count_ - 1);
    }

    T* previous(Iterator& it) const override {
        it.next = it.current;
        it.current = it.previous;
        it.previous = it.current > 0 ? it.current - 1 : -1;
        return valueAt(it.current);
    }

    T* headValue() const override { return valueAt(0); }
    T* tailValue() const override { return valueAt(this->count_ - 1); }
    T* currentValue(const Iterator& it) const override { return valueAt(it.current); }
    T* nextValue(const Iterator& it) const override { return valueAt(it.next); }
    T* previousValue(const Iterator& it) const override { return valueAt(it.previous); }

    // ---- adding -----------------------------------------------------------
    // Values are copied before the storage changes: the caller's value may
    // be an element of this very vector.

    T* append(const T& value) override {
        T copy(value);
        T& added = appendNew();
        added = static_cast<T&&>(copy);
        return &added;
    }

    T* appendFrom(const T* value) override { return value ? append(*value) : &appendNew(); }

    void appendAll(const Collection<T>& other) override {
        Iterator it;
        const T* value = other.first(it);
        for (int n = other.count(); n > 0 && value; --n, value = other.next(it)) appendFrom(value);
    }

    T* prepend(const T& value) override { return &insertAt(0, value); }

    T* prependFrom(const T* value) override { return value ? prepend(*value) : &insertNew(0); }

    void prependAll(const Collection<T>& other) override {
        int n = other.count();
        if (&other == this) {
            // Each insertion at the front shifts the rest, so the next value
            // to copy is always found at the old last index.
            for (int k = 0; k < n; ++k) prependFrom(valueAt(n - 1));
            return;
        }
        Iterator it;
        const T* value = other.last(it);
        for (; n > 0 && value; --n, value = other.previous(it)) prependFrom(value);
    }

    // ---- removing ---------------------------------------------------------

    bool removeCurrent(Iterator& it) override {
        if (!valueAt(it.current)) return false;
        removeAt(static_cast<int>(it.current));
        // The following element now has the removed index: next() goes on there.
        it.next = it.current;
        it.current = -1;
        return true;
    }

    int removeFirstN(int n) override {
        int k = n < this->count_ ? n : this->count_;
        if (k <= 0) return 0;
        removeRange(0, k - 1);
        return k;
    }

    bool removeHead() override { return removeRange(0, 0); }

    int removeLastN(int n) override {
        int k = n < this->count_ ? n : this->count_;
        if (k <= 0) return 0;
        removeRange(this->count_ - k, this->count_ - 1);
        return k;
    }

    bool removeTail() override { return removeRange(this->count_ - 1, this->count_ - 1); }

    void truncate(int n) override {
        if (n <= 0)
            this->clear();
        else if (this->count_ > n)
            removeRange(n, this->count_ - 1);
    }

    T popHead() override { return takeAt(0); }
    T popTail() override { return takeAt(this->count_ - 1); }

    T takeCurrent(Iterator& it) override {
        T* value = valueAt(it.current);
        if (!value) {
            it.current = -1;
            return T();
        }
        T copy(*value);
        removeCurrent(it);
        return copy;
    }

    // By reversals of exchanged elements; storage with spare room overrides.
    bool rotateForward(int n) override {
        if (this->count_ < 2 || n == 0) return false;
        if (n < 0) return rotateBackward(this->reversedRotation(n));
        int r = n % this->count_;
        reverse(0, r - 1);
        reverse(r, this->count_ - 1);
        reverse(0, this->count_ - 1);
        return true;
    }

    bool rotateBackward(int n) override {
        if (this->count_ < 2 || n == 0) return false;
        if (n < 0) return rotateForward(this->reversedRotation(n));
        return rotateForward(this->count_ - n % this->count_);
    }

    // ---- indexed operations -----------------------------------------------

    virtual T& at(int i) = 0;
    // first is raised to 0 and last lowered to count - 1; false when the
    // range is then empty. Destroys the elements and closes the gap.
    virtual bool removeRange(int first, int last) = 0;
    virtual bool removeAt(int i) { return removeRange(i, i); }

    virtual void ensureCount(int n) {
        if (this->count_ < n) resize(n);
    }

    virtual T& appendNew() {
        resize(this->count_ + 1);
        return at(this->count_ - 1);
    }

    // Zeroes the storage fields without freeing anything.
    virtual void forgetStorage() = 0;

    virtual T& insertAt(int i, const T& value) {
        T copy(value);
        T& added = insertNew(i);
        added = static_cast<T&&>(copy);
        return added;
    }

    virtual T& insertAtFrom(int i, T value) {
        T& added = insertNew(i);
        added = static_cast<T&&>(value);
        return added;
    }

    // i is clamped to 0..count; the new element is default-constructed.
    virtual T& insertNew(int i) = 0;

    virtual const T& element(int i) const { return const_cast<Vector*>(this)->at(i); }

    // A copy of element i, which is removed; a default value out of range.
    virtual T takeAt(int i) {
        T* value = valueAt(i);
        if (!value) return T();
        T copy(*value);
        removeAt(i);
        return copy;
    }

    // n <= 0 clears; new elements are default-constructed.
    virtual void resize(int n) = 0;

    // Element from goes to position to; those in between move one place
    // towards the front. Bounds are clamped; nothing when from >= to.
    virtual void moveDown(int from, int to) {
        if (from < 0) from = 0;
        if (to > this->count_ - 1) to = this->count_ - 1;
        for (int k = from; k < to; ++k) swap(k, k + 1);
    }

    // Element to goes to position from; those in between move one place
    // towards the back.
    virtual void moveUp(int from, int to) {
        if (from < 0) from = 0;
        if (to > this->count_ - 1) to = this->count_ - 1;
        for (int k = to; k > from; --k) swap(k - 1, k);
    }

    virtual void reallocate(int n) = 0;
    // False when either index is out of range.
    virtual bool swap(int i, int j) = 0;

    virtual void checkIndex(int i) const {
        if (i < 0 || i >= this->count_)
            reportFatalError("Vector<%s>[%d]\nmax_index = %d", typeName<T>().cStr(), i, this->count_ - 1);
    }

    // Null when i is outside 0..count - 1.
    T* valueAt(intptr_t i) const {
        if (i < 0 || i >= this->count_) return nullptr;
        return &const_cast<Vector*>(this)->at(static_cast<int>(i));
    }

protected:
    Vector() = default;
    Vector(const Vector&) = default;
    Vector& operator=(const Vector&) = default;

    // Clamps a removal range; false when nothing is left of it.
    bool clampRange(int& first, int& last) const {
        if (first < 0) first = 0;
        if (last > this->count_ - 1) last = this->count_ - 1;
        return first <= last;
    }

private:
    void reverse(int first, int last) {
        for (; first < last; ++first, --last) swap(first, last);
    }
};

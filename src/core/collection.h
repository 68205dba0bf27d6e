// The one interface of every container: walk, fill and empty a collection
// without knowing its storage. Containers own copies of their elements;
// removing destroys the element, and the pop and take operations hand out
// copies made before that.
#pragma once

#include <cstdint>

// The caller's walking position: current, next and previous element. Linked
// storage keeps node addresses here, indexed storage indexes (-1 for none).
// It stays valid while the collection changes only through removals that
// take this iterator.
struct Iterator {
    intptr_t current = 0;
    intptr_t next = 0;
    intptr_t previous = 0;
};

template <class T>
class Collection {
public:
    virtual ~Collection() = default;

    // Walking. Results point to values inside the collection; null when
    // there is no such element.
    virtual bool beginForward(Iterator& it) const = 0;
    virtual bool beginBackward(Iterator& it) const = 0;
    virtual T* first(Iterator& it) const = 0;
    virtual T* next(Iterator& it) const = 0;
    virtual T* last(Iterator& it) const = 0;
    virtual T* previous(Iterator& it) const = 0;
    virtual T* headValue() const = 0;
    virtual T* tailValue() const = 0;
    virtual T* currentValue(const Iterator& it) const = 0;
    virtual T* nextValue(const Iterator& it) const = 0;
    virtual T* previousValue(const Iterator& it) const = 0;

    // Adding copies. The From forms copy the pointed-to value when there is
    // one and otherwise add a default value; the All forms keep the other
    // collection's order (and work when it is this collection).
    virtual T* append(const T& value) = 0;
    virtual T* appendFrom(const T* value) = 0;
    virtual void appendAll(const Collection& other) = 0;
    virtual T* prepend(const T& value) = 0;
    virtual T* prependFrom(const T* value) = 0;
    virtual void prependAll(const Collection& other) = 0;

    // Removing. Counts below 1 remove nothing; too large counts are cut.
    virtual void clear() = 0;
    virtual bool removeCurrent(Iterator& it) = 0;
    virtual int removeFirstN(int n) = 0;
    virtual bool removeHead() = 0;
    virtual int removeLastN(int n) = 0;
    virtual bool removeTail() = 0;
    // Keeps the first n elements; n <= 0 clears.
    virtual void truncate(int n) = 0;
    // Default values when there is nothing to take.
    virtual T popHead() = 0;
    virtual T popTail() = 0;
    virtual T takeCurrent(Iterator& it) = 0;

    // Moves the head to the tail n times (modulo the count); a negative n
    // rotates the other way. False, doing nothing, for n = 0 or fewer than
    // two elements.
    virtual bool rotateForward(int n) = 0;
    virtual bool rotateBackward(int n) = 0;

    int count() const { return count_; }
    bool isEmpty() const { return count_ == 0; }

protected:
    Collection() = default;
    Collection(const Collection&) = default;
    Collection& operator=(const Collection&) = default;

    // A rotation by -n as a rotation the other way by a count in 1..count
    // (rotating by the count itself changes nothing), without negating
    // the smallest int.
    int reversedRotation(int n) const {
        int rest = -(n % count_);
        return rest == 0 ? count_ : rest;
    }

    int32_t count_ = 0;
};

// Walks a collection from outside: advance() after a forward start yields
// the head first, retreat() after a backward start the tail first.
template <class T>
class Cursor {
public:
    explicit Cursor(const Collection<T>* collection, bool backward = false) : collection_(collection) {
        if (!collection_) return;
        if (backward)
            collection_->beginBackward(iterator_);
        else
            collection_->beginForward(iterator_);
    }

    bool advance() {
        if (!collection_) return false;
        value_ = collection_->next(iterator_);
        return value_ != nullptr;
    }

    bool retreat() {
        if (!collection_) return false;
        value_ = collection_->previous(iterator_);
        return value_ != nullptr;
    }

    // Null before the first step and after the last.
    T* value() const { return value_; }
    Iterator& iterator() { return iterator_; }

private:
    const Collection<T>* collection_;
    Iterator iterator_;
    T* value_ = nullptr;
};

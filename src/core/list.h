// List: linked storage, one separately allocated node per element; and
// Stack, a List that pushes and pops at the tail.
#pragma once

#include "core/collection.h"
#include "core/fatal.h"
#include "core/type_name.h"

template <class T>
class List : public Collection<T> {
public:
    List() = default;
    List(const List& other) : Collection<T>() { appendAll(other); }
    List(List&& other) noexcept : Collection<T>() { takeNodes(other); }
    List& operator=(const List& other) {
        if (this != &other) {
            clear();
            appendAll(other);
        }
        return *this;
    }
    List& operator=(List&& other) noexcept {
        if (this != &other) {
            clear();
            takeNodes(other);
        }
        return *this;
    }
    ~List() override { clear(); }

    bool beginForward(Iterator& it) const override {
        it.current = it.previous = 0;
        it.next = handle(head_);
        return this->count_ > 0;
    }

    bool beginBackward(Iterator& it) const override {
        it.current = it.next = 0;
        it.previous = handle(tail_);
        return this->count_ > 0;
    }

    T* first(Iterator& it) const override {
        it.current = handle(head_);
        it.next = head_ ? handle(head_->next) : 0;
        it.previous = 0;
        return valueOf(head_);
    }

    T* next(Iterator& it) const override {
        Node* node = nodeOf(it.next);
        it.previous = it.current;
        it.current = it.next;
        it.next = node ? handle(node->next) : 0;
        return valueOf(node);
    }

    T* last(Iterator& it) const override {
        it.current = handle(tail_);
        it.previous = tail_ ? handle(tail_->previous) : 0;
        it.next = 0;
        return valueOf(tail_);
    }

    T* previous(Iterator& it) const override {
        Node* node = nodeOf(it.previous);
        it.next = it.current;
        it.current = it.previous;
        it.previous = node ? handle(node->previous) : 0;
        return valueOf(node);
    }

    T* headValue() const override { return valueOf(head_); }
    T* tailValue() const override { return valueOf(tail_); }
    T* currentValue(const Iterator& it) const override { return valueOf(nodeOf(it.current)); }
    T* nextValue(const Iterator& it) const override { return valueOf(nodeOf(it.next)); }
    T* previousValue(const Iterator& it) const override { return valueOf(nodeOf(it.previous)); }

    T* append(const T& value) override { return &linkAtTail(new Node{nullptr, nullptr, value})->value; }
    T* appendFrom(const T* value) override { return value ? append(*value) : append(T()); }
    void appendAll(const Collection<T>& other) override {
        // Counted, so appending a list to itself ends after its old elements.
        Iterator it;
        const T* value = other.first(it);
        for (int n = other.count(); n > 0 && value; --n, value = other.next(it)) appendFrom(value);
    }

    T* prepend(const T& value) override { return &linkAtHead(new Node{nullptr, nullptr, value})->value; }
    T* prependFrom(const T* value) override { return value ? prepend(*value) : prepend(T()); }
    void prependAll(const Collection<T>& other) override {
        Iterator it;
        const T* value = other.last(it);
        for (int n = other.count(); n > 0 && value; --n, value = other.previous(it)) prependFrom(value);
    }

    void clear() override {
        while (head_) unlink(head_);
    }

    bool removeCurrent(Iterator& it) override {
        Node* node = nodeOf(it.current);
        if (!node) return false;
        unlink(node);
        it.current = 0;
        return true;
    }

    int removeFirstN(int n) override {
        int removed = 0;
        for (; removed < n && head_; ++removed) unlink(head_);
        return removed;
    }

    bool removeHead() override { return removeFirstN(1) == 1; }

    int removeLastN(int n) override {
        int removed = 0;
        for (; removed < n && tail_; ++removed) unlink(tail_);
        return removed;
    }

    bool removeTail() override { return removeLastN(1) == 1; }

    void truncate(int n) override {
        if (n <= 0) {
            clear();
            return;
        }
        while (this->count_ > n) unlink(tail_);
    }

    T popHead() override { return take(head_); }
    T popTail() override { return take(tail_); }

    T takeCurrent(Iterator& it) override {
        Node* node = nodeOf(it.current);
        it.current = 0;
        return take(node);
    }

    bool rotateForward(int n) override {
        if (this->count_ < 2 || n == 0) return false;
        if (n < 0) return rotateBackward(this->reversedRotation(n));
        for (int moves = n % this->count_; moves > 0; --moves) linkAtTail(detach(head_));
        return true;
    }

    bool rotateBackward(int n) override {
        if (this->count_ < 2 || n == 0) return false;
        if (n < 0) return rotateForward(this->reversedRotation(n));
        for (int moves = n % this->count_; moves > 0; --moves) linkAtHead(detach(tail_));
        return true;
    }

private:
    struct Node {
        Node* previous;
        Node* next;
        T value;
    };

    static Node* nodeOf(intptr_t handle) { return reinterpret_cast<Node*>(handle); }
    static intptr_t handle(Node* node) { return reinterpret_cast<intptr_t>(node); }
    static T* valueOf(Node* node) { return node ? &node->value : nullptr; }

    Node* linkAtTail(Node* node) {
        node->previous = tail_;
        node->next = nullptr;
        if (tail_)
            tail_->next = node;
        else
            head_ = node;
        tail_ = node;
        ++this->count_;
        return node;
    }

    Node* linkAtHead(Node* node) {
        node->previous = nullptr;
        node->next = head_;
        if (head_)
            head_->previous = node;
        else
            tail_ = node;
        head_ = node;
        ++this->count_;
        return node;
    }

    Node* detach(Node* node) {
        (node->previous ? node->previous->next : head_) = node->next;
        (node->next ? node->next->previous : tail_) = node->previous;
        --this->count_;
        return node;
    }

    void unlink(Node* node) { delete detach(node); }

    T take(Node* node) {
        if (!node) return T();
        T value(node->value);
        unlink(node);
        return value;
    }

    void takeNodes(List& other) {
        head_ = other.head_;
        tail_ = other.tail_;
        this->count_ = other.count_;
        other.head_ = other.tail_ = nullptr;
        other.count_ = 0;
    }

    Node* head_ = nullptr;
    Node* tail_ = nullptr;
};

template <class T>
class Stack : public List<T> {
public:
    void push(const T& value) { this->append(value); }

    // Popping an empty stack is a programming error that ends the process.
    T pop() {
        if (this->count_ <= 0) reportFatalError("Stack<%s>::pop", typeName<T>().cStr());
        return this->popTail();
    }
};

// HashMap: String keys to bool values. Entries live in List buckets chosen by
// the key's checksum and are also chained in insertion order, so the map is
// walked (and emptied) in the order the keys were added. Keys compare
// byte-wise and case-sensitively; callers upper-case them for a map that
// ignores case.
#pragma once

#include "core/collection.h"
#include "core/inline_array.h"
#include "core/list.h"
#include "core/str.h"

template <class V, class K>
struct Bucket {
    K key;
    // The bucket list that holds this entry.
    List<Bucket>* bucket = nullptr;
    // Insertion order.
    Bucket* next = nullptr;
    Bucket* previous = nullptr;
    V value = V();
};

class HashMap : public Collection<bool> {
public:
    using Entry = Bucket<bool, String>;

    HashMap() = default;
    // Entries point into their bucket lists: a map is never copied.
    HashMap(const HashMap&) = delete;
    HashMap& operator=(const HashMap&) = delete;
    ~HashMap() override = default;

    int bucketCount() const { return bucketCount_; }
    // Drops every entry and makes n empty buckets (n below 0 counts as 0).
    void setBucketCount(int n);
    // True when key was new and is now stored with value. False when it was
    // there already (its value is replaced) or when there are no buckets.
    bool insert(const String& key, bool value);

    // Walking follows the insertion order; results point at entries' values.
    bool beginForward(Iterator& it) const override;
    bool beginBackward(Iterator& it) const override;
    bool* first(Iterator& it) const override;
    bool* next(Iterator& it) const override;
    bool* last(Iterator& it) const override;
    bool* previous(Iterator& it) const override;
    bool* headValue() const override;
    bool* tailValue() const override;
    bool* currentValue(const Iterator& it) const override;
    bool* nextValue(const Iterator& it) const override;
    bool* previousValue(const Iterator& it) const override;

    // Entries come only through insert: adding and rotating are consistency
    // failures of core32.
    bool* append(const bool& value) override;
    bool* appendFrom(const bool* value) override;
    void appendAll(const Collection<bool>& other) override;
    bool* prepend(const bool& value) override;
    bool* prependFrom(const bool* value) override;
    void prependAll(const Collection<bool>& other) override;
    bool rotateForward(int n) override;
    bool rotateBackward(int n) override;

    // Removal unlinks the entry from the insertion order and from its bucket.
    void clear() override;
    bool removeCurrent(Iterator& it) override;
    int removeFirstN(int n) override;
    bool removeHead() override;
    int removeLastN(int n) override;
    bool removeTail() override;
    void truncate(int n) override;
    bool popHead() override;
    bool popTail() override;
    bool takeCurrent(Iterator& it) override;

    // The insertion-order chain itself, for walks that need the keys:
    // follow next from the oldest entry, previous from the newest.
    const Entry* oldestEntry() const { return first_; }
    const Entry* newestEntry() const { return last_; }

private:
    void remove(Entry* entry);
    bool take(Entry* entry);

    int32_t bucketCount_ = 0;
    InlineArray<List<Entry>> buckets_;
    Entry* first_ = nullptr;
    Entry* last_ = nullptr;
};

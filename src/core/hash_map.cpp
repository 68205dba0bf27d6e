#include "core/hash_map.h"

#include "core/fatal.h"

namespace {

using Entry = HashMap::Entry;

Entry* entryOf(intptr_t handle) { return reinterpret_cast<Entry*>(handle); }
intptr_t handle(const Entry* entry) { return reinterpret_cast<intptr_t>(entry); }
bool* valueOf(Entry* entry) { return entry ? &entry->value : nullptr; }

}  // namespace

void HashMap::setBucketCount(int n) {
    if (n < 0) n = 0;
    buckets_.reallocate(n);
    bucketCount_ = n;
    count_ = 0;
    first_ = last_ = nullptr;
}

bool HashMap::insert(const String& key, bool value) {
    if (bucketCount_ < 1) return false;
    List<Entry>& bucket = buckets_.at(static_cast<int>(key.checksum() % static_cast<uint32_t>(bucketCount_)));
    Iterator it;
    for (Entry* entry = bucket.first(it); entry; entry = bucket.next(it)) {
        if (entry->key.equals(key)) {
            entry->value = value;
            return false;
        }
    }
    Entry* added = bucket.append(Entry());
    added->key = key;
    added->bucket = &bucket;
    added->value = value;
    added->previous = last_;
    if (last_)
        last_->next = added;
    else
        first_ = added;
    last_ = added;
    ++count_;
    return true;
}

// ---- walking ------------------------------------------------------------------

bool HashMap::beginForward(Iterator& it) const {
    it.current = it.previous = 0;
    it.next = handle(first_);
    return count_ > 0;
}

bool HashMap::beginBackward(Iterator& it) const {
    it.current = it.next = 0;
    it.previous = handle(last_);
    return count_ > 0;
}

bool* HashMap::first(Iterator& it) const {
    it.current = handle(first_);
    it.next = first_ ? handle(first_->next) : 0;
    it.previous = 0;
    return valueOf(first_);
}

bool* HashMap::next(Iterator& it) const {
    Entry* entry = entryOf(it.next);
    it.previous = it.current;
    it.current = it.next;
    it.next = entry ? handle(entry->next) : 0;
    return valueOf(entry);
}

bool* HashMap::last(Iterator& it) const {
    it.current = handle(last_);
    it.previous = last_ ? handle(last_->previous) : 0;
    it.next = 0;
    return valueOf(last_);
}

bool* HashMap::previous(Iterator& it) const {
    Entry* entry = entryOf(it.previous);
    it.next = it.current;
    it.current = it.previous;
    it.previous = entry ? handle(entry->previous) : 0;
    return valueOf(entry);
}

bool* HashMap::headValue() const { return valueOf(first_); }
bool* HashMap::tailValue() const { return valueOf(last_); }
bool* HashMap::currentValue(const Iterator& it) const { return valueOf(entryOf(it.current)); }
bool* HashMap::nextValue(const Iterator& it) const { return valueOf(entryOf(it.next)); }
bool* HashMap::previousValue(const Iterator& it) const { return valueOf(entryOf(it.previous)); }

// ---- unsupported --------------------------------------------------------------

bool* HashMap::append(const bool&) { reportConsistencyFailure("core32", 4898); }
bool* HashMap::appendFrom(const bool*) { reportConsistencyFailure("core32", 4897); }
void HashMap::appendAll(const Collection<bool>&) { reportConsistencyFailure("core32", 4899); }
bool* HashMap::prepend(const bool&) { reportConsistencyFailure("core32", 4901); }
bool* HashMap::prependFrom(const bool*) { reportConsistencyFailure("core32", 4900); }
void HashMap::prependAll(const Collection<bool>&) { reportConsistencyFailure("core32", 4902); }
bool HashMap::rotateForward(int) { reportConsistencyFailure("core32", 4903); }
bool HashMap::rotateBackward(int) { reportConsistencyFailure("core32", 4904); }

// ---- removing -----------------------------------------------------------------

void HashMap::remove(Entry* entry) {
    (entry->previous ? entry->previous->next : first_) = entry->next;
    (entry->next ? entry->next->previous : last_) = entry->previous;
    List<Entry>* bucket = entry->bucket;
    Iterator it;
    for (Entry* stored = bucket->first(it); stored; stored = bucket->next(it)) {
        if (stored == entry) {
            bucket->removeCurrent(it);
            break;
        }
    }
    --count_;
}

bool HashMap::take(Entry* entry) {
    if (!entry) return false;
    bool value = entry->value;
    remove(entry);
    return value;
}

void HashMap::clear() {
    while (first_) remove(first_);
}

bool HashMap::removeCurrent(Iterator& it) {
    Entry* entry = entryOf(it.current);
    if (!entry) return false;
    remove(entry);
    it.current = 0;
    return true;
}

int HashMap::removeFirstN(int n) {
    int removed = 0;
    for (; removed < n && first_; ++removed) remove(first_);
    return removed;
}

bool HashMap::removeHead() { return removeFirstN(1) == 1; }

int HashMap::removeLastN(int n) {
    int removed = 0;
    for (; removed < n && last_; ++removed) remove(last_);
    return removed;
}

bool HashMap::removeTail() { return removeLastN(1) == 1; }

void HashMap::truncate(int n) {
    if (n < 0) n = 0;
    while (count_ > n) remove(last_);
}

bool HashMap::popHead() { return take(first_); }
bool HashMap::popTail() { return take(last_); }

bool HashMap::takeCurrent(Iterator& it) {
    Entry* entry = entryOf(it.current);
    it.current = 0;
    return take(entry);
}

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "core/hash_map.h"
#include "support/fatal_capture.h"

namespace {

// Keys in insertion order, read from the entry chain, checked against the
// values that the Collection walk hands out.
std::vector<std::string> keysInOrder(const HashMap& map) {
    std::vector<std::string> keys;
    Cursor<bool> walk(&map);
    const HashMap::Entry* entry = map.oldestEntry();
    while (walk.advance()) {
        EXPECT_NE(entry, nullptr);
        if (!entry) break;
        EXPECT_EQ(walk.value(), &entry->value) << "walk and chain disagree";
        keys.emplace_back(entry->key.cStr(), static_cast<size_t>(entry->key.length()));
        entry = entry->next;
    }
    EXPECT_EQ(entry, nullptr);
    EXPECT_EQ(static_cast<int>(keys.size()), map.count());
    return keys;
}

std::vector<std::string> keysBackwards(const HashMap& map) {
    std::vector<std::string> keys;
    Cursor<bool> walk(&map, true);
    const HashMap::Entry* entry = map.newestEntry();
    while (walk.retreat() && entry) {
        EXPECT_EQ(walk.value(), &entry->value);
        keys.emplace_back(entry->key.cStr());
        entry = entry->previous;
    }
    return keys;
}

void insertAll(HashMap& map, const std::vector<std::string>& keys) {
    for (const auto& k : keys) map.insert(String(k.c_str()), true);
}

TEST(HashMap, NoBucketsNoEntries) {
    HashMap map;
    EXPECT_EQ(map.bucketCount(), 0);
    EXPECT_FALSE(map.insert("ABC", true));
    EXPECT_EQ(map.count(), 0);
    EXPECT_EQ(map.headValue(), nullptr);
    map.setBucketCount(-5);
    EXPECT_EQ(map.bucketCount(), 0);
    EXPECT_FALSE(map.insert("ABC", true));
    EXPECT_TRUE(keysInOrder(map).empty());
}

TEST(HashMap, InsertTellsNewKeysAndReplacesValues) {
    HashMap map;
    map.setBucketCount(40);
    EXPECT_TRUE(map.insert("ABC", true));
    EXPECT_FALSE(map.insert("ABC", false));
    EXPECT_FALSE(*map.headValue());
    EXPECT_TRUE(map.insert("abc", true));  // case-sensitive
    EXPECT_TRUE(map.insert(String("AB\0C", 4), true));  // every byte counts
    EXPECT_TRUE(map.insert("", true));
    EXPECT_FALSE(map.insert("", false));
    EXPECT_EQ(map.count(), 4);
    EXPECT_EQ(keysInOrder(map), (std::vector<std::string>{"ABC", "abc", std::string("AB\0C", 4), ""}));
}

TEST(HashMap, SettingTheBucketCountForgetsEveryKey) {
    HashMap map;
    map.setBucketCount(40);
    insertAll(map, {"A", "B", "C"});
    map.setBucketCount(40);
    EXPECT_EQ(map.count(), 0);
    EXPECT_EQ(map.headValue(), nullptr);
    EXPECT_EQ(map.oldestEntry(), nullptr);
    EXPECT_TRUE(map.insert("B", true));
    EXPECT_EQ(keysInOrder(map), (std::vector<std::string>{"B"}));
}

TEST(HashMap, WalksInInsertionOrderWhateverTheBuckets) {
    std::vector<std::string> keys;
    for (int i = 0; i < 300; ++i) keys.push_back("C:\\PROGRAM FILES\\APP\\FILE" + std::to_string(i * 7919 % 1000));
    for (int buckets : {1, 2, 40, 997}) {
        SCOPED_TRACE(buckets);
        HashMap map;
        map.setBucketCount(buckets);
        insertAll(map, keys);
        EXPECT_EQ(keysInOrder(map), keys);
        std::vector<std::string> reversed(keys.rbegin(), keys.rend());
        EXPECT_EQ(keysBackwards(map), reversed);
        for (const auto& k : keys) EXPECT_FALSE(map.insert(String(k.c_str()), true)) << k;
        EXPECT_EQ(map.count(), 300);
    }
}

struct RemovalCase {
    const char* name;
    std::function<int(HashMap&)> operation;
    int result;
    std::vector<std::string> left;
};

TEST(HashMap, RemovalsUnlinkFromTheOrderAndFromTheBucket) {
    const std::vector<std::string> keys = {"K1", "K2", "K3", "K4", "K5"};
    const RemovalCase cases[] = {
        {"removeHead", [](HashMap& m) { return int(m.removeHead()); }, 1, {"K2", "K3", "K4", "K5"}},
        {"removeTail", [](HashMap& m) { return int(m.removeTail()); }, 1, {"K1", "K2", "K3", "K4"}},
        {"removeFirstN clamps", [](HashMap& m) { return m.removeFirstN(9); }, 5, {}},
        {"removeFirstN of 2", [](HashMap& m) { return m.removeFirstN(2); }, 2, {"K3", "K4", "K5"}},
        {"removeLastN of 3", [](HashMap& m) { return m.removeLastN(3); }, 3, {"K1", "K2"}},
        {"removeLastN of 0", [](HashMap& m) { return m.removeLastN(0); }, 0, {"K1", "K2", "K3", "K4", "K5"}},
        {"truncate(2)", [](HashMap& m) { m.truncate(2); return m.count(); }, 2, {"K1", "K2"}},
        {"truncate(9)", [](HashMap& m) { m.truncate(9); return m.count(); }, 5, {"K1", "K2", "K3", "K4", "K5"}},
        {"truncate(0)", [](HashMap& m) { m.truncate(0); return m.count(); }, 0, {}},
        {"clear", [](HashMap& m) { m.clear(); return m.count(); }, 0, {}},
        {"popHead gives the value", [](HashMap& m) { return int(m.popHead()); }, 0, {"K2", "K3", "K4", "K5"}},
        {"popTail gives the value", [](HashMap& m) { return int(m.popTail()); }, 1, {"K1", "K2", "K3", "K4"}},
        {"removeCurrent in the middle of a walk",
         [](HashMap& m) {
             Iterator it;
             int removed = 0;
             for (bool* v = m.first(it); v; v = m.next(it))
                 if (!*v) removed += m.removeCurrent(it);
             return removed;
         },
         2, {"K2", "K3", "K5"}},
        {"removeCurrent walking backwards",
         [](HashMap& m) {
             Iterator it;
             int removed = 0;
             for (bool* v = m.last(it); v; v = m.previous(it))
                 if (*v) removed += m.removeCurrent(it);
             return removed;
         },
         3, {"K1", "K4"}},
        {"takeCurrent",
         [](HashMap& m) {
             Iterator it;
             m.last(it);
             m.previous(it);
             bool taken = m.takeCurrent(it);
             return int(taken) + 10 * (m.currentValue(it) == nullptr);
         },
         10, {"K1", "K2", "K3", "K5"}},
    };
    for (int buckets : {1, 3, 40}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(::testing::Message() << c.name << " with " << buckets << " buckets");
            HashMap map;
            map.setBucketCount(buckets);
            insertAll(map, keys);
            map.insert("K1", false);  // values: false true true false true
            map.insert("K4", false);
            EXPECT_EQ(c.operation(map), c.result);
            EXPECT_EQ(keysInOrder(map), c.left);
            // A removed key is new again; a kept one is not.
            for (const auto& k : keys) {
                bool kept = std::find(c.left.begin(), c.left.end(), k) != c.left.end();
                EXPECT_EQ(map.insert(String(k.c_str()), true), !kept) << k;
            }
            EXPECT_EQ(map.count(), 5);
        }
    }
}

TEST(HashMap, AddingAndRotatingAreConsistencyFailures) {
    const struct {
        const char* name;
        std::function<void(HashMap&)> operation;
        const char* report;
    } cases[] = {
        {"append", [](HashMap& m) { m.append(true); }, "core32 4898"},
        {"appendFrom", [](HashMap& m) { m.appendFrom(nullptr); }, "core32 4897"},
        {"appendAll", [](HashMap& m) { m.appendAll(m); }, "core32 4899"},
        {"prepend", [](HashMap& m) { m.prepend(true); }, "core32 4901"},
        {"prependFrom", [](HashMap& m) { m.prependFrom(nullptr); }, "core32 4900"},
        {"prependAll", [](HashMap& m) { m.prependAll(m); }, "core32 4902"},
        {"rotateForward", [](HashMap& m) { m.rotateForward(1); }, "core32 4903"},
        {"rotateBackward", [](HashMap& m) { m.rotateBackward(1); }, "core32 4904"},
    };
    for (const auto& c : cases) {
        HashMap map;
        map.setBucketCount(4);
        map.insert("X", true);
        EXPECT_EQ(captureFatal([&] { c.operation(map); }), c.report) << c.name;
    }
}

TEST(HashMap, ThroughTheCollectionInterface) {
    HashMap map;
    map.setBucketCount(40);
    insertAll(map, {"ONE", "TWO", "THREE"});
    map.insert("TWO", false);
    Collection<bool>& c = map;
    Iterator it;
    EXPECT_TRUE(c.beginForward(it));
    EXPECT_TRUE(*c.nextValue(it));
    EXPECT_TRUE(*c.next(it));
    EXPECT_FALSE(*c.next(it));
    EXPECT_TRUE(*c.previousValue(it));
    EXPECT_TRUE(*c.nextValue(it));
    EXPECT_TRUE(*c.tailValue());
    EXPECT_TRUE(c.popHead());
    EXPECT_FALSE(*c.headValue());
    EXPECT_EQ(keysInOrder(map), (std::vector<std::string>{"TWO", "THREE"}));
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/array.h"
#include "core/inline_array.h"
#include "core/list.h"
#include "core/quick_sort.h"
#include "core/str.h"
#include "core/type_name.h"
#include "core/value_array.h"
#include "support/fatal_capture.h"

namespace {

std::vector<int> forwards(const Collection<int>& c) {
    std::vector<int> values;
    Cursor<int> walk(&c);
    while (walk.advance()) values.push_back(*walk.value());
    return values;
}

std::vector<int> backwards(const Collection<int>& c) {
    std::vector<int> values;
    Cursor<int> walk(&c, true);
    while (walk.retreat()) values.push_back(*walk.value());
    return values;
}

void fill(Collection<int>& c, const std::vector<int>& values) {
    for (int v : values) c.append(v);
}

std::string text(const String& s) { return std::string(s.cStr(), static_cast<size_t>(s.length())); }

// ---- every collection -------------------------------------------------------

struct OperationCase {
    const char* name;
    std::vector<int> initial;
    std::function<int(Collection<int>&)> operation;
    int result;
    std::vector<int> after;
};

const std::vector<OperationCase>& operationCases() {
    static const std::vector<OperationCase> cases = {
        {"append", {1, 2}, [](Collection<int>& c) { return *c.append(3); }, 3, {1, 2, 3}},
        {"append to empty", {}, [](Collection<int>& c) { return *c.append(9); }, 9, {9}},
        {"prepend", {1, 2}, [](Collection<int>& c) { return *c.prepend(0); }, 0, {0, 1, 2}},
        {"appendFrom null adds a default", {1}, [](Collection<int>& c) { return *c.appendFrom(nullptr); }, 0, {1, 0}},
        {"prependFrom a value", {1},
         [](Collection<int>& c) {
             int v = 5;
             return *c.prependFrom(&v);
         },
         5, {5, 1}},
        {"prependFrom null", {1}, [](Collection<int>& c) { return *c.prependFrom(nullptr); }, 0, {0, 1}},
        {"append a value of the collection itself", {1, 2, 3},
         [](Collection<int>& c) { return *c.append(*c.headValue()); }, 1, {1, 2, 3, 1}},
        {"appendAll from itself", {1, 2},
         [](Collection<int>& c) {
             c.appendAll(c);
             return c.count();
         },
         4, {1, 2, 1, 2}},
        {"prependAll from itself keeps the order", {1, 2, 3},
         [](Collection<int>& c) {
             c.prependAll(c);
             return c.count();
         },
         6, {1, 2, 3, 1, 2, 3}},
        {"removeFirstN clamps", {1, 2, 3, 4, 5}, [](Collection<int>& c) { return c.removeFirstN(7); }, 5, {}},
        {"removeFirstN of 2", {1, 2, 3, 4, 5}, [](Collection<int>& c) { return c.removeFirstN(2); }, 2, {3, 4, 5}},
        {"removeFirstN of 0", {1, 2}, [](Collection<int>& c) { return c.removeFirstN(0); }, 0, {1, 2}},
        {"removeFirstN negative", {1, 2}, [](Collection<int>& c) { return c.removeFirstN(-3); }, 0, {1, 2}},
        {"removeLastN of 2", {1, 2, 3, 4, 5}, [](Collection<int>& c) { return c.removeLastN(2); }, 2, {1, 2, 3}},
        {"removeLastN clamps", {1, 2}, [](Collection<int>& c) { return c.removeLastN(3); }, 2, {}},
        {"removeHead", {1, 2}, [](Collection<int>& c) { return int(c.removeHead()); }, 1, {2}},
        {"removeHead of empty", {}, [](Collection<int>& c) { return int(c.removeHead()); }, 0, {}},
        {"removeTail", {1, 2}, [](Collection<int>& c) { return int(c.removeTail()); }, 1, {1}},
        {"removeTail of empty", {}, [](Collection<int>& c) { return int(c.removeTail()); }, 0, {}},
        {"truncate(0) empties", {1, 2, 3, 4, 5},
         [](Collection<int>& c) {
             c.truncate(0);
             return c.count();
         },
         0, {}},
        {"truncate(10) on five changes nothing", {1, 2, 3, 4, 5},
         [](Collection<int>& c) {
             c.truncate(10);
             return c.count();
         },
         5, {1, 2, 3, 4, 5}},
        {"truncate(2)", {1, 2, 3, 4, 5},
         [](Collection<int>& c) {
             c.truncate(2);
             return c.count();
         },
         2, {1, 2}},
        {"truncate(-1) empties", {1, 2},
         [](Collection<int>& c) {
             c.truncate(-1);
             return c.count();
         },
         0, {}},
        {"popHead", {1, 2, 3}, [](Collection<int>& c) { return c.popHead(); }, 1, {2, 3}},
        {"popTail", {1, 2, 3}, [](Collection<int>& c) { return c.popTail(); }, 3, {1, 2}},
        {"popHead of empty gives a default", {}, [](Collection<int>& c) { return c.popHead(); }, 0, {}},
        {"popTail of empty gives a default", {}, [](Collection<int>& c) { return c.popTail(); }, 0, {}},
        {"clear", {1, 2, 3},
         [](Collection<int>& c) {
             c.clear();
             return c.count();
         },
         0, {}},
        {"rotateForward(5) of a b c", {1, 2, 3}, [](Collection<int>& c) { return int(c.rotateForward(5)); }, 1,
         {3, 1, 2}},
        {"rotateForward(1)", {1, 2, 3, 4}, [](Collection<int>& c) { return int(c.rotateForward(1)); }, 1,
         {2, 3, 4, 1}},
        {"rotateForward(-1) is rotateBackward(1)", {1, 2, 3}, [](Collection<int>& c) { return int(c.rotateForward(-1)); },
         1, {3, 1, 2}},
        {"rotateBackward(1)", {1, 2, 3}, [](Collection<int>& c) { return int(c.rotateBackward(1)); }, 1, {3, 1, 2}},
        {"rotateBackward(-2) is rotateForward(2)", {1, 2, 3, 4},
         [](Collection<int>& c) { return int(c.rotateBackward(-2)); }, 1, {3, 4, 1, 2}},
        {"rotateForward by the count", {1, 2, 3}, [](Collection<int>& c) { return int(c.rotateForward(3)); }, 1,
         {1, 2, 3}},
        {"rotateForward(-3) by minus the count", {1, 2, 3}, [](Collection<int>& c) { return int(c.rotateForward(-3)); },
         1, {1, 2, 3}},
        {"rotateForward of the smallest int", {1, 2, 3},
         [](Collection<int>& c) { return int(c.rotateForward(INT_MIN)); }, 1, {2, 3, 1}},
        {"rotateBackward of the smallest int", {1, 2, 3},
         [](Collection<int>& c) { return int(c.rotateBackward(INT_MIN)); }, 1, {3, 1, 2}},
        {"rotate one element does nothing", {7}, [](Collection<int>& c) { return int(c.rotateForward(1)); }, 0, {7}},
        {"rotate back one element does nothing", {7}, [](Collection<int>& c) { return int(c.rotateBackward(-1)); }, 0,
         {7}},
        {"rotate by zero does nothing", {1, 2}, [](Collection<int>& c) { return int(c.rotateForward(0)); }, 0, {1, 2}},
        {"removeCurrent of even values while walking forwards", {1, 2, 3, 4, 5, 6},
         [](Collection<int>& c) {
             Iterator it;
             int removed = 0;
             for (int* v = c.first(it); v; v = c.next(it))
                 if (*v % 2 == 0) removed += c.removeCurrent(it);
             return removed;
         },
         3, {1, 3, 5}},
        {"removeCurrent of adjacent values while walking forwards", {2, 4, 5, 6, 8},
         [](Collection<int>& c) {
             Iterator it;
             int removed = 0;
             for (int* v = c.first(it); v; v = c.next(it))
                 if (*v % 2 == 0) removed += c.removeCurrent(it);
             return removed;
         },
         4, {5}},
        {"removeCurrent while walking backwards", {1, 2, 3, 4, 5, 6},
         [](Collection<int>& c) {
             Iterator it;
             int removed = 0;
             for (int* v = c.last(it); v; v = c.previous(it))
                 if (*v % 3 != 0) removed += c.removeCurrent(it);
             return removed;
         },
         4, {3, 6}},
        {"removeCurrent twice fails the second time", {1, 2},
         [](Collection<int>& c) {
             Iterator it;
             c.first(it);
             return int(c.removeCurrent(it)) * 10 + int(c.removeCurrent(it));
         },
         10, {2}},
        {"takeCurrent", {1, 2, 3},
         [](Collection<int>& c) {
             Iterator it;
             c.first(it);
             c.next(it);
             int taken = c.takeCurrent(it);
             return taken * 10 + (c.currentValue(it) == nullptr) + 10 * 10 * *c.next(it);
         },
         321, {1, 3}},
        {"takeCurrent without a current element", {1, 2},
         [](Collection<int>& c) {
             Iterator it;
             c.beginForward(it);
             return c.takeCurrent(it);
         },
         0, {1, 2}},
    };
    return cases;
}

template <class C>
class EveryCollection : public ::testing::Test {};
using CollectionTypes = ::testing::Types<List<int>, Stack<int>, Array<int>, ValueArray<int>, InlineArray<int>>;
TYPED_TEST_SUITE(EveryCollection, CollectionTypes);

TYPED_TEST(EveryCollection, OperationsGiveTheirResultsAndContents) {
    for (const auto& c : operationCases()) {
        SCOPED_TRACE(c.name);
        TypeParam collection;
        fill(collection, c.initial);
        EXPECT_EQ(c.operation(collection), c.result);
        EXPECT_EQ(forwards(collection), c.after);
        std::vector<int> reversed(c.after.rbegin(), c.after.rend());
        EXPECT_EQ(backwards(collection), reversed);
        EXPECT_EQ(collection.count(), static_cast<int>(c.after.size()));
        EXPECT_EQ(collection.isEmpty(), c.after.empty());
    }
}

TYPED_TEST(EveryCollection, WalkingAndValueAccess) {
    TypeParam c;
    Iterator it;
    EXPECT_FALSE(c.beginForward(it));
    EXPECT_EQ(c.next(it), nullptr);
    EXPECT_FALSE(c.beginBackward(it));
    EXPECT_EQ(c.previous(it), nullptr);
    EXPECT_EQ(c.first(it), nullptr);
    EXPECT_EQ(c.last(it), nullptr);
    EXPECT_EQ(c.headValue(), nullptr);
    EXPECT_EQ(c.tailValue(), nullptr);

    fill(c, {10, 20, 30});
    EXPECT_EQ(*c.headValue(), 10);
    EXPECT_EQ(*c.tailValue(), 30);
    EXPECT_TRUE(c.beginForward(it));
    EXPECT_EQ(c.currentValue(it), nullptr);
    EXPECT_EQ(*c.nextValue(it), 10);
    EXPECT_EQ(*c.next(it), 10);
    EXPECT_EQ(*c.next(it), 20);
    EXPECT_EQ(*c.currentValue(it), 20);
    EXPECT_EQ(*c.previousValue(it), 10);
    EXPECT_EQ(*c.nextValue(it), 30);
    EXPECT_EQ(*c.previous(it), 10);
    EXPECT_EQ(*c.nextValue(it), 20);
    EXPECT_EQ(c.previousValue(it), nullptr);

    EXPECT_EQ(*c.last(it), 30);
    EXPECT_EQ(*c.previousValue(it), 20);
    EXPECT_EQ(c.nextValue(it), nullptr);
    EXPECT_EQ(c.next(it), nullptr);

    EXPECT_EQ(*c.first(it), 10);
    *c.first(it) = 11;  // values are reached in place
    EXPECT_EQ(*c.headValue(), 11);

    Cursor<int> none(nullptr);
    EXPECT_FALSE(none.advance());
    EXPECT_FALSE(none.retreat());
}

TYPED_TEST(EveryCollection, CopiesAreDeepAndAssignable) {
    TypeParam original;
    fill(original, {1, 2, 3});
    TypeParam copy(original);
    *copy.headValue() = 100;
    copy.append(4);
    EXPECT_EQ(forwards(original), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(forwards(copy), (std::vector<int>{100, 2, 3, 4}));
    original = copy;
    EXPECT_EQ(forwards(original), (std::vector<int>{100, 2, 3, 4}));
    original = original;
    EXPECT_EQ(forwards(original), (std::vector<int>{100, 2, 3, 4}));
}

TYPED_TEST(EveryCollection, AppendAllAndPrependAllFromAnotherKind) {
    List<int> source;
    fill(source, {7, 8, 9});
    TypeParam c;
    fill(c, {1});
    c.appendAll(source);
    c.prependAll(source);
    EXPECT_EQ(forwards(c), (std::vector<int>{7, 8, 9, 1, 7, 8, 9}));
}

// ---- Stack -----------------------------------------------------------------

TEST(Stack, PushesAndPopsAtTheTail) {
    Stack<int> stack;
    stack.push(1);
    stack.push(2);
    stack.push(3);
    EXPECT_EQ(stack.pop(), 3);
    EXPECT_EQ(stack.pop(), 2);
    stack.push(4);
    EXPECT_EQ(stack.pop(), 4);
    EXPECT_EQ(stack.pop(), 1);
    EXPECT_TRUE(stack.isEmpty());
}

TEST(Stack, PopOfAnEmptyStackIsFatalAndNamesTheElementType) {
    EXPECT_EQ(captureFatal([] { Stack<int>().pop(); }), "Stack<int>::pop");
    EXPECT_EQ(captureFatal([] { Stack<String>().pop(); }), "Stack<String>::pop");
    EXPECT_EQ(captureFatal([] {
                  Stack<int> stack;
                  stack.push(1);
                  stack.pop();
                  stack.pop();
              }),
              "Stack<int>::pop");
}

// ---- indexed storage ---------------------------------------------------------

template <class C>
class EveryVector : public ::testing::Test {};
using VectorTypes = ::testing::Types<Array<int>, ValueArray<int>, InlineArray<int>>;
TYPED_TEST_SUITE(EveryVector, VectorTypes);

struct RangeCase {
    int first, last;
    bool removes;
    std::vector<int> after;
};

TYPED_TEST(EveryVector, RemoveRangeClampsItsBounds) {
    const RangeCase cases[] = {
        {-3, 1, true, {3, 4, 5}},       {3, 1, false, {1, 2, 3, 4, 5}}, {3, 100, true, {1, 2, 3}},
        {1, 3, true, {1, 5}},           {0, 4, true, {}},               {5, 9, false, {1, 2, 3, 4, 5}},
        {-5, -1, false, {1, 2, 3, 4, 5}}, {2, 2, true, {1, 2, 4, 5}},   {INT_MIN, INT_MAX, true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.first << ".." << c.last);
        TypeParam v;
        fill(v, {1, 2, 3, 4, 5});
        EXPECT_EQ(v.removeRange(c.first, c.last), c.removes);
        EXPECT_EQ(forwards(v), c.after);
    }
}

TYPED_TEST(EveryVector, BadIndexesAreFatalWithTypeIndexAndLastIndex) {
    EXPECT_EQ(captureFatal([] {
                  TypeParam v;
                  fill(v, {1, 2, 3, 4, 5});
                  v.at(5);
              }),
              "Vector<int>[5]\nmax_index = 4");
    EXPECT_EQ(captureFatal([] {
                  TypeParam v;
                  fill(v, {1, 2});
                  v.element(-1);
              }),
              "Vector<int>[-1]\nmax_index = 1");
    EXPECT_EQ(captureFatal([] { TypeParam().at(0); }), "Vector<int>[0]\nmax_index = -1");
    TypeParam v;
    fill(v, {1, 2});
    EXPECT_EQ(v.valueAt(2), nullptr);
    EXPECT_EQ(v.valueAt(-1), nullptr);
    EXPECT_EQ(*v.valueAt(1), 2);
    EXPECT_EQ(captureFatal([&] { v.at(1) = 7; }), NoFatalReport);
    EXPECT_EQ(v.element(1), 7);
}

struct MoveCase {
    const char* name;
    std::function<void(Vector<int>&)> operation;
    std::vector<int> after;
};

TYPED_TEST(EveryVector, IndexedOperations) {
    const MoveCase cases[] = {
        {"moveDown(1, 3)", [](Vector<int>& v) { v.moveDown(1, 3); }, {1, 3, 4, 2, 5}},
        {"moveDown clamps", [](Vector<int>& v) { v.moveDown(-2, 9); }, {2, 3, 4, 5, 1}},
        {"moveDown with from >= to", [](Vector<int>& v) { v.moveDown(3, 1); }, {1, 2, 3, 4, 5}},
        {"moveUp(1, 3)", [](Vector<int>& v) { v.moveUp(1, 3); }, {1, 4, 2, 3, 5}},
        {"moveUp clamps", [](Vector<int>& v) { v.moveUp(-1, 10); }, {5, 1, 2, 3, 4}},
        {"swap", [](Vector<int>& v) { EXPECT_TRUE(v.swap(0, 4)); }, {5, 2, 3, 4, 1}},
        {"swap out of range", [](Vector<int>& v) { EXPECT_FALSE(v.swap(0, 5)); }, {1, 2, 3, 4, 5}},
        {"swap with itself", [](Vector<int>& v) { EXPECT_TRUE(v.swap(2, 2)); }, {1, 2, 3, 4, 5}},
        {"insertNew clamps a negative index", [](Vector<int>& v) { v.insertNew(-4) = 9; }, {9, 1, 2, 3, 4, 5}},
        {"insertNew clamps a large index", [](Vector<int>& v) { v.insertNew(99) = 9; }, {1, 2, 3, 4, 5, 9}},
        {"insertNew in the middle", [](Vector<int>& v) { EXPECT_EQ(v.insertNew(2), 0); }, {1, 2, 0, 3, 4, 5}},
        {"insertAt", [](Vector<int>& v) { EXPECT_EQ(v.insertAt(1, 8), 8); }, {1, 8, 2, 3, 4, 5}},
        {"insertAt an element of itself", [](Vector<int>& v) { v.insertAt(0, v.at(4)); }, {5, 1, 2, 3, 4, 5}},
        {"insertAtFrom", [](Vector<int>& v) { v.insertAtFrom(5, 6); }, {1, 2, 3, 4, 5, 6}},
        {"takeAt", [](Vector<int>& v) { EXPECT_EQ(v.takeAt(1), 2); }, {1, 3, 4, 5}},
        {"takeAt out of range", [](Vector<int>& v) { EXPECT_EQ(v.takeAt(5), 0); }, {1, 2, 3, 4, 5}},
        {"removeAt", [](Vector<int>& v) { EXPECT_TRUE(v.removeAt(4)); }, {1, 2, 3, 4}},
        {"removeAt out of range", [](Vector<int>& v) { EXPECT_FALSE(v.removeAt(-1)); }, {1, 2, 3, 4, 5}},
        {"resize larger adds defaults", [](Vector<int>& v) { v.resize(7); }, {1, 2, 3, 4, 5, 0, 0}},
        {"resize smaller", [](Vector<int>& v) { v.resize(2); }, {1, 2}},
        {"resize to zero", [](Vector<int>& v) { v.resize(0); }, {}},
        {"ensureCount larger", [](Vector<int>& v) { v.ensureCount(6); }, {1, 2, 3, 4, 5, 0}},
        {"ensureCount smaller keeps all", [](Vector<int>& v) { v.ensureCount(3); }, {1, 2, 3, 4, 5}},
        {"appendNew", [](Vector<int>& v) { v.appendNew() = 6; }, {1, 2, 3, 4, 5, 6}},
        {"reallocate(0) empties", [](Vector<int>& v) { v.reallocate(0); }, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TypeParam v;
        fill(v, {1, 2, 3, 4, 5});
        c.operation(v);
        EXPECT_EQ(forwards(v), c.after);
    }
}

TYPED_TEST(EveryVector, ManyInsertionsAndRemovalsAtBothEndsAndInside) {
    // Checked against the standard library's vector over a long mixed run.
    std::mt19937 random(7);
    TypeParam v;
    std::vector<int> model;
    for (int step = 0; step < 3000; ++step) {
        int op = static_cast<int>(random() % 6);
        int size = static_cast<int>(model.size());
        int at = size ? static_cast<int>(random() % (size + 1)) : 0;
        if (op <= 1) {
            v.insertAt(at, step);
            model.insert(model.begin() + at, step);
        } else if (op == 2) {
            v.prepend(step);
            model.insert(model.begin(), step);
        } else if (op == 3) {
            v.append(step);
            model.push_back(step);
        } else if (size) {
            int last = at + static_cast<int>(random() % 3);
            v.removeRange(at, last);
            if (at < size) model.erase(model.begin() + at, model.begin() + std::min(last + 1, size));
        }
    }
    EXPECT_EQ(forwards(v), model);
}

// ---- Array ----------------------------------------------------------------------

TEST(ArraySlots, GrowsByHalfOfTheRequestedCount) {
    Array<int> a;
    std::vector<std::pair<int, int>> newSlotArrays;  // count, capacity
    for (int n = 1; n <= 30; ++n) {
        int before = a.capacity();
        a.append(n);
        if (a.capacity() != before) newSlotArrays.push_back({n, a.capacity()});
    }
    const std::vector<std::pair<int, int>> expected = {{1, 1},   {2, 3},   {4, 6},  {7, 10},
                                                       {11, 16}, {17, 25}, {26, 39}};
    EXPECT_EQ(newSlotArrays, expected);
}

TEST(ArraySlots, ElementsNeverMoveInMemory) {
    Array<String> a;
    a.append("first");
    String* first = &a.at(0);
    for (int i = 0; i < 200; ++i) {
        a.append(String::fromInt(i));
        a.prepend(String::fromInt(-i));
        a.insertAt(a.count() / 2, "middle");
    }
    a.removeRange(0, 50);
    a.rotateForward(17);
    Iterator it;
    bool found = false;
    for (String* s = a.first(it); s; s = a.next(it)) found |= s == first;
    EXPECT_TRUE(found);
    EXPECT_EQ(text(*first), "first");
}

TEST(ArraySlots, CopyOfAnyCollectionCentresItsSlots) {
    List<int> source;
    fill(source, {1, 2, 3, 4, 5, 6, 7, 8});
    Array<int> a(source);
    EXPECT_EQ(a.capacity(), 12);
    EXPECT_EQ(a.offset(), 2);
    EXPECT_EQ(forwards(a), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(ArraySlots, InsertShiftsTheSideChosenByTheGaps) {
    List<int> source;
    fill(source, {1, 2, 3, 4, 5, 6, 7, 8});
    Array<int> a(source);  // capacity 12, offset 2
    a.prepend(0);          // offset 2 <= (12 - 8) / 2: the back moves
    EXPECT_EQ(a.offset(), 2);
    a.prepend(-1);  // offset 2 > (12 - 9) / 2: the front moves
    EXPECT_EQ(a.offset(), 1);
    a.removeTail();
    a.removeTail();
    ASSERT_EQ(a.count(), 8);
    ASSERT_EQ(a.capacity(), 12);
    ASSERT_EQ(a.offset(), 1);
    int* atTwo = &a.at(2);
    a.insertAt(2, 100);  // offset 1 <= (12 - 8) / 2: slots from index 2 move back
    EXPECT_EQ(a.offset(), 1);
    EXPECT_EQ(&a.at(3), atTwo);
    EXPECT_EQ(forwards(a), (std::vector<int>{-1, 0, 100, 1, 2, 3, 4, 5, 6}));
}

TEST(ArraySlots, FullArrayInsertsThroughGrowth) {
    Array<int> a;
    fill(a, {1, 2, 3});  // capacity 3, full
    ASSERT_EQ(a.capacity(), 3);
    a.insertAt(1, 9);
    EXPECT_EQ(a.capacity(), 6);
    EXPECT_EQ(forwards(a), (std::vector<int>{1, 9, 2, 3}));
}

TEST(ArraySlots, UsedSlotsAreCentredWhenTheyWouldPassTheEnd) {
    Array<int> a;
    fill(a, {1, 2, 3, 4, 5});  // capacity 6, offset 1
    ASSERT_EQ(a.capacity(), 6);
    ASSERT_EQ(a.offset(), 1);
    a.append(6);  // 1 + 6 > 6: centred at (6 - 6) / 2
    EXPECT_EQ(a.capacity(), 6);
    EXPECT_EQ(a.offset(), 0);
    EXPECT_EQ(forwards(a), (std::vector<int>{1, 2, 3, 4, 5, 6}));
}

TEST(ArraySlots, ShrinksOnlyLargeArraysBelowAQuarter) {
    Array<int> a;
    a.resize(2000);
    ASSERT_EQ(a.capacity(), 3000);
    a.truncate(800);  // not below a quarter
    EXPECT_EQ(a.capacity(), 3000);
    a.truncate(600);  // below a quarter and above 500
    EXPECT_EQ(a.capacity(), 900);
    EXPECT_EQ(a.offset(), 150);
    Array<int> small;
    small.resize(1000);
    small.truncate(10);  // 500 or fewer: the slot array stays
    EXPECT_EQ(small.capacity(), 1500);
}

TEST(ArraySlots, RotationBuildsANewSlotArray) {
    Array<int> a;
    fill(a, {1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_TRUE(a.rotateForward(3));
    EXPECT_EQ(a.capacity(), 12);
    EXPECT_EQ(a.offset(), 2);
    EXPECT_EQ(forwards(a), (std::vector<int>{4, 5, 6, 7, 8, 1, 2, 3}));
    EXPECT_TRUE(a.rotateBackward(3));
    EXPECT_EQ(forwards(a), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(ArrayOwnership, StringElementsAreCopies) {
    String name("alpha");
    Array<String> a;
    a.append(name);
    name.append("-changed");
    EXPECT_EQ(text(a.at(0)), "alpha");
    Array<String> copy(a);
    copy.at(0).append("!");
    EXPECT_EQ(text(a.at(0)), "alpha");
    EXPECT_EQ(text(copy.at(0)), "alpha!");
    String popped = copy.popHead();
    EXPECT_EQ(text(popped), "alpha!");
    EXPECT_TRUE(copy.isEmpty());
}

int compareInts(int* const* a, int* const* b) { return **a < **b ? -1 : **a > **b; }

TEST(ArraySort, SortsSlotPointersWithTheQuicksort) {
    const std::vector<std::vector<int>> inputs = {
        {},
        {1},
        {2, 1},
        {1, 2},
        {3, 1, 2},
        {5, 4, 3, 2, 1},
        {1, 2, 3, 4, 5, 6},
        {4, 4, 4, 4},
        {2, 1, 2, 1, 2, 1, 2},
        {9, -3, 7, 0, 0, 12, -3, 5, 8, 1, 1, 6},
        {1, 3, 5, 7, 9, 2, 4, 6, 8, 10, 0},
    };
    for (const auto& input : inputs) {
        SCOPED_TRACE(::testing::PrintToString(input));
        Array<int> a;
        fill(a, input);
        std::vector<int*> before;
        for (int i = 0; i < a.count(); ++i) before.push_back(&a.at(i));
        a.sort(compareInts);
        std::vector<int> expected = input;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(forwards(a), expected);
        // The same elements, only their slots reordered.
        std::vector<int*> after;
        for (int i = 0; i < a.count(); ++i) after.push_back(&a.at(i));
        std::sort(before.begin(), before.end());
        std::sort(after.begin(), after.end());
        EXPECT_EQ(before, after);
    }
}

TEST(ArraySort, LargeAndAdverseOrders) {
    std::mt19937 random(11);
    std::vector<std::vector<int>> inputs(4);
    for (int i = 0; i < 20000; ++i) {
        inputs[0].push_back(static_cast<int>(random() % 1000));
        inputs[1].push_back(i);
        inputs[2].push_back(20000 - i);
        inputs[3].push_back(i % 2 ? i : -i);
    }
    for (const auto& input : inputs) {
        Array<int> a;
        fill(a, input);
        a.sort(compareInts);
        std::vector<int> expected = input;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(forwards(a), expected);
    }
    Array<int> untouched;
    fill(untouched, {3, 1, 2});
    untouched.sort(nullptr);
    EXPECT_EQ(forwards(untouched), (std::vector<int>{3, 1, 2}));
}

int compareStrings(String* const* a, String* const* b) { return (*a)->compare(**b); }

TEST(ArraySort, StringsByTheirCompare) {
    Array<String> a;
    for (const char* s : {"pear", "apple", "fig", "Apple", "banana", "apple"}) a.append(s);
    a.sort(compareStrings);
    std::vector<std::string> sorted;
    for (int i = 0; i < a.count(); ++i) sorted.push_back(text(a.at(i)));
    EXPECT_EQ(sorted, (std::vector<std::string>{"Apple", "apple", "apple", "banana", "fig", "pear"}));
}

// ---- quicksort on records ----------------------------------------------------------

struct Record {
    int key;
    char payload[20];
};

int compareRecords(const void* a, const void* b, void* context) {
    ++*static_cast<int*>(context);
    int x = static_cast<const Record*>(a)->key, y = static_cast<const Record*>(b)->key;
    return x < y ? -1 : x > y;
}

int compareWords(const void* a, const void* b, void*) {
    int x = *static_cast<const int*>(a), y = *static_cast<const int*>(b);
    return x < y ? -1 : x > y;
}

TEST(QuickSort, RecordsOfAnySizeAndItsRefusals) {
    // A small record first, then a larger one: the scratch record must grow.
    int words[] = {5, 3, 9, 1};
    quickSort(words, 4, sizeof(int), compareWords, nullptr);
    EXPECT_EQ(std::vector<int>(words, words + 4), (std::vector<int>{1, 3, 5, 9}));

    std::vector<Record> records;
    for (int key : {42, 7, 19, 7, 3, 88, 0}) {
        Record r{key, {}};
        snprintf(r.payload, sizeof r.payload, "payload-%d", key);
        records.push_back(r);
    }
    int comparisons = 0;
    quickSort(records.data(), static_cast<int>(records.size()), sizeof(Record), compareRecords, &comparisons);
    EXPECT_GT(comparisons, 0);
    for (size_t i = 0; i < records.size(); ++i) {
        if (i) {
            EXPECT_LE(records[i - 1].key, records[i].key);
        }
        EXPECT_EQ(std::string(records[i].payload), "payload-" + std::to_string(records[i].key));
    }

    // Refusals leave the records untouched.
    int unsorted[] = {3, 2, 1};
    quickSort(nullptr, 3, sizeof(int), compareWords, nullptr);
    quickSort(unsorted, 0, sizeof(int), compareWords, nullptr);
    quickSort(unsorted, 3, 0, compareWords, nullptr);
    quickSort(unsorted, -1, sizeof(int), compareWords, nullptr);
    quickSort(unsorted, 3, sizeof(int), nullptr, nullptr);
    EXPECT_EQ(std::vector<int>(unsorted, unsorted + 3), (std::vector<int>{3, 2, 1}));
}

// ---- ValueArray ------------------------------------------------------------------------

TEST(ValueArrayStorage, CapacityWantedForTheCount) {
    const struct {
        int n, capacity;
    } cases[] = {{1, 6}, {4, 6}, {5, 7}, {10, 15}, {1365, 2047}, {1366, 3414}, {1400, 3448}, {3000, 5048}};
    for (const auto& c : cases) {
        ValueArray<int> v;
        v.resize(c.n);
        EXPECT_EQ(v.capacity(), c.capacity) << c.n;
        EXPECT_EQ(v.count(), c.n);
    }
}

TEST(ValueArrayStorage, ShrinksWhenFarTooLarge) {
    ValueArray<int> v;
    v.resize(3000);
    for (int i = 0; i < 3000; ++i) v.at(i) = i;
    v.resize(100);  // wanted 150, more than 2,048 below 5,048
    EXPECT_EQ(v.capacity(), 150);
    EXPECT_EQ(v.offset(), 12);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(v.at(i), i);
    v.resize(90);  // wanted 135 is not 2,048 below 150: stays
    EXPECT_EQ(v.capacity(), 150);
}

TEST(ValueArrayStorage, NewValuesAreZero) {
    ValueArray<int> v;
    fill(v, {1, 2, 3});
    v.resize(1);
    v.resize(3);
    EXPECT_EQ(forwards(v), (std::vector<int>{1, 0, 0}));
    v.reallocate(4);
    EXPECT_EQ(forwards(v), (std::vector<int>{0, 0, 0, 0}));
}

TEST(ValueArrayStorage, RotateBackwardUsesTheRoomInFront) {
    ValueArray<int> v;
    v.reallocate(4);  // capacity 8, offset 2
    ASSERT_EQ(v.capacity(), 8);
    ASSERT_EQ(v.offset(), 2);
    for (int i = 0; i < 4; ++i) v.at(i) = i + 1;
    EXPECT_TRUE(v.rotateBackward(1));
    EXPECT_EQ(v.offset(), 1);
    EXPECT_EQ(v.capacity(), 8);
    EXPECT_EQ(forwards(v), (std::vector<int>{4, 1, 2, 3}));
    EXPECT_TRUE(v.rotateBackward(2));  // 2 > offset 1: a new array of 2 x count
    EXPECT_EQ(v.capacity(), 8);
    EXPECT_EQ(v.offset(), 2);
    EXPECT_EQ(forwards(v), (std::vector<int>{2, 3, 4, 1}));
    EXPECT_TRUE(v.rotateForward(1));  // room behind: in place
    EXPECT_EQ(v.offset(), 3);
    EXPECT_EQ(forwards(v), (std::vector<int>{3, 4, 1, 2}));
}

TEST(ValueArrayStorage, ReallocateCentresOrGrows) {
    ValueArray<int> v;
    v.reallocate(2);
    EXPECT_EQ(v.capacity(), 6);
    EXPECT_EQ(v.offset(), 1);
    v.reallocate(5);
    EXPECT_EQ(v.capacity(), 6);
    EXPECT_EQ(v.offset(), 0);
    v.reallocate(7);
    EXPECT_EQ(v.capacity(), 14);
    EXPECT_EQ(v.offset(), 3);
    v.reallocate(4);
    EXPECT_EQ(v.capacity(), 14);
    EXPECT_EQ(v.offset(), 5);
    EXPECT_EQ(v.count(), 4);
}

// ---- InlineArray -----------------------------------------------------------------------

TEST(InlineArrayStorage, ReallocateReplacesEveryElement) {
    InlineArray<String> table;
    table.reallocate(3);
    EXPECT_EQ(table.count(), 3);
    table.at(1) = "kept?";
    table.reallocate(2);
    EXPECT_EQ(table.count(), 2);
    EXPECT_TRUE(table.at(1).isEmpty());
    table.at(0) = "a";
    table.at(1) = "b";
    table.resize(4);
    EXPECT_EQ(text(table.at(1)), "b");
    EXPECT_TRUE(table.at(3).isEmpty());
    table.insertAt(0, "z");
    EXPECT_EQ(text(table.at(0)), "z");
    EXPECT_EQ(text(table.at(2)), "b");
    table.reallocate(-1);
    EXPECT_TRUE(table.isEmpty());
}

TEST(InlineArrayStorage, HoldsListsThatMoveWithTheirNodes) {
    InlineArray<List<String>> buckets;
    buckets.reallocate(2);
    buckets.at(0).append("x");
    buckets.at(1).append("y");
    buckets.at(1).append("z");
    buckets.insertNew(0);
    EXPECT_EQ(buckets.count(), 3);
    EXPECT_TRUE(buckets.at(0).isEmpty());
    EXPECT_EQ(text(*buckets.at(1).headValue()), "x");
    EXPECT_EQ(buckets.at(2).count(), 2);
    EXPECT_EQ(text(*buckets.at(2).tailValue()), "z");
    EXPECT_TRUE(buckets.swap(0, 2));
    EXPECT_EQ(buckets.at(0).count(), 2);
    EXPECT_TRUE(buckets.at(2).isEmpty());
}

// ---- type names -----------------------------------------------------------------------

TEST(TypeName, ReadableNamesWithoutRunTimeTypeInformation) {
    EXPECT_EQ(text(typeName<int>()), "int");
    EXPECT_EQ(text(typeName<String>()), "String");
    EXPECT_EQ(text(typeName<List<int>>()), "List<int>");
    const struct {
        const char* signature;
        const char* name;
    } cases[] = {
        {"const char* signatureNaming() [with T = int]", "int"},
        {"const char *signatureNaming() [T = Foo]", "Foo"},
        {"f() [with T = A<int>; U = B]", "A<int>"},
        {"unrecognised", "unrecognised"},
    };
    for (const auto& c : cases) EXPECT_EQ(text(typeNameFromSignature(c.signature)), c.name) << c.signature;
}

}  // namespace

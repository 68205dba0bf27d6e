#include "core/quick_sort.h"

#include <cstring>

#include "core/memory.h"

namespace {

// Grown to the largest record sorted so far and kept for later sorts.
char* scratch = nullptr;
int scratchSize = 0;

class Records {
public:
    Records(char* base, int size, RecordCompare compare, void* context)
        : base_(base), size_(static_cast<size_t>(size)), compare_(compare), context_(context) {}

    int compare(int a, int b) const { return compare_(at(a), at(b), context_); }

    void exchange(int a, int b) {
        std::memcpy(scratch, at(a), size_);
        std::memcpy(at(a), at(b), size_);
        std::memcpy(at(b), scratch, size_);
    }

    // Record a goes to c, c to b, b to a.
    void rotate(int a, int b, int c) {
        std::memcpy(scratch, at(a), size_);
        std::memcpy(at(a), at(b), size_);
        std::memcpy(at(b), at(c), size_);
        std::memcpy(at(c), scratch, size_);
    }

    // Partitions first..last around the middle record; returns where the
    // pivot ends: everything before it compares <= 0, everything after > 0.
    int partition(int first, int last) {
        int p = first + (last - first) / 2;
        int i = first;
        int j = last;
        while (i < p) {
            if (compare(i, p) <= 0) {
                ++i;
                continue;
            }
            while (j > p && compare(j, p) >= 0) --j;
            if (j > p) {
                exchange(i, j);
                --j;
                ++i;
            } else if (i == p - 1) {
                exchange(i, p);
                --p;
            } else {
                // Pivot to p - 1, the record to p, the record from p - 1 to i
                // (examined next).
                rotate(i, p - 1, p);
                --p;
            }
        }
        int k = last;
        while (k > p) {
            if (compare(k, p) > 0) {
                --k;
            } else if (k == p + 1) {
                exchange(k, p);
                ++p;
            } else {
                // Pivot to p + 1, the record to p, the record from p + 1 to k
                // (examined next).
                rotate(k, p + 1, p);
                ++p;
            }
        }
        return p;
    }

    // Recurses into the smaller side only, so the depth stays logarithmic
    // whatever order the records come in.
    void sort(int first, int last) {
        while (first < last) {
            int p = partition(first, last);
            if (p - first < last - p) {
                sort(first, p - 1);
                first = p + 1;
            } else {
                sort(p + 1, last);
                last = p - 1;
            }
        }
    }

private:
    char* at(int i) const { return base_ + static_cast<size_t>(i) * size_; }

    char* base_;
    size_t size_;
    RecordCompare compare_;
    void* context_;
};

}  // namespace

void quickSort(void* base, int count, int recordSize, RecordCompare compare, void* context) {
    if (!base || count < 1 || recordSize < 1 || !compare) return;
    if (recordSize > scratchSize) {
        scratch = static_cast<char*>(reallocateBytes(scratch, static_cast<size_t>(recordSize)));
        scratchSize = recordSize;
    }
    Records(static_cast<char*>(base), recordSize, compare, context).sort(0, count - 1);
}

// The quicksort behind Array::sort: fixed-size records in place, pivot at the
// middle index, not stable. Exchanges go through one scratch record shared
// by all sorts, so a comparison function must not start another sort.
#pragma once

// Negative, 0 or positive, as for qsort; context is passed through.
using RecordCompare = int (*)(const void* a, const void* b, void* context);

// Does nothing unless base and compare are given and count and recordSize
// are positive.
void quickSort(void* base, int count, int recordSize, RecordCompare compare, void* context);

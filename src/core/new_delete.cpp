// The program's own operator new and delete: failed allocations of objects
// end in the out-of-memory report, and libstdc++'s exception machinery stays
// out of the stub.
#include <cstddef>

#include "core/memory.h"

void* operator new(size_t size) { return allocateBytes(size); }
void* operator new[](size_t size) { return allocateBytes(size); }
void operator delete(void* block) noexcept { freeBytes(block); }
void operator delete[](void* block) noexcept { freeBytes(block); }
void operator delete(void* block, size_t) noexcept { freeBytes(block); }
void operator delete[](void* block, size_t) noexcept { freeBytes(block); }

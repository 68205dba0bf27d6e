// Raw allocation for the core: every failure ends the process through
// outOfMemoryHandler, so callers never see a null result.
#pragma once

#include <cstddef>

void* allocateBytes(size_t size);
void* reallocateBytes(void* block, size_t size);
void freeBytes(void* block);

// Shows "Out Of Memory..." with the requested size and ends the process.
[[noreturn]] void outOfMemoryHandler(unsigned long long requestedSize);

#include "core/memory.h"

#include <cstdlib>

#include "core/fatal.h"
#include "core/number_text.h"
#include "core/str.h"

void* allocateBytes(size_t size) {
    void* block = std::malloc(size ? size : 1);
    if (!block) outOfMemoryHandler(size);
    return block;
}

void* reallocateBytes(void* block, size_t size) {
    void* moved = std::realloc(block, size ? size : 1);
    if (!moved) outOfMemoryHandler(size);
    return moved;
}

void freeBytes(void* block) { std::free(block); }

void outOfMemoryHandler(unsigned long long requestedSize) {
    // The String below needs memory too; a report about a huge request
    // still fits, and a machine with no memory at all ends in the box's failure.
    String size = withThousands(static_cast<long long>(requestedSize));
    reportFatalError("Out Of Memory.  Make sure your hard drive is not full.\nRequested size = %s",
                     size.cStr());
}

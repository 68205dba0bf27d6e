#include "ui/link_library.h"

#include <cstdlib>

#include "core/memory.h"
#include "files/path_text.h"
#include "files/system_folders.h"

namespace {

HMODULE* linked = nullptr;
int linkedCount = 0;
int linkedCapacity = 0;

void remember(HMODULE library) {
    if (linkedCount == linkedCapacity) {
        linkedCapacity = linkedCapacity ? linkedCapacity * 2 : 4;
        linked = static_cast<HMODULE*>(reallocateBytes(linked, sizeof(HMODULE) * static_cast<size_t>(linkedCapacity)));
    }
    static bool releaseRegistered = false;
    if (!releaseRegistered) {
        std::atexit(releaseLinkedLibraries);
        releaseRegistered = true;
    }
    linked[linkedCount++] = library;
}

}  // namespace

bool linkLibrary(const char* libraryName, const LinkEntry* table) {
    if (!table || !libraryName) return false;
    // By full path: a bare name would also be looked for in the program's
    // folder, where anybody may have put a library of that name.
    HMODULE library = LoadLibraryA(joinPath(systemDirectory(), libraryName).cStr());
    if (!library) return false;
    bool result = true;
    for (const LinkEntry* entry = table; entry->store; ++entry) {
        *entry->store = entry->name ? GetProcAddress(library, entry->name) : nullptr;
        if (!*entry->store && !entry->optional) result = false;
    }
    remember(library);
    return result;
}

void releaseLinkedLibraries() {
    for (int i = 0; i < linkedCount; ++i)
        if (linked[i]) FreeLibrary(linked[i]);
    freeBytes(linked);
    linked = nullptr;
    linkedCount = linkedCapacity = 0;
}

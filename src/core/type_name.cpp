#include "core/type_name.h"

#include <cstring>

String typeNameFromSignature(const char* signature) {
    const char* start = std::strstr(signature, "T = ");
    if (!start) return String(signature);
    start += 4;
    // The name ends at the closing bracket (or at the next parameter, which
    // the single-parameter template never has).
    const char* end = start + std::strlen(start);
    if (end > start && end[-1] == ']') --end;
    const char* semicolon = std::strchr(start, ';');
    if (semicolon && semicolon < end) end = semicolon;
    return String(start, static_cast<int>(end - start));
}

// Readable element-type names for container reports, without run-time type
// information (the stub is built without it): the compiler's own signature
// text of a function template instantiated for the type carries the name.
#pragma once

#include "core/str.h"

// The type name inside a signature such as "... [with T = int]"; the whole
// signature when it has no such part.
String typeNameFromSignature(const char* signature);

template <class T>
const char* signatureNaming() {
    return __PRETTY_FUNCTION__;
}

template <class T>
String typeName() {
    return typeNameFromSignature(signatureNaming<T>());
}

// The benchmarks' fatal hook: the core's fatal reports (and the programs'
// own failed checks) print their text and end with exit code 2. Included
// once by each benchmark program.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "core/fatal.h"

void reportFatalError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
    std::exit(2);
}

// The core's fatal hook for the builder: the text on stderr, exit code 2.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "core/fatal.h"

void reportFatalError(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::fputs("qpack: fatal: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
    std::exit(2);
}

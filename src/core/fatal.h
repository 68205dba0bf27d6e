// The one way the core reports what cannot go on.
//
// Declared here, defined by the program (a "FATAL ERROR" box, then the exit
// routine) and by the test support (records the text so tests can assert it).
#pragma once

#if defined(__GNUC__)
#define QP_PRINTF(fmtIndex, firstArg) __attribute__((format(printf, fmtIndex, firstArg)))
#else
#define QP_PRINTF(fmtIndex, firstArg)
#endif

[[noreturn]] void reportFatalError(const char* format, ...) QP_PRINTF(1, 2);

// Consistency failures are programming errors: "%s %d" with the module name
// (Core32, core32, gfile, registry, ginstall, qpk) and a fixed check number.
[[noreturn]] void reportConsistencyFailure(const char* module, int checkNumber);

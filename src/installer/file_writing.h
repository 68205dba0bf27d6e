// Writing one whole file of an installation, with retries and the checks the
// archive asks for.
#pragma once

#include <cstdint>

#include "core/byte_span.h"
#include "core/date_time.h"
#include "core/str.h"

// Up to three attempts, one right after the other: create or empty the file
// and write all of contents. With FlagVerifyWrites an attempt only counts when
// the file reads back byte for byte; with FlagClearReadOnly a first attempt
// that cannot create or write clears the read-only attribute before the next.
// A written file gets fileTime as its last-write time (when it carries one)
// through the handle that wrote it, before the read-back. After three failures: message 31, the path and a line break
// go to problemText and the result is false.
bool writeFileWithRetry(const char* path, ByteSpan contents, const FileDateTime& fileTime, uint32_t flags,
                        String& problemText);

// Placing the files of the payload: where each record goes, whether an
// existing file there is left alone or replaced (by placement mode, date and
// version), files in use, fonts, and what the uninstall record learns.
// Nothing here stops the run: failures become lines of the state's
// problemText, decisions about existing files lines of its detailsText.
#pragma once

#include <cstdint>

#include "archive/file_record.h"
#include "core/date_time.h"
#include "core/memory_stream.h"
#include "installer/background_expansion.h"
#include "installer/run_state.h"

// Every record of the payload in order (record i has fileSizes[i] bytes of
// contents), with the progress bar moving from 45 towards 85; background is
// the expansion still filling the payload, if any. Damaged records end the
// program with their corrupt-archive code.
void placeFiles(MemoryStream& payload, const int32_t* fileSizes, int fileCount, RunState& state,
                BackgroundExpansion* background = nullptr);

// One record; an unknown kind (110) or the invalid placement mode (112) ends
// the program.
void placeFileRecord(const FileRecord& record, RunState& state);

// True when the existing file at path should give way to a record with
// fileTime: the record carries no time, the file's time cannot be read, or
// it is earlier than fileTime.
bool needsReplacing(const char* path, const FileDateTime& fileTime);

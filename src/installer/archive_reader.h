// Reads the archive appended to the program's own file: the container and
// header (settings, languages, messages), the payload from the file and its
// volumes "Disk2.QPK", ... beside the program, and the file records. Every
// damage ends the program with its corrupt-archive code.
#pragma once

#include "archive/file_record.h"
#include "core/memory_stream.h"
#include "files/file.h"
#include "installer/background_expansion.h"

// The file is open for reading. On return the header settings, the string
// table and the background settings are filled and the file is positioned
// at the first payload byte. Does not return on failure.
void readArchiveHeader(File& file);

// With the progress dialog open: reads the payload from the file's position
// and from the volumes, checks it and expands it when compressed; the stream
// is left at position 0 and the file closed. Asks for a missing volume (in
// automatic mode a missing volume is fatal); does not return on failure.
// Given background, a token image goes on expanding there while the records
// are read (see readFileRecord); the caller then ends with finish().
void readPayload(File& file, MemoryStream& payload, BackgroundExpansion* background = nullptr);

// Reads the next record, whose contents are `size` bytes, waiting for the
// background expansion that fills the payload, if any, to produce it. Does
// not return on failure (codes 60, 70, 90, 100).
void readFileRecord(MemoryStream& payload, int32_t size, FileRecord& record,
                    BackgroundExpansion* background = nullptr);

// The fatal texts of the volume reading.
extern const char EmptyVolumeFormat[];
extern const char MissingVolumeFormat[];

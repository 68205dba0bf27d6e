// Reads the archive appended to the program's own file: the container and
// header (settings, languages, messages), the payload from the file and its
// volumes "Disk2.QPK", ... beside the program, and the file records. Every
// damage ends the program with its corrupt-archive code.
#pragma once

#include "archive/file_record.h"
#include "core/memory_stream.h"
#include "files/file.h"

// The file is open for reading. On return the header settings, the string
// table and the background settings are filled and the file is positioned
// at the first payload byte. Does not return on failure.
void readArchiveHeader(File& file);

// With the progress dialog open: reads the payload from the file's position
// and from the volumes, checks it and expands it when compressed; the stream
// is left at position 0 and the file closed. Asks for a missing volume (in
// automatic mode a missing volume is fatal); does not return on failure.
void readPayload(File& file, MemoryStream& payload);

// Reads the next record, whose contents are `size` bytes. Does not return on
// failure (codes 70, 90, 100).
void readFileRecord(MemoryStream& payload, int32_t size, FileRecord& record);

// The fatal texts of the volume reading.
extern const char EmptyVolumeFormat[];
extern const char MissingVolumeFormat[];

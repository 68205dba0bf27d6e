// Reads an installer as the program does (container, header, payload from
// the file and its volumes, records) and reports what it holds, verifying
// every checksum whether or not the archive asks the program to.
#pragma once

#include <filesystem>
#include <ostream>

// Writes one "name: value" line per setting, language, message and file to
// `out`. Returns 0 for a sound archive, the corrupt-archive code of the
// first damage found, or 1 when the file or a volume cannot be read.
int inspectInstaller(const std::filesystem::path& installer, std::ostream& out);

// A text in double quotes with C escapes (\r \n \t \\ \" \xHH), as the
// report writes every text.
std::string quotedText(const char* bytes, int length);

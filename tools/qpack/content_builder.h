// Turns a parsed project into archive content: reads the texts, picture,
// message files and the files themselves, expands wildcards, and fills in
// times, versions, shortcut and font names.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "qpack/archive_writer.h"
#include "qpack/project.h"

// Told after each file of [Files] is read: how many of how many, and their bytes so far.
using FileReadProgress = std::function<void(size_t filesRead, size_t fileCount, uint64_t bytesRead)>;

// Throws ProjectError (file and line of the project entry at fault) for a
// missing or unreadable file, a wildcard that matches nothing, an unsafe
// record name, two records of one kind with one name, or a bad picture.
// Messages a language lacks fall back to English, with a warning.
ArchiveContent resolveProject(const Project& project, std::vector<std::string>& warnings,
                              const FileReadProgress& progress = {});

// Reads a whole file; throws ProjectError naming `line` of `project` when it cannot.
Bytes readInputFile(const std::filesystem::path& file, const std::string& project, int line);

// Lone LF line ends become CR LF, as Windows edit controls and batch files expect.
std::string withWindowsLineEnds(const std::string& text);

// True when name matches pattern with * and ?, ignoring ASCII case.
bool wildcardMatch(const std::string& pattern, const std::string& name);

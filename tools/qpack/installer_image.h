// Puts an installer together: program bytes, container, scrambled header,
// payload (split over volume files when asked) and trailer; and writes the
// files so that a failed build leaves nothing behind.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "qpack/archive_writer.h"
#include "qpack/compressor.h"
#include "qpack/pe_header.h"

// Compresses bytes into a compressed image (a token image at a level from 1
// to 9, or a range image, which has no levels), telling progress (when not
// empty) as it goes.
using Compressor = std::function<Bytes(const Bytes&, int level, const CompressionProgress& progress)>;

struct BuildSettings {
    bool compressHeader = true;
    int level = DefaultCompressionLevel;
    int64_t volumeSize = 0;  // largest size of each file of the set; 0: one file
    Compressor compress;     // null: compression is not available
    // The payload's compression, the one step that takes long; the header's is not told.
    CompressionProgress payloadProgress;
};

struct InstallerImage {
    Bytes installer;
    std::vector<Bytes> volumes;  // Disk2.QPK, Disk3.QPK, ...
};

// What a stub's program runs on. Throws std::runtime_error, saying why, for a
// file that is not a Windows program for x86 or x64.
PeArchitecture stubArchitecture(const Bytes& stub);

// The program part of a bare stub: the stub as built ends in a zero trailer
// (so that alone it reports that it holds no archive), which is dropped.
// Throws std::runtime_error for a file that is not a bare stub of a known
// architecture.
Bytes programBytesOfStub(const Bytes& stub);

// Throws std::runtime_error when the volume size cannot hold the program and
// header, or when compression is asked for and not available.
InstallerImage assembleInstaller(const Bytes& program, const ArchiveContent& content, const BuildSettings& settings);

// Writes the installer to `output` and its volumes beside it. Every file is
// first written under a temporary name, then all are renamed; on any failure
// the temporary files are removed and std::runtime_error is thrown.
void writeInstallerFiles(const InstallerImage& image, const std::filesystem::path& output);

// Removes the installer and volumes writeInstallerFiles wrote (a later step
// of the build failed); errors are ignored.
void removeInstallerFiles(const InstallerImage& image, const std::filesystem::path& output);

// "Disk%d.QPK" for a volume number (2, 3, ...).
std::string volumeFileName(int number);

// `qpack build`: project file in, installer (and volumes) out.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "qpack/compressor.h"
#include "qpack/content_builder.h"
#include "qpack/installer_image.h"
#include "qpack/pe_header.h"
#include "qpack/signing.h"

struct BuildRequest {
    std::filesystem::path project;
    std::filesystem::path output;
    std::filesystem::path stub;
    // The stub must be a program for this architecture; none: for either.
    std::optional<PeArchitecture> architecture;
    // The stub was looked up beside qpack rather than named: when it is
    // missing, qpack was installed without it.
    bool stubBesideQpack = false;
    // --sign CERT KEY; it takes the place of the project's own signing settings.
    std::optional<SigningKey> signing;
};

// The stub qpack ships beside itself for an architecture: quillpack.exe
// (x86) or quillpack64.exe (x64).
std::string stubFileName(PeArchitecture architecture);

// What a long build tells as it goes, on the calling thread; either may be empty.
struct BuildProgress {
    FileReadProgress reading;
    CompressionProgress compressing;  // the payload's
};

// Throws ProjectError or std::runtime_error; then nothing has been written.
// When signing is asked for (request or project) and osslsigncode is not
// installed, that is found before anything is written.
// Returns the image that was written (for reporting its sizes).
InstallerImage buildInstaller(const BuildRequest& request, std::vector<std::string>& warnings,
                              const BuildProgress& progress = {});

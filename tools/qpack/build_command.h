// `qpack build`: project file in, installer (and volumes) out.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "qpack/installer_image.h"

struct BuildRequest {
    std::filesystem::path project;
    std::filesystem::path output;
    std::filesystem::path stub;
};

// Throws ProjectError or std::runtime_error; then nothing has been written.
// Returns the image that was written (for reporting its sizes).
InstallerImage buildInstaller(const BuildRequest& request, std::vector<std::string>& warnings);

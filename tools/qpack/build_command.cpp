#include "qpack/build_command.h"

#include "qpack/compressor.h"
#include "qpack/content_builder.h"
#include "qpack/project.h"

InstallerImage buildInstaller(const BuildRequest& request, std::vector<std::string>& warnings) {
    Project project = loadProject(request.project);
    ArchiveContent content = resolveProject(project, warnings);
    if ((content.flags & FlagRestartPending) != 0)
        warnings.push_back(request.project.string() +
                           ": the flag restart-pending is normally set by the installation itself");
    Bytes stub = readInputFile(request.stub, request.stub.string(), 0);
    BuildSettings settings;
    settings.compressHeader = project.compressHeader;
    settings.level = project.compressionLevel;
    settings.volumeSize = project.volumeSize;
    settings.compress = [](const Bytes& bytes, int level) {
        std::vector<unsigned char> image = compressImage(bytes.data(), bytes.size(), level);
        return Bytes(image.begin(), image.end());
    };
    InstallerImage image = assembleInstaller(programBytesOfStub(stub), content, settings);
    writeInstallerFiles(image, request.output);
    return image;
}

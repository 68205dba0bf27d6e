#include "qpack/build_command.h"

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
    settings.compress = request.compress;
    if (project.compressHeader && !settings.compress)
        warnings.push_back("compression is not available in this build: the header is stored plain");
    InstallerImage image = assembleInstaller(programBytesOfStub(stub), content, settings);
    writeInstallerFiles(image, request.output);
    return image;
}

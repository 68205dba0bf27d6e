#include "qpack/build_command.h"

#include <stdexcept>

#include "qpack/compressor.h"
#include "qpack/content_builder.h"
#include "qpack/project.h"
#include "qpack/range_compressor.h"

namespace fs = std::filesystem;

namespace {

// The program part of the stub, once it is known to be a bare stub for the
// asked architecture; every problem names the stub and says how to fix it.
Bytes stubProgram(const BuildRequest& request) {
    const std::string name = request.stub.string();
    std::error_code ec;
    if (!fs::exists(request.stub, ec)) {
        if (request.stubBesideQpack)
            throw std::runtime_error("the " + architectureName(request.architecture.value_or(PeArchitecture::X86)) +
                                     " stub " + name + " is missing: qpack looks for its stubs in its own folder. "
                                     "Give the stub with --stub PATH, or install qpack with " +
                                     stubFileName(PeArchitecture::X86) + " and " + stubFileName(PeArchitecture::X64) +
                                     " beside it");
        throw std::runtime_error("the stub " + name + " given with --stub does not exist");
    }
    Bytes stub = readInputFile(request.stub, name, 0);
    Bytes program;
    PeArchitecture found = PeArchitecture::Unknown;
    try {
        program = programBytesOfStub(stub);
        found = stubArchitecture(stub);
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(name + ": " + e.what());
    }
    if (request.architecture && found != *request.architecture)
        throw std::runtime_error(name + ": the stub is an " + architectureName(found) + " program, but an " +
                                 architectureName(*request.architecture) + " installer was asked for");
    return program;
}

// Range images have no levels: the level is for token images only.
Compressor compressorFor(Codec codec) {
    if (codec == Codec::Small)
        return [](const Bytes& bytes, int, const CompressionProgress& told) {
            return compressRangeImage(bytes.data(), bytes.size(), told);
        };
    return [](const Bytes& bytes, int level, const CompressionProgress& told) {
        return compressImage(bytes.data(), bytes.size(), level, told);
    };
}

}  // namespace

std::string stubFileName(PeArchitecture architecture) {
    return architecture == PeArchitecture::X64 ? "quillpack64.exe" : "quillpack.exe";
}

InstallerImage buildInstaller(const BuildRequest& request, std::vector<std::string>& warnings,
                              const BuildProgress& progress) {
    // The stub first: a missing or wrong one is found before any input is read.
    Bytes program = stubProgram(request);
    Project project = loadProject(request.project);
    ArchiveContent content = resolveProject(project, warnings, progress.reading);
    if ((content.flags & FlagRestartPending) != 0)
        warnings.push_back(request.project.string() +
                           ": the flag restart-pending is normally set by the installation itself");
    BuildSettings settings;
    settings.compressHeader = project.compressHeader;
    settings.level = project.compressionLevel;
    settings.volumeSize = project.volumeSize;
    settings.payloadProgress = progress.compressing;
    settings.compress = compressorFor(project.codec);
    // The program tells a payload's codec by this flag, a header's by its magic word.
    if (project.codec == Codec::Small && (content.flags & FlagCompressedPayload)) content.flags |= FlagRangePayload;
    std::optional<SigningKey> signing = request.signing;
    if (!signing && !project.signCertificate.empty())
        signing = SigningKey{project.signCertificate, project.signKey};
    if (signing) findOsslsigncode();

    InstallerImage image = assembleInstaller(program, content, settings);
    writeInstallerFiles(image, request.output);
    if (signing) {
        try {
            signInstaller(request.output, *signing);
        } catch (const std::runtime_error&) {
            removeInstallerFiles(image, request.output);
            throw;
        }
    }
    return image;
}

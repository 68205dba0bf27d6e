// qpack: builds Quillpack installers from project files and inspects them.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "qpack/build_command.h"
#include "qpack/inspect.h"
#include "qpack/progress_line.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include <cstdio>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

const char Usage[] =
    "usage:\n"
    "  qpack build PROJECT [-o SETUP.EXE] [--arch x86|x64] [--stub QUILLPACK.EXE]\n"
    "              [--sign CERT KEY] [--quiet]\n"
    "  qpack inspect SETUP.EXE\n"
    "--arch picks the stub in the folder of qpack itself: x86 (the default) takes\n"
    "quillpack.exe, x64 takes quillpack64.exe. --stub names another stub; given\n"
    "with --arch, it must be a program for that architecture.\n"
    "--sign signs the installer with osslsigncode (which must be installed), the\n"
    "certificate CERT and its private key KEY; it takes the place of the project's\n"
    "SignCertificate and SignKey.\n"
    "On a terminal, a build that takes a while shows on stderr how far reading\n"
    "and compressing have come; --quiet leaves that line out.\n";

fs::path ownFolder(const char* argv0) {
#ifdef _WIN32
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n > 0 && n < MAX_PATH) return fs::path(path).parent_path();
#else
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) return self.parent_path();
#endif
    return fs::absolute(argv0).parent_path();
}

bool stderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

double secondsNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int usageError(const std::string& problem) {
    std::cerr << "qpack: " << problem << "\n" << Usage;
    return 64;
}

int build(const std::vector<std::string>& args, const char* argv0) {
    BuildRequest request;
    request.output = "Setup.exe";
    bool quiet = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "-o" || a == "--stub") && i + 1 < args.size()) {
            (a == "-o" ? request.output : request.stub) = args[++i];
        } else if (a == "--sign" && i + 2 < args.size()) {
            request.signing = SigningKey{args[i + 1], args[i + 2]};
            i += 2;
        } else if (a == "--arch" && i + 1 < args.size()) {
            PeArchitecture architecture = architectureNamed(args[++i]);
            if (architecture == PeArchitecture::Unknown) return usageError("unknown architecture " + args[i]);
            request.architecture = architecture;
        } else if (a == "--quiet") {
            quiet = true;
        } else if (!a.empty() && a[0] == '-') {
            return usageError("unknown option " + a);
        } else if (request.project.empty()) {
            request.project = a;
        } else {
            return usageError("more than one project given");
        }
    }
    if (request.project.empty()) return usageError("no project file given");
    if (request.stub.empty()) {
        // The stub qpack ships with is the one for the architecture asked for, x86 unless told.
        request.architecture = request.architecture.value_or(PeArchitecture::X86);
        request.stub = ownFolder(argv0) / stubFileName(*request.architecture);
        request.stubBesideQpack = true;
    }
    ProgressLine line(!quiet && stderrIsTerminal(), secondsNow(),
                      [](const std::string& text) { std::cerr << text << std::flush; });
    BuildProgress progress;
    progress.reading = [&line](size_t filesRead, size_t fileCount, uint64_t bytesRead) {
        line.reading(filesRead, fileCount, bytesRead, secondsNow());
    };
    progress.compressing = [&line](size_t consumed, size_t total) { line.compressing(consumed, total, secondsNow()); };
    std::vector<std::string> warnings;
    try {
        InstallerImage image = buildInstaller(request, warnings, progress);
        line.clear();
        for (const std::string& w : warnings) std::cerr << "qpack: warning: " << w << "\n";
        // The file as written: a signature makes it longer than the image.
        std::error_code ec;
        uintmax_t size = fs::file_size(request.output, ec);
        std::cout << "wrote " << request.output.string() << " (" << (ec ? image.installer.size() : size) << " bytes)";
        if (!image.volumes.empty()) std::cout << " and " << image.volumes.size() << " volume file(s)";
        std::cout << "\n";
        return 0;
    } catch (const std::exception& e) {
        line.clear();
        for (const std::string& w : warnings) std::cerr << "qpack: warning: " << w << "\n";
        std::cerr << "qpack: error: " << e.what() << "\n";
        return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::cout << Usage;
        return args.empty() ? 64 : 0;
    }
    std::string command = args[0];
    args.erase(args.begin());
    if (command == "build") return build(args, argv[0]);
    if (command == "inspect") {
        if (args.size() != 1) return usageError("inspect takes one installer");
        return inspectInstaller(args[0], std::cout);
    }
    return usageError("unknown command " + command);
}

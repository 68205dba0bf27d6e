#include "qpack/signing.h"

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <process.h>
#else
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
const char ProgramName[] = "osslsigncode.exe";
const char PathSeparator = ';';
#else
const char ProgramName[] = "osslsigncode";
const char PathSeparator = ':';
#endif

// Runs the program with arguments and waits; its exit code, or -1 when it could not run.
int runProgram(const fs::path& program, const std::vector<std::string>& args) {
    std::vector<std::string> words{program.string()};
    words.insert(words.end(), args.begin(), args.end());
#ifdef _WIN32
    // The C runtime joins the words into one command line: quote each.
    std::vector<std::string> quoted;
    for (const std::string& w : words) quoted.push_back("\"" + w + "\"");
    std::vector<const char*> argv;
    for (const std::string& w : quoted) argv.push_back(w.c_str());
    argv.push_back(nullptr);
    intptr_t code = _spawnv(_P_WAIT, words[0].c_str(), argv.data());
    return code < 0 ? -1 : static_cast<int>(code);
#else
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
#endif
}

}  // namespace

fs::path findOsslsigncode() {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "";
    for (size_t start = 0; start <= folders.size();) {
        size_t end = folders.find(PathSeparator, start);
        if (end == std::string::npos) end = folders.size();
        if (end > start) {
            fs::path candidate = fs::path(folders.substr(start, end - start)) / ProgramName;
            std::error_code ec;
            if (fs::is_regular_file(candidate, ec)) return candidate;
        }
        start = end + 1;
    }
    throw std::runtime_error(std::string("signing needs ") + ProgramName +
                             ", which is not installed (not found on PATH): install it, or build without "
                             "signing and sign the installer yourself");
}

void signInstaller(const fs::path& installer, const SigningKey& signing) {
    fs::path program = findOsslsigncode();
    for (const fs::path& file : {signing.certificate, signing.key}) {
        std::error_code ec;
        if (!fs::is_regular_file(file, ec)) throw std::runtime_error("the signing file " + file.string() + " does not exist");
    }
    fs::path signedFile = installer.string() + ".qpack-signed";
    int code = runProgram(program, {"sign", "-certs", signing.certificate.string(), "-key", signing.key.string(), "-in",
                                    installer.string(), "-out", signedFile.string()});
    std::error_code ec;
    if (code != 0) {
        fs::remove(signedFile, ec);
        throw std::runtime_error(program.string() + " could not sign " + installer.string() +
                                 (code < 0 ? " (it did not run)" : " (exit code " + std::to_string(code) + ")"));
    }
    fs::rename(signedFile, installer, ec);
    if (ec) {
        fs::remove(signedFile, ec);
        throw std::runtime_error("cannot replace " + installer.string() + " by its signed copy");
    }
}

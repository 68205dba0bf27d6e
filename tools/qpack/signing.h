// The optional signing step of a build: osslsigncode puts an Authenticode
// signature on the written installer.
#pragma once

#include <filesystem>

// The certificate (PEM or DER) and its private key to sign with.
struct SigningKey {
    std::filesystem::path certificate;
    std::filesystem::path key;
};

// The osslsigncode program found on PATH. Throws std::runtime_error, saying
// so, when it is not installed.
std::filesystem::path findOsslsigncode();

// Signs `installer` in place with osslsigncode. Throws std::runtime_error,
// saying why, when it is not installed or fails; the file is then unchanged.
void signInstaller(const std::filesystem::path& installer, const SigningKey& signing);

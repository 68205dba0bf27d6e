#include "qpack/installer_image.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "archive/pe_signature.h"

namespace fs = std::filesystem;

std::string volumeFileName(int number) {
    char name[32];
    std::snprintf(name, sizeof name, VolumeNameFormat, number);
    return name;
}

PeArchitecture stubArchitecture(const Bytes& stub) {
    PeHeaders headers;
    std::string problem = readPeHeaders(stub.data(), stub.size(), headers);
    if (!problem.empty()) throw std::runtime_error("the stub is not a Windows program: " + problem);
    PeArchitecture architecture = architectureOf(headers);
    if (architecture == PeArchitecture::Unknown)
        throw std::runtime_error("the stub's architecture is " + describeArchitecture(headers) +
                                 ": a stub is an x86 (PE32, i386) or x64 (PE32+, AMD64) program");
    return architecture;
}

Bytes programBytesOfStub(const Bytes& stub) {
    stubArchitecture(stub);
    for (size_t i = stub.size() - TrailerSize; i < stub.size(); ++i)
        if (stub[i] != 0) throw std::runtime_error("the stub already carries an archive (its trailer is not zero)");
    return Bytes(stub.begin(), stub.end() - TrailerSize);
}

namespace {

// A signer rewrites the CheckSum field and the certificate-table entry, so
// the reader counts both as zero, and so does the checksum written for it.
uint32_t programChecksumOf(const Bytes& program) {
    Bytes copy(program);
    clearSignatureFields(reinterpret_cast<char*>(copy.data()), static_cast<int32_t>(copy.size()));
    return checksumOf(copy);
}

// One layout of the installer: the program, the container, the header image
// (its plain stream ending in `headerPadding` bytes, which the reader never
// reaches) and as much of the payload as the first file holds, then the
// trailer. A plain header is padded with zeros; a compressed one with the
// bytes 1, 2, 3, ..., which stay literals, so that each one lengthens the
// image by about a byte (zeros would all go into one run of the same length).
InstallerImage layOut(const Bytes& program, uint32_t programChecksum, const ArchiveContent& content, const Bytes& payload,
                      bool compressHeader, int headerPadding, const BuildSettings& settings) {
    Bytes plain = encodePlainHeader(content, programChecksum, payload);
    for (int i = 0; i < headerPadding; ++i) plain.push_back(compressHeader ? static_cast<unsigned char>(i + 1) : 0);
    uint32_t key = checksumOf(plain);
    Bytes image = compressHeader ? settings.compress(plain, settings.level, {}) : plain;
    scramble(image.data(), static_cast<int>(image.size()), key);

    if (program.size() + ContainerPrefixSize + image.size() + payload.size() + TrailerSize > 0x7FFFFFFFu)
        throw std::runtime_error("the installer would be larger than 2 GB");
    ByteWriter w;
    w.raw(program);
    w.u32(ArchiveMagic);
    w.i32(static_cast<int32_t>(image.size()));
    w.u32(key);
    w.raw(image);

    InstallerImage out;
    size_t firstPart = payload.size();
    if (settings.volumeSize > 0) {
        int64_t room = settings.volumeSize - static_cast<int64_t>(w.bytes.size()) - TrailerSize;
        if (room < 0)
            throw std::runtime_error("the volume size " + std::to_string(settings.volumeSize) +
                                     " is smaller than the installer's program and header (" +
                                     std::to_string(w.bytes.size() + TrailerSize) + " bytes)");
        firstPart = std::min(payload.size(), static_cast<size_t>(room));
        if (firstPart < payload.size()) {
            // A full first file ends where the volume size says; the bytes that
            // would keep it from ending aligned go to the next volume instead.
            size_t over = (w.bytes.size() + firstPart + TrailerSize) % SignerAlignment;
            if (firstPart >= over) firstPart -= over;
        }
        for (size_t at = firstPart; at < payload.size(); at += static_cast<size_t>(settings.volumeSize)) {
            size_t n = std::min(payload.size() - at, static_cast<size_t>(settings.volumeSize));
            out.volumes.emplace_back(payload.begin() + static_cast<std::ptrdiff_t>(at),
                                     payload.begin() + static_cast<std::ptrdiff_t>(at + n));
        }
    }
    w.bytes.insert(w.bytes.end(), payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(firstPart));
    w.i32(static_cast<int32_t>(program.size()));
    out.installer = std::move(w.bytes);
    return out;
}

}  // namespace

InstallerImage assembleInstaller(const Bytes& program, const ArchiveContent& content, const BuildSettings& settings) {
    Bytes payload = encodeRecords(content.records);
    if (content.flags & FlagCompressedPayload) {
        if (!settings.compress) throw std::runtime_error("payload compression is not available in this build");
        payload = settings.compress(payload, settings.level, settings.payloadProgress);
    }
    // A signer pads a file to a multiple of SignerAlignment before it appends
    // its certificate table; an installer that already ends there is signed
    // without padding. The plain header takes the padding, behind its end
    // marker. A compressed header's length moves with it unevenly; should
    // none of a few paddings fit, the header is stored plain, where one does.
    const bool compressHeader = settings.compressHeader && settings.compress;
    const uint32_t programChecksum = programChecksumOf(program);
    for (bool compressed : {compressHeader, false}) {
        const int tries = compressed ? 4 * SignerAlignment : SignerAlignment;
        for (int padding = 0; padding < tries; ++padding) {
            InstallerImage image = layOut(program, programChecksum, content, payload, compressed, padding, settings);
            if (image.installer.size() % SignerAlignment == 0) return image;
        }
    }
    throw std::runtime_error("the volume size " + std::to_string(settings.volumeSize) +
                             " leaves no room to end the installer on a multiple of " +
                             std::to_string(SignerAlignment) + " bytes");
}

namespace {

void writeFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (f) f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (f) f.close();
    if (!f) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

void writeInstallerFiles(const InstallerImage& image, const fs::path& output) {
    std::vector<std::pair<fs::path, fs::path>> moves;  // temporary, final
    fs::path folder = output.parent_path();
    moves.push_back({fs::path(output.string() + ".qpack-tmp"), output});
    for (size_t i = 0; i < image.volumes.size(); ++i) {
        fs::path final = folder / volumeFileName(static_cast<int>(i) + FirstVolumeNumber);
        moves.push_back({fs::path(final.string() + ".qpack-tmp"), final});
    }
    // The installer is renamed last: until then no installer exists that
    // could meet volumes of another build.
    size_t renamed = 0;
    try {
        writeFile(moves[0].first, image.installer);
        for (size_t i = 0; i < image.volumes.size(); ++i) writeFile(moves[i + 1].first, image.volumes[i]);
        for (size_t i = 1; i < moves.size(); ++i, ++renamed) fs::rename(moves[i].first, moves[i].second);
        fs::rename(moves[0].first, moves[0].second);
    } catch (const std::exception& e) {
        std::error_code ignored;
        for (const auto& m : moves) fs::remove(m.first, ignored);
        for (size_t i = 1; i <= renamed; ++i) fs::remove(moves[i].second, ignored);
        throw std::runtime_error(e.what());
    }
}

void removeInstallerFiles(const InstallerImage& image, const fs::path& output) {
    std::error_code ignored;
    fs::remove(output, ignored);
    for (size_t i = 0; i < image.volumes.size(); ++i)
        fs::remove(output.parent_path() / volumeFileName(static_cast<int>(i) + FirstVolumeNumber), ignored);
}

#include "qpack/pe_header.h"

#include <cstdio>

namespace {

constexpr uint16_t MachineI386 = 0x14C;
constexpr uint16_t MachineAmd64 = 0x8664;
constexpr uint16_t MagicPe32 = 0x10B;
constexpr uint16_t MagicPe32Plus = 0x20B;
constexpr uint64_t DosHeaderSize = 0x40;
constexpr uint64_t HeaderOffsetField = 0x3C;  // e_lfanew

// Callers check the bounds first; the values are little-endian and unaligned.
uint16_t u16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t u32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

std::string hex(const char* format, uint64_t value) {
    char text[64];  // the longest format and 16 hex digits fit
    std::snprintf(text, sizeof text, format, static_cast<unsigned long long>(value));
    return text;
}

std::string machineName(uint16_t machine) {
    if (machine == MachineI386) return "i386";
    if (machine == MachineAmd64) return "AMD64";
    return hex("machine 0x%04llX", machine);
}

std::string magicName(uint16_t magic) {
    if (magic == MagicPe32) return "PE32";
    if (magic == MagicPe32Plus) return "PE32+";
    return hex("optional header magic 0x%04llX", magic);
}

}  // namespace

std::string readPeHeaders(const uint8_t* data, size_t size, PeHeaders& headers) {
    const uint64_t n = size;
    if (n < DosHeaderSize) return "too short for a DOS header (" + std::to_string(n) + " bytes)";
    if (data[0] != 'M' || data[1] != 'Z') return "no MZ signature";
    PeHeaders h;
    // 64-bit sums from here: e_lfanew is up to 4 GB and must not wrap.
    h.peOffset = u32(data + HeaderOffsetField);
    const uint64_t pe = h.peOffset, optional = h.optionalHeaderOffset();
    if (pe + 4 > n)
        return hex("the PE header offset 0x%llX", pe) + " lies beyond the end of the file (" + std::to_string(n) +
               " bytes)";
    if (u32(data + pe) != 0x00004550) return hex("no PE signature at offset 0x%llX", pe);
    if (optional > n) return "the file header is cut short by the end of the file";
    h.machine = u16(data + pe + 4);
    h.sectionCount = u16(data + pe + 6);
    h.optionalHeaderSize = u16(data + pe + 20);
    if (h.optionalHeaderSize < 2) return "the file header announces no optional header";
    if (optional + h.optionalHeaderSize > n) return "the optional header is cut short by the end of the file";
    h.optionalMagic = u16(data + optional);
    headers = h;
    return "";
}

PeArchitecture architectureOf(const PeHeaders& headers) {
    if (headers.machine == MachineI386 && headers.optionalMagic == MagicPe32) return PeArchitecture::X86;
    if (headers.machine == MachineAmd64 && headers.optionalMagic == MagicPe32Plus) return PeArchitecture::X64;
    return PeArchitecture::Unknown;
}

std::string describeArchitecture(const PeHeaders& headers) {
    return architectureName(architectureOf(headers)) + " (" + magicName(headers.optionalMagic) + ", " +
           machineName(headers.machine) + ")";
}

std::string architectureName(PeArchitecture architecture) {
    switch (architecture) {
    case PeArchitecture::X86: return "x86";
    case PeArchitecture::X64: return "x64";
    case PeArchitecture::Unknown: break;
    }
    return "unknown";
}

PeArchitecture architectureNamed(const std::string& name) {
    for (PeArchitecture a : {PeArchitecture::X86, PeArchitecture::X64})
        if (name == architectureName(a)) return a;
    return PeArchitecture::Unknown;
}

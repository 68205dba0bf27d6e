// Reads the headers of a Windows program from its bytes on any host: where
// the PE header lies, the machine it was built for and whether it is PE32 or
// PE32+. The stub check, inspect and the version reader share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class PeArchitecture { Unknown, X86, X64 };

struct PeHeaders {
    uint64_t peOffset = 0;  // the "PE\0\0" signature; the file header follows it
    uint16_t machine = 0;
    uint16_t sectionCount = 0;
    uint16_t optionalHeaderSize = 0;
    uint16_t optionalMagic = 0;  // 0x10B PE32, 0x20B PE32+

    uint64_t optionalHeaderOffset() const { return peOffset + 24; }
};

// Empty when data[0, size) begins with a DOS header whose e_lfanew leads to
// the PE signature, a whole file header and at least the optional header's
// magic; otherwise what is wrong. Never reads outside data[0, size).
std::string readPeHeaders(const uint8_t* data, size_t size, PeHeaders& headers);

// X86 for i386 with PE32, X64 for AMD64 with PE32+; Unknown for anything else.
PeArchitecture architectureOf(const PeHeaders& headers);

// "x86 (PE32, i386)", "x64 (PE32+, AMD64)", or for anything else
// "unknown (machine 0x01C4, PE32)".
std::string describeArchitecture(const PeHeaders& headers);

// The names --arch takes: "x86", "x64". Unknown gives "unknown".
std::string architectureName(PeArchitecture architecture);
// Unknown for a name that is not one of those.
PeArchitecture architectureNamed(const std::string& name);

// Reads a Windows program's or library's version text on any host, from the
// bytes of the file: the "FileVersion" string of the U.S. English, Windows
// multilingual block (040904E4) of its version resource.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Empty when the bytes are not a PE image, have no version resource, or
// lack that block or value. Never reads outside `image`.
std::string peFileVersion(const std::vector<uint8_t>& image);

// The fixed-width form in which versions compare as text: upper case, every
// dot-separated component left-padded with zeros to ten characters.
std::string normalizeVersion(const std::string& version);

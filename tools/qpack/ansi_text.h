// Installers show 8-bit Windows (code page 1252) text. Project files, message
// files and text files may be saved as UTF-8 or as Windows text; a text that
// is valid UTF-8 and holds non-ASCII characters is converted, anything else
// is taken as Windows text already.
#pragma once

#include <string>

// The Windows code page 1252 form of text. Characters that code page lacks
// become '?' and set `lossy`.
std::string ansiText(const std::string& text, bool& lossy);

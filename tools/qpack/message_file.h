// Message files: the numbered texts of one language, one per line as
// "NUMBER = text". In a text, \n stands for a line break (CR LF), \t for a
// tab and \\ for a backslash; any other backslash stays as written.
#pragma once

#include <filesystem>
#include <map>
#include <string>

// Throws ProjectError naming the file and line of a malformed entry, a
// number outside 0 to 9999, a number given twice, or a text whose printf
// conversions do not match what its message number is formatted with.
std::map<int, std::string> parseMessageFile(const std::string& text, const std::string& fileName);
std::map<int, std::string> loadMessageFile(const std::filesystem::path& file);

// The conversions check alone, for texts from any source: empty when the text
// fits its number, else the problem.
std::string messageFormatProblem(int number, const std::string& text);

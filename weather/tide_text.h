#pragma once
// Small text-file helpers shared by the tide and current readers and writers.
#include <string>
#include <string_view>
#include <vector>

namespace navorel {

// Splits text into lines on "\n", dropping a trailing "\r" from each line.
std::vector<std::string> splitLines(std::string_view text);

// Removes leading and trailing blanks (spaces, tabs, carriage returns).
std::string trimBlanks(std::string_view text);

// Reads a whole file; false when it cannot be read or is larger than maxBytes.
bool readTextFile(const std::string& path, std::string& text, std::size_t maxBytes = 256u << 20);


} // namespace navorel

#include "weather/tide_text.h"


#include <cstdio>
#include <filesystem>
#include <fstream>

namespace navorel {

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        start = end + 1;
    }
    return lines;
}

std::string trimBlanks(std::string_view text) {
    const char* blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(blanks);
    return std::string(text.substr(first, last - first + 1));
}

bool readTextFile(const std::string& path, std::string& text, std::size_t maxBytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || static_cast<unsigned long long>(size) > maxBytes) return false;
    in.seekg(0, std::ios::beg);
    text.assign(static_cast<std::size_t>(size), '\0');
    in.read(text.data(), size);
    return static_cast<bool>(in) || in.eof();
}


} // namespace navorel

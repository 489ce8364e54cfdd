#include "settings/ini_file.h"

#include "core/atomic_file.h"
#include "core/file_check.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace navorel {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string_view trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// What one line of the document is.
struct LineInfo {
    enum Type { Other, Section, Entry } type = Other;
    std::string_view name;  // section name or key
    std::string_view value; // entry value, trimmed
    std::size_t equals = 0; // position of '=' in an entry line
};

LineInfo classify(std::string_view line) {
    LineInfo info;
    // A byte-order mark before the first line, as some editors save.
    std::size_t offset = 0;
    if (line.substr(0, kBom.size()) == kBom) offset = kBom.size();
    line.remove_prefix(offset);
    const std::string_view t = trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '#') return info;
    if (t.front() == '[') {
        const std::size_t close = t.find(']');
        info.type = LineInfo::Section;
        info.name = trim(t.substr(1, close == std::string_view::npos ? t.npos : close - 1));
        return info;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return info;
    info.type = LineInfo::Entry;
    info.name = trim(line.substr(0, eq));
    info.value = trim(line.substr(eq + 1));
    info.equals = eq + offset;
    return info;
}

std::string lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = lower(c);
    return out;
}

std::string entryName(std::string_view section, std::string_view key) {
    return lowered(section) + '\n' + lowered(key);
}

// Cuts at most `limit` bytes without splitting a UTF-8 sequence.
std::string cutUtf8(std::string_view s, std::size_t limit) {
    if (s.size() <= limit) return std::string(s);
    std::size_t n = limit;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    return std::string(s.substr(0, n));
}

void setNumber(const IniTarget& target, double value) {
    std::visit(
        [value](auto* p) {
            using T = std::remove_pointer_t<decltype(p)>;
            if constexpr (std::is_same_v<T, bool>)
                *p = value != 0;
            else if constexpr (std::is_same_v<T, int>)
                *p = static_cast<int>(value);
            else if constexpr (std::is_same_v<T, std::string>)
                *p = formatIniReal(value);
            else
                *p = static_cast<T>(value);
        },
        target);
}

int truncatedInt(double v) {
    if (!std::isfinite(v)) return 0;
    if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(v);
}

} // namespace

double heldNumber(const IniTarget& target) {
    return std::visit(
        [](auto* p) -> double {
            using T = std::remove_pointer_t<decltype(p)>;
            if constexpr (std::is_same_v<T, std::string>)
                return 0;
            else
                return static_cast<double>(*p);
        },
        target);
}

void storeNumber(const IniTarget& target, double value) {
    if (!std::holds_alternative<std::string*>(target)) setNumber(target, value);
}

bool iniNameEquals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

int parseIniInt(std::string_view text) {
    text = trim(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<std::int64_t>(INT_MAX) + 1)
            value = static_cast<std::int64_t>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

double parseIniReal(std::string_view text) {
    text = trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || !std::isfinite(value)) return 0;
    return value;
}

std::string formatIniReal(double value) {
    if (!std::isfinite(value)) return "0";
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    return std::string(buffer, result.ptr);
}

bool IniFile::load(const std::string& path, std::string& error) {
    std::string text;
    if (!readRegularFile(path, maxFileSize, text, error)) return false;
    parse(text);
    return true;
}

void IniFile::parse(std::string_view text) {
    lines_.clear();
    index_.reset();
    crlf_ = false;
    bool first = true;
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        if (lf != std::string_view::npos && !line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
            if (first) crlf_ = true;
        }
        if (lf != std::string_view::npos) first = false;
        lines_.emplace_back(line);
        text = lf == std::string_view::npos ? std::string_view() : text.substr(lf + 1);
    }
}

std::string IniFile::text() const {
    const char* eol = crlf_ ? "\r\n" : "\n";
    std::string out;
    for (const std::string& line : lines_) {
        out += line;
        out += eol;
    }
    return out;
}

bool IniFile::save(const std::string& path, std::string& error) const {
    return replaceFileContents(path, text(), error);
}

const IniFile::Index& IniFile::index() const {
    if (index_) return *index_;
    Index& idx = index_.emplace();
    Span* current = nullptr; // the section being read, when it is the first of its name
    std::string currentName;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const LineInfo info = classify(lines_[i]);
        if (info.type == LineInfo::Section) {
            currentName = lowered(info.name);
            const auto [it, first] = idx.sections.try_emplace(currentName, Span{i, i + 1, i});
            current = first ? &it->second : nullptr;
        } else if (current) {
            current->end = i + 1;
            if (info.type == LineInfo::Entry) {
                current->lastEntry = i;
                idx.entries.try_emplace(currentName + '\n' + lowered(info.name), i);
            }
        }
    }
    return idx;
}

std::size_t IniFile::findEntry(std::string_view section, std::string_view key) const {
    const Index& idx = index();
    const auto it = idx.entries.find(entryName(section, key));
    return it == idx.entries.end() ? std::string::npos : it->second;
}

bool IniFile::hasSection(std::string_view section) const {
    return index().sections.count(lowered(section)) != 0;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
    const std::size_t i = findEntry(section, key);
    if (i == std::string::npos) return std::nullopt;
    return std::string(classify(lines_[i]).value);
}

std::string IniFile::readText(std::string_view section, std::string_view key,
                              std::string_view fallback) const {
    const auto v = value(section, key);
    if (!v || v->empty()) return cutUtf8(fallback, maxValueLength);
    return cutUtf8(*v, maxValueLength);
}

int IniFile::readInt(std::string_view section, std::string_view key, int fallback) const {
    const auto v = value(section, key);
    if (!v || v->empty()) return fallback;
    return parseIniInt(*v);
}

double IniFile::readReal(std::string_view section, std::string_view key, double fallback) const {
    const std::string v = readText(section, key);
    if (v.empty()) return fallback;
    return parseIniReal(v);
}

void IniFile::writeText(std::string_view section, std::string_view key, std::string_view value) {
    value = value.substr(0, std::min(value.find('\n'), value.find('\r')));
    const std::string entry = " " + std::string(value);
    const std::size_t i = findEntry(section, key);
    if (i != std::string::npos) {
        // Keep the key as it is spelt in the file; replace what follows the '='. The line
        // keeps its key, so the index stays valid.
        lines_[i] = lines_[i].substr(0, classify(lines_[i]).equals + 1) + entry;
        return;
    }
    const std::string line = std::string(key) + "=" + entry;
    Index& idx = *index_;
    const auto found = idx.sections.find(lowered(section));
    if (found == idx.sections.end()) {
        if (!lines_.empty() && !trim(lines_.back()).empty()) lines_.emplace_back();
        const std::size_t header = lines_.size();
        lines_.push_back("[" + std::string(section) + "]");
        lines_.push_back(line);
        idx.sections.emplace(lowered(section), Span{header, header + 2, header + 1});
        idx.entries.emplace(entryName(section, key), header + 1);
        return;
    }
    // A new key goes after the section's last entry; every line below moves down by one.
    const std::size_t at = found->second.lastEntry + 1;
    lines_.insert(lines_.begin() + static_cast<long>(at), line);
    for (auto& [name, span] : idx.sections) {
        if (span.header >= at) ++span.header;
        if (span.end >= at) ++span.end;
        if (span.lastEntry >= at) ++span.lastEntry;
    }
    for (auto& [name, row] : idx.entries)
        if (row >= at) ++row;
    found->second.lastEntry = at;
    idx.entries.emplace(entryName(section, key), at);
}

void IniFile::writeInt(std::string_view section, std::string_view key, int value) {
    writeText(section, key, std::to_string(value));
}

void IniFile::writeReal(std::string_view section, std::string_view key, double value) {
    writeText(section, key, formatIniReal(value));
}

void readBinding(const IniFile& ini, const IniBinding& b) {
    switch (b.kind) {
    case IniKind::Bool:
        setNumber(b.target, ini.readInt(b.section, b.key, truncatedInt(b.fallback)) != 0);
        break;
    case IniKind::Int:
        setNumber(b.target, ini.readInt(b.section, b.key, truncatedInt(b.fallback)));
        break;
    case IniKind::Real:
        setNumber(b.target, ini.readReal(b.section, b.key, b.fallback));
        break;
    case IniKind::Text:
        if (auto* s = std::get_if<std::string*>(&b.target))
            **s = ini.readText(b.section, b.key, b.fallbackText);
        break;
    }
}

std::string bindingValueText(const IniBinding& b) {
    switch (b.kind) {
    case IniKind::Bool:
        return heldNumber(b.target) != 0 ? "1" : "0";
    case IniKind::Int:
        return std::to_string(truncatedInt(heldNumber(b.target)));
    case IniKind::Real:
        return formatIniReal(heldNumber(b.target));
    case IniKind::Text:
        if (auto* s = std::get_if<std::string*>(&b.target)) return **s;
        return {};
    }
    return {};
}

void writeBinding(IniFile& ini, const IniBinding& b) {
    ini.writeText(b.section, b.key, bindingValueText(b));
}

} // namespace navorel

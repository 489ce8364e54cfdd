#include "settings/language_table.h"

#include "core/file_check.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "settings/config_store.h"
#include "settings/startup_log.h"

namespace navorel {
namespace {

namespace fs = std::filesystem;

// Decodes one UTF-8 sequence at s[i]; answers its length (0 when it is not valid: truncated,
// overlong, a surrogate or beyond U+10FFFF) and its code point.
std::size_t decodeUtf8(std::string_view s, std::size_t i, char32_t& cp) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    std::size_t n;
    char32_t min;
    if ((c & 0xE0) == 0xC0)
        n = 2, cp = c & 0x1F, min = 0x80;
    else if ((c & 0xF0) == 0xE0)
        n = 3, cp = c & 0x0F, min = 0x800;
    else if ((c & 0xF8) == 0xF0)
        n = 4, cp = c & 0x07, min = 0x10000;
    else
        return 0;
    if (i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Windows-1252 bytes 0x80..0x9F; the five unassigned ones keep their C1 code points, as the
// Windows conversion does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string readLanguageName(std::string_view fileName) {
    return std::string(fileName.substr(0, fileName.find('.')));
}

bool endsWithTxt(const std::string& name) {
    if (name.size() < 4) return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".txt";
}

} // namespace

bool isValidUtf8(std::string_view text) {
    char32_t cp;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = decodeUtf8(text, i, cp);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string windows1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        appendUtf8(out, (c >= 0x80 && c < 0xA0) ? char32_t(kCp1252High[c - 0x80]) : char32_t(c));
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    char32_t cp;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = decodeUtf8(text, i, cp);
        if (n == 0) {
            cp = 0xFFFD;
            n = 1;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += n;
    }
    return out;
}

void LanguageTable::parse(std::string_view content) {
    entries_.clear();
    // A byte-order mark is not part of text 0.
    if (content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);
    while (!content.empty() && entries_.size() < maxLines) {
        const std::size_t lf = content.find('\n');
        std::string_view line = content.substr(0, lf);
        content = lf == std::string_view::npos ? std::string_view() : content.substr(lf + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        Entry entry;
        entry.text = isValidUtf8(line) ? std::string(line) : windows1252ToUtf8(line);
        entry.wide = utf8ToUtf16(entry.text);
        if (entry.wide.size() > maxWideLength) {
            std::size_t n = maxWideLength;
            // Do not keep half of a surrogate pair.
            if (entry.wide[n - 1] >= 0xD800 && entry.wide[n - 1] <= 0xDBFF) --n;
            entry.wide.resize(n);
        }
        entries_.push_back(std::move(entry));
    }
}

void LanguageTable::fillMissing(const LanguageTable& fallback) {
    if (entries_.size() < fallback.entries_.size()) entries_.resize(fallback.entries_.size());
    for (std::size_t i = 0; i < fallback.entries_.size(); ++i)
        if (entries_[i].text.empty()) entries_[i] = fallback.entries_[i];
}

bool LanguageTable::loadFile(const std::string& path, std::string& error) {
    std::string content;
    if (!readRegularFile(path, maxFileSize, content, error)) return false;
    parse(content);
    return true;
}

bool LanguageTable::load(const std::string& programFolder, const std::string& name,
                         std::string& error) {
    // The name comes from Config.ini: it names a file of the language folder, nothing else.
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == ".." ||
        name.find('\0') != std::string::npos) {
        error = "invalid language name '" + name + "'";
        return false;
    }
    if (!loadFile(makeProgramPaths(programFolder).languagesFolder + name + ".txt", error))
        return false;
    name_ = name;
    return true;
}

std::string LanguageTable::text(int number) const {
    if (number < 0 || static_cast<std::size_t>(number) >= entries_.size()) return {};
    return entries_[static_cast<std::size_t>(number)].text;
}

std::u16string LanguageTable::wideText(int number) const {
    if (number < 0 || static_cast<std::size_t>(number) >= entries_.size()) return {};
    return entries_[static_cast<std::size_t>(number)].wide;
}

std::vector<std::string> listLanguages(const std::string& programFolder) {
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(makeProgramPaths(programFolder).languagesFolder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError)) continue;
        const std::string file = it->path().filename().string();
        if (!endsWithTxt(file)) continue;
        std::string name = readLanguageName(file);
        if (!name.empty()) names.push_back(std::move(name));
    }
    // Directory order differs between file systems; sort so the list is stable.
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

std::string languageForLocale(std::string_view localeName) {
    return localeName == "fr-FR" ? "Français" : "English";
}

std::string systemLocaleName() {
    const char* value = nullptr;
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        value = std::getenv(variable);
        if (value && *value) break;
        value = nullptr;
    }
    if (!value) return {};
    std::string name(value);
    name = name.substr(0, name.find_first_of(".@"));
    std::replace(name.begin(), name.end(), '_', '-');
    return name;
}

bool loadLanguageWithEnglish(const std::string& programFolder, const std::string& name,
                             LanguageTable& table, std::string& error) {
    LanguageTable chosen;
    if (!chosen.load(programFolder, name, error)) return false;
    LanguageTable english;
    std::string ignored;
    if (name != "English" && english.load(programFolder, "English", ignored))
        chosen.fillMissing(english);
    table = std::move(chosen);
    return true;
}

bool chooseStartupLanguage(WindowSettings& window, LanguageTable& table,
                           const std::string& programFolder, std::string_view localeName,
                           StartupLog* log, std::string& error) {
    if (window.firstOpening) {
        window.language = languageForLocale(localeName);
        window.firstOpening = false;
    }
    std::string reason;
    if (!loadLanguageWithEnglish(programFolder, window.language, table, reason)) {
        window.language = "English";
        if (!table.load(programFolder, window.language, reason)) {
            error = kLanguageLoadFailure;
            return false;
        }
    }
    if (log) log->step("Language = OK");
    return true;
}

} // namespace navorel

#pragma once
// Private-profile (INI) files: Config.ini and Data/Default.ini.
//
// The file is kept as a document of lines. Reading looks a key up in the first section of
// that name; section and key names are matched without regard to ASCII case and values are
// trimmed of blanks and tabs. Writing edits the line of the key (or adds one), so every
// section, key, comment and blank line the caller does not touch stays where it was, and the
// file is replaced as a whole through a temporary file and a rename.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

namespace navorel {

class IniFile {
  public:
    // Longest text a read returns, in bytes (a 256-byte buffer with its terminator).
    static constexpr std::size_t maxValueLength = 255;
    // Files larger than this are refused.
    static constexpr std::size_t maxFileSize = 16u << 20;

    // Reads the file. False with a message when it cannot be opened or is too large; the
    // document is then left as it was.
    bool load(const std::string& path, std::string& error);
    // Replaces the document by `text` (LF or CR LF line ends).
    void parse(std::string_view text);
    // The document as it would be saved.
    std::string text() const;
    // Writes the document to `path` atomically: a temporary file in the same folder is
    // written, flushed to disk and renamed over `path`. On failure the old file is whole and
    // the reason is in `error`.
    bool save(const std::string& path, std::string& error) const;

    bool hasSection(std::string_view section) const;
    // The trimmed value of the key, uncut; nothing when the section or the key is missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // Text of at most maxValueLength bytes (never cut inside a UTF-8 sequence); a missing or
    // empty value gives `fallback`.
    std::string readText(std::string_view section, std::string_view key,
                         std::string_view fallback = {}) const;
    // Leading decimal digits with an optional sign: "12abc" reads 12, "abc" reads 0, values
    // beyond the int range are clamped. A missing or empty value gives `fallback`.
    int readInt(std::string_view section, std::string_view key, int fallback) const;
    // A decimal number with a point read up to the first character that does not belong to
    // it ("3,5" reads 3); text that is not a number, infinities and NaN read 0. A missing or
    // empty value gives `fallback`.
    double readReal(std::string_view section, std::string_view key, double fallback) const;

    // Each write stores one blank and the value ("Key= 500"). A new key goes after the last
    // entry of its section, a new section at the end of the document. A value is cut at its
    // first line break so that it cannot add lines to the file.
    void writeText(std::string_view section, std::string_view key, std::string_view value);
    void writeInt(std::string_view section, std::string_view key, int value);
    // Six significant digits, as a stream writes a double by default (1.2, 700, 123.457).
    void writeReal(std::string_view section, std::string_view key, double value);

    const std::vector<std::string>& lines() const { return lines_; }

  private:
    // Where the first section of each name lies and the line of each of its keys, so that
    // reading every setting of a file stays linear. Built on demand, dropped when lines move.
    struct Span {
        std::size_t header = 0;    // line of "[name]"
        std::size_t end = 0;       // one past the section's last line
        std::size_t lastEntry = 0; // line after which a new key goes
    };
    struct Index {
        std::unordered_map<std::string, Span> sections;       // lower-case name
        std::unordered_map<std::string, std::size_t> entries; // "section\nkey", lower-case
    };
    const Index& index() const;
    std::size_t findEntry(std::string_view section, std::string_view key) const;

    std::vector<std::string> lines_;
    bool crlf_ = false;
    mutable std::optional<Index> index_;
};

// Reads the int prefix of a text as the private-profile integer read does.
int parseIniInt(std::string_view text);
// Reads the number prefix of a text in the classic "C" notation; 0 when there is none.
double parseIniReal(std::string_view text);
// Formats a real with six significant digits in the shortest general form.
std::string formatIniReal(double value);

// One setting stored in an INI file: where it is, how it is stored, where it is held and
// its fallback. Lists of these drive the reading and writing of Config.ini and Default.ini.
enum class IniKind { Bool, Int, Real, Text };
using IniTarget = std::variant<bool*, int*, float*, double*, std::string*>;

struct IniBinding {
    const char* section;
    const char* key;
    IniKind kind;
    IniTarget target;
    double fallback = 0;           // for Bool, Int and Real
    std::string fallbackText = {}; // for Text
    bool readOnly = false;         // read but never written back
};

// The number a target holds (0 for a text), and a number stored into a target (a text target
// is left as it is).
double heldNumber(const IniTarget& target);
void storeNumber(const IniTarget& target, double value);

// Reads the binding's key into its target, with its fallback.
void readBinding(const IniFile& ini, const IniBinding& binding);
// Writes the target's value under the binding's key (read-only bindings included: the caller
// decides which bindings it writes).
void writeBinding(IniFile& ini, const IniBinding& binding);
// The value as it is written in the file, without the leading blank ("1", "500", "4.85").
std::string bindingValueText(const IniBinding& binding);

// ASCII case-insensitive equality, as section and key names are compared.
bool iniNameEquals(std::string_view a, std::string_view b);

} // namespace navorel

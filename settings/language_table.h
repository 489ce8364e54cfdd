#pragma once
// The numbered user-interface texts of one language, from Data/Languages/<name>.txt.
//
// One text per line, line N (counted from 0) being text N; there is no header, comment or
// escape, and an empty line is an empty text that keeps its number. Lines end with LF or
// CR LF. Files are read as UTF-8; a line that is not valid UTF-8 is read as Windows-1252, so
// files made on Windows keep working.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/texts.h"

namespace navorel {

class StartupLog;
struct WindowSettings;

class LanguageTable : public TextProvider {
  public:
    // UTF-16 texts for drawing hold at most this many units; longer lines are cut.
    static constexpr std::size_t maxWideLength = 259;
    // Files larger than this are refused, and lines beyond maxLines are dropped.
    static constexpr std::size_t maxFileSize = 1u << 20;
    static constexpr std::size_t maxLines = 4096;

    // Loads <programFolder>/Data/Languages/<name>.txt. When it cannot be read the table is
    // left as it was and the reason is in `error`.
    bool load(const std::string& programFolder, const std::string& name, std::string& error);
    // Loads a language file by its path.
    bool loadFile(const std::string& path, std::string& error);
    // Replaces the texts by the lines of `content`.
    void parse(std::string_view content);
    // Gives every text this table lacks (beyond its last line, or an empty line) the text of
    // the same number in `fallback`, so a language file that is short of lines still labels
    // everything, in the fallback's language.
    void fillMissing(const LanguageTable& fallback);

    // Text `number` as UTF-8; empty beyond the last line.
    std::string text(int number) const override;
    // The same as UTF-16, at most maxWideLength units (never ending inside a surrogate pair).
    std::u16string wideText(int number) const;
    std::size_t size() const { return entries_.size(); }
    // The name of the loaded language (empty until a load by name succeeds).
    const std::string& name() const { return name_; }

  private:
    struct Entry {
        std::string text;
        std::u16string wide;
    };
    std::vector<Entry> entries_;
    std::string name_;
};

// The languages in <programFolder>/Data/Languages: each "*.txt" file's name up to its first
// ".", sorted and without repeats.
std::vector<std::string> listLanguages(const std::string& programFolder);

// The language a first opening takes from the user's locale name ("fr-FR" form).
std::string languageForLocale(std::string_view localeName);

// The user's locale name in the "fr-FR" form, from LC_ALL, LC_MESSAGES or LANG ("fr_FR.UTF-8"
// gives "fr-FR"); empty when none is set.
std::string systemLocaleName();

// Loads the language `name` with every text it lacks taken from English (when English is
// there to read); "English" itself is loaded as it stands. False with the reason in `error`
// when the language cannot be read, leaving `table` as it was.
bool loadLanguageWithEnglish(const std::string& programFolder, const std::string& name,
                             LanguageTable& table, std::string& error);

// The start-up choice: on a first opening the language comes from `localeName` and the
// first-opening flag is cleared; the configured language is loaded (its missing texts in
// English), else "English". False with a message when neither loads. Logs "Language = OK" on
// success.
bool chooseStartupLanguage(WindowSettings& window, LanguageTable& table,
                           const std::string& programFolder, std::string_view localeName,
                           StartupLog* log, std::string& error);

// The message shown when no language file can be loaded.
inline constexpr const char* kLanguageLoadFailure =
    "The language file cannot be loaded.\n\nReinstall the file.";

// UTF-8 helpers shared with the other text readers.
bool isValidUtf8(std::string_view text);
std::string windows1252ToUtf8(std::string_view text);
// Converts valid UTF-8 to UTF-16 (invalid sequences become U+FFFD).
std::u16string utf8ToUtf16(std::string_view text);

} // namespace navorel

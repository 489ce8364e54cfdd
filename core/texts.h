#pragma once
// Numbered user-interface texts. The language tables implement this; the date formats and
// every other engine part that shows a text take it through this interface so they work
// before (and without) a language file.
#include <string>

namespace navorel {

class TextProvider {
public:
    virtual ~TextProvider() = default;
    // The text of the given number as UTF-8, or an empty text when it does not exist.
    virtual std::string text(int number) const = 0;
};

// The built-in English texts the engine needs when no language file is loaded
// (weekday names 304..310, month names 318..329).
const TextProvider& builtinEnglishTexts();

} // namespace navorel

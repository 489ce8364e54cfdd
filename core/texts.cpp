#include "core/texts.h"

namespace navorel {
namespace {

class BuiltinEnglish : public TextProvider {
public:
    std::string text(int number) const override {
        static const char* const weekdays[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                               "Friday", "Saturday", "Sunday"};
        static const char* const months[] = {"January", "February", "March",     "April",
                                             "May",     "June",     "July",      "August",
                                             "September", "October", "November", "December"};
        if (number >= 304 && number <= 310) return weekdays[number - 304];
        if (number >= 318 && number <= 329) return months[number - 318];
        return {};
    }
};

} // namespace

const TextProvider& builtinEnglishTexts() {
    static const BuiltinEnglish texts;
    return texts;
}

} // namespace navorel

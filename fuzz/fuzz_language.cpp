// Reads a language file from arbitrary bytes and checks every text it gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "settings/language_table.h"

using namespace navorel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    LanguageTable table;
    table.parse(std::string_view(reinterpret_cast<const char*>(data), size));
    if (table.size() > LanguageTable::maxLines) std::abort();
    for (int i = -1; i <= static_cast<int>(table.size()); ++i) {
        const std::string text = table.text(i);
        if (!isValidUtf8(text)) std::abort();
        const std::u16string wide = table.wideText(i);
        if (wide.size() > LanguageTable::maxWideLength) std::abort();
        if (text.find('\n') != std::string::npos) std::abort();
    }
    return 0;
}

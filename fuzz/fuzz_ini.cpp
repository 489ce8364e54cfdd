// Reads every Config.ini setting from arbitrary bytes, writes them all back and checks that
// the document then reads the values that were written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "settings/config_store.h"

using namespace navorel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    IniFile ini;
    ini.parse(std::string_view(reinterpret_cast<const char*>(data), size));
    ConfigStore store;
    store.paths = makeProgramPaths("/nonexistent");
    std::vector<IniBinding> bindings = store.bindings();
    for (const IniBinding& b : bindings) readBinding(ini, b);
    std::vector<std::string> written;
    for (const IniBinding& b : bindings) {
        writeBinding(ini, b);
        std::string text = bindingValueText(b);
        text = text.substr(0, std::min(text.find('\n'), text.find('\r')));
        written.push_back(text);
    }
    IniFile again;
    again.parse(ini.text());
    for (std::size_t i = 0; i < bindings.size(); ++i) {
        const IniBinding& b = bindings[i];
        const auto value = again.value(b.section, b.key);
        if (!value) std::abort();
        // A text value is read trimmed; what the setting held was trimmed already.
        if (*value != written[i] && b.kind != IniKind::Text) std::abort();
    }
    return 0;
}

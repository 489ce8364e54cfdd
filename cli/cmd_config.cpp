// navorel-cli config [--folder DIR] get SECTION KEY
#include "cli/commands.h"
#include "settings/config_store.h"

#include <cstdio>

namespace navorel::cli {
namespace {

int configCommand(const Args& arguments) {
    Args args = arguments;
    std::string folder, error;
    if (!takeProgramFolder(args, folder, error)) return fail(error);
    if (args.size() != 3 || args[0] != "get")
        return fail("usage: navorel-cli config [--folder DIR] get SECTION KEY");
    ConfigStore store;
    // No start-up log: asking for a setting is not a start of the program.
    if (!store.load(folder, nullptr, error)) return fail(error);
    IniBinding binding;
    if (!store.findBinding(args[1], args[2], binding))
        return fail("no setting [" + args[1] + "] " + args[2]);
    std::printf("%s\n", bindingValueText(binding).c_str());
    return 0;
}

const CommandRegistrar reg("config", "config [--folder DIR] get SECTION KEY", configCommand);

} // namespace
} // namespace navorel::cli

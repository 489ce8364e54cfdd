#include "cli/commands.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace navorel::cli {

namespace {

struct Command {
    const char* usage;
    CommandFn fn;
};

std::map<std::string, Command>& registry() {
    static std::map<std::string, Command> commands;
    return commands;
}

void printUsage() {
    std::fprintf(stderr, "usage: navorel-cli COMMAND ...\n");
    for (const auto& [name, command] : registry()) std::fprintf(stderr, "  %s\n", command.usage);
}

} // namespace

CommandRegistrar::CommandRegistrar(const char* name, const char* usage, CommandFn fn) {
    registry()[name] = Command{usage, fn};
}

int fail(const std::string& message) {
    std::fprintf(stderr, "navorel-cli: %s\n", message.c_str());
    return 1;
}

bool parseNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end && *end == '\0';
}

bool takeOption(Args& args, const std::string& name, std::string& value) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == name && i + 1 < args.size()) {
            value = args[i + 1];
            args.erase(args.begin() + static_cast<long>(i),
                       args.begin() + static_cast<long>(i) + 2);
            return true;
        }
        if (args[i].rfind(name + "=", 0) == 0) {
            value = args[i].substr(name.size() + 1);
            args.erase(args.begin() + static_cast<long>(i));
            return true;
        }
    }
    return false;
}

bool takeFlag(Args& args, const std::string& name) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == name) {
            args.erase(args.begin() + static_cast<long>(i));
            return true;
        }
    }
    return false;
}

} // namespace navorel::cli

int main(int argc, char** argv) {
    using namespace navorel::cli;
    std::setlocale(LC_ALL, "C");
    if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
        printUsage();
        return argc < 2 ? kExitNoCommand : kExitOk;
    }
    // Two-word commands ("grib dump") come before one-word ones ("tide").
    if (argc >= 3) {
        const auto it = registry().find(std::string(argv[1]) + " " + argv[2]);
        if (it != registry().end()) return it->second.fn(Args(argv + 3, argv + argc));
    }
    const auto it = registry().find(argv[1]);
    if (it == registry().end()) {
        std::fprintf(stderr, "navorel-cli: unknown command '%s'\n", argv[1]);
        printUsage();
        return kExitNoCommand;
    }
    return it->second.fn(Args(argv + 2, argv + argc));
}

#pragma once
// navorel-cli subcommands. Each one registers itself from its own source file with a
// CommandRegistrar under one word ("polar") or two ("grib dump"); main() dispatches on the
// first two arguments, then on the first.
#include <string>
#include <vector>

namespace navorel::cli {

using Args = std::vector<std::string>;
using CommandFn = int (*)(const Args& args);

struct CommandRegistrar {
    CommandRegistrar(const char* name, const char* usage, CommandFn fn);
};

// Prints "navorel-cli: <message>" on standard error and answers the exit code 1.
int fail(const std::string& message);

// Reads a number argument; false when it is not one.
bool parseNumber(const std::string& text, double& value);

// Takes "--name VALUE" out of args; answers true and sets value when it was there.
bool takeOption(Args& args, const std::string& name, std::string& value);
// Takes a "--name" flag out of args.
bool takeFlag(Args& args, const std::string& name);

} // namespace navorel::cli

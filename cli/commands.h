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

// Exit codes (documented in the README): every failure also prints one line on standard error.
constexpr int kExitOk = 0;          // done; for route: every run arrived
constexpr int kExitFailure = 1;     // bad input or usage, a file that cannot be read or written
constexpr int kExitNoCommand = 2;   // no command, or an unknown one
constexpr int kExitNotFinished = 3; // route: a run stopped before its destination
constexpr int kExitCancelled = 4;   // route: the run was cancelled (SIGINT, SIGTERM)

// Prints "navorel-cli: <message>" on standard error and answers kExitFailure.
int fail(const std::string& message);

// The program folder of a command: "--folder DIR" (taken out of args) when given, else the
// per-user folder once it holds a Config.ini (brought up to date from the shipped folder),
// else the shipped folder. False with a message when the per-user folder cannot be repaired.
bool takeProgramFolder(Args& args, std::string& folder, std::string& error);

// "YYYY-MM-DDTHH:MM" or "YYYY-MM-DD" (UTC, years 1901 to 2099) as a day number: the one reading
// of every time argument. False with a message naming what is wrong for anything else,
// impossible dates included (month 0, 31 February, hour 24).
bool parseUtcTime(const std::string& text, double& day, std::string& error);
// "YYYY-MM-DDTHH:MM" of a day number.
std::string formatUtcTime(double day);

// Reads a number argument; false when it is not one.
bool parseNumber(const std::string& text, double& value);

// Takes "--name VALUE" out of args; answers true and sets value when it was there.
bool takeOption(Args& args, const std::string& name, std::string& value);
// Takes a "--name" flag out of args.
bool takeFlag(Args& args, const std::string& name);

} // namespace navorel::cli

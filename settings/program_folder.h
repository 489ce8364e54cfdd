#pragma once
// Which program folder a run of either program uses, and the preparation of the per-user one.
//
// The order is the same for the desktop program and every command line command:
//   1. the folder given with --folder, used as it is;
//   2. the per-user folder ($XDG_DATA_HOME/navorel or ~/.local/share/navorel), prepared from
//      the shipped folder (the desktop program creates it on first run; the command line uses
//      it once it holds a Config.ini);
//   3. the shipped folder: the installed one (<prefix>/share/navorel/dist, beside
//      <prefix>/bin/ of the running program), else the source tree's dist/ known at build time.
#include <functional>
#include <string>

namespace navorel {

// Copies one file; false with the reason in `error`. Replaceable so that a failing disk can be
// imitated.
using FileCopier =
    std::function<bool(const std::string& from, const std::string& to, std::string& error)>;

// Copies `from` to `to` through a temporary file in the target's folder, flushed and renamed
// over `to`: a failure (a full disk) never leaves a short or empty `to`.
bool copyFileWhole(const std::string& from, const std::string& to, std::string& error);

// <folder of the running program>/../share/navorel/dist; empty when the program's own path
// cannot be read.
std::string installedDataFolder();
// The shipped folder: the installed one when it holds a Config.ini, else `sourceDist`.
std::string shippedProgramFolder(const std::string& sourceDist);

// Makes `folder` a complete program folder from `shipped`: creates it and copies every shipped
// file that is missing there or empty (0 bytes while the shipped one is not), keeping every
// other file as it is; the shoreline files (Data/Gshhs/*.dat, large and never written) are
// linked, and a missing or broken link is made again. Stops at the first failure with a
// one-line message naming the file.
bool prepareProgramFolder(const std::string& folder, const std::string& shipped, std::string& error,
                          const FileCopier& copy = copyFileWhole);

// Which of the folders above a run uses (in `folder`). `createUserFolder`: the desktop program
// creates the per-user folder when it lacks a Config.ini; the command line then takes the
// shipped folder instead. False with a message when the per-user folder cannot be prepared
// or no folder can be had.
bool resolveProgramFolder(const std::string& given, const std::string& sourceDist,
                          bool createUserFolder, std::string& folder, std::string& error,
                          const FileCopier& copy = copyFileWhole);

} // namespace navorel

#pragma once
// Opening an input file safely: every reader takes its file through here, so a FIFO, a device
// such as /dev/zero, a folder or a file far larger than its format can be is refused at once
// with a one-line message, instead of hanging the program or filling its memory.
#include <cstdint>
#include <cstdio>
#include <string>

namespace navorel {

// Size limits of the readers' formats, in bytes.
inline constexpr std::uint64_t kMaxTextFileBytes = 64ull << 20; // settings, languages, tides
inline constexpr std::uint64_t kMaxGribFileBytes = 1ull << 30;  // a forecast, plain or .bz2
inline constexpr std::uint64_t kMaxShorelineBytes = 4ull << 30; // one shoreline level

// Why a file was refused.
enum class FileProblem { None, CannotOpen, NotRegular, TooLarge };

// Opens `path` for reading when it is a regular file of at most `maxBytes` bytes. The open
// never waits (a FIFO without a writer is refused, not waited for). Returns the descriptor,
// or -1 with "PATH: reason" in `error` (the system's reason, "not a regular file" or "too
// large (over N MB)"), and the reason in `problem` when given. `size` receives the size.
int openRegularFile(const std::string& path, std::uint64_t maxBytes, std::string& error,
                    std::uint64_t* size = nullptr, FileProblem* problem = nullptr);

// The same as a stdio stream in binary mode (nullptr on failure).
std::FILE* openRegularStream(const std::string& path, std::uint64_t maxBytes, std::string& error,
                             std::uint64_t* size = nullptr, FileProblem* problem = nullptr);

// Reads the whole regular file (at most `maxBytes`) into `data`.
bool readRegularFile(const std::string& path, std::uint64_t maxBytes, std::string& data,
                     std::string& error);

} // namespace navorel

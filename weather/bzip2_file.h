#pragma once
// bzip2 decompression of a chosen GRIB file into its sibling file ("wind.grb.bz2" gives
// "wind.grb"). The output is written to a temporary file in the same folder and renamed
// into place only when the whole stream was read, so a failure never leaves a partial file
// and never loses the compressed one.
#include <cstdint>
#include <string>

#include "core/file_check.h"

namespace navorel {

enum class Bzip2Status {
    Ok,
    OutputNotCreated, // "can't open [<output>]" was written to standard output
    StreamNotOpened,  // "can't bz2openstream" was written to standard output
    ReadFailed,       // corrupt or truncated stream; "bz2 read error [<path>]" on standard output
    WriteFailed,      // the output could not be written or renamed into place
    TooLarge,         // the stream decompresses to more than a forecast file can be
};

// The chosen path without its last "." and extension.
std::string bzip2OutputPath(const std::string& path);
// True when the text after the last "." of the path is exactly "bz2" (case-sensitive).
bool hasBzip2Extension(const std::string& path);

// Decompresses `path` into bzip2OutputPath(path), replacing a file of that name. Streams
// written one after another (as parallel compressors make them) are all read. With
// `deleteSource` the compressed file is deleted after the output is complete. `outputPath`
// receives the output path in every case.
Bzip2Status decompressBzip2(const std::string& path, bool deleteSource, std::string& outputPath);

// Decompresses `path` into `outputPath` (through a temporary sibling of it, renamed into place
// at the end); the compressed file is never touched. The expansion stops with TooLarge once
// it passes `maxBytes` (a plain forecast's limit unless told otherwise).
Bzip2Status decompressBzip2To(const std::string& path, const std::string& outputPath,
                              std::uint64_t maxBytes = kMaxGribFileBytes);

} // namespace navorel

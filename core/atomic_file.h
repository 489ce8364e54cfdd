#pragma once
// Replacing a file whole: the content goes to a temporary file in the same folder, is flushed
// to disk, and is renamed over the old file, so a crash never leaves half a file. An existing
// file keeps its permissions; a symbolic link keeps pointing to the replaced file.
#include <string>
#include <string_view>

namespace navorel {

// False with "cannot write PATH: reason" in `error` when the file could not be replaced; the
// old file is then untouched and no temporary file is left. A path that names something other
// than a regular file (a device, a FIFO, a folder) is refused.
bool replaceFileContents(const std::string& path, std::string_view content, std::string& error);

} // namespace navorel

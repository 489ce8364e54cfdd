#pragma once
// Replacing a file whole: the content goes to a temporary file in the same folder, is flushed
// to disk, and is renamed over the old file, so a crash never leaves half a file. An existing
// file keeps its permissions; a symbolic link keeps pointing to the replaced file.
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace navorel {

// False with "cannot write PATH: reason" in `error` when the file could not be replaced; the
// old file is then untouched and no temporary file is left. A path that names something other
// than a regular file (a device, a FIFO, a folder) is refused.
bool replaceFileContents(const std::string& path, std::string_view content, std::string& error);

struct FileContent {
    std::string path;
    std::string_view content;
};

// Replacing files that belong together (a mesh's triangle and vertex lists): every content is
// written to its temporary file first, and the files are renamed over the old ones only once
// all are written. When any write or rename fails, "cannot write PATH: reason" names it and
// every file keeps its old content (a file that did not exist stays absent). The old files are
// kept through the renames by hard links: where the file system has none, a rename that fails
// after an earlier one worked cannot be undone (a failing write, the usual case, still is).
bool replaceFilesTogether(const std::vector<FileContent>& files, std::string& error);

// The temporary file replaceFileContents writes for `target`: "." + file name + ".XXXXXX" in
// the same folder, the last six characters letters or digits as mkstemp makes them. A program
// killed while it writes leaves one behind. True when `name` (a file name, without folder) is
// such a temporary of a file whose name `ours` accepts.
bool isWriterTemporary(std::string_view name, const std::function<bool(std::string_view)>& ours);

// Removes from `folder` the temporaries a killed writer left for the files whose names `ours`
// accepts: only regular files (not links) of this user's, with one name, last written at least
// `minAge` ago (a writer that is still at work touches its file all the time). Nothing else is
// ever removed. Answers the number of files removed.
int removeStaleTemporaries(const std::string& folder,
                           const std::function<bool(std::string_view)>& ours,
                           std::chrono::seconds minAge);

} // namespace navorel

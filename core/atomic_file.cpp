#include "core/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace navorel {

namespace fs = std::filesystem;

namespace {

bool writeAll(int fd, std::string_view data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// A content written and flushed to a temporary file beside the file it is to replace.
struct Written {
    std::string path;   // as the caller named it, for messages
    std::string target; // the file a symbolic link points to, or `path`
    std::string temp;
    fs::path folder;
};

bool writeTemporary(const std::string& path, std::string_view content, Written& out,
                    std::string& error) {
    // Replace the file a symbolic link points to, not the link.
    out.path = path;
    out.target = path;
    std::error_code ec;
    if (fs::is_symlink(path, ec)) {
        const fs::path resolved = fs::canonical(path, ec);
        if (!ec) out.target = resolved.string();
    }
    // A device, a FIFO or a folder of that name is never replaced by a file (as root the
    // rename would swap /dev/null for a regular file).
    struct stat existing {};
    if (::stat(out.target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        error = "cannot write " + path + ": not a regular file";
        return false;
    }
    const fs::path targetPath(out.target);
    out.folder = targetPath.parent_path();
    if (out.folder.empty()) out.folder = ".";
    out.temp = (out.folder / ("." + targetPath.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(out.temp.data());
    if (fd < 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat old {};
    const mode_t mode = ::stat(out.target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    bool ok = writeAll(fd, content) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    int saved = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        ::unlink(out.temp.c_str());
        error = "cannot write " + path + ": " + std::strerror(saved);
    }
    return ok;
}

// Makes the renames in a folder durable.
void syncFolder(const fs::path& folder) {
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace

bool replaceFileContents(const std::string& path, std::string_view content, std::string& error) {
    return replaceFilesTogether({{path, content}}, error);
}

bool replaceFilesTogether(const std::vector<FileContent>& files, std::string& error) {
    std::vector<Written> written(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!writeTemporary(files[i].path, files[i].content, written[i], error)) {
            for (std::size_t j = 0; j < i; ++j) ::unlink(written[j].temp.c_str());
            return false;
        }
    }
    // With several files, each old file keeps a second name until every rename has worked,
    // so that a failing rename can put back the files already replaced. `existed` tells a
    // file that was absent (removed again on failure) from one that could not be kept.
    const bool together = files.size() > 1;
    std::vector<std::string> backups(files.size());
    std::vector<bool> existed(files.size(), false);
    if (together) {
        for (std::size_t i = 0; i < files.size(); ++i) {
            struct stat st {};
            existed[i] = ::lstat(written[i].target.c_str(), &st) == 0;
            const std::string backup = written[i].temp + ".old";
            if (existed[i] && ::link(written[i].target.c_str(), backup.c_str()) == 0)
                backups[i] = backup;
        }
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (::rename(written[i].temp.c_str(), written[i].target.c_str()) == 0) continue;
        error = "cannot write " + written[i].path + ": " + std::strerror(errno);
        for (std::size_t j = 0; j < i; ++j) {
            if (!backups[j].empty())
                ::rename(backups[j].c_str(), written[j].target.c_str());
            else if (!existed[j])
                ::unlink(written[j].target.c_str());
        }
        for (std::size_t j = i; j < files.size(); ++j) {
            ::unlink(written[j].temp.c_str());
            if (!backups[j].empty()) ::unlink(backups[j].c_str());
        }
        return false;
    }
    for (const std::string& backup : backups)
        if (!backup.empty()) ::unlink(backup.c_str());
    for (std::size_t i = 0; i < written.size(); ++i) {
        bool seen = false;
        for (std::size_t j = 0; j < i && !seen; ++j) seen = written[j].folder == written[i].folder;
        if (!seen) syncFolder(written[i].folder);
    }
    return true;
}

bool isWriterTemporary(std::string_view name, const std::function<bool(std::string_view)>& ours) {
    constexpr std::size_t kRandom = 6; // mkstemp's XXXXXX
    if (name.size() < 1 + 1 + 1 + kRandom || name.front() != '.') return false;
    const std::string_view random = name.substr(name.size() - kRandom);
    for (const char c : random)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    if (name[name.size() - kRandom - 1] != '.') return false;
    const std::string_view target = name.substr(1, name.size() - kRandom - 2);
    return !target.empty() && target.find('/') == std::string_view::npos && ours(target);
}

int removeStaleTemporaries(const std::string& folder,
                           const std::function<bool(std::string_view)>& ours,
                           std::chrono::seconds minAge) {
    int removed = 0;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    const auto now = std::chrono::system_clock::now();
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const fs::path& path = it->path();
        if (!isWriterTemporary(path.filename().string(), ours)) continue;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1 ||
            st.st_uid != ::geteuid())
            continue;
        const auto written = std::chrono::system_clock::from_time_t(st.st_mtim.tv_sec);
        if (now - written < minAge) continue;
        if (::unlink(path.c_str()) == 0) ++removed;
    }
    return removed;
}

} // namespace navorel

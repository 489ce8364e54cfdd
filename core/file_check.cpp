#include "core/file_check.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace navorel {

int openRegularFile(const std::string& path, std::uint64_t maxBytes, std::string& error,
                    std::uint64_t* size, FileProblem* problem) {
    FileProblem ignored;
    FileProblem& why = problem ? *problem : ignored;
    why = FileProblem::None;
    // Non-blocking, so that opening a FIFO without a writer returns at once.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        why = FileProblem::CannotOpen;
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = path + ": not a regular file";
        why = FileProblem::NotRegular;
        ::close(fd);
        return -1;
    }
    const std::uint64_t bytes = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    if (bytes > maxBytes) {
        error = path + ": too large (over " + std::to_string(maxBytes >> 20) + " MB)";
        why = FileProblem::TooLarge;
        ::close(fd);
        return -1;
    }
    // Reads of a regular file block as usual.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (size) *size = bytes;
    return fd;
}

std::FILE* openRegularStream(const std::string& path, std::uint64_t maxBytes, std::string& error,
                             std::uint64_t* size, FileProblem* problem) {
    const int fd = openRegularFile(path, maxBytes, error, size, problem);
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file) {
        error = path + ": " + std::strerror(errno);
        if (problem) *problem = FileProblem::CannotOpen;
        ::close(fd);
    }
    return file;
}

bool readRegularFile(const std::string& path, std::uint64_t maxBytes, std::string& data,
                     std::string& error) {
    std::uint64_t size = 0;
    const int fd = openRegularFile(path, maxBytes, error, &size);
    if (fd < 0) return false;
    data.assign(static_cast<std::size_t>(size), '\0');
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::read(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = path + ": " + std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (n == 0) break; // the file shrank meanwhile
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    data.resize(done);
    return true;
}

} // namespace navorel

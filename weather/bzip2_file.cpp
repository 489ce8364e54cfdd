#include "weather/bzip2_file.h"

#include <bzlib.h>

#include "core/file_check.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace navorel {
namespace {

constexpr int kBlockSize = 4096;

// A new sibling of the output for writing, created exclusively (never an existing file) with
// the usual permissions.
FILE* createTemporary(const std::string& outputPath, std::string& tempPath) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = outputPath + ".part" + std::to_string(::getpid()) + "-" +
                                      std::to_string(counter.fetch_add(1));
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return nullptr;
        }
        FILE* f = ::fdopen(fd, "wb");
        if (!f) {
            ::close(fd);
            std::remove(candidate.c_str());
            return nullptr;
        }
        tempPath = candidate;
        return f;
    }
    return nullptr;
}

} // namespace

std::string bzip2OutputPath(const std::string& path) {
    const auto dot = path.rfind('.');
    if (dot == std::string::npos) return path;
    return path.substr(0, dot);
}

bool hasBzip2Extension(const std::string& path) {
    const auto dot = path.rfind('.');
    return dot != std::string::npos && path.compare(dot + 1, std::string::npos, "bz2") == 0;
}

Bzip2Status decompressBzip2(const std::string& path, bool deleteSource, std::string& outputPath) {
    outputPath = bzip2OutputPath(path);
    const Bzip2Status status = decompressBzip2To(path, outputPath);
    // The compressed file goes only once its whole content is in place under the new name.
    if (status == Bzip2Status::Ok && deleteSource) std::remove(path.c_str());
    return status;
}

Bzip2Status decompressBzip2To(const std::string& path, const std::string& outputPath,
                              std::uint64_t maxBytes) {
    std::string tempPath;
    FILE* out = createTemporary(outputPath, tempPath);
    if (!out) {
        std::printf("can't open [%s]\n", outputPath.c_str());
        std::fflush(stdout);
        return Bzip2Status::OutputNotCreated;
    }
    const auto discard = [&](Bzip2Status status) {
        std::fclose(out);
        std::remove(tempPath.c_str());
        return status;
    };

    // Only a regular file is read: a FIFO or a device would never end.
    std::string refused;
    FILE* in = openRegularStream(path, kMaxGribFileBytes, refused);
    int bzError = BZ_OK;
    BZFILE* bz = in ? BZ2_bzReadOpen(&bzError, in, 0, 0, nullptr, 0) : nullptr;
    if (!bz || bzError != BZ_OK) {
        if (bz) BZ2_bzReadClose(&bzError, bz);
        if (in) std::fclose(in);
        std::printf("can't bz2openstream\n");
        std::fflush(stdout);
        return discard(Bzip2Status::StreamNotOpened);
    }

    char block[kBlockSize];
    std::uint64_t written = 0;
    bool tooLarge = false;
    bool readOk = true;
    bool writeOk = true;
    bool laterStream = false;
    bool streamStarted = false;
    for (;;) {
        const int n = BZ2_bzRead(&bzError, bz, block, kBlockSize);
        // Bytes after a complete stream that are not another stream are ignored, as the
        // bzip2 tool does with trailing garbage.
        if (laterStream && !streamStarted && bzError == BZ_DATA_ERROR_MAGIC) break;
        if (bzError != BZ_OK && bzError != BZ_STREAM_END) {
            readOk = false;
            break;
        }
        streamStarted = true;
        written += n > 0 ? static_cast<std::uint64_t>(n) : 0;
        if (written > maxBytes) {
            tooLarge = true;
            break;
        }
        if (n > 0 && std::fwrite(block, 1, static_cast<std::size_t>(n), out) !=
                         static_cast<std::size_t>(n)) {
            writeOk = false;
            break;
        }
        if (bzError != BZ_STREAM_END) continue;
        // End of one stream: go on when more compressed data follows it.
        void* unusedData = nullptr;
        int unusedCount = 0;
        BZ2_bzReadGetUnused(&bzError, bz, &unusedData, &unusedCount);
        if (bzError != BZ_OK) {
            readOk = false;
            break;
        }
        char carry[BZ_MAX_UNUSED];
        const int carried = unusedCount < BZ_MAX_UNUSED ? unusedCount : BZ_MAX_UNUSED;
        for (int i = 0; i < carried; ++i) carry[i] = static_cast<char*>(unusedData)[i];
        BZ2_bzReadClose(&bzError, bz);
        bz = nullptr;
        if (carried == 0) {
            const int c = std::fgetc(in);
            if (c == EOF) break; // the whole file was read
            std::ungetc(c, in);
        }
        bz = BZ2_bzReadOpen(&bzError, in, 0, 0, carried ? carry : nullptr, carried);
        laterStream = true;
        streamStarted = false;
        if (!bz || bzError != BZ_OK) {
            readOk = false;
            break;
        }
    }
    if (bz) BZ2_bzReadClose(&bzError, bz);
    std::fclose(in);

    if (tooLarge) {
        std::printf("bz2 output too large [%s]\n", path.c_str());
        std::fflush(stdout);
        return discard(Bzip2Status::TooLarge);
    }
    if (!readOk) {
        std::printf("bz2 read error [%s]\n", path.c_str());
        std::fflush(stdout);
        return discard(Bzip2Status::ReadFailed);
    }
    if (!writeOk || std::fflush(out) != 0) return discard(Bzip2Status::WriteFailed);
    if (std::fclose(out) != 0) {
        std::remove(tempPath.c_str());
        return Bzip2Status::WriteFailed;
    }
    if (std::rename(tempPath.c_str(), outputPath.c_str()) != 0) {
        std::remove(tempPath.c_str());
        return Bzip2Status::WriteFailed;
    }
    return Bzip2Status::Ok;
}

} // namespace navorel

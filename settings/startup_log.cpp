#include "settings/startup_log.h"

#include <cerrno>
#include <cstring>

namespace navorel {

StartupLog::~StartupLog() {
    close();
}

bool StartupLog::open(const std::string& path, bool enabled) {
    close();
    if (enabled) file_ = std::fopen(path.c_str(), "a");
    path_ = path;
    return file_ != nullptr;
}

void StartupLog::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

std::tm StartupLog::utcNow() const {
    const std::time_t now = clock_ ? clock_() : std::time(nullptr);
    std::tm t{};
    gmtime_r(&now, &t);
    return t;
}

void StartupLog::writeLine(const std::string& line) {
    if (!file_) return;
    errno = 0;
    // Each line reaches the file at once, so a crash during start-up leaves its trace.
    const bool written = std::fputs(line.c_str(), file_) >= 0 && std::fputc('\n', file_) != EOF &&
                         std::fflush(file_) == 0;
    if (!written && writeError_.empty()) {
        writeError_ =
            path_ + " cannot be written: " + (errno ? std::strerror(errno) : "write error");
        std::clearerr(file_);
    }
}

void StartupLog::start() {
    if (!file_) return;
    const std::tm t = utcNow();
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d %02d:%02d:%02d -- START", t.tm_mday,
                  t.tm_mon + 1, t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
    writeLine(buffer);
}

void StartupLog::step(std::string_view text) {
    if (!file_) return;
    const std::tm t = utcNow();
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d : ", t.tm_hour, t.tm_min, t.tm_sec);
    writeLine(buffer + std::string(text));
}

void StartupLog::build(int number) {
    step("Build: " + std::to_string(number));
}

void StartupLog::end() {
    if (!file_) return;
    const std::tm t = utcNow();
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d %02d:%02d:%02d -- END\n", t.tm_mday,
                  t.tm_mon + 1, t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
    writeLine(buffer);
}

} // namespace navorel

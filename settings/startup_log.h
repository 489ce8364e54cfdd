#pragma once
// The start-up log, Data/Log.txt: one block per run, from a start line to an end line, with a
// time-stamped line for each step of the start-up. All times are UTC.
//
//   05/03/2024 07:41:08 -- START
//   07:41:08 : Init parameters
//   07:41:09 : Gshhs routing = OK
//   05/03/2024 09:12:40 -- END
//   (empty line)
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace navorel {

class StartupLog {
  public:
    StartupLog() = default;
    StartupLog(const StartupLog&) = delete;
    StartupLog& operator=(const StartupLog&) = delete;
    ~StartupLog();

    // Opens `path` for appending when `enabled`; otherwise (or when it cannot be opened)
    // every later write is dropped. Answers whether the log is open.
    bool open(const std::string& path, bool enabled);
    void close();
    bool isOpen() const { return file_ != nullptr; }
    // Empty while every line reached the file; else why the first one that did not failed
    // (a full disk, a log on a removed drive). Later lines are still tried.
    const std::string& writeError() const { return writeError_; }

    // "%02d/%02d/%04d %02d:%02d:%02d -- START"
    void start();
    // "%02d:%02d:%02d : " followed by the text.
    void step(std::string_view text);
    // The step "Build: " followed by the build number.
    void build(int number);
    // "%02d/%02d/%04d %02d:%02d:%02d -- END" and one empty line.
    void end();

    // The clock giving the seconds since 1970 (UTC) of each line; the system clock by default.
    void setClock(std::function<std::time_t()> clock) { clock_ = std::move(clock); }

  private:
    void writeLine(const std::string& line);
    std::tm utcNow() const;

    std::FILE* file_ = nullptr;
    std::string path_, writeError_;
    std::function<std::time_t()> clock_;
};

} // namespace navorel

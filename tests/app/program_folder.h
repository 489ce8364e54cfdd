#pragma once
// A scratch program folder for the desktop program's tests.
#include <unistd.h>

#include <filesystem>
#include <string>

namespace navorel::apptest {

// A scratch program folder that reads the shipped files through links, so the start-up log
// and anything else written lands outside the repository.
class ProgramFolder {
  public:
    ProgramFolder() {
        path_ = std::filesystem::temp_directory_path() /
                ("navorel-app-test-" + std::to_string(::getpid()) + "-" + std::to_string(count_++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_ / "Data");
        const std::filesystem::path dist = std::filesystem::path(NAVOREL_SOURCE_DIR) / "dist";
        for (const auto& e : std::filesystem::directory_iterator(dist)) {
            const auto name = e.path().filename();
            if (name == "Data") continue;
            if (name == "Config.ini")
                std::filesystem::copy_file(e.path(), path_ / name);
            else
                std::filesystem::create_directory_symlink(e.path(), path_ / name);
        }
        for (const auto& e : std::filesystem::directory_iterator(dist / "Data")) {
            if (e.path().filename() == "Log.txt") continue; // a log of earlier runs
            if (e.is_directory())
                std::filesystem::create_directory_symlink(e.path(),
                                                          path_ / "Data" / e.path().filename());
            else
                std::filesystem::copy_file(e.path(), path_ / "Data" / e.path().filename());
        }
    }
    ~ProgramFolder() { std::filesystem::remove_all(path_); }
    std::string str() const { return path_.string(); }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
    static inline int count_ = 0;
};

} // namespace navorel::apptest

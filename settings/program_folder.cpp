#include "settings/program_folder.h"

#include "core/atomic_file.h"
#include "settings/config_store.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace navorel {

namespace fs = std::filesystem;

namespace {

bool isEmptyFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec) && fs::file_size(path, ec) == 0 && !ec;
}

// A link whose target is gone (the shipped folder was moved or rebuilt).
bool isBrokenLink(const fs::path& path) {
    std::error_code ec;
    return fs::is_symlink(fs::symlink_status(path, ec)) && !fs::exists(path, ec);
}

} // namespace

bool copyFileWhole(const std::string& from, const std::string& to, std::string& error) {
    std::ifstream in(from, std::ios::binary);
    if (!in) {
        error = "cannot read " + from;
        return false;
    }
    const std::string content((std::istreambuf_iterator<char>(in)), {});
    if (in.bad()) {
        error = "cannot read " + from;
        return false;
    }
    return replaceFileContents(to, content, error);
}

std::string installedDataFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) return {};
    return (exe.parent_path().parent_path() / "share" / "navorel" / "dist").string();
}

std::string shippedProgramFolder(const std::string& sourceDist) {
    const std::string installed = installedDataFolder();
    std::error_code ec;
    if (!installed.empty() && fs::is_regular_file(installed + "/Config.ini", ec)) return installed;
    return sourceDist;
}

bool prepareProgramFolder(const std::string& folder, const std::string& shipped, std::string& error,
                          const FileCopier& copy) {
    const std::string prefix = "The program folder " + folder + " cannot be filled from " + shipped;
    std::error_code ec;
    const fs::path dist = fs::absolute(shipped, ec);
    if (ec || !fs::is_directory(dist, ec)) {
        error = prefix + ": it is not a folder";
        return false;
    }
    fs::create_directories(folder, ec);
    if (ec) {
        error = prefix + ": " + ec.message();
        return false;
    }
    const fs::path shorelines = fs::path("Data") / "Gshhs";
    // The walk has its own error code: a failed step must not be overwritten by the next
    // increment's success.
    std::error_code walk;
    for (auto it = fs::recursive_directory_iterator(dist, walk);
         !walk && it != fs::recursive_directory_iterator(); it.increment(walk)) {
        const fs::path relative = it->path().lexically_relative(dist);
        const fs::path target = fs::path(folder) / relative;
        std::error_code step;
        if (it->is_directory(step)) {
            if (!fs::is_directory(target, step)) fs::create_directories(target, step);
            if (step) {
                error = prefix + ": cannot create " + target.string() + ": " + step.message();
                return false;
            }
            continue;
        }
        if (relative == fs::path("Data") / "Log.txt") continue; // the shipped folder's own log
        const bool shoreline =
            relative.parent_path() == shorelines && it->path().extension() == ".dat";
        if (shoreline) {
            if (fs::exists(fs::symlink_status(target, step)) && !isBrokenLink(target)) continue;
            fs::remove(target, step);
            fs::create_symlink(it->path(), target, step);
            if (step) {
                error = prefix + ": cannot link " + target.string() + ": " + step.message();
                return false;
            }
            continue;
        }
        // Kept when present, unless a failed copy left it empty.
        if (fs::exists(fs::symlink_status(target, step)) &&
            !(isEmptyFile(target) && !isEmptyFile(it->path())))
            continue;
        std::string reason;
        if (!copy(it->path().string(), target.string(), reason)) {
            error = prefix + ": " + reason;
            return false;
        }
    }
    if (walk) {
        error = prefix + ": " + walk.message();
        return false;
    }
    if (!fs::is_regular_file(fs::path(folder) / "Config.ini", ec)) {
        error = prefix + ": no Config.ini";
        return false;
    }
    return true;
}

bool resolveProgramFolder(const std::string& given, const std::string& sourceDist,
                          bool createUserFolder, std::string& folder, std::string& error,
                          const FileCopier& copy) {
    if (!given.empty()) {
        folder = given;
        return true;
    }
    const std::string shipped = shippedProgramFolder(sourceDist);
    const std::string user = defaultProgramFolder();
    std::error_code ec;
    const bool userReady = !user.empty() && fs::exists(user + "/Config.ini", ec);
    if (userReady || (createUserFolder && !user.empty())) {
        // A per-user folder made before the shipped one was complete (the shorelines are
        // built after installation) or left half-filled is brought up to date.
        if (userReady && !fs::is_directory(shipped, ec)) {
            folder = user;
            return true;
        }
        if (!prepareProgramFolder(user, shipped, error, copy)) return false;
        folder = user;
        return true;
    }
    if (createUserFolder) {
        error = "No program folder: neither XDG_DATA_HOME nor HOME is set.";
        return false;
    }
    folder = shipped;
    return true;
}

} // namespace navorel

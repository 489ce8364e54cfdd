// navorel-cli shore build | query | cross: the shoreline polygon files and the land tests.
#include "cli/commands.h"
#include "geo/crossing.h"
#include "geo/shoreline_builder.h"
#include "geo/shoreline_store.h"
#include "settings/config_store.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>

namespace navorel::cli {
namespace {

namespace fs = std::filesystem;

bool parseLevel(const std::string& text, int& level) {
    static const std::string letters = "clihf";
    if (text.size() == 1 && letters.find(text[0]) != std::string::npos) {
        level = static_cast<int>(letters.find(text[0]));
        return true;
    }
    double value;
    if (!parseNumber(text, value) || value != static_cast<int>(value)) return false;
    level = static_cast<int>(value);
    return true;
}

// Opens the store of --folder and --level (default 2, the routing's default); fails loudly
// when the file is missing rather than answering "sea" everywhere.
bool openStore(Args& args, ShorelineStore*& store, std::string& error) {
    std::string folder;
    if (!takeProgramFolder(args, folder, error)) return false;
    std::string levelText = "2";
    takeOption(args, "--level", levelText);
    int level;
    if (!parseLevel(levelText, level)) {
        error = "bad level '" + levelText + "'";
        return false;
    }
    static ShorelineStore shared((fs::path(folder) / "Data" / "Gshhs").string() + "/");
    store = &shared;
    if (!store->openLevel(level)) {
        error = "cannot read " + shorelineFileName(store->folder(), level);
        return false;
    }
    return true;
}

bool readPoints(Args& args, std::size_t count, double* values) {
    takeFlag(args, "--"); // lets negative numbers follow as they are
    if (args.size() != count) return false;
    for (std::size_t i = 0; i < count; ++i)
        if (!parseNumber(args[i], values[i])) return false;
    return true;
}

int queryCommand(const Args& input) {
    Args args = input;
    ShorelineStore* store = nullptr;
    std::string error;
    if (!openStore(args, store, error)) return fail(error);
    double v[2];
    if (!readPoints(args, 2, v))
        return fail("usage: navorel-cli shore query [--folder DIR] [--level N] LON LAT");
    const GeoPoint p{static_cast<float>(v[0]), static_cast<float>(v[1])};
    std::printf("%s\n", pointOnLand(*store, p) ? "land" : "sea");
    return 0;
}

int crossCommand(const Args& input) {
    Args args = input;
    ShorelineStore* store = nullptr;
    std::string error;
    if (!openStore(args, store, error)) return fail(error);
    double v[4];
    if (!readPoints(args, 4, v))
        return fail(
            "usage: navorel-cli shore cross [--folder DIR] [--level N] LON1 LAT1 LON2 LAT2");
    const GeoPoint a{static_cast<float>(v[0]), static_cast<float>(v[1])};
    const GeoPoint b{static_cast<float>(v[2]), static_cast<float>(v[3])};
    std::printf("%s\n", segmentCrossesLand(*store, a, b) ? "crosses" : "clear");
    return 0;
}

bool buildLevel(char letter, const std::string& outFolder, std::string& error) {
    const auto started = std::chrono::steady_clock::now();
    const std::string path = shorelineFileName(outFolder, std::string("clihf").find(letter));
    // Levels 1 (land) and 2 (lakes) only; finer levels are never read.
    const std::string command = std::string("gmt coast -Rg -D") + letter +
                                " -W -A0/1/2 -M --FORMAT_FLOAT_OUT=%.12g --GMT_HISTORY=false";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        error = "cannot run gmt";
        return false;
    }
    ShorelineBuildStats stats;
    const bool built = buildShorelineFile(pipe, path, stats, error);
    const int status = pclose(pipe);
    if (status != 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::remove(path.c_str());
        error = "'" + command + "' failed" + (built ? "" : ": " + error);
        return false;
    }
    if (!built) return false;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%s: %.1f MB, %lld land and %lld lake rings (%lld round a pole, %lld broken), "
                "%lld contours, %lld vertices, %.1f s, peak memory %.0f MB\n",
                path.c_str(), static_cast<double>(stats.fileBytes) / 1e6, stats.rings[0],
                stats.rings[1], stats.polarRings, stats.brokenChains, stats.contours,
                stats.vertices, seconds, static_cast<double>(usage.ru_maxrss) / 1024.0);
    return true;
}

int buildCommand(const Args& input) {
    Args args = input;
    std::string levels = "clihf", out;
    takeOption(args, "--level", levels);
    const bool hasOut = takeOption(args, "--out", out);
    if (!hasOut) {
        std::string folder, error;
        if (!takeProgramFolder(args, folder, error)) return fail(error);
        out = (fs::path(folder) / "Data" / "Gshhs").string();
    }
    if (!args.empty())
        return fail("usage: navorel-cli shore build [--level c|l|i|h|f[,...]|all] [--out DIR]");
    if (levels == "all") levels = "clihf";
    std::string letters;
    for (char c : levels) {
        if (c == ',') continue;
        if (std::string("clihf").find(c) == std::string::npos)
            return fail("bad level '" + levels + "': use letters c, l, i, h, f");
        letters += c;
    }
    std::error_code ec;
    fs::create_directories(out, ec);
    if (ec) return fail("cannot create " + out + ": " + ec.message());
    for (char letter : letters) {
        std::string error;
        if (!buildLevel(letter, out, error)) return fail(error);
    }
    return 0;
}

const CommandRegistrar buildReg("shore build", "shore build [--level c|l|i|h|f[,...]] [--out DIR]",
                                buildCommand);
const CommandRegistrar queryReg("shore query", "shore query [--folder DIR] [--level N] LON LAT",
                                queryCommand);
const CommandRegistrar crossReg("shore cross",
                                "shore cross [--folder DIR] [--level N] LON1 LAT1 LON2 LAT2",
                                crossCommand);

} // namespace
} // namespace navorel::cli

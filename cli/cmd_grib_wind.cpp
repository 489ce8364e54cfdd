// navorel-cli grib wind FILE LON LAT YYYY-MM-DDTHH:MM: the wind the program would use at a
// place and time, read through the same wind store and sampler.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "cli/commands.h"
#include "core/datetime.h"
#include "routing/routing_parameters.h"
#include "weather/bzip2_file.h"
#include "weather/color_table.h"
#include "weather/wind_sampler.h"
#include "weather/wind_store.h"

namespace navorel::cli {
namespace {

// A temporary file removed when the command ends.
struct TemporaryFile {
    std::string path;
    ~TemporaryFile() {
        if (!path.empty()) std::remove(path.c_str());
    }
};

int gribWind(const Args& args) {
    if (args.size() != 4) return fail("usage: grib wind FILE LON LAT YYYY-MM-DDTHH:MM");
    double lon = 0, lat = 0, time = 0;
    if (!parseNumber(args[1], lon) || lon < -180 || lon > 180)
        return fail("longitude must be a number from -180 to 180: " + args[1]);
    if (!parseNumber(args[2], lat) || lat < -90 || lat > 90)
        return fail("latitude must be a number from -90 to 90: " + args[2]);
    std::string error;
    if (!parseUtcTime(args[3], time, error)) return fail(error);

    std::string path = args[0];
    if (!std::filesystem::is_regular_file(path)) return fail("cannot open " + path);
    TemporaryFile decompressed;
    if (hasBzip2Extension(path)) {
        // Decompressed beside the other temporary files; the user's file stays as it is.
        std::error_code ec;
        std::string pattern =
            (std::filesystem::temp_directory_path(ec) / "navorel-XXXXXX").string();
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0) return fail("cannot create a temporary file");
        ::close(fd);
        decompressed.path = pattern;
        if (decompressBzip2To(path, pattern) != Bzip2Status::Ok)
            return fail("cannot decompress " + path);
        path = pattern;
    }

    WindStore store;
    switch (store.loadGrib(path, buildRamp(builtinWindScale(), kDefaultSeaColor), &error)) {
    case GribLoadStatus::Ok:
        break;
    case GribLoadStatus::DecoderFailed: {
        while (!error.empty() && error.back() == '\n') error.pop_back();
        return fail(args[0] + ": " + (error.empty() ? "cannot decode the GRIB file" : error));
    }
    case GribLoadStatus::BadGrid:
        return fail(args[0] + ": no wind grid of at least 2 x 2 points");
    case GribLoadStatus::TooLarge:
        return fail(args[0] + ": the forecast is too large");
    case GribLoadStatus::Bzip2Failed:
        return fail("cannot decompress " + args[0]);
    }

    const RoutingParameters parameters;
    const WindSample w =
        windAt(store, parameters, static_cast<float>(lon), static_cast<float>(lat), time);
    if (!w.found)
        std::printf("not found\n");
    else
        std::printf("direction %.1f speed %.1f\n", w.direction, w.speed);
    return 0;
}

const CommandRegistrar reg("grib wind", "grib wind FILE LON LAT YYYY-MM-DDTHH:MM", gribWind);

} // namespace
} // namespace navorel::cli

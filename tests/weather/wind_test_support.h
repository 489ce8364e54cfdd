#pragma once
// Helpers of the wind tests: wind records built in memory and scratch folders.
#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "weather/grib.h"

namespace navorel::windtest {

inline std::string windData(const std::string& name) {
    return std::string(NAVOREL_TEST_DATA) + "/wind/" + name;
}

// A UGRD or VGRD record of 2026-06-<day> <hour> UTC + forecast on a regular grid.
inline GribRecord windRecord(bool isU, int hour, int forecast, int nx, int ny, float lon1,
                             float lat1, float step, std::vector<float> values, int day = 1) {
    GribRecord r;
    r.name = isU ? kGribUgrd : kGribVgrd;
    r.year = 2026;
    r.month = 6;
    r.day = day;
    r.hour = hour;
    r.forecast = forecast;
    r.unit = "hr";
    r.nx = nx;
    r.ny = ny;
    r.lon1 = lon1;
    r.lat1 = lat1;
    r.di = r.dj = step;
    r.lon2 = lon1 + step * static_cast<float>(nx - 1);
    r.lat2 = lat1 + step * static_cast<float>(ny - 1);
    r.values = std::move(values);
    return r;
}

// u and v giving the air's motion towards `angle` degrees counter-clockwise from east.
inline void motion(double angleDegrees, double speed, float& u, float& v) {
    u = static_cast<float>(speed * std::cos(angleDegrees * 0.017453292519943295));
    v = static_cast<float>(speed * std::sin(angleDegrees * 0.017453292519943295));
}

// A folder of its own under the system's temporary folder, removed at the end.
struct ScratchFolder {
    std::filesystem::path path;
    ScratchFolder() {
        std::random_device rd;
        path = std::filesystem::temp_directory_path() /
               ("navorel-wind-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(path);
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string file(const std::string& name) const { return (path / name).string(); }
};

// Angle between two compass directions, 0..180.
inline double angleBetween(double a, double b) {
    double d = std::fabs(std::fmod(a - b, 360.0));
    return d > 180.0 ? 360.0 - d : d;
}

} // namespace navorel::windtest

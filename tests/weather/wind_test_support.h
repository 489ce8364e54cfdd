#pragma once
// Helpers of the wind tests: wind records built in memory and scratch folders.
#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "weather/color_table.h"
#include "weather/grib.h"

namespace navorel::windtest {

// The wind colours the program ships with.
inline const WindColorRamp& ramp() {
    static const WindColorRamp r = buildRamp(builtinWindScale(), kDefaultSeaColor);
    return r;
}

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
    r.values.assign(values.begin(), values.end());
    return r;
}

// u and v giving the air's motion towards `angle` degrees counter-clockwise from east.
inline void motion(double angleDegrees, double speed, float& u, float& v) {
    u = static_cast<float>(speed * std::cos(angleDegrees * 0.017453292519943295));
    v = static_cast<float>(speed * std::sin(angleDegrees * 0.017453292519943295));
}

// One GRIB-1 message of a constant field of nx x ny points with no bit per value: 84 bytes,
// whatever the grid (parameter 33 is the U component, 34 the V component).
inline std::vector<std::uint8_t> constantGribMessage(int parameter, int forecastHour, int nx,
                                                     int ny) {
    std::vector<std::uint8_t> m = {'G', 'R', 'I', 'B', 0, 0, 84, 1};
    const std::uint8_t pds[28] = {0, 0,  28, 2, 7,  81, 255, 0x80, std::uint8_t(parameter),    105,
                                  0, 10, 26, 6, 1,  0,  0,   1,    std::uint8_t(forecastHour), 0,
                                  0, 0,  0,  0, 21, 0,  0,   0};
    m.insert(m.end(), pds, pds + 28);
    const auto hi = [](int v) { return std::uint8_t(v >> 8); };
    const auto lo = [](int v) { return std::uint8_t(v & 255); };
    // 0.001 degree apart, from 0 N 0 E.
    const std::uint8_t gds[32] = {
        0,          0, 32, 0, 255, 0,    hi(nx), lo(nx),     hi(ny),     lo(ny), 0,
        0,          0, 0,  0, 0,   0x80, 0,      hi(ny - 1), lo(ny - 1), 0,      hi(nx - 1),
        lo(nx - 1), 0, 1,  0, 1,   0x40, 0,      0,          0,          0};
    m.insert(m.end(), gds, gds + 32);
    const std::uint8_t bds[12] = {0, 0, 12, 0, 0, 0, 0x41, 0x50, 0, 0, 0, 0}; // 5 m/s, 0 bits
    m.insert(m.end(), bds, bds + 12);
    m.insert(m.end(), {'7', '7', '7', '7'});
    return m;
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

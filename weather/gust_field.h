#pragma once
// The 10 m wind gust of a forecast, where it carries one (edition-2 GUST: discipline 0,
// category 2, parameter 22): one grid per forecast time, sampled bilinearly in space and
// linearly in time between two grids. Built whole at load and then only read, so any number
// of threads may sample it at once.
#include <vector>

#include "weather/grib.h"

namespace navorel {

struct GustGrid {
    int year = 0, month = 0, day = 0, hours = 0; // reference date, hour + forecast hours
    long long loadedHour = 0; // valid time as loaded, whole hours since 1 January 1980
    double time = 0;          // valid time after the lag, day number
    int nx = 0, ny = 0;
    float lon1 = 0, di = 0, lat1 = 0, dj = 0; // west column, south row, steps in degrees
    std::vector<float> speed;                 // m/s, south row first; negative where absent
};

class GustField {
  public:
    // The gust records among `records` (named with the built-in GUST text and holding their
    // values), in time order; a time that repeats keeps the first grid. Other records are
    // ignored. Replaces what the field held.
    void build(const std::vector<GribRecord>& records);
    void clear() { grids_.clear(); }
    bool empty() const { return grids_.empty(); }
    const std::vector<GustGrid>& grids() const { return grids_; }

    // Moves every grid to its loaded hour minus `lagHours`, as the wind frames move.
    void applyLag(int lagHours);

    // The gust at a place (degrees) and day number, m/s. False outside the grids' extent or
    // time span, or where a point it needs is absent.
    bool gustAt(float lon, float lat, double time, float& metresPerSecond) const;

  private:
    std::vector<GustGrid> grids_;
};

} // namespace navorel

#include "weather/grib_crop.h"

#include "weather/grib.h"

#include <algorithm>
#include <cmath>

namespace navorel {
namespace {

// Degrees brought into [0, 360).
double wrap360(double deg) {
    double d = std::fmod(deg, 360.0);
    if (d < 0) d += 360.0;
    return d >= 360.0 ? 0.0 : d;
}

// Degrees brought into [-180, 180).
double wrap180(double deg) {
    return wrap360(deg + 180.0) - 180.0;
}

// A point count near a whole number counts as that number: 0.25 degree steps over 12 degrees
// are 48 steps, not 47.99999.
constexpr double kEpsilon = 1e-6;

} // namespace

double GribBox::width() const {
    if (!bounded) return 360.0;
    const double w = east - west;
    return w < 0 ? w + 360.0 : w;
}

bool GribBox::contains(double lon, double lat) const {
    if (!bounded) return true;
    if (lat < south || lat > north) return false;
    return wrap360(lon - west) <= width();
}

GribBox gribBox(double west, double east, double south, double north) {
    GribBox b;
    b.bounded = true;
    // A box of 360 degrees or more in longitude keeps every column; 180 stays the east edge.
    b.west = wrap180(west);
    b.east = east == 180.0 ? 180.0 : wrap180(east);
    if (east - west >= 360.0) {
        b.west = -180;
        b.east = 180;
    }
    b.south = std::clamp(std::min(south, north), -90.0, 90.0);
    b.north = std::clamp(std::max(south, north), -90.0, 90.0);
    return b;
}

GribBox gribBoxAround(const std::vector<GeoPoint>& points, double marginDeg) {
    if (points.empty()) return {};
    double south = 90, north = -90;
    // Longitudes both ways: in [-180, 180) and in [0, 360); the narrower span wins, so a route
    // from 179 E to 179 W gives a box of 2 degrees across the meridian.
    double min180 = 360, max180 = -360, min360 = 720, max360 = -720;
    for (const GeoPoint& p : points) {
        south = std::min(south, double(p.lat));
        north = std::max(north, double(p.lat));
        const double a = wrap180(p.lon), b = wrap360(p.lon);
        min180 = std::min(min180, a);
        max180 = std::max(max180, a);
        min360 = std::min(min360, b);
        max360 = std::max(max360, b);
    }
    const bool across = max360 - min360 < max180 - min180;
    const double west = (across ? min360 : min180) - marginDeg;
    const double east = (across ? max360 : max180) + marginDeg;
    if (east - west >= 360.0) return gribBox(-180, 180, south - marginDeg, north + marginDeg);
    return gribBox(west, east, south - marginDeg, north + marginDeg);
}

bool gribCropWindow(const GribRecord& r, const GribBox& box, GribCropWindow& window) {
    if (!box.bounded || r.nx < 2 || r.ny < 2 || !(r.di > 0) || !(r.dj > 0)) return false;
    const double lon1 = r.lon1, lat1 = r.lat1, di = r.di, dj = r.dj;
    const double lat2 = lat1 + (r.ny - 1) * dj;
    if (box.north < lat1 || box.south > lat2) return false;

    // Rows: those around the box's latitudes, one more each side.
    const long long j0 =
        std::max(0ll, (long long)std::floor((box.south - lat1) / dj + kEpsilon) - 1);
    const long long j1 =
        std::min((long long)r.ny - 1, (long long)std::ceil((box.north - lat1) / dj - kEpsilon) + 1);

    // Columns, counted eastwards from the grid's first column.
    const double span = (r.nx - 1) * di;
    const bool global = r.nx * di >= 360.0 - kEpsilon;
    const double a = wrap360(box.west - lon1); // the box's west edge east of the first column
    const double w = box.width();
    long long i0 = 0, i1 = r.nx - 1;
    if (global) {
        i0 = (long long)std::floor(a / di + kEpsilon) - 1;
        i1 = (long long)std::ceil((a + w) / di - kEpsilon) + 1;
        if (i1 - i0 + 1 >= r.nx) {
            i0 = 0;
            i1 = r.nx - 1;
        }
    } else if (a <= span) {
        // The box starts inside the grid; it may run past its east end, or round the earth
        // into its west end again (then every column from there is kept).
        i0 = std::max(0ll, (long long)std::floor(a / di + kEpsilon) - 1);
        i1 = a + w >= 360.0
                 ? r.nx - 1
                 : std::min((long long)r.nx - 1, (long long)std::ceil((a + w) / di - kEpsilon) + 1);
    } else if (a + w >= 360.0) {
        // The box starts west of the grid and reaches into it.
        i0 = 0;
        i1 = std::min((long long)r.nx - 1,
                      (long long)std::ceil((a + w - 360.0) / di - kEpsilon) + 1);
    } else {
        return false; // the box lies east of the grid and ends before it starts again
    }
    const long long columns = i1 - i0 + 1, rows = j1 - j0 + 1;
    if (columns < 2 || rows < 2) return false;
    if (columns == r.nx && rows == r.ny) return false;
    window.firstColumn = int(i0 < 0 ? i0 + r.nx : i0);
    window.columns = int(columns);
    window.firstRow = int(j0);
    window.rows = int(rows);
    return true;
}

bool cropGribRecord(GribRecord& r, const GribBox& box) {
    GribCropWindow w;
    if (!gribCropWindow(r, box, w)) return false;
    const std::size_t nx = std::size_t(r.nx), ny = std::size_t(r.ny);
    const std::size_t cols = std::size_t(w.columns), rows = std::size_t(w.rows);
    if (r.values.size() == nx * ny) {
        GribValues kept(cols * rows);
        float* out = kept.data();
        const std::size_t first = std::size_t(w.firstColumn);
        // The columns run to the end of the row, then on from its start (a grid round the
        // whole earth).
        const std::size_t before = std::min(cols, nx - first);
        for (std::size_t j = 0; j < rows; ++j) {
            const float* row = r.values.data() + (std::size_t(w.firstRow) + j) * nx;
            out = std::copy(row + first, row + first + before, out);
            out = std::copy(row, row + (cols - before), out);
        }
        r.values = std::move(kept);
    }
    // Corners in the same single-precision steps the wind store takes from the first point, so
    // the kept points lie where they lay on the whole grid.
    r.lon1 = float(wrap180(double(r.lon1 + float(w.firstColumn) * r.di)));
    r.lon2 = float(wrap180(double(r.lon1 + float(w.columns - 1) * r.di)));
    r.lat1 = r.lat1 + float(w.firstRow) * r.dj;
    r.lat2 = r.lat1 + float(w.rows - 1) * r.dj;
    r.nx = w.columns;
    r.ny = w.rows;
    r.valueCount = cols * rows;
    return true;
}

} // namespace navorel

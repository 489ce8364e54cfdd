#pragma once
// GRIB records cut down to a box of longitude and latitude: only the grid points that cover
// the box (and one more point on each side, so that interpolation up to the box's edges reads
// the same neighbours as on the whole grid) are kept. The decoder crops each record as its
// message is decoded, so memory follows the box, not the file.
#include <cstddef>
#include <vector>

#include "core/geodesy.h"

namespace navorel {

struct GribRecord;

// A box of longitude and latitude, degrees. Longitudes in [-180, 180]; a box whose `west` lies
// east of its `east` crosses the 180 degree meridian (170 to -170 is 20 degrees wide). A box
// that is not `bounded` is the whole earth: nothing is cropped.
struct GribBox {
    bool bounded = false;
    double west = -180, east = 180; // degrees
    double south = -90, north = 90; // degrees, south <= north

    // Width eastwards from west to east, degrees in [0, 360].
    double width() const;
    // True when the point lies in the box (edges included); always for an unbounded box.
    bool contains(double lon, double lat) const;
};

// The box of explicit edges; `west` and `east` are brought into [-180, 180]. Latitudes are
// ordered and clamped to [-90, 90].
GribBox gribBox(double west, double east, double south, double north);

// The smallest box that holds every point, widened by `marginDeg` degrees on each side (the
// narrower of the two ways round the earth in longitude, so points either side of the 180
// degree meridian give a narrow box across it). Unbounded for no point.
GribBox gribBoxAround(const std::vector<GeoPoint>& points, double marginDeg);

// The grid points of a record kept by a crop: columns `firstColumn` to `firstColumn +
// columns - 1` (counted modulo the row for a grid round the whole earth) and rows `firstRow`
// to `firstRow + rows - 1` (south row first).
struct GribCropWindow {
    int firstColumn = 0, columns = 0;
    int firstRow = 0, rows = 0;
};

// The window of `r`'s grid that covers the box; false when nothing is to be cut (unbounded
// box, a grid without regular increments, a box that misses the grid, or a window that keeps
// the whole grid anyway).
bool gribCropWindow(const GribRecord& r, const GribBox& box, GribCropWindow& window);

// Crops the record to the box: its grid description (corners, point counts, valueCount) and,
// when it holds them, its values (absent points stay kGribMissing). A record left whole by
// gribCropWindow is not changed; false then. Headers read without values crop to the same
// grid as the decoded record, so a store sized from the headers fits the values.
bool cropGribRecord(GribRecord& r, const GribBox& box);

} // namespace navorel

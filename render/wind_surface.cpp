#include "render/wind_surface.h"

#include <algorithm>
#include <cmath>

#include "core/geodesy.h"
#include "weather/wind_sampler.h"
#include "weather/wind_store.h"

namespace navorel {

namespace {

// NaN goes to the low end, so that a bad bound gives an empty rectangle.
double clampTo(double v, double lo, double hi) {
    if (!(v >= lo)) return lo;
    return v > hi ? hi : v;
}

// Whether `record` has a frame to draw in the view.
bool drawableRecord(const WindStore& store, int record, const MapView& view,
                    const SurfaceColoring& coloring) {
    if (coloring.ramp == nullptr || record < 0 || store.empty()) return false;
    if (static_cast<std::size_t>(record) >= store.frames().size()) return false;
    if (view.width <= 0 || view.height <= 0 || !(view.scale > 0) || !std::isfinite(view.scale))
        return false;
    const FrameGeometry& g = store.geometry(record);
    return g.nx >= 2 && g.ny >= 2 &&
           static_cast<std::size_t>(g.count) >=
               static_cast<std::size_t>(g.nx) * static_cast<std::size_t>(g.ny);
}

// The frame of `record` with all its points (made into `scratch` when it is made on demand),
// or null when nothing is to be drawn.
const WindFrame* drawableFrame(const WindStore& store, int record, const MapView& view,
                               const SurfaceColoring& coloring, WindFrame& scratch) {
    if (!drawableRecord(store, record, view, coloring)) return nullptr;
    return &store.wholeFrame(record, scratch);
}

// West and east of the grid's copy (or copies, one turn apart) that the view shows; false
// when none does. Used when the two bounds, brought into the view one by one, come out
// inverted: a grid around the whole globe, or one whose ends both lie near the view.
bool gridHullInView(const MapView& view, const FrameGeometry& g, double& west, double& east) {
    bool found = false;
    for (double turn : {-360.0, 0.0, 360.0, 720.0}) {
        const double a = g.minLon + turn, b = g.minLon + g.lonSpan + turn;
        if (b < view.westLon || a > view.eastLon) continue;
        west = found ? std::min(west, a) : a;
        east = found ? std::max(east, b) : b;
        found = true;
    }
    return found;
}

// The bitmap of the interpolated surface over the area of `g`, its pixels not yet coloured, and
// the places sampled: the longitude of every second column and the latitude of every second
// row from its top-left pixel. False when the area shows no whole pixel.
struct SurfaceLayout {
    SurfaceBitmap bitmap;
    std::vector<float> lons, lats;
};

bool layOutSurface(const MapView& view, const FrameGeometry& g, SurfaceLayout& layout) {
    SurfaceBitmap& bitmap = layout.bitmap;
    double west = longitudeBroughtIntoView(view, g.minLon);
    double east = longitudeBroughtIntoView(view, g.maxLon);
    if (east < west && !gridHullInView(view, g, west, east)) return false;

    const double w = view.width, h = view.height;
    double xw, xe, yn, ys;
    view.project(west, g.maxLat, xw, yn);
    view.project(east, g.minLat, xe, ys);
    bitmap.x0 = clampTo(xw, 0, w);
    bitmap.x1 = clampTo(xe, 0, w);
    bitmap.y0 = clampTo(yn, 0, h);
    bitmap.y1 = clampTo(ys, 0, h);
    const int k = static_cast<int>(bitmap.x1 - bitmap.x0);
    const int l = static_cast<int>(bitmap.y1 - bitmap.y0);
    if (k <= 0 || l <= 0) return false;
    bitmap.width = k;
    bitmap.height = l;
    bitmap.pixels.assign(static_cast<std::size_t>(k) * static_cast<std::size_t>(l), 0u);

    // The Mercator view is separable: a column has one longitude, a row one latitude.
    layout.lons.reserve(static_cast<std::size_t>(k / 2));
    for (int j = 0; j <= k - 2; j += 2) {
        double lon, lat;
        view.unproject(bitmap.x0 + j, bitmap.y0, lon, lat);
        layout.lons.push_back(static_cast<float>(lon));
    }
    layout.lats.reserve(static_cast<std::size_t>(l / 2));
    for (int i = 0; i <= l - 2; i += 2) {
        double lon, lat;
        view.unproject(bitmap.x0, bitmap.y0 + i, lon, lat);
        layout.lats.push_back(static_cast<float>(lat));
    }
    return true;
}

// Colours the 2 x 2 pixel block of sampled column `c` and row `r`.
inline void fillBlock(SurfaceBitmap& bitmap, std::size_t c, std::size_t r, std::uint32_t argb) {
    const std::size_t stride = static_cast<std::size_t>(bitmap.width);
    std::uint32_t* top = bitmap.pixels.data() + 2 * r * stride + 2 * c;
    top[0] = top[1] = top[stride] = top[stride + 1] = argb;
}

// The interpolated surface over the area of `g`, `sample(lon, lat)` giving the wind.
template <class Sampler>
SurfaceBitmap interpolatedSurface(const MapView& view, const FrameGeometry& g,
                                  const SurfaceColoring& coloring, Sampler sample) {
    SurfaceLayout layout;
    if (!layOutSurface(view, g, layout)) return std::move(layout.bitmap);
    for (std::size_t r = 0; r < layout.lats.size(); ++r) {
        for (std::size_t c = 0; c < layout.lons.size(); ++c) {
            const WindSample s = sample(layout.lons[c], layout.lats[r]);
            fillBlock(layout.bitmap, c, r,
                      surfaceColor(coloring, s.found, s.speed, coloring.oneColorPerKnot));
        }
    }
    return std::move(layout.bitmap);
}

// The colour words of the ramp the surface takes, with the arithmetic of surfaceColor.
struct SurfacePalette {
    std::vector<std::uint32_t> table;
    std::uint32_t sea = 0;
    double variationPercent = 100, divisor = 1;
    bool perKnot = false;

    explicit SurfacePalette(const SurfaceColoring& coloring) {
        const WindColorRamp& ramp = *coloring.ramp;
        perKnot = coloring.oneColorPerKnot;
        for (const OpaqueColor& c : perKnot ? ramp.ramp : ramp.scale)
            table.push_back(premultipliedArgb(c));
        sea = premultipliedArgb(ramp.sea);
        variationPercent = coloring.variationPercent;
        divisor = ramp.interval > 0 ? ramp.interval : 1;
    }
    std::uint32_t operator()(bool found, double knots) const {
        knots = knots * variationPercent / 100.0;
        if (!found || table.empty() || !(knots == knots)) return sea;
        double index = perKnot ? knots : knots / divisor;
        index = std::clamp(index, 0.0, static_cast<double>(table.size() - 1));
        return table[static_cast<std::size_t>(index)];
    }
};

// Where a sampled column (row) falls on the grid: its fractional grid index, whether it lies
// within the grid's area and within a cell, the cell's first index and the place's weight in
// it, and the nearest index (used when the column or the row lies on the last one).
struct AxisSpot {
    bool inside = false, inCell = false;
    int first = 0, nearest = 0;
    double weight = 0;
};

AxisSpot axisSpot(double f, int n) {
    AxisSpot s;
    s.inside = true;
    if (f >= 0 && f < n - 1) {
        s.inCell = true;
        s.first = static_cast<int>(f);
        s.weight = f - s.first;
    }
    s.nearest = static_cast<int>(std::clamp(f + 0.5, 0.0, static_cast<double>(n - 1)));
    return s;
}

// The interpolated surface of a record from its grid: per sampled column and row the grid
// index and weight (as frameSpeed finds them, place by place), the speeds of the grid points
// the view needs made once, then each block a bilinear mix of four speeds. The same colours,
// bit for bit, as sampling each block with frameSpeed.
SurfaceBitmap interpolatedSurfaceOnGrid(const MapView& view, const WindStore& store, int record,
                                        const SurfaceColoring& coloring) {
    const FrameGeometry& g = store.geometry(record);
    SurfaceLayout layout;
    if (!layOutSurface(view, g, layout)) return std::move(layout.bitmap);
    const WindFrame& frame = store.frames()[static_cast<std::size_t>(record)];
    // A frame made on demand has the places of the frame it starts from.
    const WindPoint& origin = frame.onDemand()
                                  ? store.frames()[static_cast<std::size_t>(frame.from)].points[0]
                                  : frame.points[0];
    const int nx = g.nx, ny = g.ny;

    std::vector<AxisSpot> columns(layout.lons.size()), rows(layout.lats.size());
    int firstColumn = nx, lastColumn = -1, firstRow = ny, lastRow = -1;
    const auto widen = [](const AxisSpot& s, int& lo, int& hi) {
        if (!s.inside) return;
        lo = std::min(lo, s.nearest);
        hi = std::max(hi, s.nearest);
        if (!s.inCell) return;
        lo = std::min(lo, s.first);
        hi = std::max(hi, s.first + 1);
    };
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const double lon = layout.lons[c];
        double x;
        if (!g.wrap) {
            x = lon;
            if (!(lon >= g.minLon && lon <= g.maxLon)) continue;
        } else {
            x = lon < 0 ? lon + 360.0 : lon;
            if (!(x >= g.minLon && x <= g.maxLon + 360.0)) continue;
        }
        const double fx = g.lonSpan > 0 ? (x - origin.lon) * (nx - 1) / g.lonSpan : 0.0;
        columns[c] = axisSpot(fx, nx);
        widen(columns[c], firstColumn, lastColumn);
    }
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const double lat = layout.lats[r];
        if (!(lat >= g.minLat && lat <= g.maxLat)) continue;
        const double fy = g.latSpan > 0 ? (lat - origin.lat) * (ny - 1) / g.latSpan : 0.0;
        rows[r] = axisSpot(fy, ny);
        widen(rows[r], firstRow, lastRow);
    }

    // The speeds (m/s) of the points in use, NaN where a point is not valid.
    const SurfacePalette colorOf(coloring);
    if (lastColumn < firstColumn || lastRow < firstRow) {
        // No place of the bitmap lies in the area: every block is without wind.
        for (std::size_t r = 0; r < rows.size(); ++r)
            for (std::size_t c = 0; c < columns.size(); ++c)
                fillBlock(layout.bitmap, c, r, colorOf(false, 0));
        return std::move(layout.bitmap);
    }
    const int usedColumns = lastColumn - firstColumn + 1;
    std::vector<float> speeds(static_cast<std::size_t>(usedColumns) *
                              static_cast<std::size_t>(lastRow - firstRow + 1));
    std::vector<unsigned char> valid(speeds.size());
    for (int j = firstRow; j <= lastRow; ++j) {
        for (int i = firstColumn; i <= lastColumn; ++i) {
            const WindPoint p =
                store.point(record, static_cast<std::size_t>(j) * static_cast<std::size_t>(nx) +
                                        static_cast<std::size_t>(i));
            const std::size_t at =
                static_cast<std::size_t>(j - firstRow) * static_cast<std::size_t>(usedColumns) +
                static_cast<std::size_t>(i - firstColumn);
            speeds[at] = p.speed;
            valid[at] = p.valid;
        }
    }
    const auto index = [&](int i, int j) {
        return static_cast<std::size_t>(j - firstRow) * static_cast<std::size_t>(usedColumns) +
               static_cast<std::size_t>(i - firstColumn);
    };
    const std::uint32_t none = colorOf(false, 0);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const AxisSpot& row = rows[r];
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const AxisSpot& column = columns[c];
            std::uint32_t argb = none;
            if (row.inside && column.inside) {
                if (row.inCell && column.inCell) {
                    const std::size_t p00 = index(column.first, row.first);
                    const std::size_t p01 = p00 + static_cast<std::size_t>(usedColumns);
                    if (valid[p00] && valid[p00 + 1] && valid[p01] && valid[p01 + 1]) {
                        const double a = column.weight, b = row.weight;
                        const double knots =
                            ((1 - a) * (1 - b) * speeds[p00] + a * (1 - b) * speeds[p00 + 1] +
                             a * b * speeds[p01 + 1] + (1 - a) * b * speeds[p01]) *
                            kMsToKnot;
                        argb = colorOf(true, static_cast<float>(knots));
                    }
                } else {
                    const std::size_t p = index(column.nearest, row.nearest);
                    if (valid[p]) argb = colorOf(true, static_cast<float>(speeds[p] * kMsToKnot));
                }
            }
            fillBlock(layout.bitmap, c, r, argb);
        }
    }
    return std::move(layout.bitmap);
}
// The cell surface on the grid of `frame`, `colorOf(point)` giving each box's colour.
template <class Coloring>
std::vector<SurfaceCell> cellSurface(const MapView& view, const WindFrame& frame,
                                     const FrameGeometry& g, Coloring colorOf) {
    std::vector<SurfaceCell> cells;
    const int nx = g.nx, ny = g.ny;
    const double lonStep = g.lonSpan / (nx - 1), latStep = g.latSpan / (ny - 1);
    const double w = view.width, h = view.height;
    for (int r = 0; r < ny; ++r) {
        for (int c = 0; c < nx; ++c) {
            const WindPoint& p =
                frame.points[static_cast<std::size_t>(r) * static_cast<std::size_t>(nx) +
                             static_cast<std::size_t>(c)];
            // The box is placed around the point's copy nearest the view, so that a box
            // across the 180 degree meridian stays one box.
            const double lon = longitudeBroughtIntoView(view, p.lon);
            const double west = c == 0 ? lon : lon - lonStep;
            const double east = c == nx - 1 ? lon : lon + lonStep;
            const double south = r == 0 ? p.lat : p.lat - latStep;
            const double north = r == ny - 1 ? p.lat : p.lat + latStep;
            SurfaceCell cell;
            view.project(west, north, cell.x0, cell.y0);
            view.project(east, south, cell.x1, cell.y1);
            if (!(cell.x1 >= 0 && cell.x0 <= w && cell.y1 >= 0 && cell.y0 <= h)) continue;
            cell.argb = colorOf(p);
            cells.push_back(cell);
        }
    }
    return cells;
}

} // namespace

std::uint32_t premultipliedArgb(const OpaqueColor& c) {
    const std::uint32_t a = c.alpha;
    const auto pm = [a](std::uint8_t v) { return (static_cast<std::uint32_t>(v) * a + 127) / 255; };
    return a << 24 | pm(c.red) << 16 | pm(c.green) << 8 | pm(c.blue);
}

std::uint32_t surfaceColor(const SurfaceColoring& coloring, bool found, double knots,
                           bool oneColorPerKnot) {
    static const WindColorRamp kNoRamp;
    const WindColorRamp& ramp = coloring.ramp ? *coloring.ramp : kNoRamp;
    return premultipliedArgb(
        windColor(ramp, found, knots * coloring.variationPercent / 100.0, oneColorPerKnot));
}

double longitudeBroughtIntoView(const MapView& view, double lon) {
    const double w = view.westLon, e = view.eastLon;
    if (w <= lon && lon <= e) return lon;
    if (e > 180 && w <= lon + 360 && lon + 360 <= e) return lon + 360;
    const double v = lon < w ? std::fabs(lon - w) : 360 - lon + w;
    if (v < 360 - std::fabs(w - e) - v) return lon > w ? lon - 360 : lon;
    return lon < e ? lon + 360 : lon;
}

SurfaceBitmap interpolatedSurfaceAtRecord(const MapView& view, const WindStore& store, int record,
                                          const SurfaceColoring& coloring) {
    if (!drawableRecord(store, record, view, coloring)) return {};
    return interpolatedSurfaceOnGrid(view, store, record, coloring);
}

SurfaceBitmap sampledSurfaceAtRecord(const MapView& view, const WindStore& store, int record,
                                     const SurfaceColoring& coloring) {
    if (!drawableRecord(store, record, view, coloring)) return {};
    return interpolatedSurface(view, store.geometry(record), coloring,
                               [&store, record](float lon, float lat) {
                                   // Only the speed colours the surface.
                                   WindSample s;
                                   s.found = frameSpeed(store, record, lon, lat, s.speed);
                                   return s;
                               });
}

SurfaceBitmap interpolatedSurfaceAtTime(const MapView& view, const WindStore& store, int record,
                                        const WindField& wind, double time,
                                        const SurfaceColoring& coloring) {
    if (!drawableRecord(store, record, view, coloring)) return {};
    return interpolatedSurface(
        view, store.geometry(record), coloring,
        [&wind, time](float lon, float lat) { return wind.windAt(lon, lat, time); });
}

std::vector<SurfaceCell> cellSurfaceAtRecord(const MapView& view, const WindStore& store,
                                             int record, const SurfaceColoring& coloring) {
    WindFrame scratch;
    const WindFrame* frame = drawableFrame(store, record, view, coloring, scratch);
    if (!frame) return {};
    return cellSurface(view, *frame, store.geometry(record), [&coloring](const WindPoint& p) {
        return surfaceColor(coloring, p.valid, p.speed * kMsToKnot, false);
    });
}

std::vector<SurfaceCell> cellSurfaceAtTime(const MapView& view, const WindStore& store, int record,
                                           const WindField& wind, double time,
                                           const SurfaceColoring& coloring) {
    WindFrame scratch;
    const WindFrame* frame = drawableFrame(store, record, view, coloring, scratch);
    if (!frame) return {};
    return cellSurface(view, *frame, store.geometry(record),
                       [&coloring, &wind, time](const WindPoint& p) {
                           const WindSample s = wind.windAt(p.lon, p.lat, time);
                           return surfaceColor(coloring, s.found, s.speed, false);
                       });
}

} // namespace navorel

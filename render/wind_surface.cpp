#include "render/wind_surface.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

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

// The bitmap of the interpolated surface over the area of `g` within `clip`, its pixels not yet
// coloured, and the places sampled. Pixels go in blocks of two by two counted from the chart's
// origin (the screen place of longitude 0 and of the equator), not from the screen's edge, so
// that a view moved by whole pixels shows the same blocks moved. A block takes the wind at its
// top-left pixel, or at the area's first whole pixel when the area starts within the block.
// False when the area shows no pixel.
struct SurfaceLayout {
    SurfaceBitmap bitmap;
    // The longitude of each block column and the first pixel of the bitmap it colours (block c
    // up to block c + 1; the last block up to the bitmap's edge); the same for the rows.
    std::vector<float> lons, lats;
    std::vector<int> columnStarts, rowStarts;
};

// The blocks of the pixels [from, to) on one axis: two pixels each from `origin` (an even
// number of pixels from it), each sampled at its first pixel, or at `edge` when greater.
template <class Place>
void axisBlocks(int from, int to, double origin, int edge, std::vector<float>& places,
                std::vector<int>& starts, Place placeOf) {
    const int anchor = static_cast<int>(std::floor(clampTo(origin, -1e9, 1e9)));
    for (int x = from; x < to;) {
        const int first = x - (((x - anchor) % 2) + 2) % 2;
        places.push_back(static_cast<float>(placeOf(std::max(first, edge))));
        starts.push_back(x - from);
        x = first + 2;
    }
}

// The first pixel whose centre lies past `at`, kept within a margin of [0, size].
int pixelAfter(double at, int size) {
    return static_cast<int>(std::ceil(clampTo(at, -4, size + 4.0) - 0.5));
}

bool layOutSurface(const MapView& view, const FrameGeometry& g, const PixelRect& clip,
                   SurfaceLayout& layout) {
    SurfaceBitmap& bitmap = layout.bitmap;
    double west = longitudeBroughtIntoView(view, g.minLon);
    double east = longitudeBroughtIntoView(view, g.maxLon);
    if (east < west && !gridHullInView(view, g, west, east)) return false;

    const int w = view.width, h = view.height;
    double xw, xe, yn, ys;
    view.project(west, g.maxLat, xw, yn);
    view.project(east, g.minLat, xe, ys);
    const int x0 = std::max({pixelAfter(xw, w), 0, clip.x0});
    const int x1 = std::min({pixelAfter(xe, w), w, clip.x1});
    const int y0 = std::max({pixelAfter(yn, h), 0, clip.y0});
    const int y1 = std::min({pixelAfter(ys, h), h, clip.y1});
    if (x1 <= x0 || y1 <= y0) return false;
    bitmap.x0 = x0;
    bitmap.x1 = x1;
    bitmap.y0 = y0;
    bitmap.y1 = y1;
    bitmap.width = x1 - x0;
    bitmap.height = y1 - y0;
    // Every pixel is written: the room of a bitmap made before is taken as it is.
    bitmap.pixels.resize(static_cast<std::size_t>(bitmap.width) *
                         static_cast<std::size_t>(bitmap.height));

    // The Mercator view is separable: a column has one longitude, a row one latitude. A block
    // is sampled at the area's first whole pixel at most, so that it finds the wind.
    const int westEdge = static_cast<int>(std::ceil(clampTo(xw, -4, w + 4.0)));
    const int northEdge = static_cast<int>(std::ceil(clampTo(yn, -4, h + 4.0)));
    axisBlocks(x0, x1, view.transX, westEdge, layout.lons, layout.columnStarts, [&](int x) {
        double lon, lat;
        view.unproject(x, 0, lon, lat);
        return lon;
    });
    axisBlocks(y0, y1, view.transY, northEdge, layout.lats, layout.rowStarts, [&](int y) {
        double lon, lat;
        view.unproject(0, y, lon, lat);
        return lat;
    });
    layout.columnStarts.push_back(bitmap.width);
    layout.rowStarts.push_back(bitmap.height);
    return true;
}

// Colours the blocks of row `r` from `colorOf(c)` for each block column c.
template <class ColorOf> void fillBlockRow(SurfaceLayout& layout, std::size_t r, ColorOf colorOf) {
    SurfaceBitmap& bitmap = layout.bitmap;
    const std::size_t stride = static_cast<std::size_t>(bitmap.width);
    const auto top = static_cast<std::size_t>(layout.rowStarts[r]);
    const auto bottom = static_cast<std::size_t>(layout.rowStarts[r + 1]);
    std::uint32_t* line = bitmap.pixels.data() + top * stride;
    for (std::size_t c = 0; c + 1 < layout.columnStarts.size(); ++c) {
        const std::uint32_t argb = colorOf(c);
        for (int x = layout.columnStarts[c]; x < layout.columnStarts[c + 1]; ++x) line[x] = argb;
    }
    for (std::size_t y = top + 1; y < bottom; ++y)
        std::copy(line, line + stride, bitmap.pixels.data() + y * stride);
}

// The interpolated surface over the area of `g`, `sample(lon, lat)` giving the wind.
template <class Sampler>
SurfaceBitmap interpolatedSurface(const MapView& view, const FrameGeometry& g,
                                  const SurfaceColoring& coloring, const PixelRect& clip,
                                  Sampler sample) {
    SurfaceLayout layout;
    if (!layOutSurface(view, g, clip, layout)) return {};
    for (std::size_t r = 0; r < layout.lats.size(); ++r) {
        fillBlockRow(layout, r, [&](std::size_t c) {
            const WindSample s = sample(layout.lons[c], layout.lats[r]);
            return surfaceColor(coloring, s.found, s.speed, coloring.oneColorPerKnot);
        });
    }
    return std::move(layout.bitmap);
}

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
                                        const SurfaceColoring& coloring, const PixelRect& clip,
                                        std::vector<std::uint32_t>&& room) {
    const FrameGeometry& g = store.geometry(record);
    SurfaceLayout layout;
    layout.bitmap.pixels = std::move(room);
    if (!layOutSurface(view, g, clip, layout)) return {};
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
        const double fx = g.lonSpan > 0 ? (x - g.minLon) * (nx - 1) / g.lonSpan : 0.0;
        columns[c] = axisSpot(fx, nx);
        widen(columns[c], firstColumn, lastColumn);
    }
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const double lat = layout.lats[r];
        if (!(lat >= g.minLat && lat <= g.maxLat)) continue;
        const double fy = g.latSpan > 0 ? (lat - g.minLat) * (ny - 1) / g.latSpan : 0.0;
        rows[r] = axisSpot(fy, ny);
        widen(rows[r], firstRow, lastRow);
    }

    // The speeds (m/s) of the points in use, NaN where a point is not valid (a mix with such a
    // point, like a point without wind, takes the colour of no wind).
    const SurfaceColorLookup colorOf(coloring);
    const std::uint32_t none = colorOf.none();
    if (lastColumn < firstColumn || lastRow < firstRow) {
        // No place of the bitmap lies in the area: every block is without wind.
        std::fill(layout.bitmap.pixels.begin(), layout.bitmap.pixels.end(), none);
        return std::move(layout.bitmap);
    }
    const auto usedColumns = static_cast<std::size_t>(lastColumn - firstColumn + 1);
    std::vector<float> speeds(usedColumns * static_cast<std::size_t>(lastRow - firstRow + 1));
    for (int j = firstRow; j <= lastRow; ++j) {
        float* line = speeds.data() + static_cast<std::size_t>(j - firstRow) * usedColumns;
        for (int i = firstColumn; i <= lastColumn; ++i) {
            // The wind alone, not its place.
            const WindValue w =
                store.value(record, static_cast<std::size_t>(j) * static_cast<std::size_t>(nx) +
                                        static_cast<std::size_t>(i));
            line[i - firstColumn] = w.valid ? w.speed : std::numeric_limits<float>::quiet_NaN();
        }
    }
    // Per block column: where it takes its speeds (from the row's first grid row) and how.
    enum Kind : unsigned char { kNone, kMix, kNearest };
    struct Column {
        Kind kind = kNone;
        std::size_t at = 0;
        double a = 0;
    };
    std::vector<Column> spots(columns.size());
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const AxisSpot& s = columns[c];
        if (!s.inside) continue;
        spots[c] = s.inCell
                       ? Column{kMix, static_cast<std::size_t>(s.first - firstColumn), s.weight}
                       : Column{kNearest, static_cast<std::size_t>(s.nearest - firstColumn), 0};
    }
    const std::size_t stride = static_cast<std::size_t>(layout.bitmap.width);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const AxisSpot& row = rows[r];
        const auto top = static_cast<std::size_t>(layout.rowStarts[r]);
        const auto bottom = static_cast<std::size_t>(layout.rowStarts[r + 1]);
        std::uint32_t* out = layout.bitmap.pixels.data() + top * stride;
        if (!row.inside) {
            std::fill(out, out + stride, none);
        } else {
            const float* s0 =
                speeds.data() +
                static_cast<std::size_t>((row.inCell ? row.first : row.nearest) - firstRow) *
                    usedColumns;
            const float* s1 = s0 + usedColumns;
            const double b = row.weight;
            const int* starts = layout.columnStarts.data();
            for (std::size_t c = 0; c < spots.size(); ++c) {
                const Column& column = spots[c];
                std::uint32_t argb = none;
                if (column.kind == kMix && row.inCell) {
                    const std::size_t i = column.at;
                    const double a = column.a;
                    const double knots = ((1 - a) * (1 - b) * s0[i] + a * (1 - b) * s0[i + 1] +
                                          a * b * s1[i + 1] + (1 - a) * b * s1[i]) *
                                         kMsToKnot;
                    argb = colorOf(static_cast<float>(knots));
                } else if (column.kind != kNone) {
                    // The nearest point: on the last grid row or column.
                    const std::size_t i =
                        column.kind == kMix
                            ? static_cast<std::size_t>(columns[c].nearest - firstColumn)
                            : column.at;
                    const float* nearestRow =
                        speeds.data() +
                        static_cast<std::size_t>(row.nearest - firstRow) * usedColumns;
                    argb = colorOf(static_cast<float>(nearestRow[i] * kMsToKnot));
                }
                for (int x = starts[c]; x < starts[c + 1]; ++x) out[x] = argb;
            }
        }
        for (std::size_t y = top + 1; y < bottom; ++y)
            std::copy(out, out + stride, layout.bitmap.pixels.data() + y * stride);
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
    // The places of the columns, once for all rows.
    std::vector<float> lons(static_cast<std::size_t>(nx));
    for (int c = 0; c < nx; ++c) lons[static_cast<std::size_t>(c)] = frame.longitude(c);
    for (int r = 0; r < ny; ++r) {
        const float rowLat = frame.latitude(r);
        for (int c = 0; c < nx; ++c) {
            const WindValue wind =
                frame.value(static_cast<std::size_t>(r) * static_cast<std::size_t>(nx) +
                            static_cast<std::size_t>(c));
            const WindPoint p{lons[static_cast<std::size_t>(c)], rowLat, wind.direction, wind.speed,
                              wind.valid};
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

SurfaceColorLookup::SurfaceColorLookup(const SurfaceColoring& coloring) {
    if (!coloring.ramp) return;
    const WindColorRamp& ramp = *coloring.ramp;
    perKnot_ = coloring.oneColorPerKnot;
    for (const OpaqueColor& c : perKnot_ ? ramp.ramp : ramp.scale)
        table_.push_back(premultipliedArgb(c));
    sea_ = premultipliedArgb(ramp.sea);
    variationPercent_ = coloring.variationPercent;
    divisor_ = ramp.interval > 0 ? ramp.interval : 1;
    const std::size_t n = table_.size();
    rising_ = n > 0 && variationPercent_ > 0 && std::isfinite(variationPercent_);
    if (!rising_) return;
    const auto indexOf = [&](float f) {
        return index(static_cast<double>(f) * variationPercent_ / 100.0);
    };
    // thresholds_[k]: the least float whose index is k or more (infinity when none is).
    thresholds_.assign(n, std::numeric_limits<float>::infinity());
    thresholds_[0] = 0;
    const auto infinity = std::bit_cast<std::uint32_t>(std::numeric_limits<float>::infinity());
    for (std::size_t k = 1; k < n; ++k) {
        std::uint32_t lo = 0, hi = infinity;
        while (lo < hi) {
            const std::uint32_t mid = lo + (hi - lo) / 2;
            if (indexOf(std::bit_cast<float>(mid)) >= k)
                hi = mid;
            else
                lo = mid + 1;
        }
        thresholds_[k] = std::bit_cast<float>(lo);
    }
    scale_ = variationPercent_ / 100.0 / (perKnot_ ? 1.0 : divisor_);
    last_ = n - 1;
}

std::size_t SurfaceColorLookup::index(double scaled) const {
    double at = perKnot_ ? scaled : scaled / divisor_;
    at = std::clamp(at, 0.0, static_cast<double>(table_.size() - 1));
    return static_cast<std::size_t>(at);
}

std::uint32_t SurfaceColorLookup::exact(float knots) const {
    const double scaled = static_cast<double>(knots) * variationPercent_ / 100.0;
    if (table_.empty() || !(scaled == scaled)) return sea_;
    return table_[index(scaled)];
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
                                          const SurfaceColoring& coloring, const PixelRect& clip,
                                          std::vector<std::uint32_t>&& room) {
    if (!drawableRecord(store, record, view, coloring)) return {};
    return interpolatedSurfaceOnGrid(view, store, record, coloring, clip, std::move(room));
}

SurfaceBitmap sampledSurfaceAtRecord(const MapView& view, const WindStore& store, int record,
                                     const SurfaceColoring& coloring) {
    if (!drawableRecord(store, record, view, coloring)) return {};
    return interpolatedSurface(view, store.geometry(record), coloring, PixelRect{},
                               [&store, record](float lon, float lat) {
                                   // Only the speed colours the surface.
                                   WindSample s;
                                   s.found = frameSpeed(store, record, lon, lat, s.speed);
                                   return s;
                               });
}

SurfaceBitmap interpolatedSurfaceAtTime(const MapView& view, const WindStore& store, int record,
                                        const WindField& wind, double time,
                                        const SurfaceColoring& coloring, const PixelRect& clip) {
    if (!drawableRecord(store, record, view, coloring)) return {};
    return interpolatedSurface(
        view, store.geometry(record), coloring, clip,
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

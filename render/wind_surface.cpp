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

// The interpolated surface over the area of `g`, `sample(lon, lat)` giving the wind.
template <class Sampler>
SurfaceBitmap interpolatedSurface(const MapView& view, const FrameGeometry& g,
                                  const SurfaceColoring& coloring, Sampler sample) {
    SurfaceBitmap bitmap;
    double west = longitudeBroughtIntoView(view, g.minLon);
    double east = longitudeBroughtIntoView(view, g.maxLon);
    if (east < west && !gridHullInView(view, g, west, east)) return bitmap;

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
    if (k <= 0 || l <= 0) return bitmap;
    bitmap.width = k;
    bitmap.height = l;
    bitmap.pixels.assign(static_cast<std::size_t>(k) * static_cast<std::size_t>(l), 0u);

    // Longitudes of the sampled columns, once for all rows.
    std::vector<float> lons;
    lons.reserve(static_cast<std::size_t>(k / 2));
    for (int j = 0; j <= k - 2; j += 2) {
        double lon, lat;
        view.unproject(bitmap.x0 + j, bitmap.y0, lon, lat);
        lons.push_back(static_cast<float>(lon));
    }
    const std::size_t stride = static_cast<std::size_t>(k);
    for (int i = 0; i <= l - 2; i += 2) {
        double lon, lat;
        view.unproject(bitmap.x0, bitmap.y0 + i, lon, lat);
        const float rowLat = static_cast<float>(lat);
        std::uint32_t* top = bitmap.pixels.data() + static_cast<std::size_t>(i) * stride;
        std::uint32_t* below = top + stride;
        for (std::size_t c = 0; c < lons.size(); ++c) {
            const WindSample s = sample(lons[c], rowLat);
            const std::uint32_t argb =
                surfaceColor(coloring, s.found, s.speed, coloring.oneColorPerKnot);
            top[2 * c] = top[2 * c + 1] = below[2 * c] = below[2 * c + 1] = argb;
        }
    }
    return bitmap;
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

#pragma once
// The wind surface: the sea coloured by wind speed under the rest of the chart. Two styles:
// the interpolated surface, one bitmap sampled once per 2 x 2 pixel block, and the cell
// surface, one filled box per grid point. Each can be drawn at a forecast record or at any
// time between records. Qt-free: the window draws the bitmap or the boxes it is given.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "render/map_view.h"
#include "weather/color_table.h"

namespace navorel {

class WindStore;
class WindField;

// Pixels are premultiplied 32-bit ARGB, 0xAARRGGBB per word (the layout of
// QImage::Format_ARGB32_Premultiplied), rows from the top. 0 is transparent.
struct SurfaceBitmap {
    // The screen pixels the bitmap covers, [x0, x1) x [y0, y1); every pixel is coloured.
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    int width = 0, height = 0; // whole pixels of the bitmap
    std::vector<std::uint32_t> pixels;
    bool empty() const { return width <= 0 || height <= 0; }
    std::uint32_t at(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

// A rectangle of whole screen pixels, [x0, x1) x [y0, y1); by default every pixel.
struct PixelRect {
    int x0 = -(1 << 30), y0 = -(1 << 30), x1 = 1 << 30, y1 = 1 << 30;
};

// One box of the cell surface in screen pixels (x0 west, y0 north), filled with `argb`.
struct SurfaceCell {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    std::uint32_t argb = 0;
};

// How speeds become colours: `variationPercent` scales every sampled speed; with
// `oneColorPerKnot` the interpolated surface takes one ramp colour per whole knot (the cell
// surface always takes the scale colours).
struct SurfaceColoring {
    const WindColorRamp* ramp = nullptr;
    double variationPercent = 100;
    bool oneColorPerKnot = false;
};

// A drawing colour as a premultiplied ARGB word.
std::uint32_t premultipliedArgb(const OpaqueColor& c);

// The colour word of a sampled wind (knots before the variation), or of a place without wind.
std::uint32_t surfaceColor(const SurfaceColoring& coloring, bool found, double knots,
                           bool oneColorPerKnot);

// The colour words of a colouring's ramp looked up for sampled speeds (knots before the
// variation), the same words as surfaceColor gives, found without its divisions: the index is a
// rising step function of the speed, so each step's first speed is found once (over the bits of
// the non-negative floats, which order as the floats do) and a speed's index is a cheap guess
// set right against those thresholds. A colouring whose steps need not rise (a variation that
// is not positive) and negative speeds take surfaceColor's arithmetic.
class SurfaceColorLookup {
  public:
    explicit SurfaceColorLookup(const SurfaceColoring& coloring);
    // The colour of a place without wind.
    std::uint32_t none() const { return sea_; }
    // The colour of a place with wind of `knots` (NaN: no wind).
    std::uint32_t operator()(float knots) const {
        if (!rising_ || !(knots >= 0)) return exact(knots);
        const double guess =
            std::min(static_cast<double>(knots) * scale_, static_cast<double>(last_));
        auto k = static_cast<std::size_t>(guess);
        while (k < last_ && knots >= thresholds_[k + 1]) ++k;
        while (k > 0 && knots < thresholds_[k]) --k;
        return table_[k];
    }

  private:
    std::size_t index(double scaled) const;
    std::uint32_t exact(float knots) const;

    std::vector<std::uint32_t> table_;
    std::vector<float> thresholds_;
    std::uint32_t sea_ = 0;
    double variationPercent_ = 100, divisor_ = 1, scale_ = 0;
    std::size_t last_ = 0;
    bool perKnot_ = false, rising_ = false;
};

// A longitude brought into the view: kept when the view shows it, else taken one turn on or
// back, whichever lies nearer the view. Views east of 180 degrees (raw east edge above 180)
// take l + 360 when that falls inside.
double longitudeBroughtIntoView(const MapView& view, double lon);

// The interpolated surface of forecast record `record` (frameSample) over the pixels of `clip`.
// Its blocks of 2 x 2 pixels are counted from the chart's origin, so that the surface of a view
// moved by whole pixels is the same surface moved, and the surface of a part of the view is
// that part of the whole. Empty for record -1, an empty store or a grid outside the view.
// `room`, the pixels of a bitmap no longer needed, is filled instead of new memory (a whole
// screen's worth of fresh pages costs more than colouring them).
SurfaceBitmap interpolatedSurfaceAtRecord(const MapView& view, const WindStore& store, int record,
                                          const SurfaceColoring& coloring,
                                          const PixelRect& clip = {},
                                          std::vector<std::uint32_t>&& room = {});

// The same surface sampled block by block with frameSpeed: what the grid's bilinear mix above
// gives, bit for bit, at many times the cost (kept to check the mix against).
SurfaceBitmap sampledSurfaceAtRecord(const MapView& view, const WindStore& store, int record,
                                     const SurfaceColoring& coloring);

// The interpolated surface at day number `time`, sampled from `wind` (time interpolation
// between the records around it). The area is that of record `record`, the record the time
// bar stands on or last passed; -1 draws nothing.
SurfaceBitmap interpolatedSurfaceAtTime(const MapView& view, const WindStore& store, int record,
                                        const WindField& wind, double time,
                                        const SurfaceColoring& coloring,
                                        const PixelRect& clip = {});

// The cell surface of record `record`: the boxes touching the view, south to north and west
// to east within a row (a later box covers its overlap with the earlier ones).
std::vector<SurfaceCell> cellSurfaceAtRecord(const MapView& view, const WindStore& store,
                                             int record, const SurfaceColoring& coloring);

// The cell surface on the grid of record `record`, coloured by `wind` at day number `time`.
std::vector<SurfaceCell> cellSurfaceAtTime(const MapView& view, const WindStore& store, int record,
                                           const WindField& wind, double time,
                                           const SurfaceColoring& coloring);

} // namespace navorel

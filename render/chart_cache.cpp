#include "render/chart_cache.h"

#include "settings/config_store.h"
#include "weather/color_table.h"
#include "weather/current_field.h"
#include "weather/ocean_fields.h"
#include "weather/wind_store.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace navorel {

namespace {

// A key is a list of words: numbers by their bits (so that equal values give equal words and
// NaN equals itself), pointers by their address.
struct KeyWriter {
    std::vector<std::uint64_t>& key;
    KeyWriter& operator<<(double v) {
        key.push_back(std::bit_cast<std::uint64_t>(v));
        return *this;
    }
    KeyWriter& operator<<(int v) { return *this << static_cast<double>(v); }
    KeyWriter& operator<<(bool v) { return *this << static_cast<double>(v); }
    KeyWriter& operator<<(const void* p) {
        key.push_back(reinterpret_cast<std::uintptr_t>(p));
        return *this;
    }
    KeyWriter& operator<<(const OpaqueColor& c) {
        key.push_back(static_cast<std::uint64_t>(c.red) << 24 | c.green << 16 | c.blue << 8 |
                      c.alpha);
        return *this;
    }
};

// The image's size and the view's projection (its edges and level follow from them).
void writeView(KeyWriter& k, const MapView& view, qreal ratio) {
    k << view.width << view.height << static_cast<double>(ratio) << view.scale << view.transX
      << view.transY;
}

void writeRamp(KeyWriter& k, const WindColorRamp* ramp) {
    k << static_cast<const void*>(ramp);
    if (!ramp) return;
    k << ramp->interval << ramp->sea << static_cast<int>(ramp->scale.size())
      << static_cast<int>(ramp->ramp.size());
    for (const OpaqueColor& c : ramp->scale) k << c;
    for (const OpaqueColor& c : ramp->ramp) k << c;
}

// The forecast and the record or time shown. The store is the same object from one file to the
// next: its frames' buffers, count and times tell one load from another.
void writeWind(KeyWriter& k, const ChartScene& scene) {
    const WindStore* w = scene.wind;
    k << static_cast<const void*>(w);
    if (!w) return;
    const int frames = static_cast<int>(w->frames().size());
    k << frames << static_cast<const void*>(w->frames().data())
      << static_cast<const void*>(w->frameTimes().data()) << scene.windFrame;
    if (scene.windFrame >= 0 && scene.windFrame < frames) {
        const auto f = static_cast<std::size_t>(scene.windFrame);
        const FrameGeometry& g = w->geometry(scene.windFrame);
        k << w->frameTimes()[f] << static_cast<const void*>(w->frames()[f].speed.data()) << g.minLon
          << g.lonSpan << g.minLat << g.maxLat << g.nx << g.ny << g.wrap;
    }
    const bool atTime = scene.windAtTime && scene.windField;
    k << atTime;
    if (atTime) k << static_cast<const void*>(scene.windField) << scene.displayTime;
}

ChartCache::Key seaKey(const MapView& view, const ChartScene& scene, qreal ratio) {
    ChartCache::Key key;
    KeyWriter k{key};
    writeView(k, view, ratio);
    const WindSettings& ws = scene.settings->winds;
    k << scene.settings->map.colorSea << (scene.wind != nullptr);
    const bool surface = scene.wind && (ws.showSurfaceGradient || ws.showSurfaceNoGradient);
    // The wave layer lies on the surface; a forecast loaded anew holds new frames.
    const bool waves = scene.wind && scene.waves && scene.showWaves;
    k << waves;
    if (waves)
        k << static_cast<const void*>(scene.waves->height().frames().data())
          << static_cast<int>(scene.waves->height().frames().size()) << scene.displayTime;
    k << surface;
    if (!surface) return key;
    k << ws.showSurfaceGradient << ws.oneColorPerKnot << scene.uniqueWind;
    writeRamp(k, scene.windColors);
    if (scene.uniqueWind) {
        k << scene.windForce;
        return key;
    }
    k << scene.windVariation;
    writeWind(k, scene);
    return key;
}

ChartCache::Key mapKey(const MapView& view, const ChartScene& scene, qreal ratio) {
    ChartCache::Key key;
    KeyWriter k{key};
    writeView(k, view, ratio);
    const MapSettings& m = scene.settings->map;
    k << view.level << (scene.wind != nullptr) << static_cast<const void*>(scene.shore)
      << m.showLand << m.showShorelines << m.showLakes << m.colorCoast << m.colorLand << m.colorSea
      << m.showMapGrid << m.colorMapGrid << static_cast<const void*>(scene.tss)
      << scene.settings->tssColor;
    return key;
}

ChartCache::Key hourKey(const MapView& view, const ChartScene& scene, qreal ratio) {
    ChartCache::Key key;
    KeyWriter k{key};
    writeView(k, view, ratio);
    const WindSettings& ws = scene.settings->winds;
    const CurrentSettings& cs = scene.settings->currents;
    const CurrentField* field = scene.currents ? scene.currents->activeField() : nullptr;
    k << (scene.wind != nullptr) << static_cast<const void*>(field)
      << static_cast<const void*>(scene.tides) << cs.showArrows << cs.showZones
      << scene.settings->routing.currents;
    // The streams move with the display time.
    if (field && scene.tides && cs.showArrows) k << scene.displayTime;
    // So do the arrows of a current forecast, which a new file replaces.
    const auto* forecast = scene.currents && scene.currents->mode() == 2
                               ? dynamic_cast<const OceanCurrents*>(scene.currents->forecast())
                               : nullptr;
    k << static_cast<const void*>(forecast);
    if (forecast && cs.showArrows)
        k << static_cast<const void*>(forecast->field().frames().data())
          << static_cast<int>(forecast->field().frames().size()) << scene.displayTime;
    k << ws.showArrows << ws.showZones;
    if (!ws.showArrows && !ws.showZones) return key;
    // Over a surface (either style) the symbols are black.
    k << ws.colorZones << (ws.showSurfaceGradient || ws.showSurfaceNoGradient)
      << ws.thicknessArrowBlack << ws.thicknessArrowColored << ws.spaceBetweenArrows
      << ws.lengthArrow << ws.lengthBarb << ws.showWindBarbs << ws.arrowCentered;
    writeRamp(k, scene.windColors);
    k << scene.uniqueWind;
    if (scene.uniqueWind) {
        k << scene.windForce << scene.windDirection;
        return key;
    }
    k << scene.windVariation;
    writeWind(k, scene);
    return key;
}

} // namespace

void ChartCache::clear() {
    for (std::vector<Kept>& kept : kept_) kept.clear();
}

ChartCache::Kept* ChartCache::find(std::vector<Kept>& kept, const Key& key) {
    for (Kept& k : kept) {
        if (k.key == key) {
            k.used = clock_;
            return &k;
        }
    }
    return nullptr;
}

ChartCache::Kept& ChartCache::slot(std::vector<Kept>& kept, std::size_t most) {
    if (kept.size() < most) {
        kept.emplace_back();
        kept.back().used = clock_;
        return kept.back();
    }
    Kept* oldest = &kept.front();
    for (Kept& k : kept)
        if (k.used < oldest->used) oldest = &k;
    oldest->used = clock_;
    return *oldest;
}

namespace {

// The words of the view's place in a key (writeView): its x and y translations.
constexpr std::size_t kTransXWord = 4, kTransYWord = 5;

// A whole number of device pixels, or NaN. (A translation moved by a whole number of pixels can
// differ from it in the last bits.)
double wholePixels(double logical, qreal ratio) {
    const double device = logical * ratio;
    const double whole = std::round(device);
    return std::fabs(device - whole) < 1e-6 ? whole : std::nan("");
}

// Moves the pixels of `image` by (dx, dy); the pixels uncovered keep what they held.
void moveImage(QImage& image, int dx, int dy) {
    const int w = image.width(), h = image.height();
    const auto bpl = static_cast<std::size_t>(image.bytesPerLine());
    const std::size_t width = static_cast<std::size_t>(w - std::abs(dx)) * 4;
    const std::size_t from = static_cast<std::size_t>(std::max(0, -dx)) * 4;
    const std::size_t to = static_cast<std::size_t>(std::max(0, dx)) * 4;
    uchar* bits = image.bits();
    const auto moveRow = [&](int source, int target) {
        std::memmove(bits + static_cast<std::size_t>(target) * bpl + to,
                     bits + static_cast<std::size_t>(source) * bpl + from, width);
    };
    // Rows are taken before they are written over.
    if (dy > 0)
        for (int y = h - 1; y >= dy; --y) moveRow(y - dy, y);
    else
        for (int y = 0; y < h + dy; ++y) moveRow(y - dy, y);
}

} // namespace

ChartCache::Kept* ChartCache::moved(std::vector<Kept>& kept, const Key& key, const QSize& pixels,
                                    qreal ratio, int& dx, int& dy) {
    for (Kept& k : kept) {
        if (k.key.size() != key.size() || k.image.size() != pixels) continue;
        bool same = true;
        for (std::size_t i = 0; i < key.size() && same; ++i)
            same = i == kTransXWord || i == kTransYWord || k.key[i] == key[i];
        if (!same) continue;
        const auto word = [](const Key& of, std::size_t i) { return std::bit_cast<double>(of[i]); };
        const double x = wholePixels(word(key, kTransXWord) - word(k.key, kTransXWord), ratio);
        const double y = wholePixels(word(key, kTransYWord) - word(k.key, kTransYWord), ratio);
        if (!(std::fabs(x) < pixels.width() && std::fabs(y) < pixels.height())) continue;
        dx = static_cast<int>(x);
        dy = static_cast<int>(y);
        return &k;
    }
    return nullptr;
}

const QImage& ChartCache::layer(Layer which, const Key& key, const QSize& pixels, qreal ratio,
                                bool opaque, bool movable,
                                const std::function<void(QPainter&)>& draw) {
    const std::size_t most = static_cast<std::size_t>(which == kMapLayer ? kViewsKept : kHoursKept);
    std::vector<Kept>& kept = kept_[which];
    ++clock_;
    int dx = 0, dy = 0;
    if (Kept* k = find(kept, key)) return k->image;
    // A pan: the image of the same drawing in a view moved by whole pixels is moved, and only
    // the strips it uncovers are drawn.
    if (Kept* k = movable ? moved(kept, key, pixels, ratio, dx, dy) : nullptr) {
        k->key.clear();
        k->used = clock_;
        moveImage(k->image, dx, dy);
        const int w = pixels.width(), h = pixels.height();
        std::vector<QRect> strips;
        if (dx > 0) strips.emplace_back(0, 0, dx, h);
        if (dx < 0) strips.emplace_back(w + dx, 0, -dx, h);
        const int left = std::max(0, dx), right = w + std::min(0, dx);
        if (dy > 0) strips.emplace_back(left, 0, right - left, dy);
        if (dy < 0) strips.emplace_back(left, h + dy, right - left, -dy);
        // Each strip is drawn into an image of its own size and copied in: the rasterizer then
        // works through the strip's rows only, not through every row the shapes cover.
        QImage part;
        for (const QRect& strip : strips) {
            if (strip.isEmpty()) continue;
            part = QImage(strip.size(), QImage::Format_ARGB32_Premultiplied);
            part.setDevicePixelRatio(ratio);
            part.fill(Qt::transparent);
            {
                QPainter painter(&part);
                painter.translate(-strip.x() / ratio, -strip.y() / ratio);
                painter.setClipRect(QRectF(strip.x() / ratio, strip.y() / ratio,
                                           strip.width() / ratio, strip.height() / ratio));
                painter.setRenderHint(QPainter::Antialiasing, true);
                painter.setRenderHint(QPainter::TextAntialiasing, true);
                draw(painter);
            }
            const auto bytes = static_cast<std::size_t>(strip.width()) * 4;
            for (int y = 0; y < strip.height(); ++y)
                std::memcpy(k->image.scanLine(strip.y() + y) +
                                static_cast<std::size_t>(strip.x()) * 4,
                            part.constScanLine(y), bytes);
        }
        k->key = key;
        ++draws_[which];
        ++moves_[which];
        return k->image;
    }
    Kept& slot = this->slot(kept, most);
    // Drawn into an image that a throw would leave half-drawn: the key is set once it is done.
    slot.key.clear();
    if (slot.image.size() != pixels) {
        slot.image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        slot.image.setDevicePixelRatio(ratio);
    }
    if (!opaque) slot.image.fill(Qt::transparent);
    {
        QPainter painter(&slot.image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        draw(painter);
    }
    slot.key = key;
    ++draws_[which];
    return slot.image;
}

namespace {

// Whether an image's drawing moves with the chart, pixel for pixel, so that a pan can move the
// image: the wave layer and the arrows of a current forecast stand on a grid of the screen.
bool seaMovable(const ChartScene& scene) {
    return !(scene.waves && scene.showWaves);
}

bool hourMovable(const ChartScene& scene) {
    return !(scene.currents && scene.currents->mode() == 2 && scene.currents->forecast() &&
             scene.settings->currents.showArrows);
}

QSize pixelsOf(const MapView& view, qreal ratio) {
    return {static_cast<int>(view.width * ratio), static_cast<int>(view.height * ratio)};
}

} // namespace

void ChartCache::prepare(const MapView& view, const ChartScene& scene, qreal ratio) {
    const QSize pixels = pixelsOf(view, ratio);
    if (pixels.isEmpty() || !scene.wind) return;
    layer(kSeaLayer, seaKey(view, scene, ratio), pixels, ratio, true, seaMovable(scene),
          [&](QPainter& p) { paintSeaLayer(p, view, scene); });
    layer(kHourLayer, hourKey(view, scene, ratio), pixels, ratio, false, hourMovable(scene),
          [&](QPainter& p) { paintHourLayer(p, view, scene); });
}

void ChartCache::paintLayers(QPainter& painter, const MapView& view, const ChartScene& scene) {
    const qreal ratio = painter.device()->devicePixelRatioF();
    const QSize pixels = pixelsOf(view, ratio);
    if (pixels.isEmpty()) return;
    painter.drawImage(0, 0,
                      layer(kSeaLayer, seaKey(view, scene, ratio), pixels, ratio, true,
                            seaMovable(scene),
                            [&](QPainter& p) { paintSeaLayer(p, view, scene); }));
    // Everything else needs the wind store of the end of the start-up.
    if (!scene.wind) return;
    painter.drawImage(0, 0,
                      layer(kMapLayer, mapKey(view, scene, ratio), pixels, ratio, false, true,
                            [&](QPainter& p) { paintMapLayer(p, view, scene, shorePaths_); }));
    painter.drawImage(0, 0,
                      layer(kHourLayer, hourKey(view, scene, ratio), pixels, ratio, false,
                            hourMovable(scene),
                            [&](QPainter& p) { paintHourLayer(p, view, scene); }));
}

void paintZoomPreview(QPainter& painter, const QImage& chart, const MapView& from,
                      const MapView& to, const QColor& sea) {
    painter.fillRect(QRectF(0, 0, to.width, to.height), sea);
    if (!(from.scale > 0)) return;
    // x = Tx + S lon in either view: x' = s x + (Tx' - s Tx), and the same for y.
    const double s = to.scale / from.scale;
    painter.save();
    painter.setTransform(
        QTransform(s, 0, 0, s, to.transX - s * from.transX, to.transY - s * from.transY), true);
    painter.drawImage(QPointF(0, 0), chart);
    painter.restore();
}

} // namespace navorel

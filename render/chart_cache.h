#pragma once
// The chart's layers kept between paints. The chart is drawn as three stacked images and the
// layers over them:
//   sea   the sea and the wind surface (opaque);
//   map   the shorelines, land and lakes, traffic zones and map grid (transparent);
//   hour  the current zones, wind zones, current arrows and wind symbols (transparent);
// then, drawn at every paint, what the user edits and the routing changes: waypoints, towns,
// tide stations, barriers, the route, the routing result, the boat and the scales.
// Each image carries a key made of every value its drawing reads (the view, the level, the
// record or time shown, the data it draws and the settings it follows); a paint whose key
// differs draws the image again, one whose key is the same draws the image kept. The sea and
// hour images are kept for the last few records shown, so stepping back and forth through the
// forecast draws each hour once. A chart drawn with a cache is the same, pixel for pixel, as
// one drawn without (which draws every image afresh). A pan moves the kept images by the pan's
// whole pixels and draws only the strips uncovered: every layer in them is drawn at the chart's
// place (the wind surface's blocks and the wind symbols too), so the moved image is the one a
// full drawing would give.
// A new layer joins the image whose dependencies it shares (a wave field: the hour image): its
// drawing goes into that image's paint function below, and every value it reads into that
// image's key (chart_cache.cpp); a layer that changes with edits is drawn over the images.
#include "render/chart_painter.h"
#include "render/shore_layer.h"

#include <QImage>

#include <cstdint>
#include <functional>
#include <vector>

namespace navorel {

class ChartCache {
  public:
    // The values an image's drawing reads, word by word.
    using Key = std::vector<std::uint64_t>;
    enum Layer { kSeaLayer, kMapLayer, kHourLayer, kLayerCount };
    // Records whose sea and hour images are kept.
    static constexpr int kHoursKept = 3;
    // Views whose map image is kept: a wheel step back finds the image of the view before it
    // (as it is, or to be moved when the step's point lay whole pixels off).
    static constexpr int kViewsKept = 2;

    // Times `layer` was drawn rather than taken from the cache, and of those the times a kept
    // image was moved by a pan and only its uncovered strips drawn.
    int draws(Layer layer) const { return draws_[layer]; }
    int moves(Layer layer) const { return moves_[layer]; }
    const ShorePaths& shorePaths() const { return shorePaths_; }
    // Forgets every image (the paths of the shorelines stay: they depend on the files only).
    void clear();

    // Draws the three images of the chart into `painter` (a device of the view's size),
    // drawing again those whose key changed.
    void paintLayers(QPainter& painter, const MapView& view, const ChartScene& scene);
    // Draws the sea and hour images of `scene` where they are not kept, without showing them,
    // for a device of `ratio` device pixels per pixel: the window prepares the next record
    // while it waits for input, so that the step to it finds its images.
    void prepare(const MapView& view, const ChartScene& scene, qreal ratio);

  private:
    struct Kept {
        Key key;
        QImage image;
        std::uint64_t used = 0;
    };
    // The kept image of `key`, or null.
    Kept* find(std::vector<Kept>& kept, const Key& key);
    // A kept image of `pixels` whose key is `key` but for the view's place, moved from it by
    // whole device pixels (dx, dy) less than its size; null when there is none.
    Kept* moved(std::vector<Kept>& kept, const Key& key, const QSize& pixels, qreal ratio, int& dx,
                int& dy);
    // The slot to draw a new image in (a new one, or the least recently used).
    Kept& slot(std::vector<Kept>& kept, std::size_t most);
    // The image of `key`: kept, moved from a kept one (when `movable`: its drawing moves with
    // the chart pixel for pixel, and draws only within the painter's clip what it must), or
    // drawn.
    const QImage& layer(Layer which, const Key& key, const QSize& pixels, qreal ratio, bool opaque,
                        bool movable, const std::function<void(QPainter&)>& draw);

    std::vector<Kept> kept_[kLayerCount];
    std::uint64_t clock_ = 0;
    int draws_[kLayerCount] = {};
    int moves_[kLayerCount] = {};
    ShorePaths shorePaths_;
};

// A wheel step's first frame: `chart`, the chart drawn in view `from`, scaled and moved to view
// `to` (the same places under the same pixels), the window's edges it leaves bare in `sea`. The
// exact chart follows at the next paint.
void paintZoomPreview(QPainter& painter, const QImage& chart, const MapView& from,
                      const MapView& to, const QColor& sea);

// The drawing of each image (render/chart_painter.cpp), on a transparent image of the view's
// size (the sea image: on any image; it covers it).
void paintSeaLayer(QPainter& painter, const MapView& view, const ChartScene& scene);
void paintMapLayer(QPainter& painter, const MapView& view, const ChartScene& scene,
                   ShorePaths& shorePaths);
void paintHourLayer(QPainter& painter, const MapView& view, const ChartScene& scene);

} // namespace navorel

#pragma once
// The shorelines of the drawing level: the coast stroked, the land filled over it and the
// lakes filled in the sea's colour. The paths are built once per cell in chart coordinates
// (x the longitude, y minus the Mercator ordinate, in degrees) and kept; a view only scales
// and moves them, so a pan or a zoom within the level projects no vertex again.
#include "render/map_view.h"

#include <QPainterPath>

#include <unordered_map>

class QPainter;

namespace navorel {

class ShorelineStore;
struct MapSettings;

class ShorePaths {
  public:
    // The whole-degree cells a view draws: longitudes [firstLon, lastLon) (indices beyond
    // 0..359 are the same cells a turn away), latitudes [firstLat, lastLat).
    struct Range {
        int firstLon = 0, lastLon = 0, firstLat = 0, lastLat = 0;
        bool operator==(const Range&) const = default;
    };
    struct Paths {
        QPainterPath land, lakes, coast;
    };
    // The paths of `range` in `store` at its open level; with `lakes` the lakes are filled and
    // their shores stroked, with `coast` the coastline is made. Kept until another store,
    // level, range or choice is asked for.
    const Paths& paths(const ShorelineStore& store, const Range& range, bool lakes, bool coast);
    // The paths of a part of the view's range, joined for one drawing (the view's are kept).
    Paths part(const ShorelineStore& store, const Range& range, bool lakes, bool coast);
    // Cells whose paths are held at `level`, and times the view's paths were joined again
    // (for tests).
    std::size_t cellsHeld(int level) const;
    int joins() const { return joins_; }

  private:
    struct Cell {
        QPainterPath land, lakes, coastLand, coastLakes;
    };
    const Cell& cell(const ShorelineStore& store, int lonIndex, int latIndex);
    Paths join(const ShorelineStore& store, const Range& range, bool lakes, bool coast);
    // Forgets what another store or level held.
    void use(const ShorelineStore& store);

    const ShorelineStore* store_ = nullptr;
    int level_ = -1;
    // Per level, by wrapped longitude index * 256 + latitude + 90.
    std::unordered_map<int, std::unordered_map<int, Cell>> cells_;
    Range range_;
    bool lakes_ = false, coast_ = false, joined_ = false;
    Paths joinedPaths_;
    int joins_ = 0;
};

// The cells of `view`; false when the view is wider than the globe twice (nothing is drawn).
bool shoreRange(const MapView& view, ShorePaths::Range& range);

// Opens `store` at the view's level and draws its shorelines as the map settings ask.
void paintShorelines(QPainter& painter, const MapView& view, const MapSettings& map,
                     ShorelineStore& store, ShorePaths& paths);

} // namespace navorel

#pragma once
// The routing's test of a move against traffic-zone outlines, with the edges filed by grid
// cell so that the cost of a move follows the edges near it rather than every edge loaded.
//
// Each outline is closed (its last point joins the first). Its edges are cut into runs of up
// to 32 consecutive edges per cell, each run with its bounding box; a cell is filed under its
// whole-cell coordinates in a sorted table. A move visits only the cells its own line passes
// through (with a small margin), skips the runs whose box it misses and tests the edges of
// the others with the same edge test as the plain scan, so it gives the plain scan's answer.
#include "core/geodesy.h"

#include <cstdint>
#include <vector>

namespace navorel {

class ZoneCrossingIndex {
  public:
    // Files the edges of the outlines whose flag is set (every outline when `use` is
    // shorter than `outlines`, for the missing flags). Outlines of fewer than two points
    // have no edge.
    void build(const std::vector<std::vector<GeoPoint>>& outlines, const std::vector<bool>& use);
    void clear();

    // Does the move from -> to cross an edge of a filed outline (closing edge included)?
    // The same answer as segmentCrossesZones over the filed outlines.
    bool crosses(GeoPoint from, GeoPoint to) const;

    bool empty() const { return outlines_.empty(); }
    std::size_t edgeCount() const { return edges_; }
    // The side of a grid cell in degrees (for tests and diagnostics).
    double cellSize() const { return cell_; }

  private:
    struct Run {
        float minLon, minLat, maxLon, maxLat;
        std::uint32_t outline;
        std::uint32_t first; // edge k runs from point k to point k + 1 (the last one closes)
        std::uint32_t count;
    };
    bool testRuns(const Run* first, const Run* last, GeoPoint from, GeoPoint to) const;

    std::vector<std::vector<GeoPoint>> outlines_;
    std::size_t edges_ = 0;
    double cell_ = 1.0;
    // The box of every filed edge (for the quick miss).
    float minLon_ = 0, minLat_ = 0, maxLon_ = 0, maxLat_ = 0;
    std::vector<std::uint64_t> keys_;      // sorted cell keys
    std::vector<std::uint32_t> cellStart_; // runs of cell k: cellStart_[k] .. [k + 1]
    std::vector<Run> runs_;                // filed runs, cell by cell
    std::vector<Run> loose_;               // runs of edges too far out to file: always tested
};

} // namespace navorel

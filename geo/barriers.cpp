#include "geo/barriers.h"

#include "geo/gpx.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace navorel {
namespace {

void clearSelection(BarrierSet& set) {
    set.selectedBarrier = -1;
    set.selectedPoint = -1;
}

bool hasSelectedBarrier(const BarrierSet& set) {
    return set.selectedBarrier >= 0 &&
           static_cast<std::size_t>(set.selectedBarrier) < set.barriers.size();
}

std::vector<GeoPoint>& selectedPoints(BarrierSet& set) {
    return set.barriers[static_cast<std::size_t>(set.selectedBarrier)].points;
}

} // namespace

bool hasSelectedPoint(const BarrierSet& set) {
    return hasSelectedBarrier(set) && set.selectedPoint >= 0 &&
           static_cast<std::size_t>(set.selectedPoint) <
               set.barriers[static_cast<std::size_t>(set.selectedBarrier)].points.size();
}

bool barrierMenuOffers(const BarrierSet& set, BarrierMenuEntry entry) {
    const bool onPoint = hasSelectedPoint(set);
    switch (entry) {
    case BarrierMenuEntry::RemoveAll:
        return !onPoint && !set.barriers.empty();
    case BarrierMenuEntry::NewBarrier:
        return !onPoint;
    case BarrierMenuEntry::ContinueBarrier:
    case BarrierMenuEntry::DeletePoint:
    case BarrierMenuEntry::DeleteBarrier:
        return onPoint;
    case BarrierMenuEntry::DeletePointsBefore:
        return onPoint && set.selectedPoint > 0;
    case BarrierMenuEntry::DeletePointsAfter:
        return onPoint &&
               static_cast<std::size_t>(set.selectedPoint) + 1 <
                   set.barriers[static_cast<std::size_t>(set.selectedBarrier)].points.size();
    }
    return false;
}

bool hitTestBarriers(BarrierSet& set, const BarrierScreenCopy& screen, double mouseX, double mouseY,
                     bool otherDrawingMode) {
    if (set.drawing || otherDrawingMode) return hasSelectedPoint(set);
    clearSelection(set);
    const std::size_t barrierCount = std::min(screen.size(), set.barriers.size());
    for (std::size_t b = 0; b < barrierCount; ++b) {
        const std::size_t pointCount = std::min(screen[b].size(), set.barriers[b].points.size());
        for (std::size_t p = 0; p < pointCount; ++p) {
            const ScreenPoint& s = screen[b][p];
            if (std::fabs(s.x - mouseX) < kBarrierHitPixels &&
                std::fabs(s.y - mouseY) < kBarrierHitPixels) {
                set.selectedBarrier = static_cast<int>(b);
                set.selectedPoint = static_cast<int>(p);
                return true;
            }
        }
    }
    return false;
}

void startNewBarrier(BarrierSet& set) {
    set.drawing = true;
    clearSelection(set);
}

bool continueBarrier(BarrierSet& set) {
    if (!hasSelectedPoint(set)) return false;
    set.drawing = true;
    return true;
}

void addBarrierPoint(BarrierSet& set, GeoPoint position) {
    if (hasSelectedBarrier(set)) {
        selectedPoints(set).push_back(position);
        return;
    }
    set.barriers.push_back(Barrier{{position}});
    set.selectedBarrier = static_cast<int>(set.barriers.size() - 1);
    set.selectedPoint = -1;
}

bool deleteSelectedPoint(BarrierSet& set) {
    if (!hasSelectedPoint(set)) return false;
    std::vector<GeoPoint>& points = selectedPoints(set);
    if (points.size() == 1)
        set.barriers.erase(set.barriers.begin() + set.selectedBarrier);
    else
        points.erase(points.begin() + set.selectedPoint);
    clearSelection(set);
    return true;
}

bool deletePointsBefore(BarrierSet& set) {
    if (!barrierMenuOffers(set, BarrierMenuEntry::DeletePointsBefore)) return false;
    std::vector<GeoPoint>& points = selectedPoints(set);
    points.erase(points.begin(), points.begin() + set.selectedPoint);
    clearSelection(set);
    return true;
}

bool deletePointsAfter(BarrierSet& set) {
    if (!barrierMenuOffers(set, BarrierMenuEntry::DeletePointsAfter)) return false;
    std::vector<GeoPoint>& points = selectedPoints(set);
    points.erase(points.begin() + set.selectedPoint + 1, points.end());
    clearSelection(set);
    return true;
}

bool deleteSelectedBarrier(BarrierSet& set) {
    if (!hasSelectedPoint(set)) return false;
    set.barriers.erase(set.barriers.begin() + set.selectedBarrier);
    clearSelection(set);
    return true;
}

void removeAllBarriers(BarrierSet& set) {
    set.barriers.clear();
    clearSelection(set);
}

bool addBarrierFile(const std::string& path, BarrierSet& set, std::string& error) {
    return loadBarriers(path, set.barriers, error);
}

bool saveBarrierFile(const std::string& path, const BarrierSet& set, std::string& error) {
    return saveBarriers(path, set.barriers, error);
}

} // namespace navorel

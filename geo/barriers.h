#pragma once
// The user's barrier set and its edits from the chart: selection by the mouse, drawing new
// barriers point by point, the context-menu deletions, and the barrier files.
#include "geo/barrier.h"

#include <string>
#include <vector>

namespace navorel {

// A projected position on the chart, in pixels.
struct ScreenPoint {
    double x = 0.0;
    double y = 0.0;
};

// What the drawing keeps for the hit test: per barrier, the screen position of every point,
// in the order of the set. It may be stale (drawn before the last edit): only indices that
// exist in both the copy and the set are ever selected.
using BarrierScreenCopy = std::vector<std::vector<ScreenPoint>>;

struct BarrierSet {
    BarrierList barriers;
    // -1 when nothing is selected. While drawing, a barrier can be selected without a point
    // (the one that the next clicks extend).
    int selectedBarrier = -1;
    int selectedPoint = -1;
    bool drawing = false; // clicks on the chart add points
};

// The mouse must lie strictly within this many pixels of a point, in x and in y.
constexpr double kBarrierHitPixels = 5.0;

// The context-menu entries about barriers.
enum class BarrierMenuEntry {
    RemoveAll,
    NewBarrier,
    ContinueBarrier,
    DeletePoint,
    DeletePointsBefore,
    DeletePointsAfter,
    DeleteBarrier,
};

// True when a barrier and one of its points are selected (and both exist).
bool hasSelectedPoint(const BarrierSet& set);

// Whether the context menu offers the entry in the current state.
bool barrierMenuOffers(const BarrierSet& set, BarrierMenuEntry entry);

// Selects the first point, barriers in order then points in order, lying within
// kBarrierHitPixels of the mouse; clears the selection when none does. Does nothing at all
// while barriers are being drawn or another drawing mode of the chart is active. Answers
// whether a point is selected.
bool hitTestBarriers(BarrierSet& set, const BarrierScreenCopy& screen, double mouseX, double mouseY,
                     bool otherDrawingMode);

// "New barrier": drawing mode on, selection cleared, so the next click starts a barrier.
void startNewBarrier(BarrierSet& set);
// "Continue the barrier": drawing mode on, the selection kept, so clicks extend it. Does
// nothing without a selected point.
bool continueBarrier(BarrierSet& set);
// A click in drawing mode: extends the selected barrier, or starts a new one holding just
// this position and selects it (without a point).
void addBarrierPoint(BarrierSet& set, GeoPoint position);

// The deletions work on the selected point and clear the selection afterwards; without a
// selected point (or when the entry is not offered) they change nothing and answer false.
//
// Removes the selected point; the barrier goes with its only point.
bool deleteSelectedPoint(BarrierSet& set);
// Removes the points before the selected one, which becomes the first.
bool deletePointsBefore(BarrierSet& set);
// Removes the points after the selected one, which becomes the last.
bool deletePointsAfter(BarrierSet& set);
// Removes the barrier holding the selected point.
bool deleteSelectedBarrier(BarrierSet& set);
// Empties the set and clears the selection.
void removeAllBarriers(BarrierSet& set);

// "Add a set of barriers": appends the barriers of a GPX file; the set is unchanged when the
// file cannot be read.
bool addBarrierFile(const std::string& path, BarrierSet& set, std::string& error);
// "Save all barriers" and the save at exit.
bool saveBarrierFile(const std::string& path, const BarrierSet& set, std::string& error);

} // namespace navorel

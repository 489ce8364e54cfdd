#pragma once
// The user's barriers on the chart: each an open polyline in the [Barriers] colour. While the
// barriers are being edited every vertex shows as a small square, so that it can be grabbed;
// the selected barrier is drawn thicker, with its vertices, and its selected vertex filled.
// The drawing also answers the screen position of every vertex, which the mouse's hit test
// reads until the next drawing.
#include "geo/barrier.h"
#include "geo/barriers.h"

class QPainter;

namespace navorel {

class MapView;

struct BarrierStyle {
    int colour = 0;           // [Barriers] Color, red in the low byte
    int selectedBarrier = -1; // -1: none
    int selectedPoint = -1;   // within the selected barrier; -1: none
    bool editing = false;     // every barrier's vertices are shown
};

// Line widths and the vertex square's side, in pixels.
constexpr double kBarrierWidth = 2.0;
constexpr double kSelectedBarrierWidth = 3.5;
constexpr double kBarrierVertexSide = 7.0;

// The screen positions of every vertex, barriers and points in the order of the list. Each
// barrier is drawn as one continuous line: its first point is brought into the view's
// longitudes and every next point within 180 degrees of the one before it.
BarrierScreenCopy barrierScreenPositions(const MapView& view, const BarrierList& barriers);

// Draws the barriers; with `screen`, leaves there what barrierScreenPositions answers.
void drawBarriers(QPainter& painter, const MapView& view, const BarrierList& barriers,
                  const BarrierStyle& style, BarrierScreenCopy* screen = nullptr);

} // namespace navorel

#pragma once
// The wind on the chart: the surface coloured by speed under the shorelines, the grid's zones,
// the symbols (barbs or arrows) and the colour scale, each drawn from the scene's wind at the
// record or time it shows.
#include "render/chart_painter.h"

namespace navorel {

// The sea coloured by wind speed at the frame shown; a uniform colour for the constant wind.
void paintWindSurface(QPainter& painter, const MapView& view, const ChartScene& scene);
// A barb or an arrow every [Winds] SpaceBetweenArrows pixels.
void paintWindSymbols(QPainter& painter, const MapView& view, const ChartScene& scene);
// The cells of the forecast's grid.
void paintWindZones(QPainter& painter, const MapView& view, const ChartScene& scene);
// The colour scale at the right edge.
void paintWindScale(QPainter& painter, const MapView& view, const ChartScene& scene);
// The wind surface is shown (either style).
bool windSurfaceShown(const ChartScene& scene);

} // namespace navorel

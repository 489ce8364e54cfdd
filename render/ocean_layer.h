#pragma once
// The ocean forecasts on the chart: the current forecast's arrows on a screen grid (the tidal
// streams' arrows and speed classes), and the wave layer, a colour scale of the significant
// wave height over the sea with its legend.
#include <QColor>

class QPainter;

namespace navorel {

class MapView;
class CurrentSource;
class OceanWaves;

// The current forecast's arrows leave out currents slower than this (knots).
inline constexpr double kQuietCurrentKnots = 0.2;
// Screen pixels between two arrows of the current forecast.
inline constexpr int kForecastArrowSpacing = 40;

// The current of `source` at day number `time` as arrows every kForecastArrowSpacing pixels
// over the view; nothing where the source has none (land, outside its grid or times) or where
// it is slower than kQuietCurrentKnots.
void drawForecastCurrentArrows(QPainter& painter, const MapView& view, const CurrentSource& source,
                               double time);

// The colour of a significant wave height (m): calm blue through green, yellow and orange to
// red from 9 m; transparent for no wave.
QColor waveColour(double metres);
// The wave height at `time` in cells of a few pixels, half transparent over the chart.
void drawWaveLayer(QPainter& painter, const MapView& view, const OceanWaves& waves, double time);
// The legend of the wave colours, in metres, at the left above the stream scale.
void drawWaveScale(QPainter& painter, const MapView& view);

} // namespace navorel

#pragma once
// The tidal streams and the tide stations on the chart: the zones of the current files, the
// stream arrows and their scale of seven speed classes, and the stations with their names.
#include <QColor>
#include <QRectF>

#include <vector>

class QPainter;

namespace navorel {

class MapView;
class TideHarmonics;
struct CurrentField;

// The colours of the seven stream speed classes, slowest first ("< 0.5" ... "> 5.5" knots).
extern const QColor kStreamColours[7];
// The rim drawn round each stream arrow, so that it stands out on every wind colour.
extern const QColor kStreamOutline;

// The speed class (0..6) of a stream of `knots`, -1 for none (a speed on a bound, or 0).
int streamClass(double knots);
// One stream arrow centred on the screen point (x, y), pointing where the stream of (east,
// north) knots goes: its length, width and colour grow with the speed; a dark rim round it.
void drawStreamArrow(QPainter& painter, const MapView& view, double x, double y, double east,
                     double north);

// Each current file's box in its own colour.
void drawCurrentZones(QPainter& painter, const MapView& view, const CurrentField& field);
// One arrow per data point in the view at day number `time`, centred on it, pointing where the
// stream goes: its length, width and colour grow with the speed; a dark rim round it.
void drawCurrentArrows(QPainter& painter, const MapView& view, const CurrentField& field,
                       const TideHarmonics& tides, double time);
// The seven speed classes at the bottom left.
void drawCurrentScale(QPainter& painter, const MapView& view);
// The stations: a ringed dot with a wave in it, named from 100 pixels per degree on. A name goes
// right of its station, else left, above or below, wherever it hides no name of `labels` (the
// towns' and the other stations'); where none is free the town's name tells the place.
void drawTideStations(QPainter& painter, const MapView& view, const TideHarmonics& tides,
                      const QColor& colour, std::vector<QRectF>& labels);

} // namespace navorel

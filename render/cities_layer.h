#pragma once
// Town names on the chart: a small square at each visible town and its name centred below
// it, in ColorCities; a name that would overlap one already drawn is left out (the larger
// towns are labelled first), so crowded suburbs stay readable.
class QPainter;

namespace navorel {

class CityStore;
class MapView;
struct CitySwitches;

void drawCities(QPainter& painter, const MapView& view, const CityStore& store,
                const CitySwitches& kinds, int colour);

} // namespace navorel

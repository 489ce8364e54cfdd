#pragma once
// Town names on the chart: a small square at each visible town and its name centred below
// it, in ColorCities; a name that would overlap one already drawn is left out (the larger
// towns are labelled first), so crowded suburbs stay readable.
#include <QRectF>

#include <initializer_list>
#include <vector>

class QPainter;

namespace navorel {

class CityStore;
class MapView;
struct CitySwitches;

// With `taken`, the boxes of the names drawn are added to it, so that other labels (the
// tide stations') keep clear of them.
void drawCities(QPainter& painter, const MapView& view, const CityStore& store,
                const CitySwitches& kinds, int colour, std::vector<QRectF>* taken = nullptr);

// The first of `candidates` that overlaps none of `taken`, added to `taken`; false (and
// nothing added) when each overlaps one.
bool placeLabel(std::vector<QRectF>& taken, std::initializer_list<QRectF> candidates,
                QRectF& chosen);

} // namespace navorel

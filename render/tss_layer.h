#pragma once
// The selected traffic separation zones: every outline one closed figure, all filled as one
// path with the winding rule in the [Tss] colour at full opacity. The caller draws them only
// at drawing level 2 and above.
#include "geo/tss.h"

class QPainter;

namespace navorel {

class MapView;

void drawTssZones(QPainter& painter, const MapView& view, const ZoneOutlines& outlines, int colour);

} // namespace navorel

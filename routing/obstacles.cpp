#include "routing/obstacles.h"

#include "geo/crossing.h"
#include "geo/shoreline_store.h"

namespace navorel {

bool StoreCrossings::segmentCrossesLand(GeoPoint from, GeoPoint to) const {
    return store_ && navorel::segmentCrossesLand(*store_, from, to);
}

bool StoreCrossings::segmentCrossesBarrier(GeoPoint from, GeoPoint to) const {
    return barriers_ && navorel::segmentCrossesBarrier(*barriers_, from, to);
}

bool StoreCrossings::segmentCrossesZone(GeoPoint from, GeoPoint to) const {
    return zones_ && zones_->crosses(from, to);
}

bool StoreCrossings::pointOnLand(GeoPoint p) const {
    return store_ && navorel::pointOnLand(*store_, p);
}

} // namespace navorel

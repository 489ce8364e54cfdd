#pragma once
// The routing's land and barrier tests over a shoreline store and the barrier list.
#include "geo/barrier.h"
#include "geo/tss.h"
#include "routing/routing_inputs.h"

namespace navorel {

class ShorelineStore;

class StoreCrossings : public CrossingTests {
  public:
    // Any may be null: no land, no barriers, no traffic zones. All must outlive this object.
    StoreCrossings(const ShorelineStore* store, const BarrierList* barriers,
                   const ZoneCrossingIndex* zones = nullptr)
        : store_(store), barriers_(barriers), zones_(zones) {}
    bool segmentCrossesLand(GeoPoint from, GeoPoint to) const override;
    bool segmentCrossesBarrier(GeoPoint from, GeoPoint to) const override;
    bool pointOnLand(GeoPoint p) const override;
    bool segmentCrossesZone(GeoPoint from, GeoPoint to) const override;

  private:
    const ShorelineStore* store_;
    const BarrierList* barriers_;
    const ZoneCrossingIndex* zones_;
};

} // namespace navorel

#pragma once
// The routing's land and barrier tests over a shoreline store and the barrier list.
#include "geo/barrier.h"
#include "routing/routing_inputs.h"

namespace navorel {

class ShorelineStore;

class StoreCrossings : public CrossingTests {
  public:
    // Either may be null: no land, or no barriers. Both must outlive this object.
    StoreCrossings(const ShorelineStore* store, const BarrierList* barriers)
        : store_(store), barriers_(barriers) {}
    bool segmentCrossesLand(GeoPoint from, GeoPoint to) const override;
    bool segmentCrossesBarrier(GeoPoint from, GeoPoint to) const override;
    bool pointOnLand(GeoPoint p) const override;

  private:
    const ShorelineStore* store_;
    const BarrierList* barriers_;
};

} // namespace navorel

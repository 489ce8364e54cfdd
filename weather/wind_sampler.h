#pragma once
// The true wind at a place and time, read from the wind store: bilinear in space inside each
// hourly frame, linear in time between two successive frames, directions blended on the
// circle. Every function reads the store only and keeps its working values on the stack,
// so any number of threads may sample one store at once; nothing allocates.
#include "weather/wind_sample.h"
#include "weather/wind_store.h"

namespace navorel {

struct RoutingParameters;

// The frame to interpolate from at day number t: -1 before the first frame, after the last
// or in an empty store; 0 in a single-frame store at its time; otherwise the k with
// T[k] < t <= T[k + 1] (t = T[0] gives 0). O(log frames).
int frameForTime(const WindStore& store, double t);

// Wind of frame k at a place (degrees), without time interpolation. Not found outside the
// frame's extent or when a point it needs is missing. Directions come from the compass
// direction the wind blows from, degrees 0..360; speeds in knots.
WindSample frameSample(const WindStore& store, int k, float lon, float lat);
// The speed alone of frameSample (knots), for the wind map's colours; false where
// frameSample finds nothing.
bool frameSpeed(const WindStore& store, int k, float lon, float lat, float& knots);

// Wind at a place and day number. With the constant wind switched on ([Routing] UniqueWind)
// every place and time gets WindForce knots from WindDirection, GRIB or not.
WindSample windAt(const WindStore& store, const RoutingParameters& parameters, float lon, float lat,
                  double t);

// The routing's wind source over a store and the routing parameters; both must outlive it
// and stay unchanged while the routing samples.
class StoreWindField : public WindField {
  public:
    StoreWindField(const WindStore& store, const RoutingParameters& parameters)
        : store_(store), parameters_(parameters) {}
    WindSample windAt(float lon, float lat, double time) const override;
    // The forecast's gusts; none with the constant wind.
    bool hasGusts() const override;
    bool gustAt(float lon, float lat, double time, float& knots) const override;

  private:
    const WindStore& store_;
    const RoutingParameters& parameters_;
};

} // namespace navorel

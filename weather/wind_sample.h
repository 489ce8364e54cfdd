#pragma once
// The true wind at a place and time, as the routing and the chart ask for it.

namespace navorel {

struct WindSample {
    bool found = false;
    float direction = 0; // degrees 0..360, where the wind comes from
    float speed = 0;     // knots (a nautical mile of 1852.45 m)
};

// A source of wind: the GRIB wind store with its sampler, the constant wind, or a test field.
// Implementations must be safe to call from several threads at once.
class WindField {
  public:
    virtual ~WindField() = default;
    // time is a day number (days since 1 January 1980 00:00 UTC).
    virtual WindSample windAt(float lon, float lat, double time) const = 0;
    // Does the source carry the 10 m gust? None by default.
    virtual bool hasGusts() const { return false; }
    // The gust at a place and time, knots; false where the source has none.
    virtual bool gustAt(float /*lon*/, float /*lat*/, double /*time*/, float& /*knots*/) const {
        return false;
    }
};

} // namespace navorel

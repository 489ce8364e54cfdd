#pragma once
// The tidal stream at a place and time.

namespace navorel {

struct CurrentSample {
    bool found = false;
    float direction = 0;   // degrees 0..360, where the stream flows towards
    float speed = 0;       // knots
    float coefficient = 0; // the tidal coefficient used
};

// A source of tidal streams (the current fields, or a test field). Safe to call from several
// threads at once.
class CurrentSource {
public:
    virtual ~CurrentSource() = default;
    // time is a day number (days since 1 January 1980 00:00 UTC).
    virtual CurrentSample currentAt(float lon, float lat, double time) const = 0;
};

} // namespace navorel

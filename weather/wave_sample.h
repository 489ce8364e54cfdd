#pragma once
// The sea state at a place and time.

namespace navorel {

struct WaveSample {
    bool found = false;
    float height = 0; // significant wave height, m
    bool hasDirection = false;
    float direction = 0; // degrees 0..360, where the waves come from
    bool hasPeriod = false;
    float period = 0; // s
};

// A source of waves (a wave forecast, or a test field). Safe to call from several threads
// at once.
class WaveSource {
  public:
    virtual ~WaveSource() = default;
    // time is a day number (days since 1 January 1980 00:00 UTC).
    virtual WaveSample waveAt(float lon, float lat, double time) const = 0;
};

} // namespace navorel

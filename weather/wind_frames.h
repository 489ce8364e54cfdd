#pragma once
// Frame building of the wind store: the plan of a file's frames from its records, the decoded
// frames (u and v turned into direction and speed once per point) and the hourly frames
// between two decoded frames, stored or made on demand.
#include <cstddef>
#include <vector>

#include "weather/grib.h"
#include "weather/wind_store.h"

namespace navorel {

// The decoded frames of a file in time order: the valid hour of each U record (the k-th makes
// decoded frame k) and the frames kept, a frame whose valid time repeats an earlier one (a
// second level, a repeated record) left out, the first in the file kept.
struct FramePlan {
    std::vector<long long> hours;
    std::vector<std::size_t> sizes;
    std::vector<std::size_t> kept;
    std::size_t hourlyPoints = 0; // the points of every hourly frame, were all stored
};

// Plans the frames of the records and checks that the decoded frames fit, from the records
// alone: a file too large is refused before any frame is built or any value expanded.
GribLoadStatus planFrames(const std::vector<GribRecord>& records, FramePlan& plan);

// One frame per U record in file order, each paired with the V record of its time. With
// `owned` (the same records, the caller's to spend) the values of each record go as soon as
// its frame is built. BadGrid when a U record has no values.
GribLoadStatus decodedFrames(const std::vector<GribRecord>& records, std::vector<GribRecord>* owned,
                             std::vector<WindFrame>& decoded);

// Direction (radians 0..2pi, the air's motion counter-clockwise from east) and speed of n
// points from their components, bit for bit as std::atan2 and std::sqrt give them one at a
// time; a point with a component above 9900 (the decoder's missing value) gets direction 0 and
// speed NaN, the frames' mark of a missing point. `direction` may be `u` and `speed` may be `v`:
// the components are then turned into the wind where they lie.
void windFromComponents(const float* u, const float* v, std::size_t n, float* direction,
                        float* speed);

// The frames of the store in time order: the kept decoded frames moved in, and every hour
// between two of them at most kMaxExpandedStep hours apart, stored when `stored`, else made on
// demand (a step between two grids of different sizes is always stored).
std::vector<WindFrame> hourlyFrames(std::vector<WindFrame>& decoded, const FramePlan& plan,
                                    bool stored);

// The frame `step` hours into the `span`-hour gap from F to G, points blended, into `out`
// (whose memory is used again).
void blendFrames(const WindFrame& f, const WindFrame& g, int step, int span, WindFrame& out);

} // namespace navorel

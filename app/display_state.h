#pragma once
// What the chart shows in time: a forecast record (an hourly frame of the wind store) or a
// display time between records, and the selected step of the routing result. Qt-free: the
// keys, the toolbar's clock, the time bar and the information panel all move or read it.
#include "routing/isochrone_point.h"

#include <vector>

namespace navorel {
class WindStore;
}

namespace navorel::app {

struct DisplayState {
    int record = 0;            // the forecast record shown (the wind store's current frame)
    double time = 0;           // day number shown; a record's time unless `interpolated`
    bool interpolated = false; // the time lies between records (clock, Ctrl+Left/Right)
    int step = -1;             // the routing step shown; -1 without a routing result
};

// Records: each moves the store's current frame with the state and answers whether anything
// changed. Indices are clamped to the store's records; an empty store changes nothing.
bool selectRecord(DisplayState& state, WindStore& wind, int index);
bool stepRecord(DisplayState& state, WindStore& wind, int delta);
// The next (direction +1) or previous (-1) record decoded from the file ("main" records).
bool stepMainRecord(DisplayState& state, WindStore& wind, int direction);
// The display time itself, between records: the record shown becomes the last one at or before
// it (the first one before the forecast).
bool setDisplayTime(DisplayState& state, WindStore& wind, double dayNumber);
// The previous (-1) or next (+1) 10-minute mark strictly before or after the current minute.
bool stepTenMinutes(DisplayState& state, WindStore& wind, int direction);

// Routing steps over `route` (the selected run's points): clamped to the route; the display
// time follows the step. A route of no point clears the step.
bool selectStep(DisplayState& state, WindStore& wind, const std::vector<IsochronePoint>& route,
                int index);
bool stepBy(DisplayState& state, WindStore& wind, const std::vector<IsochronePoint>& route,
            int delta);

} // namespace navorel::app

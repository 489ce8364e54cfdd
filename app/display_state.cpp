#include "app/display_state.h"

#include "weather/wind_store.h"

#include <algorithm>
#include <cmath>

namespace navorel::app {

namespace {

// The minute a day number lies in: its seconds are dropped (10:59:59 is in minute 10:59), and
// a value a rounding error short of a whole minute counts as that minute (10:20 does not read
// 10:19).
long long minuteOf(double day) {
    return static_cast<long long>(std::floor(day * 1440.0 + 1e-6));
}

} // namespace

bool selectRecord(DisplayState& state, WindStore& wind, int index) {
    const int count = static_cast<int>(wind.frames().size());
    if (count == 0) return false;
    index = std::clamp(index, 0, count - 1);
    const double time = wind.frameTimes()[static_cast<std::size_t>(index)];
    const bool changed = index != state.record || state.interpolated || time != state.time;
    state.record = index;
    state.time = time;
    state.interpolated = false;
    wind.setCurrentFrame(index);
    return changed;
}

bool stepRecord(DisplayState& state, WindStore& wind, int delta) {
    return selectRecord(state, wind, state.record + delta);
}

bool stepMainRecord(DisplayState& state, WindStore& wind, int direction) {
    const int count = static_cast<int>(wind.frames().size());
    for (int k = state.record + direction; k >= 0 && k < count; k += direction)
        if (wind.frames()[static_cast<std::size_t>(k)].decoded) return selectRecord(state, wind, k);
    return false;
}

bool setDisplayTime(DisplayState& state, WindStore& wind, double dayNumber) {
    const std::vector<double>& times = wind.frameTimes();
    if (times.empty()) {
        const bool changed = state.time != dayNumber;
        state.time = dayNumber;
        state.interpolated = true;
        return changed;
    }
    const auto after = std::upper_bound(times.begin(), times.end(), dayNumber);
    const int record = std::max(0, static_cast<int>(after - times.begin()) - 1);
    const bool changed = record != state.record || state.time != dayNumber || !state.interpolated;
    state.record = record;
    state.time = dayNumber;
    state.interpolated = true;
    wind.setCurrentFrame(record);
    return changed;
}

bool stepTenMinutes(DisplayState& state, WindStore& wind, int direction) {
    const long long minute = minuteOf(state.time);
    long long mark = minute - ((minute % 10) + 10) % 10; // the mark at or before
    mark = direction < 0 ? (mark == minute ? mark - 10 : mark) : mark + 10;
    return setDisplayTime(state, wind, static_cast<double>(mark) / 1440.0);
}

bool selectStep(DisplayState& state, WindStore& wind, const std::vector<IsochronePoint>& route,
                int index) {
    if (route.empty()) {
        const bool changed = state.step != -1;
        state.step = -1;
        return changed;
    }
    index = std::clamp(index, 0, static_cast<int>(route.size()) - 1);
    const bool changed = index != state.step;
    state.step = index;
    // The keys may have moved the time away from the step: it comes back with the step.
    const bool moved =
        setDisplayTime(state, wind, route[static_cast<std::size_t>(index)].time.dayNumber);
    return changed || moved;
}

bool stepBy(DisplayState& state, WindStore& wind, const std::vector<IsochronePoint>& route,
            int delta) {
    return selectStep(state, wind, route, std::max(state.step, 0) + delta);
}

} // namespace navorel::app

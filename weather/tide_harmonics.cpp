#include "weather/tide_harmonics.h"
#include "core/atomic_file.h"

#include "weather/tide_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace navorel {

namespace {

constexpr double kDegToRad = 0.017453292519943295;

// Multipliers of T, s, h, p, N' and of 90 degrees for each constituent, and where its
// amplitude and phase come from: the index of the file's ten values, the divisor of the
// amplitude (1 for the file's own constituents) and the phase shift.
struct Constituent {
    int m0, m1, m2, m3, m4, m6;
    int source;
    float divisor;
    float phaseShift;
};

constexpr std::array<Constituent, kTideConstituents> kConstituents{{
    {0, 0, 1, 0, 0, 0, 0, 1.0f, 0},      // Sa
    {1, 0, 1, 0, 0, 1, 1, 1.0f, 0},      // K1
    {1, -2, 1, 0, 0, -1, 2, 1.0f, 0},    // O1
    {1, -3, 1, 1, 0, -1, 3, 1.0f, 0},    // Q1
    {1, 0, -1, 0, 0, 1, 1, -3.0f, 0},    // P1
    {1, -2, 1, 0, -1, -1, 2, 5.3f, 0},   // O1 nodal
    {1, 0, 1, 0, 1, 1, 1, 7.4f, 0},      // K1 nodal
    {2, -2, 2, 0, 0, 0, 4, 1.0f, 0},     // M2
    {2, -3, 2, 1, 0, 0, 5, 1.0f, 0},     // N2
    {2, 0, 0, 0, 0, 0, 6, 1.0f, 0},      // S2
    {2, -4, 2, 2, 0, 0, 5, 7.6f, 0},     // 2N2
    {2, -4, 4, 0, 0, 0, 5, 6.3f, 0},     // mu2
    {2, -3, 4, -1, 0, 0, 5, 5.3f, 0},    // nu2
    {2, -1, 2, -1, 0, 0, 4, -35.0f, 0},  // L2
    {2, 0, 2, 0, 0, 0, 6, 3.7f, 0},      // K2
    {2, 0, -1, 0, 0, 0, 6, 17.0f, -283}, // T2
    {2, -2, 2, 0, -1, 0, 4, -27.0f, 0},  // M2 nodal
    {2, 0, 2, 0, 1, 0, 6, 12.0f, 0},     // K2 nodal
    {4, -5, 4, 1, 0, 0, 7, 1.0f, 0},     // MN4
    {4, -4, 4, 0, 0, 0, 8, 1.0f, 0},     // M4
    {4, -2, 2, 0, 0, 0, 9, 1.0f, 0},     // MS4
}};

constexpr double kCoarseStep = 1.0 / 96; // 15 minutes
constexpr double kFineStep = 1.0 / 1440; // 1 minute
constexpr int kCoarseSteps = 4 * 24 * 2; // search at most two days ahead
constexpr int kFineSteps = 60;
// Tables longer than this many days (about 110 years) are cut: a corrupt day line must not
// make us allocate millions of empty days.
constexpr int kMaxTableDays = 40000;

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Reads up to `count` numbers; missing or malformed ones read as 0.
template <std::size_t N> std::array<float, N> readFloats(const std::string& line) {
    std::array<float, N> values{};
    const char* p = line.c_str();
    for (std::size_t i = 0; i < N; ++i) {
        char* end = nullptr;
        const double v = std::strtod(p, &end);
        if (end == p) break;
        values[i] = std::isfinite(v) ? static_cast<float>(v) : 0.0f;
        p = end;
    }
    return values;
}

bool isHighAt(double h1, double h2, double h3, bool high) {
    return high ? (h1 <= h2 && h2 > h3) : (h1 >= h2 && h2 < h3);
}

float coefficientOf(const TideStation& s, double highHeight) {
    if (!(s.rangeScale > 0)) return 0; // a station without semidiurnal constants
    return static_cast<float>((highHeight - s.z0) * 2 * 100 * 120 / s.rangeScale);
}

} // namespace

void expandConstituents(const std::array<float, 10>& amplitudes,
                        const std::array<float, 10>& phases, TideStation& station) {
    float sum = 0;
    for (int k = 0; k < kTideConstituents; ++k) {
        const Constituent& c = kConstituents[k];
        station.amplitude[k] = amplitudes[c.source] / c.divisor;
        station.phase[k] = phases[c.source] + c.phaseShift;
        if (k >= 7 && k <= 17) sum += station.amplitude[k];
    }
    station.rangeScale = sum / 5;
}

std::string tableFileStem(const std::string& stationName) {
    std::string stem = stationName;
    std::replace(stem.begin(), stem.end(), ' ', '_');
    return stem;
}

void TideHarmonics::addStation(TideStation station) {
    station.name = upper(station.name);
    byName_.emplace(station.name, static_cast<int>(stations_.size()));
    stations_.push_back(std::move(station));
}

bool TideHarmonics::parseHarmonics(std::string_view text) {
    stations_.clear();
    byName_.clear();
    const std::vector<std::string> lines = splitLines(text);
    std::size_t i = 0;
    while (i < lines.size()) {
        if (lines[i].empty() || lines[i][0] == '#') {
            ++i;
            continue;
        }
        if (i + 6 > lines.size()) break; // an incomplete block at the end is dropped
        TideStation s;
        // Names are kept to 49 characters, as in the stored files.
        s.name = trimBlanks(lines[i].substr(0, 49));
        const auto pos = readFloats<2>(lines[i + 1]);
        s.lat = pos[0];
        s.lon = pos[1];
        s.timeOffset = readFloats<1>(lines[i + 2])[0];
        s.z0 = readFloats<1>(lines[i + 3])[0] / 100.0f;
        expandConstituents(readFloats<10>(lines[i + 4]), readFloats<10>(lines[i + 5]), s);
        addStation(std::move(s));
        i += 6;
    }
    return !stations_.empty();
}

bool TideHarmonics::load(const std::string& folder) {
    std::string text;
    if (!readTextFile(folder + "/Harmonics", text) || !parseHarmonics(text)) return false;
    loadTables(folder);
    return true;
}

int TideHarmonics::findStation(const std::string& name) const {
    const auto it = byName_.find(name);
    return it == byName_.end() ? -1 : it->second;
}

bool TideHarmonics::loadTables(const std::string& folder) {
    return loadTables(folder, std::vector<bool>(stations_.size(), true));
}

bool TideHarmonics::loadTables(const std::string& folder, const std::vector<bool>& wanted) {
    namespace fs = std::filesystem;
    for (TideStation& s : stations_) s.days.clear();
    std::error_code ec;
    std::vector<fs::path> files;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        // A leftover "*.tmp" of an interrupted write is not a table.
        const bool temporary = name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0;
        if (name.find('.') != std::string::npos && !temporary && it->is_regular_file(ec))
            files.push_back(*it);
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& path : files) {
        const std::string stem =
            upper(path.filename().string().substr(0, path.filename().string().find('.')));
        for (int k = 0; k < stationCount(); ++k) {
            if (!stations_[k].days.empty() || upper(tableFileStem(stations_[k].name)) != stem)
                continue;
            if (static_cast<std::size_t>(k) >= wanted.size() || !wanted[k]) break;
            std::string text;
            if (readTextFile(path.string(), text)) parseTable(k, text);
            break;
        }
    }
    return tablesComplete();
}

bool TideHarmonics::tablesComplete() const {
    if (stations_.empty()) return false;
    for (const TideStation& s : stations_)
        if (s.days.empty()) return false;
    return true;
}

bool TideHarmonics::parseTable(int station, std::string_view text) {
    if (station < 0 || station >= stationCount()) return false;
    struct Dated {
        int day;
        TideEvent event;
    };
    std::vector<Dated> events;
    std::vector<int> dayLines;
    bool haveDay = false;
    int day = 0;
    for (const std::string& line : splitLines(text)) {
        const char* p = line.c_str();
        char* end = nullptr;
        const long first = std::strtol(p, &end, 10);
        if (end == p) continue;
        if (first >= 2) {
            // Day numbers beyond 1 March 2100 are not dates we can show.
            haveDay = first < 44000;
            day = static_cast<int>(first);
            if (haveDay) dayLines.push_back(day);
            continue;
        }
        if (first < 0 || !haveDay) continue;
        p = end;
        const double fraction = std::strtod(p, &end);
        if (end == p || !(fraction >= 0 && fraction <= 1)) continue;
        p = end;
        const auto rest = readFloats<2>(p);
        TideEvent e;
        e.high = first != 0;
        e.time = day + fraction;
        e.height = rest[0];
        e.coefficient = rest[1];
        events.push_back({day, e});
    }
    if (dayLines.empty()) return false;
    const int firstDay = *std::min_element(dayLines.begin(), dayLines.end());
    int lastDay = *std::max_element(dayLines.begin(), dayLines.end());
    lastDay = std::min(lastDay, firstDay + kMaxTableDays - 1);
    TideStation& s = stations_[station];
    s.firstDay = firstDay;
    s.days.assign(static_cast<std::size_t>(lastDay - firstDay + 1), {});
    for (const Dated& d : events)
        if (d.day <= lastDay) s.days[static_cast<std::size_t>(d.day - firstDay)].push_back(d.event);
    for (auto& events : s.days)
        std::stable_sort(events.begin(), events.end(),
                         [](const TideEvent& a, const TideEvent& b) { return a.time < b.time; });
    return true;
}

double TideHarmonics::height(int station, double t) const {
    if (station < 0 || station >= stationCount()) return 0;
    const TideStation& st = stations_[station];
    const double tp = t + st.timeOffset / 24.0;
    const double T = 15.0 * 24.0 * (tp - std::floor(tp));
    const double s = 13.17639673 * tp + 78.16;
    const double h = 0.98564734 * tp + 279.82;
    const double p = 0.11140408 * tp + 349.5;
    const double n = 0.05295392 * tp + 208.1;
    double sum = 0;
    for (int k = 0; k < kTideConstituents; ++k) {
        if (st.amplitude[k] == 0) continue;
        const Constituent& c = kConstituents[k];
        const double v = c.m0 * T + c.m1 * s + c.m2 * h + c.m3 * p + c.m4 * n + c.m6 * 90.0;
        sum += st.amplitude[k] * std::cos((v - st.phase[k]) * kDegToRad);
    }
    return st.z0 + 0.001 * sum;
}

namespace {

// Steps forward from `start` by 15 minutes until three successive heights bracket a high
// (or low) water, then steps back 15 minutes and refines by minutes.
bool findExtreme(const TideHarmonics& tides, int station, double start, bool high, TideEvent& out) {
    double h1 = tides.height(station, start);
    double h2 = tides.height(station, start + kCoarseStep);
    double h3 = tides.height(station, start + 2 * kCoarseStep);
    int i = 0;
    while (!isHighAt(h1, h2, h3, high)) {
        if (++i > kCoarseSteps) return false;
        h1 = h2;
        h2 = h3;
        h3 = tides.height(station, start + (i + 2) * kCoarseStep);
    }
    const double coarse = start + (i + 1) * kCoarseStep;
    const double fineStart = coarse - kCoarseStep;
    h1 = tides.height(station, fineStart);
    h2 = tides.height(station, fineStart + kFineStep);
    h3 = tides.height(station, fineStart + 2 * kFineStep);
    int j = 0;
    while (!isHighAt(h1, h2, h3, high) && j < kFineSteps) {
        ++j;
        h1 = h2;
        h2 = h3;
        h3 = tides.height(station, fineStart + (j + 2) * kFineStep);
    }
    out.high = high;
    if (j < kFineSteps) {
        out.time = fineStart + (j + 1) * kFineStep;
        out.height = static_cast<float>(h2);
    } else {
        out.time = coarse;
        out.height = static_cast<float>(tides.height(station, coarse));
    }
    return true;
}

} // namespace

TideState TideHarmonics::harmonicState(int station, double t) const {
    TideState state;
    if (station < 0 || station >= stationCount()) return state;
    state.rising = height(station, t) < height(station, t + kFineStep);
    // Rising: the previous extreme is a low water and the next a high water.
    if (!findExtreme(*this, station, t - 0.3125, !state.rising, state.previous)) return state;
    if (!findExtreme(*this, station, state.previous.time, state.rising, state.next)) return state;
    const TideEvent& highWater = state.rising ? state.next : state.previous;
    state.coefficient = coefficientOf(stations_[station], highWater.height);
    state.previous.coefficient = state.next.coefficient = state.coefficient;
    if (state.rising) {
        state.hoursFromHigh = (state.next.time - t) * -24;
        state.hoursFromLow = (t - state.previous.time) * 24;
    } else {
        state.hoursFromHigh = (t - state.previous.time) * 24;
        state.hoursFromLow = (state.next.time - t) * -24;
    }
    state.valid = true;
    return state;
}

TableState TideHarmonics::tableState(int station, double t) const {
    TableState out;
    if (station < 0 || station >= stationCount()) return out;
    const TideStation& s = stations_[station];
    const double dayIndex = std::floor(t) - s.firstDay;
    const TideEvent* next = nullptr;
    const TideEvent* previous = nullptr;
    if (dayIndex >= 0 && dayIndex < static_cast<double>(s.days.size())) {
        const long day = static_cast<long>(dayIndex);
        const long lastDay = static_cast<long>(s.days.size()) - 1;
        // The next event is the first one strictly after t; an event exactly at t is the
        // previous one. Empty days (a gap in the tables) are looked across, a few at most.
        for (long d = day; d <= std::min(day + 3, lastDay) && !next; ++d)
            for (const TideEvent& e : s.days[static_cast<std::size_t>(d)])
                if (e.time > t) {
                    next = &e;
                    break;
                }
        for (long d = day; d >= std::max(day - 3, 0L) && !previous; --d) {
            const auto& events = s.days[static_cast<std::size_t>(d)];
            for (auto it = events.rbegin(); it != events.rend(); ++it)
                if (it->time <= t) {
                    previous = &*it;
                    break;
                }
        }
    }
    if (!next || !previous) {
        const TideState h = harmonicState(station, t);
        if (!h.valid) return out;
        out.valid = true;
        out.nextHigh = h.next.high;
        out.coefficient = h.coefficient;
        out.hoursFromHigh = h.hoursFromHigh;
        out.hoursFromLow = h.hoursFromLow;
        return out;
    }
    const double d1 = (next->time - t) * -24;
    const double d2 = (t - previous->time) * 24;
    out.valid = out.fromTables = true;
    out.nextHigh = next->high;
    out.coefficient = previous->coefficient;
    out.hoursFromHigh = next->high ? d1 : d2;
    out.hoursFromLow = next->high ? d2 : d1;
    return out;
}

std::vector<TideEvent> TideHarmonics::extremes(int station, double from, double to) const {
    std::vector<TideEvent> events;
    if (station < 0 || station >= stationCount() || !(to > from)) return events;
    bool high = height(station, from) < height(station, from + kFineStep);
    double start = from;
    TideEvent e;
    while (findExtreme(*this, station, start, high, e) && e.time < to) {
        if (e.time >= from) events.push_back(e);
        start = e.time;
        high = !high;
    }
    // A low water carries the coefficient of the high water after it; the last low water of
    // the range looks one high water beyond.
    for (std::size_t i = 0; i < events.size(); ++i)
        if (events[i].high)
            events[i].coefficient = coefficientOf(stations_[station], events[i].height);
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (events[i].high) continue;
        TideEvent after;
        if (i + 1 < events.size() && events[i + 1].high)
            events[i].coefficient = events[i + 1].coefficient;
        else if (findExtreme(*this, station, events[i].time, true, after))
            events[i].coefficient = coefficientOf(stations_[station], after.height);
    }
    return events;
}

bool writeTideTable(const std::string& path, const std::vector<TideEvent>& events,
                    std::string& error) {
    std::string text;
    long day = -1;
    char buffer[96];
    for (const TideEvent& e : events) {
        const long d = static_cast<long>(std::floor(e.time));
        if (d != day) {
            day = d;
            std::snprintf(buffer, sizeof buffer, "%ld\n", day);
            text += buffer;
        }
        std::snprintf(buffer, sizeof buffer, "%d %.5f %.3f %.0f\n", e.high ? 1 : 0,
                      e.time - static_cast<double>(d), e.height, e.coefficient);
        text += buffer;
    }
    return replaceFileContents(path, text, error);
}

} // namespace navorel

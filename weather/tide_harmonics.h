#pragma once
// Tide predictions for a set of reference ports (stations): water heights from harmonic
// constants, high and low waters with the tidal coefficient, and precomputed tables of high
// and low waters that the current fields read quickly.
//
// Files of the tides folder:
//  - "Harmonics": six-line station blocks (name; "lat lon"; time offset in hours; Z0 in cm;
//    ten amplitudes in mm; ten Greenwich phase lags in degrees, for Sa K1 O1 Q1 M2 N2 S2 MN4
//    M4 MS4). Empty lines and lines starting with "#" between blocks are skipped.
//  - tide tables, one per station, named after the station ("BAR_HARBOR.tid": blanks of the
//    station name written as "_", any extension, case ignored). A line starting with an
//    integer >= 2 opens a day (days since 1 January 1980); lines "type fraction height
//    coefficient" (type 1 = high water, 0 = low water) are the events of that day. The events
//    after the last day line belong to that day.
#include <array>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace navorel {

constexpr int kTideConstituents = 21;

struct TideEvent {
    bool high = false;     // true for high water, false for low water
    double time = 0;       // day number
    float height = 0;      // metres
    float coefficient = 0; // tidal coefficient
};

struct TideStation {
    std::string name;       // upper case
    float lon = 0, lat = 0; // degrees
    float timeOffset = 0;   // hours added to the time before the harmonic sum
    float z0 = 0;           // mean level, metres
    std::array<float, kTideConstituents> amplitude{}; // millimetres (some are negative)
    std::array<float, kTideConstituents> phase{};     // degrees
    float rangeScale = 0; // S, millimetres: (sum of the semidiurnal amplitudes) / 5

    // Tables: days[i] holds the events of day number firstDay + i, in time order.
    int firstDay = 0;
    std::vector<std::vector<TideEvent>> days;
};

// The state of the tide around a time from the harmonic constants.
struct TideState {
    bool valid = false; // false when no extreme could be found (e.g. a flat station)
    bool rising = false;
    TideEvent previous;       // low water when rising, high water when falling
    TideEvent next;           // the extreme of the other kind after `previous`
    double hoursFromHigh = 0; // negative before the high water, positive after it
    double hoursFromLow = 0;
    float coefficient = 0;
};

// The tide state read from the tables, as the current fields use it.
struct TableState {
    bool valid = false;
    bool fromTables = false; // false: the time lies outside the tables, harmonic state used
    bool nextHigh = false;   // type of the next event
    float coefficient = 0;
    double hoursFromHigh = 0;
    double hoursFromLow = 0;
};

class TideHarmonics {
  public:
    // Reads "Harmonics" of the folder, then the tide tables. Answers false when the Harmonics
    // file cannot be read or holds no station. `tablesComplete()` tells whether every station
    // found its table.
    bool load(const std::string& folder);
    // Parses the text of a Harmonics file (replaces the stations; tables are dropped).
    bool parseHarmonics(std::string_view text);
    // Reads the tide tables of the folder, matching each file to its station by name. Files
    // whose name contains no "." or matches no station are ignored. Answers tablesComplete().
    bool loadTables(const std::string& folder);
    // The same for the stations marked in `wanted` (by station index) only; the others keep
    // no table. For a reader that needs a few ports of many.
    bool loadTables(const std::string& folder, const std::vector<bool>& wanted);
    // Parses one table file's text into the station's days (replacing them). Answers false
    // when the text holds no day line.
    bool parseTable(int station, std::string_view text);
    bool tablesComplete() const;

    const std::vector<TideStation>& stations() const { return stations_; }
    int stationCount() const { return static_cast<int>(stations_.size()); }
    // Station index of an upper-case name, or -1.
    int findStation(const std::string& name) const;
    const std::map<std::string, int>& stationMap() const { return byName_; }

    // Water height in metres at day number t (0 for an unknown station).
    double height(int station, double t) const;
    TideState harmonicState(int station, double t) const;
    // Table state; outside the days of the tables the harmonic state answers instead
    // (fromTables = false).
    TableState tableState(int station, double t) const;

    // The successive extremes of a station between two day numbers, with coefficients (a low
    // water carries the coefficient of the high water that follows it). For the table writer.
    std::vector<TideEvent> extremes(int station, double from, double to) const;

    // Adds a station (tests and importers); the name is upper-cased.
    void addStation(TideStation station);

  private:
    std::vector<TideStation> stations_;
    std::map<std::string, int> byName_;
};

// Amplitudes and phases of the 21 constituents from the ten of a Harmonics file.
void expandConstituents(const std::array<float, 10>& amplitudes,
                        const std::array<float, 10>& phases, TideStation& station);

// "BAR HARBOR" -> "BAR_HARBOR": the stem of a station's table file.
std::string tableFileStem(const std::string& stationName);

// Writes a table file (day lines and event lines) for the events, through a temporary file.
bool writeTideTable(const std::string& path, const std::vector<TideEvent>& events,
                    std::string& error);

} // namespace navorel

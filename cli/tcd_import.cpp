#include "cli/tcd_import.h"

#include "core/datetime.h"

#include <tcd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace navorel::cli {

namespace {

bool opened = false;
DB_HEADER_PUBLIC header;

// "HHMM" time offsets, sign carried: -130 is minus one hour thirty.
double offsetHours(int encoded) {
    const int magnitude = std::abs(encoded);
    const double hours = magnitude / 100 + (magnitude % 100) / 60.0;
    return encoded < 0 ? -hours : hours;
}

double wrap360(double a) {
    a = std::fmod(a, 360.0);
    return a < 0 ? a + 360 : a;
}

} // namespace

bool openTcd(const std::string& path, std::string& error) {
    if (opened) return true;
    std::vector<char> name(path.begin(), path.end());
    name.push_back('\0');
    if (!open_tide_db(name.data())) {
        error = "cannot open the harmonic constants " + path;
        return false;
    }
    header = get_tide_db_header();
    opened = true;
    return true;
}

bool readTcdRecord(int record, TcdStation& s, std::string& error) {
    static TIDE_RECORD rec; // large (tens of kilobytes): not on the stack
    if (read_tide_record(record, &rec) < 0) {
        error = "cannot read station record " + std::to_string(record);
        return false;
    }
    s = TcdStation{};
    s.record = record;
    s.name = rec.header.name;
    s.lat = rec.header.latitude;
    s.lon = rec.header.longitude;
    s.reference = rec.header.record_type == REFERENCE_STATION;
    s.units = get_level_units(rec.level_units);
    if (rec.max_direction >= 0 && rec.max_direction <= 360) s.floodDirection = rec.max_direction;
    if (rec.min_direction >= 0 && rec.min_direction <= 360) s.ebbDirection = rec.min_direction;
    if (s.reference) {
        s.datum = rec.datum_offset;
        // Epochs are referred to the station's time meridian; Greenwich phase lags are
        // G = epoch - meridian (hours east) x speed.
        const double meridian = offsetHours(rec.zone_offset);
        for (unsigned c = 0; c < header.constituents; ++c) {
            if (rec.amplitude[c] <= 0) continue;
            TcdConstituent k;
            k.index = static_cast<int>(c);
            k.name = get_constituent(static_cast<NV_INT32>(c));
            k.speed = get_speed(static_cast<NV_INT32>(c));
            k.amplitude = rec.amplitude[c];
            k.phase = wrap360(rec.epoch[c] - meridian * k.speed);
            s.constituents.push_back(k);
        }
    } else {
        s.referenceRecord = rec.header.reference_station;
        s.floodTime = offsetHours(rec.max_time_add);
        s.ebbTime = offsetHours(rec.min_time_add);
        s.haveFloodSlack = rec.flood_begins != NULLSLACKOFFSET;
        s.haveEbbSlack = rec.ebb_begins != NULLSLACKOFFSET;
        if (s.haveFloodSlack) s.floodSlack = offsetHours(rec.flood_begins);
        if (s.haveEbbSlack) s.ebbSlack = offsetHours(rec.ebb_begins);
        s.floodFactor = rec.max_level_multiply > 0 ? rec.max_level_multiply : 1.0;
        s.ebbFactor = rec.min_level_multiply > 0 ? rec.min_level_multiply : 1.0;
    }
    return true;
}

bool readTcdStation(const std::string& name, TcdStation& station, std::string& error) {
    std::vector<char> text(name.begin(), name.end());
    text.push_back('\0');
    const int record = find_station(text.data());
    if (record < 0) {
        error = "no station named \"" + name + "\" in the harmonic constants";
        return false;
    }
    return readTcdRecord(record, station, error);
}

std::vector<std::string> findTcdStations(const std::string& text) {
    std::vector<std::string> names;
    TIDE_STATION_HEADER h;
    if (!get_partial_tide_record(0, &h)) return names;
    do {
        if (std::strstr(h.name, text.c_str())) names.emplace_back(h.name);
    } while (get_next_partial_tide_record(&h) >= 0);
    return names;
}

double tcdEquilibrium(int constituent, int year) {
    const int i = year - header.start_year;
    if (i < 0 || i >= static_cast<int>(header.number_of_years)) return 0;
    return get_equilibrium(constituent, i);
}

double tcdNodeFactor(int constituent, int year) {
    const int i = year - header.start_year;
    if (i < 0 || i >= static_cast<int>(header.number_of_years)) return 1;
    return get_node_factor(constituent, i);
}

TcdPredictor::TcdPredictor(const TcdStation& station) : station_(station) {}

double TcdPredictor::value(double t) const {
    const DateTime dt = fromDayNumber(t);
    int year = dt.year;
    // fromDayNumber rounds to the next minute; the year boundary follows the day number.
    if (t < dayNumber(1, 1, year, 0, 0, 0)) --year;
    if (year != year_) {
        year_ = year;
        yearStart_ = dayNumber(1, 1, year, 0, 0, 0);
        factor_.clear();
        argument_.clear();
        for (const TcdConstituent& k : station_.constituents) {
            factor_.push_back(tcdNodeFactor(k.index, year));
            argument_.push_back(tcdEquilibrium(k.index, year));
        }
    }
    const double hours = (t - yearStart_) * 24;
    double sum = station_.datum;
    for (std::size_t i = 0; i < station_.constituents.size(); ++i) {
        const TcdConstituent& k = station_.constituents[i];
        const double angle = k.speed * hours + argument_[i] - k.phase;
        sum += factor_[i] * k.amplitude * std::cos(angle * 0.017453292519943295);
    }
    if (station_.units == "knots^2") return sum < 0 ? -std::sqrt(-sum) : std::sqrt(sum);
    return sum;
}

} // namespace navorel::cli

// navorel-cli current [--folder DIR] LON LAT YYYY-MM-DDTHH:MM
// navorel-cli current import [--folder DIR] --tcd FILE --port PORT --year YEAR OUT.cur TEXT...
//     a DEFAULT current file from the TCD current stations whose names contain one of TEXT
// navorel-cli current mesh [--folder DIR] [--max-edge NM]
//     the triangle and vertex lists of the DEFAULT files (Currents/dListTri, dListVert)
#include "cli/commands.h"
#include "cli/tcd_import.h"
#include "core/datetime.h"
#include "weather/current_field.h"
#include "weather/tide_harmonics.h"
#include "weather/tide_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>

namespace navorel::cli {
namespace {

constexpr double kDegToRad = 0.017453292519943295;

int currentCommand(const Args& given) {
    Args args = given;
    std::string folder, error;
    if (!takeProgramFolder(args, folder, error)) return fail(error);
    double lon, lat, time;
    if (args.size() != 3 || !parseNumber(args[0], lon) || !parseNumber(args[1], lat))
        return fail("usage: navorel-cli current [--folder DIR] LON LAT YYYY-MM-DDTHH:MM");
    if (!parseUtcTime(args[2], time, error)) return fail(error);
    TideHarmonics tides;
    if (!tides.load(folder + "/Data/Tides"))
        return fail("cannot read " + folder + "/Data/Tides/Harmonics");
    CurrentProvider provider;
    if (!provider.load(folder + "/Currents", tides))
        return fail("no current field in " + folder + "/Currents");
    const CurrentSample c =
        provider.currentAt(static_cast<float>(lon), static_cast<float>(lat), time);
    if (!c.found)
        std::printf("not found\n");
    else
        std::printf("direction %.0f speed %.2f coefficient %.0f\n", c.direction, c.speed,
                    c.coefficient);
    return 0;
}

// The stream of a TCD current station: signed speed (flood positive) and direction.
class StationStream {
  public:
    StationStream(const TcdStation& station, const TcdStation& reference, double from, double to)
        : station_(station), reference_(reference), predictor_(reference) {
        if (!station.reference) buildEvents(from, to);
    }

    // East and north in knots at a day number.
    void at(double t, double& east, double& north) const {
        double v;
        if (station_.reference) {
            v = predictor_.value(t);
        } else {
            v = predictor_.value(referenceTime(t));
            v *= v >= 0 ? station_.floodFactor : station_.ebbFactor;
        }
        const double dir = v >= 0 ? flood() : ebb();
        east = std::fabs(v) * std::sin(dir * kDegToRad);
        north = std::fabs(v) * std::cos(dir * kDegToRad);
    }
    double flood() const {
        return station_.floodDirection >= 0 ? station_.floodDirection : reference_.floodDirection;
    }
    double ebb() const {
        return station_.ebbDirection >= 0 ? station_.ebbDirection : reference_.ebbDirection;
    }

  private:
    // Events of the reference curve (slacks and strengths) and the same events at the offset
    // station, shifted by its offsets. A time of the offset station maps linearly between
    // its events onto the reference curve, which keeps the shape and the slack waters.
    void buildEvents(double from, double to) {
        const double step = 3.0 / 1440;
        double previous = predictor_.value(from);
        double peakTime = from, peak = 0;
        for (double t = from + step; t <= to; t += step) {
            const double v = predictor_.value(t);
            if ((previous < 0) != (v < 0)) {
                const double slack = t - step + step * previous / (previous - v);
                if (peak != 0) add(peakTime, peak > 0 ? station_.floodTime : station_.ebbTime);
                const bool floodBegins = v >= 0;
                const double mean = (station_.floodTime + station_.ebbTime) / 2;
                double shift = mean;
                if (floodBegins && station_.haveFloodSlack) shift = station_.floodSlack;
                if (!floodBegins && station_.haveEbbSlack) shift = station_.ebbSlack;
                add(slack, shift);
                peak = 0;
            }
            if (std::fabs(v) > std::fabs(peak)) {
                peak = v;
                peakTime = t;
            }
            previous = v;
        }
    }
    void add(double referenceTime, double shiftHours) {
        const double local = referenceTime + shiftHours / 24;
        // Offsets that would reorder the events are not usable: keep the order.
        if (!local_.empty() && local <= local_.back()) return;
        reference_times_.push_back(referenceTime);
        local_.push_back(local);
    }
    double referenceTime(double t) const {
        if (local_.size() < 2) return t;
        auto it = std::upper_bound(local_.begin(), local_.end(), t);
        std::size_t j = static_cast<std::size_t>(it - local_.begin());
        j = std::clamp<std::size_t>(j, 1, local_.size() - 1);
        const double f = (t - local_[j - 1]) / (local_[j] - local_[j - 1]);
        return reference_times_[j - 1] + f * (reference_times_[j] - reference_times_[j - 1]);
    }

    const TcdStation& station_;
    const TcdStation& reference_;
    TcdPredictor predictor_;
    std::vector<double> reference_times_, local_;
};

int importCommand(const Args& given) {
    Args args = given;
    std::string folder, error;
    if (!takeProgramFolder(args, folder, error)) return fail(error);
    std::string tcd, port, yearText, fractionText = "0.15";
    takeOption(args, "--fraction", fractionText);
    double year, fraction;
    if (!takeOption(args, "--tcd", tcd) || !takeOption(args, "--port", port) ||
        !takeOption(args, "--year", yearText) || !parseNumber(yearText, year) ||
        !parseNumber(fractionText, fraction) || args.size() < 2 || year < 1901 || year > 2098 ||
        !(fraction > 0 && fraction <= 0.5))
        return fail("usage: navorel-cli current import [--folder DIR] --tcd FILE --port PORT "
                    "--year YEAR [--fraction F] OUT.cur TEXT...");
    TideHarmonics tides;
    std::string text;
    if (!readTextFile(folder + "/Data/Tides/Harmonics", text) || !tides.parseHarmonics(text))
        return fail("cannot read " + folder + "/Data/Tides/Harmonics");
    const int station = tides.findStation(port);
    if (station < 0) return fail("no tide station \"" + port + "\"");
    if (!openTcd(tcd, error)) return fail(error);

    // High waters of the port over the year, with their ranges.
    const int y = static_cast<int>(year);
    const double from = dayNumber(1, 1, y, 0, 0, 0), to = dayNumber(1, 1, y + 1, 0, 0, 0);
    const std::vector<TideEvent> events = tides.extremes(station, from - 1, to + 1);
    struct High {
        double time, range;
    };
    std::vector<High> highs;
    for (std::size_t i = 1; i + 1 < events.size(); ++i)
        if (events[i].high && !events[i - 1].high && !events[i + 1].high &&
            events[i].time >= from && events[i].time < to)
            highs.push_back({events[i].time,
                             events[i].height - (events[i - 1].height + events[i + 1].height) / 2});
    if (highs.size() < 20) return fail("too few high waters at " + port);
    std::sort(highs.begin(), highs.end(),
              [](const High& a, const High& b) { return a.range > b.range; });
    const std::size_t take =
        std::max<std::size_t>(1, static_cast<std::size_t>(highs.size() * fraction));
    const std::vector<High> spring(highs.begin(), highs.begin() + static_cast<long>(take));
    const std::vector<High> neap(highs.end() - static_cast<long>(take), highs.end());

    // The stations: every current station whose name holds one of the texts.
    std::set<std::string> names;
    for (std::size_t i = 1; i < args.size(); ++i)
        for (const std::string& n : findTcdStations(args[i]))
            if (n.find("Current") != std::string::npos) names.insert(n);
    if (names.empty()) return fail("no current station matches");
    CurrentFile file;
    file.portName = tides.stations()[static_cast<std::size_t>(station)].name;
    for (const std::string& name : names) {
        TcdStation s, reference;
        if (!readTcdStation(name, s, error)) return fail(error);
        if (s.reference)
            reference = s;
        else if (!readTcdRecord(s.referenceRecord, reference, error))
            return fail(error);
        if (reference.units != "knots" && reference.units != "knots^2") {
            std::fprintf(stderr, "navorel-cli: %s: not a current station, skipped\n", name.c_str());
            continue;
        }
        StationStream stream(s, reference, from - 2, to + 2);
        if (stream.flood() < 0 || stream.ebb() < 0) {
            std::fprintf(stderr, "navorel-cli: %s: no flood or ebb direction, skipped\n",
                         name.c_str());
            continue;
        }
        CurrentPoint p;
        p.lat = static_cast<float>(s.lat);
        p.lon = static_cast<float>(s.lon);
        auto average = [&stream](const std::vector<High>& set, std::array<float, 13>& east,
                                 std::array<float, 13>& north) {
            for (int h = -6; h <= 6; ++h) {
                double se = 0, sn = 0;
                for (const High& hw : set) {
                    double e, n;
                    stream.at(hw.time + h / 24.0, e, n);
                    se += e;
                    sn += n;
                }
                east[static_cast<std::size_t>(h + 6)] = static_cast<float>(se / set.size());
                north[static_cast<std::size_t>(h + 6)] = static_cast<float>(sn / set.size());
            }
        };
        average(spring, p.springEast, p.springNorth);
        average(neap, p.neapEast, p.neapNorth);
        file.points.push_back(p);
        std::printf("%s\n", name.c_str());
    }
    if (!writeDefaultCurrentFile(args[0], file, error)) return fail(error);
    std::printf("%zu points written to %s (port %s, %zu spring and %zu neap tides)\n",
                file.points.size(), args[0].c_str(), file.portName.c_str(), spring.size(),
                neap.size());
    return 0;
}

int meshCommand(const Args& given) {
    Args args = given;
    std::string programFolder, error;
    if (!takeProgramFolder(args, programFolder, error)) return fail(error);
    const std::string folder = programFolder + "/Currents";
    std::string edgeText = "15";
    double maxEdge;
    takeOption(args, "--max-edge", edgeText);
    if (!args.empty() || !parseNumber(edgeText, maxEdge) || !(maxEdge > 0))
        return fail("usage: navorel-cli current mesh [--folder DIR] [--max-edge NM]");
    // The same files in the same order as the loader, so that vertex numbers agree.
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder + "/Default", ec)) {
        const std::string name = entry.path().filename().string();
        const bool temporary = name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0;
        if (name.find(".cur") != std::string::npos && !temporary && entry.is_regular_file(ec))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    std::vector<std::array<double, 2>> points;
    double meanLat = 0;
    std::vector<CurrentPoint> all;
    for (const std::string& name : names) {
        std::string text;
        CurrentFile file;
        if (!readTextFile(folder + "/Default/" + name, text) ||
            !parseCurrentFile(text, false, file))
            return fail("cannot read " + name);
        all.insert(all.end(), file.points.begin(), file.points.end());
    }
    if (all.size() < 3) return fail("fewer than three current points in " + folder + "/Default");
    for (const CurrentPoint& p : all) meanLat += p.lat / static_cast<double>(all.size());
    // Triangulate in a plane where a degree of longitude has its true length at the mean
    // latitude, so the triangles are not stretched east-west.
    const double squeeze = std::cos(meanLat * kDegToRad);
    for (const CurrentPoint& p : all) points.push_back({p.lon * squeeze, p.lat});
    std::vector<std::array<int, 3>> triangles;
    for (const auto& t : delaunayTriangles(points)) {
        // Long edges bridge land between separate atlases: leave such triangles out.
        bool keep = true;
        for (int e = 0; e < 3; ++e) {
            const CurrentPoint& a = all[static_cast<std::size_t>(t[static_cast<std::size_t>(e)])];
            const CurrentPoint& b =
                all[static_cast<std::size_t>(t[static_cast<std::size_t>((e + 1) % 3)])];
            const double dx = (a.lon - b.lon) * squeeze, dy = a.lat - b.lat;
            keep = keep && std::sqrt(dx * dx + dy * dy) * 60 <= maxEdge;
        }
        if (keep) triangles.push_back(t);
    }
    if (!writeMeshLists(folder + "/dListTri", folder + "/dListVert", triangles,
                        static_cast<int>(all.size()), error))
        return fail(error);
    std::printf("%zu vertices, %zu triangles\n", all.size(), triangles.size());
    return 0;
}

const CommandRegistrar currentReg("current", "current [--folder DIR] LON LAT YYYY-MM-DDTHH:MM",
                                  currentCommand);
const CommandRegistrar importReg("current import",
                                 "current import [--folder DIR] --tcd FILE --port PORT --year YEAR "
                                 "OUT.cur TEXT...",
                                 importCommand);
const CommandRegistrar meshReg("current mesh", "current mesh [--folder DIR] [--max-edge NM]",
                               meshCommand);

} // namespace
} // namespace navorel::cli

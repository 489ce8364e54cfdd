// navorel-cli tide [--folder DIR] STATION FROM TO
// navorel-cli tide import TCD OUT STATION...    (a Harmonics file from TCD constants)
// navorel-cli tide tables [--folder DIR] FROM TO (the tide tables of every station)
// navorel-cli tide constants TCD STATION YEAR    (every constituent, for reference checks)
#include "cli/commands.h"
#include "cli/tcd_import.h"
#include "core/atomic_file.h"
#include "core/datetime.h"
#include "settings/config_store.h"
#include "weather/tide_harmonics.h"
#include "weather/tide_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace navorel::cli {

namespace {

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// A station by full name or unique prefix, case ignored; -1 with a message otherwise.
int matchStation(const TideHarmonics& tides, const std::string& text, std::string& error) {
    const std::string wanted = upper(text);
    const int exact = tides.findStation(wanted);
    if (exact >= 0) return exact;
    int found = -1;
    for (int i = 0; i < tides.stationCount(); ++i) {
        if (tides.stations()[i].name.rfind(wanted, 0) != 0) continue;
        if (found >= 0) {
            error = "station \"" + text + "\" is ambiguous";
            return -1;
        }
        found = i;
    }
    if (found < 0) error = "no station \"" + text + "\"";
    return found;
}

int tideCommand(const Args& given) {
    Args args = given;
    std::string folder, error;
    if (!takeProgramFolder(args, folder, error)) return fail(error);
    if (args.size() != 3) return fail("usage: navorel-cli tide [--folder DIR] STATION FROM TO");
    double from, to;
    if (!parseUtcTime(args[1], from, error) || !parseUtcTime(args[2], to, error))
        return fail(error);
    if (!(to >= from)) return fail("FROM must not be after TO");
    if (to - from > 366) return fail("at most one year at a time");
    TideHarmonics tides;
    if (!tides.load(folder + "/Data/Tides"))
        return fail("cannot read " + folder + "/Data/Tides/Harmonics");
    const int station = matchStation(tides, args[0], error);
    if (station < 0) return fail(error);
    const int steps = static_cast<int>(std::floor((to - from) * 144 + 1e-6));
    for (int i = 0; i <= steps; ++i) {
        const double t = from + i / 144.0;
        std::printf("height %s %.2f\n", formatUtcTime(t).c_str(), tides.height(station, t));
    }
    // High and low waters from the harmonic state, walking from one state to the next.
    std::vector<TideEvent> events;
    for (double t = from; t <= to;) {
        const TideState s = tides.harmonicState(station, t);
        if (!s.valid) break;
        for (TideEvent e : {s.previous, s.next}) {
            if (e.time < from - 1e-9 || e.time > to + 1e-9) continue;
            const bool known = std::any_of(events.begin(), events.end(), [&e](const TideEvent& k) {
                return std::fabs(k.time - e.time) < 2.0 / 1440;
            });
            if (known) continue;
            if (e.high) e.coefficient = s.coefficient;
            events.push_back(e);
        }
        t = std::max(s.next.time, t) + 2.0 / 1440;
    }
    std::sort(events.begin(), events.end(),
              [](const TideEvent& a, const TideEvent& b) { return a.time < b.time; });
    for (const TideEvent& e : events) {
        if (e.high)
            std::printf("high %s %.2f %.0f\n", formatUtcTime(e.time).c_str(), e.height,
                        e.coefficient);
        else
            std::printf("low %s %.2f\n", formatUtcTime(e.time).c_str(), e.height);
    }
    return 0;
}

// "OUR NAME=TCD station name", or a TCD name whose part before the first comma becomes ours.
void splitStationArgument(const std::string& argument, std::string& ours, std::string& tcdName) {
    const std::size_t eq = argument.find('=');
    if (eq != std::string::npos) {
        ours = upper(trimBlanks(argument.substr(0, eq)));
        tcdName = trimBlanks(argument.substr(eq + 1));
    } else {
        tcdName = argument;
        ours = upper(trimBlanks(argument.substr(0, argument.find(','))));
    }
}

int importCommand(const Args& args) {
    if (args.size() < 3) return fail("usage: navorel-cli tide import TCD OUT STATION...");
    std::string error;
    if (!openTcd(args[0], error)) return fail(error);
    static const char* const kNames[10] = {"SA", "K1", "O1",  "Q1", "M2",
                                           "N2", "S2", "MN4", "M4", "MS4"};
    std::string text = "# Harmonic constants: NOAA data (public domain), from " +
                       std::filesystem::path(args[0]).filename().string() + "\n";
    char buffer[256];
    for (std::size_t i = 2; i < args.size(); ++i) {
        std::string ours, tcdName;
        splitStationArgument(args[i], ours, tcdName);
        TcdStation s;
        if (!readTcdStation(tcdName, s, error)) return fail(error);
        if (!s.reference) return fail("\"" + tcdName + "\" has no harmonic constants of its own");
        double scale; // station units to millimetres
        if (s.units == "feet")
            scale = 304.8;
        else if (s.units == "meters")
            scale = 1000;
        else
            return fail("\"" + tcdName + "\" is not a tide station (units " + s.units + ")");
        if (ours.empty() || ours.size() > 49)
            return fail("station name \"" + ours + "\" must have 1 to 49 characters");
        std::array<double, 10> amplitude{}, phase{};
        for (int k = 0; k < 10; ++k)
            for (const TcdConstituent& c : s.constituents)
                if (upper(c.name) == upper(kNames[k])) {
                    amplitude[static_cast<std::size_t>(k)] = c.amplitude * scale;
                    phase[static_cast<std::size_t>(k)] = c.phase;
                }
        text += "# " + tcdName + "\n" + ours + "\n";
        std::snprintf(buffer, sizeof buffer, "%.4f %.4f\n0\n%.1f\n", s.lat, s.lon,
                      s.datum * scale / 10);
        text += buffer;
        for (int row = 0; row < 2; ++row) {
            for (int k = 0; k < 10; ++k) {
                const double v = row == 0 ? amplitude[static_cast<std::size_t>(k)]
                                          : phase[static_cast<std::size_t>(k)];
                std::snprintf(buffer, sizeof buffer, row == 0 ? "%s%.1f" : "%s%.2f", k ? " " : "",
                              v);
                text += buffer;
            }
            text += "\n";
        }
    }
    if (!replaceFileContents(args[1], text, error)) return fail(error);
    std::printf("%zu stations written to %s\n", args.size() - 2, args[1].c_str());
    return 0;
}

int tablesCommand(const Args& given) {
    Args args = given;
    std::string folder, error;
    if (!takeProgramFolder(args, folder, error)) return fail(error);
    double from, to;
    if (args.size() != 2)
        return fail("usage: navorel-cli tide tables [--folder DIR] FROM TO (dates YYYY-MM-DD)");
    if (!parseUtcTime(args[0], from, error) || !parseUtcTime(args[1], to, error))
        return fail(error);
    if (to < from) return fail("FROM must not be after TO");
    if (to - from > 40 * 366) return fail("at most forty years of tables");
    const std::string tidesFolder = folder + "/Data/Tides";
    TideHarmonics tides;
    std::string text;
    if (!readTextFile(tidesFolder + "/Harmonics", text) || !tides.parseHarmonics(text))
        return fail("cannot read " + tidesFolder + "/Harmonics");
    const double first = std::floor(from), last = std::floor(to) + 1;
    for (int i = 0; i < tides.stationCount(); ++i) {
        const std::vector<TideEvent> events = tides.extremes(i, first, last);
        const std::string path =
            tidesFolder + "/" + tableFileStem(tides.stations()[i].name) + ".tid";
        if (!writeTideTable(path, events, error)) return fail(error);
        std::printf("%s: %zu events\n", path.c_str(), events.size());
    }
    return 0;
}

int constantsCommand(const Args& args) {
    double year;
    if (args.size() != 3 || !parseNumber(args[2], year) || year < 1901 || year > 2099)
        return fail("usage: navorel-cli tide constants TCD STATION YEAR");
    std::string error;
    TcdStation s;
    if (!openTcd(args[0], error) || !readTcdStation(args[1], s, error)) return fail(error);
    if (!s.reference) return fail("\"" + args[1] + "\" has no harmonic constants of its own");
    const int y = static_cast<int>(year);
    std::printf("station %s\nunits %s\ndatum %.6f\nyear %d\n", s.name.c_str(), s.units.c_str(),
                s.datum, y);
    std::printf(
        "# name speed(deg/h) amplitude phase(Greenwich) equilibrium(Jan 1 00:00 UTC) nodefactor\n");
    for (const TcdConstituent& c : s.constituents)
        std::printf("%s %.7f %.4f %.2f %.2f %.4f\n", c.name.c_str(), c.speed, c.amplitude, c.phase,
                    tcdEquilibrium(c.index, y), tcdNodeFactor(c.index, y));
    return 0;
}

const CommandRegistrar tideReg("tide", "tide [--folder DIR] STATION FROM TO", tideCommand);
const CommandRegistrar importReg("tide import", "tide import TCD OUT STATION...", importCommand);
const CommandRegistrar tablesReg("tide tables", "tide tables [--folder DIR] FROM TO",
                                 tablesCommand);
const CommandRegistrar constantsReg("tide constants", "tide constants TCD STATION YEAR",
                                    constantsCommand);

} // namespace
} // namespace navorel::cli

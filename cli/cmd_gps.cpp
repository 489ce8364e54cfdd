// navorel-cli gps SOURCE: prints the fixes of an NMEA receiver; navorel-cli gps simulate:
// replays a boat sailing a route as NMEA sentences, for the demo and the tests.
#include "cli/commands.h"
#include "cli/gps_io.h"
#include "core/datetime.h"
#include "core/geodesy.h"
#include "core/nmea.h"
#include "geo/gpx.h"
#include "settings/config_store.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace navorel::cli {
namespace {

namespace fs = std::filesystem;

constexpr double kMetresPerMile = 1852.0;
// Far beyond any receiver: the simulator floods a reader with it to try its hand-over.
constexpr double kMostSentencesPerSecond = 20000.0;

// A whole number option within [low, high]; false with a message otherwise.
bool takeWhole(Args& args, const std::string& name, long low, long high, long& value,
               std::string& error) {
    std::string text;
    if (!takeOption(args, name, text)) return true;
    double v;
    if (!parseNumber(text, v) || v != std::floor(v) || v < static_cast<double>(low) ||
        v > static_cast<double>(high)) {
        error = name + " wants a whole number from " + std::to_string(low) + " to " +
                std::to_string(high) + ", not '" + text + "'";
        return false;
    }
    value = static_cast<long>(v);
    return true;
}

bool takeReal(Args& args, const std::string& name, double low, double high, double& value,
              std::string& error) {
    std::string text;
    if (!takeOption(args, name, text)) return true;
    double v;
    if (!parseNumber(text, v) || !(v > low && v <= high)) {
        char range[80];
        std::snprintf(range, sizeof range, " wants a number above %g and up to %g, not '", low,
                      high);
        error = name + range + text + "'";
        return false;
    }
    value = v;
    return true;
}

std::string timeText(const GpsFix& fix) {
    if (!fix.hasTime) return "-";
    const DateTime t = fromDayNumber(fix.time);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

// "fix TIME LON LAT SOG COG"; a value the sentence did not give is "-".
void printFix(const GpsFix& fix) {
    const auto value = [](bool present, const char* format, double v) {
        char text[32] = "-";
        if (present) std::snprintf(text, sizeof text, format, v);
        return std::string(text);
    };
    std::printf("fix %s %s %s %s %s\n", timeText(fix).c_str(),
                value(fix.hasPosition(), "%.6f", fix.lon).c_str(),
                value(true, "%.6f", fix.lat).c_str(),
                value(fix.hasSpeed(), "%.2f", fix.speed).c_str(),
                value(fix.hasCourse(), "%.1f", fix.course).c_str());
    std::fflush(stdout);
}

int gpsCommand(const Args& input) {
    Args args = input;
    std::string error, folder, baudText;
    long count = 0;
    if (!takeWhole(args, "--count", 1, 1000000000, count, error)) return fail(error);
    const bool baudGiven = takeOption(args, "--baud", baudText);
    if (!takeProgramFolder(args, folder, error)) return fail(error);
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-')
        return fail("usage: navorel-cli gps SOURCE [--count N] [--baud RATE] "
                    "(SOURCE: a device path, tcp:HOST:PORT, udp:PORT or udp:ADDRESS:PORT)");
    // The line settings of [Com]; --baud overrides the rate.
    SerialLine line;
    ConfigStore config;
    if (config.load(folder, nullptr, error)) {
        line.baudRate = config.settings.com.baudRate;
        line.parity = config.settings.com.parity;
    }
    if (baudGiven) {
        double rate;
        if (!parseNumber(baudText, rate) || rate != std::floor(rate) || rate < 1 || rate > 4e6)
            return fail("--baud wants a baud rate, not '" + baudText + "'");
        line.baudRate = static_cast<int>(rate);
    }

    GpsSource source;
    if (!source.open(args[0], line, error)) return fail(error);
    NmeaReader reader;
    long printed = 0;
    char buffer[256];
    for (;;) {
        const std::size_t n = source.read(buffer, sizeof buffer, error);
        if (n == 0) return fail(error);
        reader.feed(std::string_view(buffer, n), [&](const GpsFix& fix) {
            if (count > 0 && printed >= count) return;
            printFix(fix);
            ++printed;
        });
        if (count > 0 && printed >= count) return kExitOk;
    }
}

std::string withChecksum(const std::string& body) {
    unsigned sum = 0;
    for (const char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum & 0xFF);
    return "$" + body + tail;
}

// ddmm.mmmm,N or dddmm.mmmm,E of signed degrees.
std::string angleText(double degrees, int degreeDigits, char positive, char negative) {
    const double a = std::fabs(degrees);
    int whole = static_cast<int>(a);
    double minutes = (a - whole) * 60.0;
    if (minutes >= 59.99995) { // would print as 60.0000
        ++whole;
        minutes = 0;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%0*d%07.4f,%c", degreeDigits, whole, minutes,
                  degrees < 0 ? negative : positive);
    return text;
}

// The RMC and GGA sentences of one position.
void makeSentences(const std::string& talker, double day, GeoPoint p, double speed, double course,
                   std::string& rmc, std::string& gga) {
    const double seconds = day * 86400.0;
    const double whole = std::floor(seconds + 1e-6);
    const DateTime t = fromDayNumber(whole / 86400.0);
    const int hundredths = std::min(99, static_cast<int>(std::lround((seconds - whole) * 100.0)));
    char time[16], date[16], tail[48];
    std::snprintf(time, sizeof time, "%02d%02d%02d.%02d", t.hour, t.minute, t.second,
                  std::max(0, hundredths));
    std::snprintf(date, sizeof date, "%02d%02d%02d", t.day, t.month, t.year % 100);
    const std::string lat = angleText(p.lat, 2, 'N', 'S');
    const std::string lon = angleText(p.lon, 3, 'E', 'W');
    std::snprintf(tail, sizeof tail, ",%.1f,%.1f,", speed, course);
    rmc = withChecksum(talker + "RMC," + time + ",A," + lat + "," + lon + tail + date + ",,,A");
    gga =
        withChecksum(talker + "GGA," + time + "," + lat + "," + lon + ",1,08,0.9,2.0,M,-33.0,M,,");
}

// Bytes as one printable line: CR, LF and the unprintable as escapes.
std::string escaped(const std::string& bytes) {
    std::string out;
    for (const char c : bytes) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c < 0x20 || c > 0x7e)
            out += '?';
        else
            out += c;
    }
    return out;
}

int simulateCommand(const Args& input) {
    Args args = input;
    std::string error, folder, routePath, talker = "GN", startText;
    double speed = 6.0, rate = 1.0, wait = 60.0;
    long count = 0;
    if (!takeReal(args, "--speed", 0.0, 5000.0, speed, error) ||
        !takeReal(args, "--rate", 0.0, kMostSentencesPerSecond, rate, error) ||
        !takeReal(args, "--wait", 0.0, 86400.0, wait, error) ||
        !takeWhole(args, "--count", 1, 1000000000, count, error))
        return fail(error);
    takeOption(args, "--talker", talker);
    const bool echo = takeFlag(args, "--echo");
    const bool routeGiven = takeOption(args, "--route", routePath);
    const bool startGiven = takeOption(args, "--start", startText);
    if (!takeProgramFolder(args, folder, error)) return fail(error);
    if (args.size() != 1)
        return fail("usage: navorel-cli gps simulate [--route GPX] [--speed KT] [--rate HZ] "
                    "[--talker GN] [--count N] [--start YYYY-MM-DDTHH:MM] [--wait S] [--echo] "
                    "pty|tcp:PORT|udp:PORT");
    if (talker.size() != 2 || !std::isupper(static_cast<unsigned char>(talker[0])) ||
        !std::isupper(static_cast<unsigned char>(talker[1])))
        return fail("--talker wants two capital letters, not '" + talker + "'");
    if (!routeGiven) routePath = (fs::path(folder) / "Data" / "Route.gpx").string();
    std::vector<GeoPoint> route;
    if (!loadUserRoute(routePath, route, error)) return fail(error);
    if (route.size() < 2) return fail(routePath + ": the route has fewer than two points");
    double day;
    if (startGiven) {
        if (!parseUtcTime(startText, day, error)) return fail(error);
    } else {
        day = std::floor(now().dayNumber * 86400.0) / 86400.0;
    }

    GpsSink sink;
    std::string where;
    if (!sink.open(args[0], where, error)) return fail(error);
    std::printf("%s %s\n", args[0].substr(0, 3).c_str(), where.c_str());
    std::fflush(stdout);
    std::signal(SIGPIPE, SIG_IGN);

    const double period = 1.0 / rate;
    const double stepMetres = speed * kMetresPerMile / 3600.0 * period;
    // The pause between the two writes of a tick, so that a reader gets them apart.
    const auto pause = std::chrono::duration<double>(std::min(0.02, period / 4.0));
    // The boat is `along` metres down the rhumb line of leg `leg`, measured from its start so
    // that small steps do not wear away in single-precision positions.
    std::size_t leg = 0;
    double along = 0;
    const auto legLength = [&] { return greatCircleDistance(route[leg], route[leg + 1]); };
    const auto legBearing = [&] {
        return normalise360(rhumbBearing(route[leg], route[leg + 1]) * kRadToDeg);
    };
    for (long tick = 0; count == 0 || tick < count; ++tick) {
        if (!sink.waitForReader(wait))
            return fail("nobody read " + where + " for " + std::to_string(static_cast<int>(wait)) +
                        " s");
        const auto started = std::chrono::steady_clock::now();
        const bool last = along >= legLength();
        const GeoPoint p =
            last ? route[leg + 1] : rhumbDestination(route[leg], legBearing(), along);
        std::string rmc, gga;
        makeSentences(talker, day, p, speed, legBearing(), rmc, gga);
        // One write carries the GGA and the head of the RMC, the next its tail: a reader sees
        // several sentences in one read and one sentence split across two.
        const std::size_t cut = 1 + static_cast<std::size_t>(tick * 7) % (rmc.size() - 1);
        const std::string parts[2] = {gga + rmc.substr(0, cut), rmc.substr(cut)};
        for (const std::string& part : parts) {
            if (echo) std::printf("write \"%s\"\n", escaped(part).c_str());
            std::fflush(stdout);
            sink.send(part);
            std::this_thread::sleep_for(pause);
        }
        if (last) break; // the last waypoint was sent
        // Sail on, past as many waypoints as the step reaches.
        along += stepMetres;
        while (along >= legLength() && leg + 2 < route.size()) {
            along -= legLength();
            ++leg;
        }
        day += period * kSecondInDays;
        std::this_thread::sleep_until(started + std::chrono::duration<double>(period));
    }
    return kExitOk;
}

const CommandRegistrar gps("gps", "gps SOURCE [--count N] [--baud RATE]", gpsCommand);
const CommandRegistrar simulate("gps simulate",
                                "gps simulate [--route GPX] [--speed KT] [--rate HZ] "
                                "[--talker GN] [--count N] pty|tcp:PORT|udp:PORT",
                                simulateCommand);

} // namespace
} // namespace navorel::cli

// navorel-cli polar FILE TWA TWS, navorel-cli time DAYNUMBER
#include "cli/commands.h"
#include "core/datetime.h"
#include "routing/polar.h"
#include "settings/program_folder.h"

#include <cmath>
#include <cstdio>

namespace navorel::cli {
namespace {

int polarCommand(const Args& args) {
    if (args.size() != 3) return fail("usage: navorel-cli polar FILE TWA TWS");
    double twa, tws;
    if (!parseNumber(args[1], twa) || !parseNumber(args[2], tws))
        return fail("TWA and TWS must be numbers");
    Polar polar;
    std::string error;
    if (!loadPolar(args[0], polar, error)) return fail(error);
    float angle = static_cast<float>(twa);
    bool adjusted = false;
    const float speed = sailingSpeed(polar, static_cast<float>(tws), angle, adjusted);
    const BestAngle up = bestUpwind(polar, static_cast<float>(tws));
    const BestAngle down = bestDownwind(polar, static_cast<float>(tws));
    std::printf("speed %.2f upwind %.0f %.2f downwind %.0f %.2f\n", speed, up.angle, up.speed,
                down.angle, down.speed);
    return 0;
}

int timeCommand(const Args& args) {
    double value;
    if (args.size() != 1 || !parseNumber(args[0], value))
        return fail("usage: navorel-cli time DAYNUMBER");
    // Day numbers hold calendar dates only from 1901 to 2099.
    const double first = dayNumber(1, 1, 1901, 0, 0, 0);
    const double last = dayNumber(1, 1, 2100, 0, 0, 0);
    if (!(value >= first && value < last))
        return fail("DAYNUMBER must lie from " + std::to_string(static_cast<int>(first)) + " to " +
                    std::to_string(static_cast<int>(last)) + " (1901 to 2099), not " + args[0]);
    std::printf("%s\n", formatDate(fromDayNumber(value), 1).c_str());
    return 0;
}

} // namespace

bool takeProgramFolder(Args& args, std::string& folder, std::string& error) {
    std::string given;
    takeOption(args, "--folder", given);
    return resolveProgramFolder(given, NAVOREL_DIST_DIR, false, folder, error);
}

bool parseUtcTime(const std::string& text, double& day, std::string& error) {
    const auto bad = [&](const std::string& why) {
        error = "'" + text + "' is not a time YYYY-MM-DDTHH:MM (UTC, 1901 to 2099): " + why;
        return false;
    };
    // Fixed places: YYYY-MM-DD, optionally followed by THH:MM.
    static const char pattern[] = "dddd-dd-ddTdd:dd";
    if (text.size() != 10 && text.size() != 16) return bad("wrong length");
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (pattern[i] == 'd' ? !digit : text[i] != pattern[i]) return bad("wrong form");
    }
    const auto field = [&](std::size_t at, std::size_t n) { return std::stoi(text.substr(at, n)); };
    const int y = field(0, 4), mo = field(5, 2), d = field(8, 2);
    const int h = text.size() == 16 ? field(11, 2) : 0, mi = text.size() == 16 ? field(14, 2) : 0;
    if (y < 1901 || y > 2099) return bad("year " + std::to_string(y));
    if (mo < 1 || mo > 12) return bad("month " + std::to_string(mo));
    static const int days[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = y % 4 == 0; // exact from 1901 to 2099
    const int monthDays = mo == 2 && !leap ? 28 : days[mo - 1];
    if (d < 1 || d > monthDays)
        return bad("day " + std::to_string(d) + " of month " + std::to_string(mo));
    if (h > 23) return bad("hour " + std::to_string(h));
    if (mi > 59) return bad("minute " + std::to_string(mi));
    day = dayNumber(d, mo, y, h, mi, 0);
    return true;
}

std::string formatUtcTime(double day) {
    const DateTime dt = fromDayNumber(day);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d", dt.year, dt.month, dt.day,
                  dt.hour, dt.minute);
    return buffer;
}

namespace {

const CommandRegistrar polarReg("polar", "polar FILE TWA TWS", polarCommand);
const CommandRegistrar timeReg("time", "time DAYNUMBER", timeCommand);

} // namespace
} // namespace navorel::cli

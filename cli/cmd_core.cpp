// navorel-cli polar FILE TWA TWS, navorel-cli time DAYNUMBER
#include "cli/commands.h"
#include "core/datetime.h"
#include "routing/polar.h"

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
    std::printf("%s\n", formatDate(fromDayNumber(value), 1).c_str());
    return 0;
}

const CommandRegistrar polarReg("polar", "polar FILE TWA TWS", polarCommand);
const CommandRegistrar timeReg("time", "time DAYNUMBER", timeCommand);

} // namespace
} // namespace navorel::cli

#include "app/window_title.h"

#include "core/datetime.h"
#include "core/texts.h"
#include "settings/config_store.h"
#include "weather/wind_store.h"

#include <algorithm>
#include <cstdio>

namespace navorel::app {

namespace {

constexpr const char* kProgram = "Navorel";

// "05 Jan 12:00", the month from the short month names 330..341.
std::string shortDate(const DateTime& d, const TextProvider& texts) {
    char text[64];
    std::snprintf(text, sizeof text, "%02d %s %02d:%02d", d.day,
                  texts.text(329 + std::clamp(d.month, 1, 12)).c_str(), d.hour, d.minute);
    return text;
}

std::string withoutExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

} // namespace

std::string windowTitle(const Settings& settings, const WindStore& wind,
                        const TextProvider& texts) {
    const RoutingParameters& p = settings.routing;
    const std::string currents = texts.text(p.currents ? 378 : 379);
    const std::string polar = texts.text(245) + " " + withoutExtension(settings.polarName) + " (" +
                              std::to_string(p.power) + "%)";
    if (p.uniqueWind || wind.empty())
        return std::string(kProgram) + " - " + texts.text(190) + " - " + currents + " - " + polar;
    return std::string(kProgram) + " - " + settings.winds.grib + ": [" +
           shortDate(wind.startDate(), texts) + " - " + shortDate(wind.endDate(), texts) + "] - " +
           texts.text(184) + " " + std::to_string(p.variation) + "% - " + currents + " - " + polar;
}

} // namespace navorel::app

#include "app/status_texts.h"

#include "app/ocean_texts.h"
#include "core/position_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace navorel::app {

int beaufortForce(double knots) {
    const double v = knots / 1.852;
    return std::min(12, static_cast<int>(std::pow(v * v * 1.44, 0.33333)));
}

namespace {

std::string format(const char* pattern, double a, double b) {
    char text[96];
    std::snprintf(text, sizeof text, pattern, a, b);
    return text;
}

// The forecast's wind at a place at the time shown; false where it has none.
bool windHere(const AppData& data, const DisplayState& display, double lon, double lat,
              WindSample& w) {
    const auto sample = [&](float x) {
        return display.interpolated
                   ? windAt(data.wind, data.config.settings.routing, x, static_cast<float>(lat),
                            display.time)
                   : frameSample(data.wind, display.record, x, static_cast<float>(lat));
    };
    if (data.wind.empty() || display.record < 0 ||
        display.record >= static_cast<int>(data.wind.frames().size()))
        return false;
    w = sample(static_cast<float>(lon));
    // Grids across the date line hold their longitudes past 180.
    if (!w.found && lon < 0) w = sample(static_cast<float>(lon + 360));
    return w.found;
}

} // namespace

std::array<std::string, kStatusParts> statusTexts(const AppData& data, const DisplayState& display,
                                                  const StatusPlace& place) {
    std::array<std::string, kStatusParts> parts;
    const RoutingParameters& p = data.config.settings.routing;
    const TextProvider& texts = data.texts;
    if (place.known) parts[0] = formatPosition(place.lat, place.lon);
    const bool forecastCurrents = data.currents.mode() == 2;
    if (data.haveCurrents && (data.currents.activeField() || forecastCurrents)) {
        const CurrentSample c =
            place.known ? data.currents.currentAt(static_cast<float>(place.lon),
                                                  static_cast<float>(place.lat), display.time)
                        : CurrentSample{};
        if (c.found) {
            char text[64];
            // A current forecast has no tidal coefficient.
            if (forecastCurrents)
                std::snprintf(text, sizeof text, "%.0f\xC2\xB0 %.1fkt", c.direction, c.speed);
            else
                std::snprintf(text, sizeof text, "%.0f\xC2\xB0 %.1fkt (%.0f)", c.direction, c.speed,
                              c.coefficient);
            parts[1] = texts.text(217) + " " + text;
        } else {
            parts[1] = texts.text(218);
        }
    }
    // The wave height under the mouse, after the current.
    if (!data.oceanWaves.empty() && place.known) {
        const WaveSample w = data.oceanWaves.waveAt(static_cast<float>(place.lon),
                                                    static_cast<float>(place.lat), display.time);
        if (w.found) {
            char text[32];
            std::snprintf(text, sizeof text, "%.1f m", w.height);
            if (!parts[1].empty()) parts[1] += "  ";
            parts[1] += texts.text(kTextWaves) + " " + text;
        }
    }
    if (p.uniqueWind) {
        parts[2] = texts.text(219) + " " +
                   format("%.0f\xC2\xB0 %.0fkt (", p.windDirection, p.windForce) +
                   std::to_string(beaufortForce(p.windForce)) + " Bf)";
        parts[3] = texts.text(222);
    } else {
        WindSample w;
        if (place.known && windHere(data, display, place.lon, place.lat, w))
            parts[2] = format("%.0f\xC2\xB0 %.1fkt", w.direction, w.speed * p.variation / 100.0);
        else
            parts[2] = texts.text(220);
        const int count = static_cast<int>(data.wind.frames().size());
        if (count > 0)
            parts[3] = texts.text(221) + " " + std::to_string(display.record) + " / " +
                       std::to_string(count - 1);
    }
    static const char* const levels[5] = {"Gshhs [0 . . . .]", "Gshhs [. 1 . . .]",
                                          "Gshhs [. . 2 . .]", "Gshhs [. . . 3 .]",
                                          "Gshhs [. . . . 4]"};
    parts[4] = levels[std::clamp(place.shoreLevel, 0, 4)];
    parts[5] = place.gpsOpen ? "GPS On" : "GPS Off";
    if (place.gpsOpen && data.boat.valid) {
        char text[96];
        std::snprintf(text, sizeof text, " SOG: %.2f kt - ", data.boat.speed);
        parts[6] = texts.text(223) + text + texts.text(223) + " " +
                   format("%.0f \xC2\xB0", data.boat.course, 0);
        if (boatStale(data, place.now)) parts[6] += " - " + boatAgeLine(data, place.now);
    } else if (!place.gpsOpen && !place.gpsProblem.empty()) {
        parts[6] = texts.text(223) + ": " + place.gpsProblem;
        if (place.gpsRetryMs > 0) parts[6] += " - " + retryText(texts, place.gpsRetryMs);
    }
    return parts;
}

double boatAgeSeconds(const AppData& data, double now) {
    if (!data.boat.valid) return 0;
    return std::max(0.0, (now - data.boat.receivedAt) * 86400.0);
}

bool boatStale(const AppData& data, double now) {
    return data.boat.valid && (!data.gpsOpen || boatAgeSeconds(data, now) > kBoatStaleSeconds);
}

std::string ageText(double seconds) {
    const long whole = std::lround(std::max(0.0, seconds));
    char text[48];
    if (whole < 60)
        std::snprintf(text, sizeof text, "%ld s", whole);
    else if (whole < 3600)
        std::snprintf(text, sizeof text, "%ld min", whole / 60);
    else
        std::snprintf(text, sizeof text, "%ld h %02ld min", whole / 3600, whole / 60 % 60);
    return text;
}

std::string boatAgeLine(const AppData& data, double now) {
    return data.texts.text(480) + " " + ageText(boatAgeSeconds(data, now));
}

std::string retryText(const TextProvider& texts, int retryMs) {
    return texts.text(477) + " " + ageText((retryMs + 999) / 1000);
}

std::string routingProgressText(const TextProvider& texts, int fronts, double seconds,
                                double metresToGo) {
    const long long total = seconds > 0 ? static_cast<long long>(seconds) : 0;
    char time[48];
    if (total >= 3600)
        std::snprintf(time, sizeof time, "%lld:%02lld:%02lld", total / 3600, (total / 60) % 60,
                      total % 60);
    else
        std::snprintf(time, sizeof time, "%lld:%02lld", total / 60, total % 60);
    std::string text = texts.text(kTextIsochronesDone) + " " + std::to_string(fronts) + "   " +
                       texts.text(kTextRunTime) + " " + time;
    if (metresToGo >= 0) {
        char distance[48];
        std::snprintf(distance, sizeof distance, "%.1f M", metresToGo / kMetresPerNauticalMile);
        text += "   " + texts.text(kTextStillToGo) + " " + distance;
    }
    return text;
}

} // namespace navorel::app

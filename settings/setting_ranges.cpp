#include "settings/setting_ranges.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <type_traits>
#include <variant>

namespace navorel {

namespace {

using K = IniKind;
constexpr const char* W = "Window";
constexpr const char* M = "Map";
constexpr const char* T = "Toolbar";
constexpr const char* Wi = "Winds";
constexpr const char* C = "Currents";
constexpr const char* Ro = "Route";
constexpr const char* R = "Routing";
constexpr double kColor = 0xFFFFFF; // 24-bit colours
constexpr double kScreen = 1000000; // window places and sizes, pixels
constexpr double kIntMin = INT_MIN, kIntMax = INT_MAX;
// The chart shows at most 20000 pixels per degree (the wheel stops there), and keeps the screen
// x of longitude 0 within half a turn of the left edge and the equator within the Mercator
// ordinates of +-180 degrees: at the largest scale both stay within 180 x 20000 pixels. The
// shoreline levels change at scales of the same range.
constexpr double kMaxMapScale = 20000;
constexpr double kMapShift = 180 * kMaxMapScale;

// The routing keys bound what a run may cost: at most 180 headings a point, 9900 best-course
// steps, a scan of at most a few hundred runs.
constexpr SettingRange kRanges[] = {
    {W, "X", K::Int, -kScreen, kScreen},
    {W, "Y", K::Int, -kScreen, kScreen},
    {W, "Width", K::Int, 0, kScreen},
    {W, "Height", K::Int, 0, kScreen},
    {W, "ColorPanel", K::Int, 0, kColor},
    {W, "OpacityPanel", K::Int, 0, 255},
    {W, "FirstOpening", K::Bool, 0, 1},
    {W, "ResultsX", K::Int, -kScreen, kScreen},
    {W, "ResultsY", K::Int, -kScreen, kScreen},
    {W, "ParametersX", K::Int, -kScreen, kScreen},
    {W, "ParametersY", K::Int, -kScreen, kScreen},
    {W, "OptionsX", K::Int, -kScreen, kScreen},
    {W, "OptionsY", K::Int, -kScreen, kScreen},
    {"Com", "Port", K::Int, 0, 255},
    {"Com", "BaudRate", K::Int, 0, 4000000},
    {"Com", "Parity", K::Int, 0, 2},
    {"Com", "ShowBoat", K::Bool, 0, 1},
    {M, "Scale", K::Real, 1, kMaxMapScale},
    {M, "TransX", K::Real, -kMapShift, kMapShift},
    {M, "TransY", K::Real, -kMapShift, kMapShift},
    {M, "Zoom", K::Real, 1.1, 2.0},
    {M, "ShowLand", K::Bool, 0, 1},
    {M, "ShowShorelines", K::Bool, 0, 1},
    {M, "Factor0", K::Int, 0, kMaxMapScale},
    {M, "Factor1", K::Int, 0, kMaxMapScale},
    {M, "Factor2", K::Int, 0, kMaxMapScale},
    {M, "Factor3", K::Int, 0, kMaxMapScale},
    {M, "ColorCoast", K::Int, 0, kColor},
    {M, "ColorLand", K::Int, 0, kColor},
    {M, "ColorSea", K::Int, 0, kColor},
    {M, "ColorMapGrid", K::Int, 0, kColor},
    {M, "ColorCities", K::Int, 0, kColor},
    {M, "ShowCoastalCities", K::Bool, 0, 1},
    {M, "ShowLakeCities", K::Bool, 0, 1},
    {M, "ShowLakes", K::Bool, 0, 1},
    {M, "ShowCapitals", K::Bool, 0, 1},
    {M, "ShowMapGrid", K::Bool, 0, 1},
    {M, "FormatLatLon", K::Int, 0, 2},
    {T, "AlwaysVisible", K::Bool, 0, 1},
    {T, "Opacity", K::Int, 0, 255},
    {T, "Background", K::Int, 0, kColor},
    {T, "ShowTooltips", K::Bool, 0, 1},
    {T, "ColorTooltip", K::Int, 0, kColor},
    {T, "ColorTooltime1", K::Int, 0, kColor},
    {T, "ColorTooltime2", K::Int, 0, kColor},
    {T, "Sounds", K::Bool, 0, 1},
    {Wi, "ShowArrows", K::Bool, 0, 1},
    {Wi, "ShowSurfaceGradient", K::Bool, 0, 1},
    {Wi, "ShowSurfaceNoGradient", K::Bool, 0, 1},
    {Wi, "OneColorPerKnot", K::Bool, 0, 1},
    {Wi, "ShowScale", K::Bool, 0, 1},
    {Wi, "ShowZones", K::Bool, 0, 1},
    {Wi, "ColorZones", K::Int, 0, kColor},
    {Wi, "Variation", K::Int, 1, 300},
    {Wi, "Lag", K::Int, -24, 24},
    {Wi, "ThicknessArrowBlack", K::Real, 0, 100},
    {Wi, "ThicknessArrowColored", K::Real, 0, 100},
    {Wi, "SpaceBetweenArrows", K::Int, 1, 10000},
    {Wi, "LengthArrow", K::Int, 0, 10000},
    {Wi, "LengthBarb", K::Int, 0, 10000},
    {Wi, "ShowWindBarbs", K::Bool, 0, 1},
    {Wi, "ArrowCentered", K::Bool, 0, 1},
    {C, "StreamProvider", K::Int, 0, 2},
    {C, "ShowArrows", K::Bool, 0, 1},
    {C, "ShowZones", K::Bool, 0, 1},
    {C, "ShowScale", K::Bool, 0, 1},
    {C, "ColorZones", K::Int, 0, kColor},
    {C, "ShowTides", K::Bool, 0, 1},
    {C, "ColorTides", K::Int, 0, kColor},
    {"Tss", "Color", K::Int, 0, kColor},
    {"Waypoints", "Type", K::Int, 0, 2},
    {"Waypoints", "Color", K::Int, 0, kColor},
    {"Waypoints", "Show", K::Bool, 0, 1},
    {"Barriers", "Color", K::Int, 0, kColor},
    {"Polar", "Power", K::Int, 1, 200},
    {Ro, "Point0X", K::Real, -1e9, 1e9},
    {Ro, "Point0Y", K::Real, -1e9, 1e9},
    {Ro, "Magnet", K::Bool, 0, 1},
    {Ro, "Color", K::Int, 0, kColor},
    {Ro, "Thickness", K::Int, 0, 100},
    {Ro, "StraitSegment", K::Int, 1, 10000},
    {Ro, "MinLength", K::Int, 0, 100000},
    {Ro, "MaxLength", K::Int, 0, 100000},
    {R, "FromBoat", K::Bool, 0, 1},
    {R, "Method", K::Int, 0, 1},
    {R, "Timestep", K::Int, 1, 1440},
    {R, "TimestepAuto", K::Bool, 0, 1},
    {R, "Quality", K::Int, 0, 4},
    {R, "Search", K::Int, 0, 1},
    {R, "Refine", K::Bool, 0, 1},
    {R, "MaxIterations", K::Int, 100, 9900},
    {R, "TimestepMax", K::Int, 1, 1440},
    {R, "Currents", K::Bool, 0, 1},
    {R, "CounterCurrent", K::Bool, 0, 1},
    {R, "AvoidCoasts", K::Bool, 0, 1},
    {R, "CoastsQuality", K::Int, 0, 4},
    {R, "AvoidBarriers", K::Bool, 0, 1},
    {R, "AvoidTss", K::Bool, 0, 1},
    {R, "NbInitialAngles", K::Int, 3, 180},
    {R, "InitialAngles", K::Int, 1, 60},
    {R, "NbFurtherAngles", K::Int, 3, 180},
    {R, "FurtherAngles", K::Int, 1, 60},
    {R, "AutoNbInitialAngles", K::Int, 3, 180},
    {R, "AutoInitialAngles", K::Int, 1, 60},
    {R, "AutoNbFurtherAngles", K::Int, 3, 180},
    {R, "AutoFurtherAngles", K::Int, 1, 60},
    {R, "PruneDistance", K::Int, 0, 100000},
    {R, "Ellipse", K::Bool, 0, 1},
    {R, "Excentricity", K::Int, 25, 75},
    {R, "TackLossSpeed", K::Int, 0, 100},
    {R, "TackDuration", K::Int, 0, 3600},
    {R, "Engine", K::Bool, 0, 1},
    {R, "LowSpeed", K::Real, 0, 100},
    {R, "EngineSpeed", K::Real, 0, 100},
    {R, "EngineConsumption", K::Real, 0, 10000},
    {R, "NoRoutingOutside", K::Bool, 0, 1},
    {R, "WindMin", K::Int, 0, 200},
    {R, "WindMax", K::Int, 0, 200},
    {R, "WindMaxUpwind", K::Int, 0, 200},
    {R, "WindMaxDownwind", K::Int, 0, 200},
    {R, "GustMax", K::Int, 0, 200},
    {R, "WaveMax", K::Real, 0, 30},
    {R, "UniqueWind", K::Bool, 0, 1},
    {R, "WindForce", K::Int, 0, 200},
    {R, "WindDirection", K::Int, 0, 360},
    {R, "SeaState", K::Bool, 0, 1},
    {R, "SeaStateUp", K::Int, 1, 200},
    {R, "SeaStateDown", K::Int, 1, 200},
    {R, "ColorRouting", K::Int, 0, kColor},
    {R, "ColorSailing", K::Int, 0, kColor},
    {R, "ColorEngine", K::Int, 0, kColor},
    {R, "ColorIsochron", K::Int, 0, kColor},
    {R, "ColorSegment", K::Int, 0, kColor},
    {R, "ColorEllipse", K::Int, 0, kColor},
    {R, "ShowPanels", K::Bool, 0, 1},
    {R, "RenderMode", K::Int, 0, 9},
    {R, "RenderAfter", K::Bool, 0, 1},
    {R, "ShowIsochrones", K::Bool, 0, 1},
    {R, "ShowSegments", K::Bool, 0, 1},
    {R, "ShowEllipse", K::Bool, 0, 1},
    {R, "ShowHours", K::Bool, 0, 1},
    {R, "ShowResults", K::Bool, 0, 1},
    {R, "ScanningsBlack", K::Bool, 0, 1},
    {R, "Thickness", K::Real, 0, 100},
    {R, "ScanPolar", K::Bool, 0, 1},
    {R, "ScanWind", K::Bool, 0, 1},
    {R, "ScanStart", K::Bool, 0, 1},
    {R, "ScanForecasts", K::Bool, 0, 1},
    {R, "MinPolar", K::Int, 1, 200},
    {R, "MaxPolar", K::Int, 1, 200},
    {R, "StepPolar", K::Int, 1, 200},
    {R, "MinWind", K::Int, 1, 300},
    {R, "MaxWind", K::Int, 1, 300},
    {R, "StepWind", K::Int, 1, 300},
    {R, "MinStart", K::Int, -168, 168},
    {R, "MaxStart", K::Int, -168, 168},
    {R, "StepStart", K::Int, 1, 336},
    {R, "ScanPolars", K::Bool, 0, 1},
    {R, "Polar1", K::Bool, 0, 1},
    {R, "Polar2", K::Bool, 0, 1},
    {R, "Polar3", K::Bool, 0, 1},
    {R, "IRC1", K::Real, 0.01, 100},
    {R, "IRC2", K::Real, 0.01, 100},
    {R, "IRC3", K::Real, 0.01, 100},
    {"Version", "Log", K::Bool, 0, 1},
    {"Version", "Build", K::Int, kIntMin, kIntMax},
};

std::string number(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.10g", v);
    return buffer;
}

bool isWholeNumberText(std::string_view text) {
    std::size_t i = text.empty() || (text[0] != '-' && text[0] != '+') ? 0 : 1;
    if (i == text.size()) return false;
    for (; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

} // namespace

std::span<const SettingRange> settingRanges() {
    return kRanges;
}

const SettingRange* findSettingRange(std::string_view section, std::string_view key) {
    for (const SettingRange& r : kRanges)
        if (iniNameEquals(r.section, section) && iniNameEquals(r.key, key)) return &r;
    return nullptr;
}

std::string rangeText(const SettingRange& r) {
    if (r.kind == IniKind::Bool) return "0 or 1";
    return "from " + number(r.min) + " to " + number(r.max);
}

bool parseSettingValue(const SettingRange& r, std::string_view text, double& value,
                       std::string& error) {
    const std::string what = std::string(r.section) + "." + r.key + " takes " +
                             (r.kind == IniKind::Real  ? "a number "
                              : r.kind == IniKind::Int ? "a whole number "
                                                       : "") +
                             rangeText(r) + ", not '" + std::string(text) + "'";
    double v = 0;
    if (r.kind == IniKind::Real) {
        const std::string s(text);
        char* end = nullptr;
        v = s.empty() ? NAN : std::strtod(s.c_str(), &end);
        if (!end || *end != '\0' || !std::isfinite(v)) v = NAN;
    } else if (isWholeNumberText(text)) {
        long long whole = 0;
        const char* first = text.data() + (text[0] == '+' ? 1 : 0);
        const auto [ptr, ec] = std::from_chars(first, text.data() + text.size(), whole);
        v = ec == std::errc() && ptr == text.data() + text.size() ? static_cast<double>(whole)
                                                                  : NAN;
    } else {
        v = NAN;
    }
    if (!(v >= r.min && v <= r.max)) {
        error = what;
        return false;
    }
    value = v;
    return true;
}

bool clampToRange(const IniBinding& binding) {
    const SettingRange* r = findSettingRange(binding.section, binding.key);
    if (!r || binding.kind == IniKind::Text) return false;
    const double held = heldNumber(binding.target);
    double v = held;
    if (std::isnan(v)) v = binding.fallback;
    if (v < r->min) v = r->min;
    if (v > r->max) v = r->max;
    if (v == held) return false;
    storeNumber(binding.target, v);
    return true;
}

} // namespace navorel

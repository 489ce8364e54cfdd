#include "routing/routing_parameters.h"

#include "settings/setting_ranges.h"

namespace navorel {

std::vector<RoutingBinding> routingParameterBindings(RoutingParameters& p) {
    using K = IniKind;
    const auto field = [](const char* section, const char* key, K kind, IniTarget target,
                          double fallback, bool configOnly = false) {
        return RoutingBinding{IniBinding{section, key, kind, target, fallback}, configOnly};
    };
    constexpr const char* R = "Routing";
    std::vector<RoutingBinding> list = {
        field(R, "FromBoat", K::Bool, &p.fromBoat, 0),
        field(R, "Timestep", K::Int, &p.timestep, 15),
        field(R, "TimestepAuto", K::Bool, &p.timestepAuto, 0),
        field(R, "MaxIterations", K::Int, &p.maxIterations, 1000),
        field(R, "Method", K::Int, &p.method, 0),
        field(R, "NbInitialAngles", K::Int, &p.nbInitialAngles, 5),
        field(R, "InitialAngles", K::Int, &p.initialAngles, 10),
        field(R, "NbFurtherAngles", K::Int, &p.nbFurtherAngles, 5),
        field(R, "FurtherAngles", K::Int, &p.furtherAngles, 3),
        field(R, "PruneDistance", K::Int, &p.pruneDistance, 500),
        field(R, "AutoNbInitialAngles", K::Int, &p.autoNbInitialAngles, 35, true),
        field(R, "AutoInitialAngles", K::Int, &p.autoInitialAngles, 5, true),
        field(R, "AutoNbFurtherAngles", K::Int, &p.autoNbFurtherAngles, 17, true),
        field(R, "AutoFurtherAngles", K::Int, &p.autoFurtherAngles, 7, true),
        field(R, "Ellipse", K::Bool, &p.ellipse, 1),
        field(R, "Excentricity", K::Int, &p.excentricity, 75),
        field(R, "Quality", K::Int, &p.quality, 3),
        field(R, "Search", K::Int, &p.search, 0),
        field(R, "Refine", K::Bool, &p.refine, 0),
        field("Currents", "StreamProvider", K::Int, &p.streamProvider, 0),
        field(R, "Currents", K::Bool, &p.currents, 1),
        field(R, "CounterCurrent", K::Bool, &p.counterCurrent, 0),
        field(R, "AvoidCoasts", K::Bool, &p.avoidCoasts, 1),
        field(R, "CoastsQuality", K::Int, &p.coastsQuality, 2),
        field(R, "AvoidBarriers", K::Bool, &p.avoidBarriers, 1),
        field(R, "AvoidTss", K::Bool, &p.avoidTss, 0),
        field("Polar", "Power", K::Int, &p.power, 100),
        field(R, "TackLossSpeed", K::Int, &p.tackLossSpeed, 70),
        field(R, "TackDuration", K::Int, &p.tackDuration, 30),
        field(R, "Engine", K::Bool, &p.engine, 1),
        field(R, "LowSpeed", K::Real, &p.lowSpeed, 4),
        field(R, "EngineSpeed", K::Real, &p.engineSpeed, 4.85),
        field(R, "EngineConsumption", K::Real, &p.engineConsumption, 1.5),
        field(R, "NoRoutingOutside", K::Bool, &p.noRoutingOutside, 1),
        field(R, "SeaState", K::Bool, &p.seaState, 0),
        field(R, "SeaStateUp", K::Int, &p.seaStateUp, 100),
        field(R, "SeaStateDown", K::Int, &p.seaStateDown, 100),
        field("Winds", "Variation", K::Int, &p.variation, 100),
        field("Winds", "Lag", K::Int, &p.lag, 0),
        field(R, "WindMin", K::Int, &p.windMin, 0),
        field(R, "WindMax", K::Int, &p.windMax, 60),
        field(R, "WindMaxUpwind", K::Int, &p.windMaxUpwind, 0),
        field(R, "WindMaxDownwind", K::Int, &p.windMaxDownwind, 0),
        field(R, "GustMax", K::Int, &p.gustMax, 0),
        field(R, "WaveMax", K::Real, &p.waveMax, 0),
        field(R, "UniqueWind", K::Bool, &p.uniqueWind, 0),
        field(R, "WindForce", K::Int, &p.windForce, 10),
        field(R, "WindDirection", K::Int, &p.windDirection, 270),
        field("Route", "StraitSegment", K::Int, &p.straitSegment, 60, true),
        field(R, "ScanPolar", K::Bool, &p.scanPolar, 1),
        field(R, "ScanWind", K::Bool, &p.scanWind, 0),
        field(R, "ScanStart", K::Bool, &p.scanStart, 0),
        field(R, "ScanForecasts", K::Bool, &p.scanForecasts, 1),
        field(R, "MinPolar", K::Int, &p.minPolar, 80),
        field(R, "MaxPolar", K::Int, &p.maxPolar, 100),
        field(R, "StepPolar", K::Int, &p.stepPolar, 5),
        field(R, "MinWind", K::Int, &p.minWind, 90),
        field(R, "MaxWind", K::Int, &p.maxWind, 110),
        field(R, "StepWind", K::Int, &p.stepWind, 5),
        field(R, "MinStart", K::Int, &p.minStart, -3),
        field(R, "MaxStart", K::Int, &p.maxStart, 3),
        field(R, "StepStart", K::Int, &p.stepStart, 1),
        field(R, "ScanPolars", K::Bool, &p.scanPolars, 0, true),
    };
    static const char* const names[3] = {"PolarName1", "PolarName2", "PolarName3"};
    static const char* const ratings[3] = {"IRC1", "IRC2", "IRC3"};
    static const char* const used[3] = {"Polar1", "Polar2", "Polar3"};
    for (int i = 0; i < 3; ++i)
        list.push_back(field(R, names[i], K::Text, &p.polarName[i], 0, true));
    for (int i = 0; i < 3; ++i) list.push_back(field(R, ratings[i], K::Real, &p.irc[i], 1, true));
    for (int i = 0; i < 3; ++i) list.push_back(field(R, used[i], K::Bool, &p.polarOn[i], 0, true));
    const RoutingBinding display[] = {
        field(R, "RenderMode", K::Int, &p.renderMode, 2),
        field(R, "RenderAfter", K::Bool, &p.renderAfter, 1),
        field(R, "ShowIsochrones", K::Bool, &p.showIsochrones, 1),
        field(R, "ShowSegments", K::Bool, &p.showSegments, 1),
        field(R, "ShowEllipse", K::Bool, &p.showEllipse, 1),
        field(R, "ShowHours", K::Bool, &p.showHours, 1),
        field(R, "ShowResults", K::Bool, &p.showResults, 1),
        field(R, "ScanningsBlack", K::Bool, &p.scanningsBlack, 1),
        field(R, "Thickness", K::Real, &p.thickness, 5),
    };
    list.insert(list.end(), std::begin(display), std::end(display));
    return list;
}

void readRoutingParameters(const IniFile& ini, RoutingParameters& p, RoutingKeys keys) {
    for (const RoutingBinding& b : routingParameterBindings(p))
        if (keys == RoutingKeys::All || !b.configOnly) readBinding(ini, b.binding);
}

void writeRoutingParameters(IniFile& ini, const RoutingParameters& p, RoutingKeys keys) {
    RoutingParameters fields = p;
    for (const RoutingBinding& b : routingParameterBindings(fields))
        if (keys == RoutingKeys::All || !b.configOnly) writeBinding(ini, b.binding);
}

bool loadRoutingDefaults(const std::string& path, RoutingParameters& p, std::string& error) {
    IniFile ini;
    if (!ini.load(path, error)) return false;
    readRoutingParameters(ini, p, RoutingKeys::DefaultsOnly);
    // A stored value outside its range is brought into it, as Config.ini's are.
    for (const RoutingBinding& b : routingParameterBindings(p))
        if (!b.configOnly) clampToRange(b.binding);
    return true;
}

} // namespace navorel

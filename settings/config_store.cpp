#include "settings/config_store.h"

#include "settings/setting_ranges.h"

#include <cstdlib>
#include <filesystem>

namespace navorel {
namespace {

namespace fs = std::filesystem;

bool isDirectory(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

} // namespace

std::string folderPath(const std::string& programFolder, const std::string& folderSetting) {
    if (folderSetting.empty()) return programFolder + "/";
    if (std::filesystem::path(folderSetting).is_absolute()) return folderSetting;
    return programFolder + "/" + folderSetting;
}

ProgramPaths makeProgramPaths(const std::string& programFolder) {
    ProgramPaths p;
    // Absolute, so that the folder settings built from it stay right whatever the current
    // directory is when they are used.
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(programFolder, ec);
    std::string f =
        ec || programFolder.empty() ? programFolder : absolute.lexically_normal().string();
    while (f.size() > 1 && f.back() == '/') f.pop_back();
    p.programFolder = f;
    p.configFile = f + "/Config.ini";
    p.currentsFolder = f + "/Currents/";
    p.tssFolder = f + "/Data/Tss/";
    p.gshhsFolder = f + "/Data/Gshhs/";
    p.routeFile = f + "/Data/Route.gpx";
    p.waypointFile = f + "/Data/Waypoints.gpx";
    p.citiesFile = f + "/Data/Cities/Cities.txt";
    p.barrierFile = f + "/Data/Barriers.gpx";
    p.tssFile = f + "/Data/Tss.xml";
    p.languagesFolder = f + "/Data/Languages/";
    p.languagePattern = f + "/Data/Languages/*.txt";
    p.barriersFolder = f + "/Barriers/";
    p.defaultGribsFolder = f + "/Gribs/";
    p.defaultPolarsFolder = f + "/Polars/";
    p.defaultRoutesFolder = f + "/Routes/";
    p.defaultWaypointsFolder = f + "/Waypoints/";
    p.logFile = f + "/Data/Log.txt";
    p.routingDefaults = f + "/Data/Default.ini";
    return p;
}

std::string defaultProgramFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data) return std::string(data) + "/navorel";
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.local/share/navorel";
    return {};
}

std::string currentProgramFolder() {
    std::error_code ec;
    const fs::path here = fs::current_path(ec);
    return ec ? std::string(".") : here.string();
}

std::vector<IniBinding> ConfigStore::bindings() {
    using K = IniKind;
    Settings& s = settings;
    RoutingParameters& rp = s.routing;
    const std::vector<RoutingBinding> routing = routingParameterBindings(rp);
    // The routing record's own binding of a key, with the fallback Config.ini uses.
    const auto r = [&routing](const char* section, const char* key) {
        for (const RoutingBinding& b : routing)
            if (iniNameEquals(b.binding.section, section) && iniNameEquals(b.binding.key, key)) {
                IniBinding copy = b.binding;
                if (iniNameEquals(key, "RenderMode")) copy.fallback = 4;
                return copy;
            }
        return IniBinding{section, key, K::Int, static_cast<int*>(nullptr)};
    };
    const auto text = [](const char* section, const char* key, std::string* target,
                         std::string fallback) {
        return IniBinding{section, key, K::Text, target, 0, std::move(fallback)};
    };
    const auto readOnly = [](IniBinding b) {
        b.readOnly = true;
        return b;
    };
    constexpr const char* W = "Window";
    constexpr const char* M = "Map";
    constexpr const char* T = "Toolbar";
    constexpr const char* Wi = "Winds";
    constexpr const char* C = "Currents";
    constexpr const char* Ro = "Route";
    constexpr const char* R = "Routing";
    std::vector<IniBinding> list = {
        text("Folders", "Initial", &s.folders.initial, ""),
        text("Folders", "Gribs", &s.folders.gribs, paths.defaultGribsFolder),
        text("Folders", "Polars", &s.folders.polars, paths.defaultPolarsFolder),
        text("Folders", "Routes", &s.folders.routes, paths.defaultRoutesFolder),
        text("Folders", "Waypoints", &s.folders.waypoints, paths.defaultWaypointsFolder),
        {W, "X", K::Int, &s.window.x, 0},
        {W, "Y", K::Int, &s.window.y, 0},
        {W, "Width", K::Int, &s.window.width, 0},
        {W, "Height", K::Int, &s.window.height, 0},
        {W, "ColorPanel", K::Int, &s.window.colorPanel, 0},
        {W, "OpacityPanel", K::Int, &s.window.opacityPanel, 0},
        {W, "FirstOpening", K::Bool, &s.window.firstOpening, 1},
        text(W, "Language", &s.window.language, "English"),
        {W, "ResultsX", K::Int, &s.window.resultsX, 0},
        {W, "ResultsY", K::Int, &s.window.resultsY, 0},
        {W, "ParametersX", K::Int, &s.window.parametersX, 0},
        {W, "ParametersY", K::Int, &s.window.parametersY, 0},
        {W, "OptionsX", K::Int, &s.window.optionsX, 0},
        {W, "OptionsY", K::Int, &s.window.optionsY, 0},
        {"Com", "Port", K::Int, &s.com.port, 1},
        text("Com", "Device", &s.com.device, ""),
        {"Com", "BaudRate", K::Int, &s.com.baudRate, 4800},
        {"Com", "Parity", K::Int, &s.com.parity, 0},
        {"Com", "ShowBoat", K::Bool, &s.com.showBoat, 1},
        {M, "Scale", K::Real, &s.map.scale, 100},
        {M, "TransX", K::Real, &s.map.transX, 700},
        {M, "TransY", K::Real, &s.map.transY, 5200},
        {M, "Zoom", K::Real, &s.map.zoom, 1.2},
        {M, "ShowLand", K::Bool, &s.map.showLand, 1},
        {M, "ShowShorelines", K::Bool, &s.map.showShorelines, 1},
        {M, "Factor0", K::Int, &s.map.factor0, 10},
        {M, "Factor1", K::Int, &s.map.factor1, 50},
        {M, "Factor2", K::Int, &s.map.factor2, 300},
        {M, "Factor3", K::Int, &s.map.factor3, 500},
        {M, "ColorCoast", K::Int, &s.map.colorCoast, 255},
        {M, "ColorLand", K::Int, &s.map.colorLand, 9821695},
        {M, "ColorSea", K::Int, &s.map.colorSea, 15913117},
        {M, "ColorMapGrid", K::Int, &s.map.colorMapGrid, 15913117},
        {M, "ColorCities", K::Int, &s.map.colorCities, 15913117},
        {M, "ShowCoastalCities", K::Bool, &s.map.showCoastalCities, 1},
        {M, "ShowLakeCities", K::Bool, &s.map.showLakeCities, 0},
        {M, "ShowLakes", K::Bool, &s.map.showLakes, 0},
        {M, "ShowCapitals", K::Bool, &s.map.showCapitals, 0},
        {M, "ShowMapGrid", K::Bool, &s.map.showMapGrid, 0},
        {M, "FormatLatLon", K::Int, &s.map.formatLatLon, 0},
        {T, "AlwaysVisible", K::Bool, &s.toolbar.alwaysVisible, 0},
        {T, "Opacity", K::Int, &s.toolbar.opacity, 0},
        {T, "Background", K::Int, &s.toolbar.background, 0},
        {T, "ShowTooltips", K::Bool, &s.toolbar.showTooltips, 1},
        {T, "ColorTooltip", K::Int, &s.toolbar.colorTooltip, 0},
        {T, "ColorTooltime1", K::Int, &s.toolbar.colorTooltime1, 0},
        {T, "ColorTooltime2", K::Int, &s.toolbar.colorTooltime2, 0},
        {T, "Sounds", K::Bool, &s.toolbar.sounds, 1},
        text(Wi, "Grib", &s.winds.grib, ""),
        text(Wi, "Colors", &s.winds.colors, "Winds10.txt"),
        {Wi, "ShowArrows", K::Bool, &s.winds.showArrows, 0},
        {Wi, "ShowSurfaceGradient", K::Bool, &s.winds.showSurfaceGradient, 0},
        {Wi, "ShowSurfaceNoGradient", K::Bool, &s.winds.showSurfaceNoGradient, 0},
        {Wi, "OneColorPerKnot", K::Bool, &s.winds.oneColorPerKnot, 1},
        {Wi, "ShowScale", K::Bool, &s.winds.showScale, 0},
        {Wi, "ShowZones", K::Bool, &s.winds.showZones, 0},
        {Wi, "ColorZones", K::Int, &s.winds.colorZones, 0},
        r(Wi, "Variation"),
        r(Wi, "Lag"),
        {Wi, "ThicknessArrowBlack", K::Real, &s.winds.thicknessArrowBlack, 1},
        {Wi, "ThicknessArrowColored", K::Real, &s.winds.thicknessArrowColored, 2},
        {Wi, "SpaceBetweenArrows", K::Int, &s.winds.spaceBetweenArrows, 50},
        {Wi, "LengthArrow", K::Int, &s.winds.lengthArrow, 15},
        {Wi, "LengthBarb", K::Int, &s.winds.lengthBarb, 10},
        {Wi, "ShowWindBarbs", K::Bool, &s.winds.showWindBarbs, 1},
        {Wi, "ArrowCentered", K::Bool, &s.winds.arrowCentered, 1},
        r(C, "StreamProvider"),
        {C, "ShowArrows", K::Bool, &s.currents.showArrows, 0},
        {C, "ShowZones", K::Bool, &s.currents.showZones, 0},
        {C, "ShowScale", K::Bool, &s.currents.showScale, 0},
        {C, "ColorZones", K::Int, &s.currents.colorZones, 0},
        {C, "ShowTides", K::Bool, &s.currents.showTides, 0},
        {C, "ColorTides", K::Int, &s.currents.colorTides, 0},
        {"Tss", "Color", K::Int, &s.tssColor, 0},
        {"Waypoints", "Type", K::Int, &s.waypoints.type, 0},
        {"Waypoints", "Color", K::Int, &s.waypoints.color, 0},
        {"Waypoints", "Show", K::Bool, &s.waypoints.show, 0},
        {"Barriers", "Color", K::Int, &s.barrierColor, 0},
        // Read as "name", written as "Name": the match ignores case.
        text("Polar", "Name", &s.polarName, ""),
        r("Polar", "Power"),
        {Ro, "Point0X", K::Real, &s.route.point0X, 0},
        {Ro, "Point0Y", K::Real, &s.route.point0Y, 0},
        {Ro, "Magnet", K::Bool, &s.route.magnet, 0},
        {Ro, "Color", K::Int, &s.route.color, 0},
        {Ro, "Thickness", K::Int, &s.route.thickness, 2},
        r(Ro, "StraitSegment"),
        readOnly({Ro, "MinLength", K::Int, &s.route.minLength, 1}),
        readOnly({Ro, "MaxLength", K::Int, &s.route.maxLength, 5000}),
    };
    for (const char* key : {"FromBoat", "Method", "Timestep", "TimestepAuto", "Quality", "Search",
                            "Refine", "MaxIterations"})
        list.push_back(r(R, key));
    list.push_back({R, "TimestepMax", K::Int, &s.routingDisplay.timestepMax, 60});
    for (const char* key :
         {"Currents", "CounterCurrent", "AvoidCoasts", "CoastsQuality", "AvoidBarriers", "AvoidTss",
          "NbInitialAngles", "InitialAngles", "NbFurtherAngles", "FurtherAngles"})
        list.push_back(r(R, key));
    for (const char* key :
         {"AutoNbInitialAngles", "AutoInitialAngles", "AutoNbFurtherAngles", "AutoFurtherAngles"})
        list.push_back(readOnly(r(R, key)));
    for (const char* key :
         {"PruneDistance", "Ellipse",   "Excentricity",  "TackLossSpeed",     "TackDuration",
          "Engine",        "LowSpeed",  "EngineSpeed",   "EngineConsumption", "NoRoutingOutside",
          "WindMin",       "WindMax",   "WindMaxUpwind", "WindMaxDownwind",   "GustMax",
          "UniqueWind",    "WindForce", "WindDirection", "SeaState",          "SeaStateUp",
          "SeaStateDown"})
        list.push_back(r(R, key));
    list.push_back(r(R, "WaveMax"));
    const IniBinding display[] = {
        {R, "ColorRouting", K::Int, &s.routingDisplay.colorRouting, 0},
        {R, "ColorSailing", K::Int, &s.routingDisplay.colorSailing, 0},
        {R, "ColorEngine", K::Int, &s.routingDisplay.colorEngine, 0},
        {R, "ColorIsochron", K::Int, &s.routingDisplay.colorIsochron, 0},
        {R, "ColorSegment", K::Int, &s.routingDisplay.colorSegment, 0},
        {R, "ColorEllipse", K::Int, &s.routingDisplay.colorEllipse, 0},
        {R, "ShowPanels", K::Bool, &s.routingDisplay.showPanels, 0},
    };
    list.insert(list.end(), std::begin(display), std::end(display));
    for (const char* key :
         {"RenderMode", "RenderAfter", "ShowIsochrones", "ShowSegments", "ShowEllipse",
          "ShowHours",  "ShowResults", "ScanningsBlack", "Thickness",    "ScanPolar",
          "ScanWind",   "ScanStart",   "ScanForecasts",  "MinPolar",     "MaxPolar",
          "StepPolar",  "MinWind",     "MaxWind",        "StepWind",     "MinStart",
          "MaxStart",   "StepStart",   "ScanPolars",     "Polar1",       "PolarName1",
          "IRC1",       "Polar2",      "PolarName2",     "IRC2",         "Polar3",
          "PolarName3", "IRC3"})
        list.push_back(r(R, key));
    list.push_back(readOnly({"Version", "Log", K::Bool, &s.version.log, 1}));
    list.push_back(readOnly({"Version", "Build", K::Int, &s.version.build, 0}));
    return list;
}

bool ConfigStore::findBinding(std::string_view section, std::string_view key, IniBinding& binding) {
    for (const IniBinding& b : bindings())
        if (iniNameEquals(b.section, section) && iniNameEquals(b.key, key)) {
            binding = b;
            return true;
        }
    return false;
}

bool ConfigStore::load(const std::string& programFolder, StartupLog* log, std::string& error) {
    paths = makeProgramPaths(programFolder);
    IniFile ini;
    if (!ini.load(paths.configFile, error)) return false;
    Settings& s = settings;

    readBinding(ini, {"Version", "Log", IniKind::Bool, &s.version.log, 1});
    if (log) {
        log->open(paths.logFile, s.version.log);
        log->start();
        log->step("Init parameters");
    }

    // A different (or missing) Initial means the program was installed or moved: the user
    // folders go back to their defaults and the language is chosen again.
    s.folders.initial = ini.readText("Folders", "Initial");
    const bool moved = s.folders.initial != paths.programFolder;
    if (moved) {
        if (log) log->step("First opening");
        s.window.firstOpening = true;
    }
    const std::vector<IniBinding> list = bindings();
    for (const IniBinding& b : list) {
        if (!iniNameEquals(b.section, "Folders") || iniNameEquals(b.key, "Initial")) continue;
        std::string& folder = *std::get<std::string*>(b.target);
        folder = b.fallbackText;
        if (moved) continue;
        readBinding(ini, b);
        if (!isDirectory(folder)) folder = b.fallbackText;
    }

    s.version.build = ini.readInt("Version", "Build", 0);
    if (log) log->build(s.version.build);

    for (const IniBinding& b : list) {
        if (iniNameEquals(b.section, "Folders") || iniNameEquals(b.section, "Version")) continue;
        if (moved && iniNameEquals(b.section, "Window") && iniNameEquals(b.key, "FirstOpening"))
            continue;
        readBinding(ini, b);
        // A stored value outside its range is brought into it: the file keeps working and
        // cannot make a routing run without end.
        clampToRange(b);
    }
    // Constant wind has no forecast grid to outline.
    if (s.routing.uniqueWind) s.winds.showZones = false;

    if (log) log->step("Parameters = OK");
    return true;
}

bool ConfigStore::save(std::string& error) {
    if (paths.configFile.empty()) {
        error = "the settings were never loaded";
        return false;
    }
    // Re-read the file as it is now, so that edits made while the program ran and every
    // section or comment this store does not own are kept.
    IniFile ini;
    if (!ini.load(paths.configFile, error)) return false;
    settings.folders.initial = paths.programFolder;
    for (const IniBinding& b : bindings())
        if (!b.readOnly) writeBinding(ini, b);
    return ini.save(paths.configFile, error);
}

} // namespace navorel

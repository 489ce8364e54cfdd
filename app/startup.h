#pragma once
// Everything the desktop program loads at start-up from its program folder, and the routing
// run built on it. Qt-free so the window, the screenshot path and the tests share it.
#include "geo/barrier.h"
#include "geo/shoreline_store.h"
#include "render/map_view.h"
#include "routing/obstacles.h"
#include "routing/polar.h"
#include "routing/routing_run.h"
#include "routing/user_route.h"
#include "settings/config_store.h"
#include "settings/language_table.h"
#include "settings/startup_log.h"
#include "weather/current_field.h"
#include "weather/tide_harmonics.h"
#include "weather/wind_sampler.h"
#include "weather/wind_store.h"

#include <memory>
#include <string>

namespace navorel::app {

struct AppData {
    std::string folder;
    StartupLog log;
    ConfigStore config;
    LanguageTable texts;
    std::unique_ptr<ShorelineStore> drawingShore;
    std::unique_ptr<ShorelineStore> routingShore;
    std::unique_ptr<ShorelineStore> finestShore; // waypoint land test
    std::unique_ptr<StoreCrossings> finestTests;
    std::unique_ptr<StoreCrossings> crossings;
    TideHarmonics tides;
    CurrentProvider currents;
    bool haveCurrents = false;
    UserRoute route;
    BarrierList barriers;
    WindStore wind;
    WindCoverage coverage;
    std::unique_ptr<StoreWindField> windField;
    Polar polar;
};

// The folder to run from: `given` when not empty; otherwise the per-user folder, filled from
// `distFolder` on first run (when it has no Config.ini). False with a message when no folder
// can be had.
bool chooseProgramFolder(const std::string& given, const std::string& distFolder,
                         std::string& folder, std::string& error);

// Loads the configuration, the language, the shorelines, tides and currents, the route, the
// barriers, the wind and the polar, logging each step. False with the message to show.
bool startUp(const std::string& folder, AppData& data, std::string& error);

// A routing run over the loaded data, as the start command makes it; `control` and the
// callback are the caller's.
RunSetup makeRunSetup(AppData& data, RunControl& control, FrontCallback afterFront);

// The box around the user route's waypoints; false for fewer than two.
bool routeBox(const UserRoute& route, GeoBox& box);

} // namespace navorel::app

#pragma once
// Everything the desktop program loads at start-up from its program folder, and the routing
// run built on it. Qt-free so the window, the screenshot path and the tests share it.
#include "geo/barriers.h"
#include "geo/cities.h"
#include "geo/shoreline_store.h"
#include "geo/tss.h"
#include "geo/waypoints.h"
#include "render/map_view.h"
#include "routing/obstacles.h"
#include "routing/polar.h"
#include "routing/routing_run.h"
#include "routing/user_route.h"
#include "routing/wave_table.h"
#include "settings/config_store.h"
#include "settings/language_table.h"
#include "settings/startup_log.h"
#include "weather/color_table.h"
#include "weather/current_field.h"
#include "weather/ocean_fields.h"
#include "weather/forecast_set.h"
#include "weather/tide_harmonics.h"
#include "weather/wind_sampler.h"
#include "weather/wind_store.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace navorel::app {

class GpsLink;

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
    // The routing's level read again for the chart, which leaves out isochrone segments that
    // cross land: the painter never touches the cells a running routing is reading in.
    std::unique_ptr<ShorelineStore> chartLand;
    TideHarmonics tides;
    CurrentProvider currents;
    bool haveCurrents = false;
    // The current forecast (stream provider 2) and the wave forecast opened from the current
    // group, with the boat's speed in waves (Waves.csv of the polar folder); the wave layer.
    OceanCurrents oceanCurrents;
    OceanWaves oceanWaves;
    WaveTable waveTable;
    bool showWaves = false;
    UserRoute route;
    BarrierSet barriers; // with the chart's selection and drawing mode
    TssStore tss;
    CityStore cities;
    WaypointSet waypoints;
    bool haveWaypoints = false; // a set was loaded or made
    ColorTable colors;
    WindColorRamp windColors;
    WindStore wind;
    WindCoverage coverage;
    std::unique_ptr<StoreWindField> windField;
    // Several forecasts opened together (an ensemble's members, several models): the routing
    // goes over every one of them; the chart's wind above is a copy of the first. Empty when
    // one forecast is loaded.
    ForecastSet forecasts;
    std::vector<std::unique_ptr<StoreWindField>> forecastWinds;
    Polar polar;
    // The last GPS fix; the boat is drawn there when [Com] ShowBoat is on.
    struct BoatFix {
        bool valid = false; // no fix has come yet
        double lon = 0, lat = 0, speed = 0, course = 0;
        double receivedAt = 0; // when the fix came in, UTC day number of this machine's clock
    } boat;
    bool gpsOpen = false;       // the GPS link is reading its source
    GpsLink* gpsLink = nullptr; // the window's link, when there is a window
    bool firstRun = false;      // this run is the first opening of the program folder
    // A start time chosen in the routing parameters (day number, UTC); otherwise a routing
    // starts at the time of the record shown.
    bool startChosen = false;
    double startTime = 0;
    // A route or barrier file that could not be read and could not be moved aside either: the
    // shut-down leaves it as it is instead of saving the empty set over it.
    bool keepRouteFile = false, keepBarrierFile = false;
};

// What the start-up asks of the window system; every hook may be left empty (the screenshot
// and the tests run without dialogs).
struct StartupHooks {
    std::function<void(int)> splashStage;           // the splash moves to stage 1, 2 or 3
    std::function<void()> showWindow;               // the main window is placed and shown
    std::function<std::string()> chooseGrib;        // a GRIB file's path, or empty
    std::function<std::string()> choosePolar;       // a polar file's path, or empty
    std::function<void(const std::string&)> inform; // an information message
    // The last start-up ended while it opened this forecast (the program was killed or
    // crashed): true to open it again, false to start without a forecast. Left empty, the
    // forecast is opened.
    std::function<bool(const std::string&)> askReopenGrib;
};

// The file that names the forecast a start-up is opening, from just before the load until it
// ended (Data/GribOpening.txt): still there at the next start, it tells that the load never
// came back.
std::string gribOpeningMarker(const std::string& folder);

// The text of the question askReopenGrib asks about `path`.
std::string reopenGribQuestion(const TextProvider& texts, const std::string& path);

// Where the main window goes: the configured place and size fitted to the screen.
struct WindowPlace {
    int x = 0, y = 0, width = 0, height = 0;
};
WindowPlace fitToScreen(const WindowSettings& configured, int screenWidth, int screenHeight);

// The configuration (which opens the log) and the language. False with the message to show.
bool loadConfiguration(const std::string& folder, AppData& data, std::string& error);

// The data sets in their fixed order, each step logged: shorelines, traffic zones, cities,
// colours, tides, currents, route, barriers, waypoints, wind, polar, GPS. Only a missing
// polar fails (`error` then says why; empty when the user cancelled the polar dialog).
// First the temporaries that a save killed half-way left beside the program's files are
// removed (see removeStaleTemporaries). A forecast whose last opening never came back is
// opened again only when askReopenGrib says so.
// A route or barrier file that cannot be read is moved aside as NAME.bad and its set starts
// empty; that, and an unreadable waypoint file (left in place), is told through `inform`
// with the file and the line.
bool runStartupSequence(AppData& data, const StartupHooks& hooks, std::string& error);

// Both of the above without dialogs.
bool startUp(const std::string& folder, AppData& data, std::string& error);

// At exit: the view goes into the settings, then Config.ini, the route, the barriers and
// the waypoints are saved. Failed saves are listed in `errors` (each leaves the old file
// whole); called again, it saves everything again.
void saveAtExit(AppData& data, const MapView* view, std::vector<std::string>& errors);

// saveAtExit, then the log's end line.
void shutDown(AppData& data, const MapView* view, std::vector<std::string>& errors);

// A routing run over the loaded data, as the start command makes it; `control` and the
// callback are the caller's.
RunSetup makeRunSetup(AppData& data, RunControl& control, FrontCallback afterFront);

// The box around the user route's waypoints; false for fewer than two.
bool routeBox(const UserRoute& route, GeoBox& box);

} // namespace navorel::app

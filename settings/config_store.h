#pragma once
// Config.ini: the user's settings between runs, in the program folder. Read once at start-up
// (which also builds the program's fixed paths and decides whether this run is a first
// opening) and written once at exit. Colours are integers with red in the low byte, green in
// the second and blue in the third.
#include <string>
#include <vector>

#include "routing/routing_parameters.h"
#include "settings/ini_file.h"
#include "settings/startup_log.h"

namespace navorel {

// The program folder and every path built from it ('/' separators; folders end with '/').
struct ProgramPaths {
    std::string programFolder; // no trailing '/'
    std::string configFile;    // Config.ini
    std::string currentsFolder;
    std::string tssFolder;
    std::string gshhsFolder;
    std::string routeFile;
    std::string waypointFile;
    std::string citiesFile;
    std::string barrierFile;
    std::string tssFile;
    std::string languagesFolder;
    std::string languagePattern; // Data/Languages/*.txt
    std::string barriersFolder;
    std::string defaultGribsFolder;
    std::string defaultPolarsFolder;
    std::string defaultRoutesFolder;
    std::string defaultWaypointsFolder;
    std::string logFile;         // Data/Log.txt
    std::string routingDefaults; // Data/Default.ini
};

ProgramPaths makeProgramPaths(const std::string& programFolder);

// The per-user program folder: $XDG_DATA_HOME/navorel, else ~/.local/share/navorel; empty
// when neither variable is set.
std::string defaultProgramFolder();
// A folder setting ("Polars/") as a path: relative ones lie in the program folder. Ends with
// '/' when the setting does.
std::string folderPath(const std::string& programFolder, const std::string& folderSetting);
// The process's current directory, the program folder of the desktop program.
std::string currentProgramFolder();

struct FolderSettings {
    std::string initial; // program folder of the last run, as read
    std::string gribs, polars, routes, waypoints;
};

struct WindowSettings {
    int x = 0, y = 0, width = 0, height = 0;
    int colorPanel = 0;
    int opacityPanel = 0; // 0..255
    bool firstOpening = true;
    std::string language = "English";
    int resultsX = 0, resultsY = 0;
    int parametersX = 0, parametersY = 0;
    int optionsX = 0, optionsY = 0;
};

struct ComSettings {
    int port = 1;       // used as "COM%d"; kept for older files
    std::string device; // the GPS source: a device path, "tcp:HOST:PORT" or "udp:PORT"
    int baudRate = 4800;
    int parity = 0; // 0 none, 1 odd, 2 even
    bool showBoat = true;
};

struct MapSettings {
    double scale = 100;   // pixels per degree
    double transX = 700;  // screen x of longitude 0
    double transY = 5200; // screen y of the equator
    double zoom = 1.2;    // factor of one wheel notch
    bool showLand = true, showShorelines = true;
    int factor0 = 10, factor1 = 50, factor2 = 300, factor3 = 500;
    int colorCoast = 255;
    int colorLand = 9821695; // hex 95DDFF
    int colorSea = 15913117; // hex F2D09D
    int colorMapGrid = 15913117;
    int colorCities = 15913117;
    bool showCoastalCities = true, showLakeCities = false, showLakes = false;
    bool showCapitals = false, showMapGrid = false;
    int formatLatLon = 0; // 0 degrees and minutes, 1 degrees minutes seconds, 2 degrees
};

struct ToolbarSettings {
    bool alwaysVisible = false;
    int opacity = 0;
    int background = 0;
    bool showTooltips = true;
    int colorTooltip = 0, colorTooltime1 = 0, colorTooltime2 = 0;
    bool sounds = true;
};

// [Winds] display settings (Variation and Lag live in RoutingParameters).
struct WindSettings {
    std::string grib;
    std::string colors = "Winds10.txt";
    bool showArrows = false, showSurfaceGradient = false, showSurfaceNoGradient = false;
    bool oneColorPerKnot = true, showScale = false, showZones = false;
    int colorZones = 0;
    double thicknessArrowBlack = 1, thicknessArrowColored = 2;
    int spaceBetweenArrows = 50, lengthArrow = 15, lengthBarb = 10;
    bool showWindBarbs = true, arrowCentered = true;
};

// [Currents] display settings (StreamProvider lives in RoutingParameters).
struct CurrentSettings {
    bool showArrows = false, showZones = false, showScale = false;
    int colorZones = 0;
    bool showTides = false;
    int colorTides = 0;
};

struct WaypointSettings {
    int type = 0; // 0, 1 or 2
    int color = 0;
    bool show = false;
};

// [Route] (StraitSegment lives in RoutingParameters).
struct RouteSettings {
    double point0X = 0, point0Y = 0;
    bool magnet = false;
    int color = 0;
    int thickness = 2;
    int minLength = 1;    // miles, read only
    int maxLength = 5000; // miles, read only
};

// [Routing] keys outside RoutingParameters.
struct RoutingDisplaySettings {
    int timestepMax = 60;
    int colorRouting = 0, colorSailing = 0, colorEngine = 0;
    int colorIsochron = 0, colorSegment = 0, colorEllipse = 0;
    bool showPanels = false;
};

struct VersionSettings {
    bool log = true;
    int build = 0;
};

struct Settings {
    FolderSettings folders;
    WindowSettings window;
    ComSettings com;
    MapSettings map;
    ToolbarSettings toolbar;
    WindSettings winds;
    CurrentSettings currents;
    int tssColor = 0;
    WaypointSettings waypoints;
    int barrierColor = 0;
    std::string polarName; // [Polar] name, in the polar folder
    RouteSettings route;
    RoutingDisplaySettings routingDisplay;
    // Config.ini draws the best route in mode 4 when RenderMode is missing.
    RoutingParameters routing = [] {
        RoutingParameters p;
        p.renderMode = 4;
        return p;
    }();
    VersionSettings version;
};

class ConfigStore {
  public:
    Settings settings;
    ProgramPaths paths;

    // Reads <programFolder>/Config.ini. False with a message only when it cannot be read.
    // When `log` is given it is opened on Data/Log.txt as [Version] Log says and receives the
    // start line and the steps of the load.
    bool load(const std::string& programFolder, StartupLog* log, std::string& error);
    // Writes every setting into Config.ini in the order of the file (keys that are only read
    // are left as they are); the file's other sections, keys and comments stay. Nothing is
    // written when Config.ini cannot be read at that moment.
    bool save(std::string& error);

    // Every key, in the order of the file, bound to `settings` (valid while this store is).
    std::vector<IniBinding> bindings();
    // The binding of a key (matched without regard to case); false when there is none.
    bool findBinding(std::string_view section, std::string_view key, IniBinding& binding);
};

} // namespace navorel

#pragma once
// The one record every routing computation reads: method, time step, heading fans, tests,
// speed modifiers, wind and current options, scanning ranges and display switches.
// Keys are in section [Routing] unless noted.
#include <atomic>
#include <string>
#include <vector>

#include "settings/ini_file.h"

namespace navorel {

struct RoutingParameters {
    bool fromBoat = false;       // FromBoat
    int timestep = 15;           // Timestep, minutes
    bool timestepAuto = false;   // TimestepAuto
    int maxIterations = 1000;    // MaxIterations
    int method = 0;              // Method: 0 best course, other isochrones
    int nbInitialAngles = 5;     // NbInitialAngles
    int initialAngles = 10;      // InitialAngles, degrees
    int nbFurtherAngles = 5;     // NbFurtherAngles
    int furtherAngles = 3;       // FurtherAngles, degrees
    float pruneDistance = 500;   // PruneDistance, metres (integer key)
    int autoNbInitialAngles = 35; // AutoNbInitialAngles (Config.ini only)
    int autoInitialAngles = 5;    // AutoInitialAngles (Config.ini only)
    int autoNbFurtherAngles = 17; // AutoNbFurtherAngles (Config.ini only)
    int autoFurtherAngles = 7;    // AutoFurtherAngles (Config.ini only)
    bool ellipse = true;          // Ellipse
    int excentricity = 75;        // Excentricity, percent
    int quality = 3;              // Quality, 0..4
    int search = 0;               // Search: 0 the isochrone fans, 1 the wide-fan search
    bool refine = false;          // Refine: the wide-fan search refines each leg's route
    int streamProvider = 0;       // [Currents] StreamProvider
    bool currents = true;         // Currents
    bool counterCurrent = false;  // CounterCurrent
    bool avoidCoasts = true;      // AvoidCoasts
    int coastsQuality = 2;        // CoastsQuality, shoreline level 0..4
    bool avoidBarriers = true;    // AvoidBarriers
    bool avoidTss = false;        // AvoidTss: traffic separation zones are not entered
    int power = 100;              // [Polar] Power, percent
    int tackLossSpeed = 70;       // TackLossSpeed, percent
    int tackDuration = 30;        // TackDuration, seconds
    bool engine = true;           // Engine
    float lowSpeed = 4;           // LowSpeed, knots (text)
    float engineSpeed = 4.85f;    // EngineSpeed, knots (text)
    float engineConsumption = 1.5f; // EngineConsumption, litres per hour (text)
    bool noRoutingOutside = true; // NoRoutingOutside
    bool seaState = false;        // SeaState
    int seaStateUp = 100;         // SeaStateUp, percent
    int seaStateDown = 100;       // SeaStateDown, percent
    int variation = 100;          // [Winds] Variation, percent
    int lag = 0;                  // [Winds] Lag, hours
    int windMin = 0;              // WindMin, knots
    int windMax = 60;             // WindMax, knots
    // Comfort and safety limits, knots; 0 sets no limit.
    int windMaxUpwind = 0;        // WindMaxUpwind: true wind at a true wind angle under 60
    int windMaxDownwind = 0;      // WindMaxDownwind: true wind at a true wind angle over 150
    int gustMax = 0;              // GustMax: the forecast's 10 m gust, where it carries one
    float waveMax = 0;            // WaveMax, metres: the significant wave height; 0 no limit
    bool uniqueWind = false;      // UniqueWind
    int windForce = 10;           // WindForce, knots
    int windDirection = 270;      // WindDirection, degrees
    int straitSegment = 60;       // [Route] StraitSegment, nautical miles (Config.ini only)
    bool scanPolar = true;        // ScanPolar
    bool scanWind = false;        // ScanWind
    bool scanStart = false;       // ScanStart
    bool scanForecasts = true;    // ScanForecasts: a set of forecasts routes once per forecast
    int minPolar = 80, maxPolar = 100, stepPolar = 5;
    int minWind = 90, maxWind = 110, stepWind = 5;
    int minStart = -3, maxStart = 3, stepStart = 1;
    bool scanPolars = false;      // ScanPolars (Config.ini only)
    std::string polarName[3];     // PolarName1..3 (Config.ini only)
    float irc[3] = {1, 1, 1};     // IRC1..3 (Config.ini only, text)
    bool polarOn[3] = {false, false, false}; // Polar1..3 (Config.ini only)
    int renderMode = 2;           // RenderMode (4 in the shipped Config.ini)
    bool renderAfter = true;      // RenderAfter
    bool showIsochrones = true;   // ShowIsochrones
    bool showSegments = true;     // ShowSegments
    bool showEllipse = true;      // ShowEllipse
    bool showHours = true;        // ShowHours
    bool showResults = true;      // ShowResults
    bool scanningsBlack = true;   // ScanningsBlack
    float thickness = 5;          // Thickness (text)

    // Run state, written by the routing while it runs.
    float pruneDistanceInForce = 0;
    int powerInForce = 100;
};

// Set from another thread (Escape, the stop button) to cancel a running routing.
struct RunControl {
    std::atomic<bool> cancel{false};
    std::atomic<int> status{0};
};

// Every stored field of `p` with its section, key, kind and fallback, in the record's order.
// `configOnly` marks the keys Data/Default.ini does not carry. RenderMode falls back to 2.
struct RoutingBinding {
    IniBinding binding;
    bool configOnly = false;
};
std::vector<RoutingBinding> routingParameterBindings(RoutingParameters& p);

enum class RoutingKeys { All, DefaultsOnly };
// Reads the fields from `ini`; a missing key takes its fallback. With DefaultsOnly the
// Config-only fields keep their values.
void readRoutingParameters(const IniFile& ini, RoutingParameters& p,
                           RoutingKeys keys = RoutingKeys::All);
// Writes the fields into `ini` in the record's order.
void writeRoutingParameters(IniFile& ini, const RoutingParameters& p,
                            RoutingKeys keys = RoutingKeys::All);
// The "Default" button: reads Data/Default.ini (`path`) with DefaultsOnly. When the file
// cannot be read nothing changes and the reason is in `error`.
bool loadRoutingDefaults(const std::string& path, RoutingParameters& p, std::string& error);

} // namespace navorel

#pragma once
// GPX files: the user route, the barriers, the waypoint set, the traffic-zone outlines and
// the export of a computed route.
//
// Every written document has a `gpx` root with the GPX 1.1 attributes (version, creator and
// namespace); readers take documents with or without them. Routes, barriers and zones are `rte`
// elements of `rtept` points (attributes lat then lon, child `type` "WPT"); waypoints are `wpt`
// elements with a `type` and a `name` child; the export adds to each `rtept` a `name` holding its
// time "dd/mm hh:mm" and the same time as a GPX `time` ("2026-06-01T06:30:00Z"), and may name its
// `rte`. Files are written byte for byte as follows:
//
//   <?xml version="1.0"?>
//   <gpx version="1.1" creator="Navorel" xmlns="http://www.topografix.com/GPX/1/1">
//   <TAB><rte>
//   <TAB><TAB><rtept lat="43.1235" lon="-5">
//   <TAB><TAB><TAB><type>WPT</type>
//   <TAB><TAB></rtept>
//   <TAB></rte>
//   </gpx>
//
// with numbers in "%g" form (six significant digits) and empty elements as `<rte />`.
//
// Reading: route, barrier and zone coordinates accept a decimal comma; a coordinate there
// that holds no number, overflows a float or is not finite makes the whole file unreadable.
// Waypoint coordinates take no comma (43,5 reads 43) and read 0 when unusable.
//
// Every loader leaves its target untouched when it fails and then answers false with a
// message ("line 7: latitude \"abc\" is not a number"). Every writer writes a temporary file
// beside the target and renames it over the target, so a failed save leaves the old file
// whole; it answers false with a message.
#include "core/geodesy.h"
#include "geo/barrier.h"
#include "geo/waypoints.h"

#include <string>
#include <string_view>
#include <vector>

namespace navorel {

// One point of a computed route as the export writes it: a position and the time the boat is
// there (a day number, see core/datetime.h).
struct ExportedRoutePoint {
    GeoPoint position;
    double time = 0.0;
};

// The namespace written on every document's root.
constexpr const char* kGpxNamespace = "http://www.topografix.com/GPX/1/1";

// Files larger than this are refused unread.
constexpr long long kMaxGpxFileBytes = 64LL * 1024 * 1024;

// Traffic-zone files are bounded more tightly: a shipped zone file holds at most a few
// hundred points and a zone digitised in detail from a chart some thousands, while a file
// of a million points only makes every drawing and every routing move over it slow. A
// larger file, or one with more points, is refused with a message and adds no outline.
constexpr long long kMaxZoneFileBytes = 16LL * 1024 * 1024;
constexpr std::size_t kMaxZonePoints = 250000;

// --- Files ---------------------------------------------------------------------------------

// Reads the first `rte` of a route file into `waypoints` (replacing them); other `rte`
// elements are ignored. A document without an `rte` gives an empty route.
bool loadUserRoute(const std::string& path, std::vector<GeoPoint>& waypoints, std::string& error);
// Writes the route as one `rte` (an empty `rte` for an empty route).
bool saveUserRoute(const std::string& path, const std::vector<GeoPoint>& waypoints,
                   std::string& error);

// Appends one barrier per `rte` of the file, point-less ones included.
bool loadBarriers(const std::string& path, BarrierList& barriers, std::string& error);
// Writes one `rte` per barrier; no barrier gives an empty `gpx` element.
bool saveBarriers(const std::string& path, const BarrierList& barriers, std::string& error);

// Appends the file's `wpt` elements to the set. A missing `lat` or `lon` reads 0, a missing
// `name` an empty name.
bool loadWaypointSet(const std::string& path, WaypointSet& set, std::string& error);
bool saveWaypointSet(const std::string& path, const WaypointSet& set, std::string& error);

// Appends one outline per `rte` of a traffic-zone file, and its kind (the text of the
// `rte`'s own `type` child, empty when it has none) to `kinds`. Files beyond the zone bounds
// above are refused.
bool loadZoneOutlines(const std::string& path, std::vector<std::vector<GeoPoint>>& outlines,
                      std::vector<std::string>& kinds, std::string& error);
bool loadZoneOutlines(const std::string& path, std::vector<std::vector<GeoPoint>>& outlines,
                      std::string& error);

// Writes a computed route: one `rtept` per point with its time as `name` and `time`, and
// `routeName` (when not empty) as the `rte`'s name. An empty route or a point whose time is not
// finite is refused and nothing is written.
bool exportRoutingResult(const std::string& path, const std::vector<ExportedRoutePoint>& points,
                         std::string& error, const std::string& routeName = {});

// --- The same on text in memory --------------------------------------------------------------

// The first `rte`'s points.
bool parseUserRoute(std::string_view xml, std::vector<GeoPoint>& waypoints, std::string& error);
// Every `rte` as one polyline (barrier and zone files); appends to `polylines`.
bool parseRoutePolylines(std::string_view xml, std::vector<std::vector<GeoPoint>>& polylines,
                         std::string& error);
// A traffic-zone file: as parseRoutePolylines, with the kind of each `rte` appended to
// `kinds`; more than kMaxZonePoints points refuse the whole text.
bool parseZoneOutlines(std::string_view xml, std::vector<std::vector<GeoPoint>>& outlines,
                       std::vector<std::string>& kinds, std::string& error);
// Every `wpt`; appends to `set`.
bool parseWaypointSet(std::string_view xml, WaypointSet& set, std::string& error);

std::string userRouteGpx(const std::vector<GeoPoint>& waypoints);
std::string barriersGpx(const BarrierList& barriers);
std::string waypointSetGpx(const WaypointSet& set);
// A point whose time is not finite gets an empty name and no `time`.
std::string routingExportGpx(const std::vector<ExportedRoutePoint>& points,
                             const std::string& routeName = {});

// --- Pieces --------------------------------------------------------------------------------

// A number as printf's "%g" writes it in the C locale: 12.3456789 -> "12.3457",
// 0.00001 -> "1e-05".
std::string formatGpxNumber(double value);

enum class CoordinateStatus { Ok, NotANumber, OutOfRange };
// A route, barrier or zone coordinate: commas become periods, leading white space is
// skipped, trailing text ignored. Infinities and NaN count as NotANumber; values beyond the
// float range (either way) as OutOfRange. `value` is set only on Ok.
CoordinateStatus parseRouteCoordinate(std::string_view text, float& value);
// A waypoint coordinate: no comma replacement, 0 when the text holds no usable number.
float parseWaypointCoordinate(std::string_view text);

} // namespace navorel

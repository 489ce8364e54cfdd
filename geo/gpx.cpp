#include "geo/gpx.h"

#include "core/atomic_file.h"
#include "core/file_check.h"

#include "core/datetime.h"

#include <pugixml.hpp>

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>

namespace navorel {
namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The number at the start of `text` as the C library's string-to-number conversion reads
// it: leading white space, an optional sign, decimal or "0x" hexadecimal digits, trailing
// text ignored. Answers the from_chars error code (0 on success).
template <typename T> std::errc readLeadingNumber(std::string_view text, T& value) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // from_chars takes a minus sign itself, so "+-5" or "--5" would slip through.
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) return std::errc::invalid_argument;
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    T parsed{};
    std::from_chars_result r{first, std::errc::invalid_argument};
    if (last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X') &&
        first[2] != '-')
        r = std::from_chars(first + 2, last, parsed, std::chars_format::hex);
    // "0x" without hexadecimal digits reads as the single digit 0.
    if (r.ec == std::errc::invalid_argument)
        r = std::from_chars(first, last, parsed, std::chars_format::general);
    if (r.ec != std::errc()) return r.ec;
    value = negative ? -parsed : parsed;
    return std::errc();
}

int lineOf(std::string_view xml, std::ptrdiff_t offset) {
    if (offset < 0) return 0;
    const std::size_t end = std::min(static_cast<std::size_t>(offset), xml.size());
    int line = 1;
    for (std::size_t i = 0; i < end; ++i)
        if (xml[i] == '\n') ++line;
    return line;
}

// The text being read. The parser's offsets count our bytes only when the text needed no
// conversion (UTF-8); otherwise messages go without a line.
struct Source {
    std::string_view xml;
    bool placeable = true;
};

// "line 7: " when the place is known.
std::string where(const Source& source, std::ptrdiff_t offset) {
    const int line = source.placeable ? lineOf(source.xml, offset) : 0;
    return line > 0 ? "line " + std::to_string(line) + ": " : std::string();
}

// A value quoted for a message, clipped so that a huge attribute does not flood the log.
std::string quoted(const char* text) {
    std::string s(text);
    if (s.size() > 40) s = s.substr(0, 40) + "...";
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 32) c = ' ';
    return "\"" + s + "\"";
}

// Loads the document and finds its `gpx` element.
bool openDocument(Source& source, pugi::xml_document& doc, pugi::xml_node& gpx,
                  std::string& error) {
    const pugi::xml_parse_result r = doc.load_buffer(source.xml.data(), source.xml.size(),
                                                     pugi::parse_default, pugi::encoding_auto);
    source.placeable = r.encoding == pugi::encoding_utf8;
    if (!r) {
        error = where(source, r.offset) + r.description();
        return false;
    }
    gpx = doc.child("gpx");
    if (!gpx) {
        error = "not a GPX document (no gpx element)";
        return false;
    }
    return true;
}

bool readRouteCoordinate(pugi::xml_node point, const char* name, const char* label,
                         const Source& source, float& value, std::string& error) {
    const pugi::xml_attribute attr = point.attribute(name);
    switch (parseRouteCoordinate(attr.value(), value)) {
    case CoordinateStatus::Ok:
        return true;
    case CoordinateStatus::NotANumber:
        error = where(source, point.offset_debug()) + label +
                (attr ? " " + quoted(attr.value()) + " is not a number" : " is missing");
        return false;
    case CoordinateStatus::OutOfRange:
        error = where(source, point.offset_debug()) + label + " " + quoted(attr.value()) +
                " is out of range";
        return false;
    }
    return false;
}

// The `rtept` points of one `rte`; latitude read before longitude.
bool readRoute(pugi::xml_node rte, const Source& source, std::vector<GeoPoint>& points,
               std::string& error) {
    for (pugi::xml_node pt = rte.child("rtept"); pt; pt = pt.next_sibling("rtept")) {
        GeoPoint p;
        if (!readRouteCoordinate(pt, "lat", "latitude", source, p.lat, error) ||
            !readRouteCoordinate(pt, "lon", "longitude", source, p.lon, error))
            return false;
        points.push_back(p);
    }
    return true;
}

struct StringWriter : pugi::xml_writer {
    std::string text;
    void write(const void* data, std::size_t size) override {
        text.append(static_cast<const char*>(data), size);
    }
};

// Declaration line, tab indentation, one element per line, LF line ends, UTF-8 without BOM.
std::string serialise(const pugi::xml_document& doc) {
    StringWriter writer;
    doc.save(writer, "\t", pugi::format_default, pugi::encoding_utf8);
    return std::move(writer.text);
}

void appendTextChild(pugi::xml_node parent, const char* name, const char* text) {
    parent.append_child(name).append_child(pugi::node_pcdata).set_value(text);
}

pugi::xml_node appendPoint(pugi::xml_node parent, const char* name, GeoPoint p) {
    pugi::xml_node pt = parent.append_child(name);
    pt.append_attribute("lat").set_value(formatGpxNumber(p.lat).c_str());
    pt.append_attribute("lon").set_value(formatGpxNumber(p.lon).c_str());
    appendTextChild(pt, "type", "WPT");
    return pt;
}

// The root of every written document, with the attributes a GPX 1.1 reader looks for.
pugi::xml_node appendGpxRoot(pugi::xml_document& doc) {
    pugi::xml_node gpx = doc.append_child("gpx");
    gpx.append_attribute("version").set_value("1.1");
    gpx.append_attribute("creator").set_value("Navorel");
    gpx.append_attribute("xmlns").set_value(kGpxNamespace);
    return gpx;
}

// "2026-06-01T06:30:00Z": a time as GPX readers take it, to the second.
std::string isoTime(double dayNumber) {
    const DateTime t = fromDayNumber(dayNumber);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

void appendRoute(pugi::xml_node gpx, const std::vector<GeoPoint>& points) {
    pugi::xml_node rte = gpx.append_child("rte");
    for (const GeoPoint& p : points) appendPoint(rte, "rtept", p);
}

template <typename Parse>
bool loadFile(const std::string& path, std::string& error, Parse parse,
              long long maxBytes = kMaxGpxFileBytes) {
    std::string data;
    if (!readRegularFile(path, static_cast<std::uint64_t>(maxBytes), data, error)) return false;
    if (!parse(std::string_view(data), error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

} // namespace

std::string formatGpxNumber(double value) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 6);
    return std::string(buf, r.ptr);
}

CoordinateStatus parseRouteCoordinate(std::string_view text, float& value) {
    std::string s(text);
    for (char& c : s)
        if (c == ',') c = '.';
    float v = 0.0f;
    const std::errc ec = readLeadingNumber(std::string_view(s), v);
    if (ec == std::errc::result_out_of_range) return CoordinateStatus::OutOfRange;
    // A NaN or infinite position would poison every distance and bearing computed from it.
    if (ec != std::errc() || !std::isfinite(v)) return CoordinateStatus::NotANumber;
    value = v;
    return CoordinateStatus::Ok;
}

float parseWaypointCoordinate(std::string_view text) {
    double v = 0.0;
    if (readLeadingNumber(text, v) != std::errc()) return 0.0f;
    // Beyond the float range the conversion below would be undefined.
    if (!std::isfinite(v) || std::fabs(v) > FLT_MAX) return 0.0f;
    return static_cast<float>(v);
}

bool parseUserRoute(std::string_view xml, std::vector<GeoPoint>& waypoints, std::string& error) {
    pugi::xml_document doc;
    pugi::xml_node gpx;
    Source source{xml};
    if (!openDocument(source, doc, gpx, error)) return false;
    std::vector<GeoPoint> points;
    if (!readRoute(gpx.child("rte"), source, points, error)) return false;
    waypoints = std::move(points);
    return true;
}

bool parseRoutePolylines(std::string_view xml, std::vector<std::vector<GeoPoint>>& polylines,
                         std::string& error) {
    pugi::xml_document doc;
    pugi::xml_node gpx;
    Source source{xml};
    if (!openDocument(source, doc, gpx, error)) return false;
    std::vector<std::vector<GeoPoint>> found;
    for (pugi::xml_node rte = gpx.child("rte"); rte; rte = rte.next_sibling("rte")) {
        found.emplace_back();
        if (!readRoute(rte, source, found.back(), error)) return false;
    }
    polylines.insert(polylines.end(), std::make_move_iterator(found.begin()),
                     std::make_move_iterator(found.end()));
    return true;
}

bool parseZoneOutlines(std::string_view xml, std::vector<std::vector<GeoPoint>>& outlines,
                       std::vector<std::string>& kinds, std::string& error) {
    pugi::xml_document doc;
    pugi::xml_node gpx;
    Source source{xml};
    if (!openDocument(source, doc, gpx, error)) return false;
    std::size_t points = 0;
    for (pugi::xml_node rte = gpx.child("rte"); rte; rte = rte.next_sibling("rte"))
        for (pugi::xml_node pt = rte.child("rtept"); pt; pt = pt.next_sibling("rtept"))
            if (++points > kMaxZonePoints) {
                error = "more than " + std::to_string(kMaxZonePoints) +
                        " points, more than a traffic-zone file may hold";
                return false;
            }
    std::vector<std::vector<GeoPoint>> found;
    std::vector<std::string> foundKinds;
    for (pugi::xml_node rte = gpx.child("rte"); rte; rte = rte.next_sibling("rte")) {
        found.emplace_back();
        if (!readRoute(rte, source, found.back(), error)) return false;
        foundKinds.emplace_back(rte.child("type").text().get());
    }
    outlines.insert(outlines.end(), std::make_move_iterator(found.begin()),
                    std::make_move_iterator(found.end()));
    kinds.insert(kinds.end(), std::make_move_iterator(foundKinds.begin()),
                 std::make_move_iterator(foundKinds.end()));
    return true;
}

bool parseWaypointSet(std::string_view xml, WaypointSet& set, std::string& error) {
    pugi::xml_document doc;
    pugi::xml_node gpx;
    Source source{xml};
    if (!openDocument(source, doc, gpx, error)) return false;
    for (pugi::xml_node wpt = gpx.child("wpt"); wpt; wpt = wpt.next_sibling("wpt")) {
        GeoPoint p;
        p.lat = parseWaypointCoordinate(wpt.attribute("lat").value());
        p.lon = parseWaypointCoordinate(wpt.attribute("lon").value());
        // text() is the first text or character-data child; "" when there is none.
        addWaypoint(set, p, wpt.child("name").text().get());
    }
    return true;
}

std::string userRouteGpx(const std::vector<GeoPoint>& waypoints) {
    pugi::xml_document doc;
    appendRoute(appendGpxRoot(doc), waypoints);
    return serialise(doc);
}

std::string barriersGpx(const BarrierList& barriers) {
    pugi::xml_document doc;
    pugi::xml_node gpx = appendGpxRoot(doc);
    for (const Barrier& b : barriers) appendRoute(gpx, b.points);
    return serialise(doc);
}

std::string waypointSetGpx(const WaypointSet& set) {
    pugi::xml_document doc;
    pugi::xml_node gpx = appendGpxRoot(doc);
    const std::size_t n = std::min(set.positions.size(), set.names.size());
    for (std::size_t i = 0; i < n; ++i)
        appendTextChild(appendPoint(gpx, "wpt", set.positions[i]), "name", set.names[i].c_str());
    return serialise(doc);
}

std::string routingExportGpx(const std::vector<ExportedRoutePoint>& points,
                             const std::string& routeName) {
    pugi::xml_document doc;
    pugi::xml_node rte = appendGpxRoot(doc).append_child("rte");
    if (!routeName.empty()) appendTextChild(rte, "name", routeName.c_str());
    for (const ExportedRoutePoint& p : points) {
        const bool timed = std::isfinite(p.time);
        const std::string when = timed ? formatDate(fromDayNumber(p.time), 6) : std::string();
        pugi::xml_node pt = appendPoint(rte, "rtept", p.position);
        appendTextChild(pt, "name", when.c_str());
        if (timed) appendTextChild(pt, "time", isoTime(p.time).c_str());
    }
    return serialise(doc);
}

bool loadUserRoute(const std::string& path, std::vector<GeoPoint>& waypoints, std::string& error) {
    return loadFile(path, error, [&](std::string_view xml, std::string& e) {
        return parseUserRoute(xml, waypoints, e);
    });
}

bool loadBarriers(const std::string& path, BarrierList& barriers, std::string& error) {
    std::vector<std::vector<GeoPoint>> lines;
    if (!loadFile(path, error, [&](std::string_view xml, std::string& e) {
            return parseRoutePolylines(xml, lines, e);
        }))
        return false;
    for (auto& line : lines) barriers.push_back(Barrier{std::move(line)});
    return true;
}

bool loadZoneOutlines(const std::string& path, std::vector<std::vector<GeoPoint>>& outlines,
                      std::vector<std::string>& kinds, std::string& error) {
    return loadFile(
        path, error,
        [&](std::string_view xml, std::string& e) {
            return parseZoneOutlines(xml, outlines, kinds, e);
        },
        kMaxZoneFileBytes);
}

bool loadZoneOutlines(const std::string& path, std::vector<std::vector<GeoPoint>>& outlines,
                      std::string& error) {
    std::vector<std::string> kinds;
    return loadZoneOutlines(path, outlines, kinds, error);
}

bool loadWaypointSet(const std::string& path, WaypointSet& set, std::string& error) {
    return loadFile(path, error, [&](std::string_view xml, std::string& e) {
        return parseWaypointSet(xml, set, e);
    });
}

bool saveUserRoute(const std::string& path, const std::vector<GeoPoint>& waypoints,
                   std::string& error) {
    return replaceFileContents(path, userRouteGpx(waypoints), error);
}

bool saveBarriers(const std::string& path, const BarrierList& barriers, std::string& error) {
    return replaceFileContents(path, barriersGpx(barriers), error);
}

bool saveWaypointSet(const std::string& path, const WaypointSet& set, std::string& error) {
    return replaceFileContents(path, waypointSetGpx(set), error);
}

bool exportRoutingResult(const std::string& path, const std::vector<ExportedRoutePoint>& points,
                         std::string& error, const std::string& routeName) {
    if (points.empty()) {
        error = "there is no computed route to export";
        return false;
    }
    for (const ExportedRoutePoint& p : points) {
        if (!std::isfinite(p.time)) {
            error = "the computed route has a point without a valid time";
            return false;
        }
    }
    return replaceFileContents(path, routingExportGpx(points, routeName), error);
}

} // namespace navorel

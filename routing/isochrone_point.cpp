#include "routing/isochrone_point.h"

namespace navorel {

IsochronePoint departureRecord(const DateTime& start, float lon, float lat) {
    IsochronePoint d;
    d.valid = 1;
    d.time = start;
    d.parentTime = start;
    d.lon = d.parentLon = lon;
    d.lat = d.parentLat = lat;
    d.awaSide = -1;
    d.index = 0;
    d.parent = 0;
    return d;
}

namespace {

void appendf(std::string& s, const char* format, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    s += buf;
}

void appendInt(std::string& s, long long v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, " %lld", v);
    s += buf;
}

void appendReal(std::string& s, double v) {
    appendf(s, " %.17g", v);
}

} // namespace

std::string formatRoute(const std::vector<IsochronePoint>& route) {
    std::string s = "#parentTime valid stepSeconds parentLon parentLat commandedHeading currentDir "
                    "currentSpeed currentDot windDir windSpeed twd tws twa awa aws awaSide engine "
                    "boatSpeed sog heading cog stepDistance time lon lat distToTarget "
                    "totalDistance fuel engineSeconds index parent arrived\n";
    for (const IsochronePoint& p : route) {
        std::string line;
        appendf(line, "%.17g", p.parentTime.dayNumber);
        appendInt(line, p.valid);
        appendReal(line, p.stepSeconds);
        for (float v : {p.parentLon, p.parentLat, p.commandedHeading, p.currentDir, p.currentSpeed,
                        p.currentDot, p.windDir, p.windSpeed, p.twd, p.tws, p.twa, p.awa, p.aws})
            appendReal(line, v);
        appendInt(line, p.awaSide);
        appendInt(line, p.engine);
        for (float v : {p.boatSpeed, p.sog, p.heading, p.cog, p.stepDistance}) appendReal(line, v);
        appendReal(line, p.time.dayNumber);
        for (float v : {p.lon, p.lat, p.distToTarget, p.totalDistance, p.fuel, p.engineSeconds})
            appendReal(line, v);
        appendInt(line, p.index);
        appendInt(line, p.parent);
        appendInt(line, p.arrived);
        s += line;
        s += '\n';
    }
    return s;
}

void printRoute(std::FILE* out, const std::vector<IsochronePoint>& route) {
    const std::string s = formatRoute(route);
    std::fwrite(s.data(), 1, s.size(), out);
}

} // namespace navorel

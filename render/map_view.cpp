#include "render/map_view.h"

#include <algorithm>
#include <cmath>

namespace navorel {

namespace {
constexpr double kPi = 3.141592653589793;
constexpr double kDeg = 180.0 / kPi;
} // namespace

double wrapLongitude(double lon) {
    // fmod is exact, and so is each 360-degree step below 2^56, so both give lon - 360 k; only
    // a zero differs: fmod keeps the sign of lon where the steps end on +0.
    if (lon > 540 || lon < -540) {
        lon = std::fmod(lon, 360.0);
        if (lon == 0) lon = 0.0;
    }
    if (lon > 180)
        lon -= 360;
    else if (lon < -180)
        lon += 360;
    return lon;
}

double mercatorDegrees(double latDegrees) {
    return std::log(std::tan(kPi / 4 + latDegrees / kDeg / 2)) * kDeg;
}

double latitudeOfMercator(double ordinateDegrees) {
    return (2 * std::atan(std::exp(ordinateDegrees / kDeg)) - kPi / 2) * kDeg;
}

void MapView::project(double lon, double lat, double& x, double& y) const {
    x = transX + scale * lon;
    y = transY - scale * mercatorDegrees(lat);
}

void MapView::unproject(double x, double y, double& lon, double& lat) const {
    lon = wrapLongitude((x - transX) / scale);
    lat = latitudeOfMercator((transY - y) / scale);
}

void MapView::update(const double* followLon, const double* followLat) {
    if (transX >= 180 * scale) transX -= 360 * scale;
    if (transX <= -180 * scale) transX += 360 * scale;
    // One step brings back a pan or a zoom; a stored value of many turns (TransX=1e15) is
    // reduced at once, as that many steps would take years.
    if (transX >= 180 * scale || transX <= -180 * scale) {
        transX = std::fmod(transX, 360 * scale);
        if (transX >= 180 * scale) transX -= 360 * scale;
        if (transX <= -180 * scale) transX += 360 * scale;
    }
    if (transY / scale > 180)
        transY = 180 * scale;
    else if (transY < height - 139 * scale)
        transY = height - 139 * scale;

    westLon = (0 - transX) / scale;
    eastLon = (width - transX) / scale;
    double lon;
    unproject(0, 0, lon, northLat);
    unproject(0, height, lon, southLat);

    if (followLon && followLat) {
        double l = *followLon;
        if (l < westLon || l > eastLon) {
            if (eastLon > 180 && l + 360 >= westLon && l + 360 <= eastLon) {
                l += 360;
            } else {
                const double fromWest = std::fabs(l - westLon);
                const double viewWidth = eastLon - westLon;
                l = fromWest < 360 - viewWidth - fromWest ? l - 360 : l + 360;
            }
        }
        transX = width / 2.0 - scale * l;
        transY = height / 2.0 + scale * mercatorDegrees(*followLat);
        westLon = (0 - transX) / scale;
        eastLon = (width - transX) / scale;
        unproject(0, 0, lon, northLat);
        unproject(0, height, lon, southLat);
    }

    westWrapped = westLon > 180 ? westLon - 360 : westLon;
    eastWrapped = eastLon > 180 ? eastLon - 360 : eastLon;
    const double w = westWrapped, e = eastWrapped;
    if (w < 0 && e > 0)
        flagA = true;
    else if (w > 0 && e < 180)
        flagA = false;
    else
        flagA = w >= -180;
    flagB = w > e;
    flagC = w < 0 && e > 0;

    level = scale < factor[0]   ? 0
            : scale < factor[1] ? 1
            : scale < factor[2] ? 2
            : scale < factor[3] ? 3
                                : 4;
}

void MapView::resize(int clientWidth, int clientHeight) {
    width = clientWidth;
    height = clientHeight - statusBarHeight;
    minScale = width / 170.0;
    if (scale < minScale) scale = minScale;
    maxScale = 20000;
    update();
}

void MapView::zoomAt(int delta, double px, double py) {
    double f = delta > 0 ? zoom : 1.0 / zoom;
    if (scale * f >= maxScale) f = maxScale / scale;
    if (scale * f <= minScale) f = minScale / scale;
    scale *= f;
    transX = px * (1 - f) + transX * f;
    transY = py * (1 - f) + transY * f;
    update();
    update();
}

void MapView::pan(double dx, double dy) {
    transX += dx;
    transY += dy;
}

bool MapView::frameGrib(const GeoBox& a, bool crossesDateLine) {
    const double dLon = crossesDateLine ? a.east + 360 - a.west : a.east - a.west;
    const double m1 = mercatorDegrees(a.south), m2 = mercatorDegrees(a.north);
    if (!(dLon > 0) || m1 == m2) return false;
    scale = std::min(width / (dLon * 1.1), (height - 60) / (std::fabs(m1 - m2) * 1.1));
    double centre = crossesDateLine ? (a.west + a.east + 360) / 2 : (a.west + a.east) / 2;
    centre = wrapLongitude(centre);
    transX = width / 2.0 - scale * centre;
    transY = height / 2.0 + 30 + scale * ((m1 + m2) / 2);
    update();
    return true;
}

bool MapView::frameBox(const GeoBox& b, int pointCount, int widthLess, double shiftX) {
    if (pointCount < 2) return false;
    double centre, boxWidth;
    if (b.west < 0 && b.east > 0 && std::fabs(b.west - b.east) >= 180) {
        centre = (b.west + b.east + 360) / 2;
        boxWidth = std::fabs(b.west - b.east + 360);
    } else {
        centre = (b.west + b.east) / 2;
        boxWidth = std::fabs(b.west - b.east);
    }
    centre = wrapLongitude(centre);
    const double m1 = mercatorDegrees(b.south), m2 = mercatorDegrees(b.north);
    // A box of no width or height is limited by the other side (or by the largest scale).
    const double byWidth = boxWidth > 0 ? (width - widthLess) / (boxWidth * 1.1) : maxScale;
    const double byHeight = m1 != m2 ? (height - 60) / (std::fabs(m1 - m2) * 1.1) : maxScale;
    scale = std::max(minScale, std::min(std::min(byWidth, byHeight), maxScale));
    transX = width / 2.0 + shiftX - scale * centre;
    transY = height / 2.0 + 30 + scale * ((m1 + m2) / 2);
    update();
    return true;
}

bool MapView::frameRoute(const GeoBox& box, int pointCount) {
    return frameBox(box, pointCount, 0, 0);
}

bool MapView::frameRouting(const GeoBox& box, int pointCount) {
    return frameBox(box, pointCount, 220, 20);
}

bool MapView::centreOn(double lon, double lat, bool boatShown) {
    if (!boatShown) return false;
    transX = width / 2.0 - scale * lon;
    transY = height / 2.0 + scale * mercatorDegrees(lat);
    update();
    return true;
}

} // namespace navorel

#pragma once
// The chart's Mercator view: positions to pixels and back, kept within sensible bounds, and
// changed by zooming, panning and the frame commands. The scale S is in pixels per degree of
// longitude (and per degree of Mercator ordinate); Tx is the screen x of longitude 0 and Ty
// the screen y of the equator. Qt-free: the window feeds it sizes and mouse positions.

namespace navorel {

// Mercator ordinate of a latitude, in degrees.
double mercatorDegrees(double latDegrees);
// The latitude of a Mercator ordinate in degrees.
double latitudeOfMercator(double ordinateDegrees);
// A longitude in degrees brought into [-180, 180] by whole turns, in constant time: the same
// value, bit for bit, as stepping by 360 degrees until it is in range (180 stays 180, -180
// stays -180, a wrapped zero is +0). NaN and infinities give NaN.
double wrapLongitude(double lon);

struct GeoBox {
    double west = 0, east = 0, south = 0, north = 0;
};

class MapView {
  public:
    // Persistent state ([Map] Scale, TransX, TransY, Zoom, Factor0..3).
    double scale = 100, transX = 700, transY = 5200, zoom = 1.2;
    int factor[4] = {10, 50, 300, 500};

    // Derived by update().
    int width = 0, height = 0;
    double westLon = 0, eastLon = 0, northLat = 0, southLat = 0; // raw edges
    double westWrapped = 0, eastWrapped = 0;                     // within (-180, 180]
    bool flagA = false, flagB = false, flagC = false; // B: crosses the date line, C: Greenwich
    int level = 0;                                    // shoreline level for drawing
    double minScale = 1, maxScale = 20000;
    int statusBarHeight = 0;

    void project(double lon, double lat, double& x, double& y) const;
    void unproject(double x, double y, double& lon, double& lat) const;

    // Applies the corrections (wrap of Tx, bounds of Ty) and derives the view record. With a
    // follow point the view is centred on it.
    void update(const double* followLon = nullptr, const double* followLat = nullptr);
    // The client area changed: the status bar's height is that measured at the last resize.
    void resize(int clientWidth, int clientHeight);
    // One wheel notch at the cursor: zoom in for a positive delta. The position under the
    // cursor stays there.
    void zoomAt(int delta, double px, double py);
    void pan(double dx, double dy);

    // The frame commands; false when there is nothing to frame.
    bool frameGrib(const GeoBox& area, bool crossesDateLine);
    bool frameRoute(const GeoBox& box, int pointCount);
    bool frameRouting(const GeoBox& box, int pointCount);
    bool centreOn(double lon, double lat, bool boatShown);

  private:
    bool frameBox(const GeoBox& box, int pointCount, int widthLess, double shiftX);
};

} // namespace navorel

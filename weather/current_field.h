#pragma once
// Tidal streams from current atlases: tables of the stream at data points for the hours -6 to
// +6 around high (or low) water of a reference port, at spring and at neap tides, joined into
// a triangle mesh. The stream at a place and time blends the three corners of the triangle
// that holds it, each corner interpolated in time and between neap and spring by the tidal
// coefficient of its port.
//
// Folder layout (the current folder, "Currents" of the program folder):
//   Default/*.cur                    DEFAULT files, hours counted from high water
//   dListTri, dListVert              the DEFAULT mesh
//   Shom/557 .. Shom/565/*.*         SHOM files (port name rules, degree-minute positions)
//   sListTri, sListVert              the SHOM mesh
// Vertex numbers run over all points of all files, file after file; files are taken in
// sorted name order.
#include "weather/current_sample.h"
#include "weather/tide_harmonics.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace navorel {

enum class CurrentKind { Default = 0, Shom = 1 };

struct CurrentPoint {
    float lon = 0, lat = 0; // degrees
    // Components in knots for the hours -6 .. +6: east then north.
    std::array<float, 13> springEast{}, springNorth{}, neapEast{}, neapNorth{};
    std::string portName;
    int port = -1;        // station index in the tide predictor
    bool fromHigh = true; // hours counted from high water (false: from low water)
    std::string fileName;
};

struct CurrentFile {
    std::string portName;
    int port = -1;
    bool fromHigh = true;
    std::string fileName;
    std::vector<CurrentPoint> points;
    float minLon = 0, maxLon = 0, minLat = 0, maxLat = 0, lonSpan = 0, latSpan = 0;
    float red = 0, green = 0, blue = 0, alpha = 1; // display colour of the file's zone
};

struct CurrentField {
    CurrentKind kind = CurrentKind::Default;
    std::string folder;
    std::vector<CurrentFile> files;
    std::vector<CurrentPoint> vertices;        // all points, file after file
    std::vector<std::array<int, 3>> triangles; // vertex numbers; {-1,-1,-1} when unusable
    // Triangles of each vertex: vertexTriangles[vertexStart[v] .. vertexStart[v + 1]).
    std::vector<int> vertexStart, vertexTriangles;
    // Nearest-vertex search: a balanced 2-d tree over (lon, lat) stored in an array; node i
    // holds vertex kdIndex[i], its children are the halves of the range around it.
    std::vector<int> kdIndex;
    std::vector<std::string> log; // why files or list entries were skipped
};

// Parsing of single files (also used by the fuzz targets and tests).
// `shom` selects the SHOM port-name rules and degree-minute positions. Reads blocks until an
// empty line, the end or a malformed block; false when the port line is missing.
bool parseCurrentFile(std::string_view text, bool shom, CurrentFile& file);
// The SHOM port-name rules: "BREST BM" -> "BREST" counted from low water.
std::string shomPortName(std::string_view line, bool& fromHigh);
// A SHOM DDMM.mm value in decimal degrees.
double shomDegrees(double value);
// Reads a triangle list and a vertex list; entries naming a vertex or triangle that does not
// exist make the triangle unusable or are dropped, and are logged.
void parseMeshLists(std::string_view triangles, std::string_view vertexLists, CurrentField& field);
// Bounding box and the colour of a file from its points.
void finishCurrentFile(CurrentFile& file);
// Builds the vertex list and the nearest-vertex tree from the files.
void indexCurrentField(CurrentField& field);

// Loads one provider from the current folder. Files whose port is not a station of `tides`
// are skipped (and logged). Fails when no file is usable or a list cannot be read.
bool loadCurrentField(CurrentKind kind, const std::string& folder, const TideHarmonics& tides,
                      CurrentField& field);

// Nearest vertex to a place (degrees of longitude and latitude as plane coordinates), or -1.
int nearestVertex(const CurrentField& field, float lon, float lat);
// The triangle holding the place, or -1 (then `nearest` is the nearest vertex).
int findTriangle(const CurrentField& field, float lon, float lat, int& nearest);

// One point's stream at h hours from its reference event and a coefficient: east and north
// in knots.
void pointCurrent(const CurrentPoint& point, double h, double coefficient, double& east,
                  double& north);

// The stream at a place and time (day number). Reads only; safe from several threads.
CurrentSample currentAt(const CurrentField& field, const TideHarmonics& tides, float lon, float lat,
                        double time);

// The providers of streams, and the active one: -1 none, 0 DEFAULT and 1 SHOM (the tidal
// atlases over one tide predictor), 2 a current forecast (a GRIB of ocean currents).
class CurrentProvider : public CurrentSource {
  public:
    // Loads both providers from the current folder; the tide predictor must outlive this.
    // The active mode becomes the first loaded provider. Answers whether any loaded.
    bool load(const std::string& folder, const TideHarmonics& tides);
    // Makes `mode` active when that provider holds data; otherwise no provider is active
    // and there are no streams.
    void setStreamProvider(int mode);
    int mode() const { return mode_; }
    const CurrentField* field(CurrentKind kind) const;
    const CurrentField* activeField() const;
    void setField(CurrentKind kind, std::unique_ptr<CurrentField> field,
                  const TideHarmonics& tides);
    // The current forecast of provider 2 (none: provider 2 has no data); it must outlive this
    // or be replaced first. Provider 2 becomes active only through setStreamProvider.
    void setForecast(const CurrentSource* forecast);
    const CurrentSource* forecast() const { return forecast_; }

    CurrentSample currentAt(float lon, float lat, double time) const override;

  private:
    const TideHarmonics* tides_ = nullptr;
    std::unique_ptr<CurrentField> default_, shom_;
    const CurrentSource* forecast_ = nullptr;
    int mode_ = -1;
};

// Writes a DEFAULT current file (through a temporary file): the port line, then a position
// line and the spring and neap lines (tenths of a knot) per point.
bool writeDefaultCurrentFile(const std::string& path, const CurrentFile& file, std::string& error);
// Writes the triangle and vertex lists of a mesh: both are replaced, or neither.
bool writeMeshLists(const std::string& trianglePath, const std::string& vertexPath,
                    const std::vector<std::array<int, 3>>& triangles, int vertexCount,
                    std::string& error);

// Delaunay triangulation (Bowyer-Watson) of plane points. Duplicate points take part in no
// triangle. Answers triangles of point indices, counter-clockwise.
std::vector<std::array<int, 3>> delaunayTriangles(const std::vector<std::array<double, 2>>& points);

} // namespace navorel

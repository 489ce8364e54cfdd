#pragma once
// Builds a shoreline polygon file (the layout ShorelineStore reads) from the text dump of
// `gmt coast -Rg -D<res> -W -A0/1/2 -M --FORMAT_FLOAT_OUT=%.12g` (GSHHG shorelines).
//
// The dump is not a list of polygons: it gives pieces per GMT bin, each headed
// "> Shore Bin # N, Level L". A ring wholly inside a bin comes closed; the other pieces end
// on bin edges where the next piece of the same ring starts at exactly the same point (or the
// same point 360 degrees away). The builder chains the pieces into rings, closes the ring
// that goes round the globe (Antarctica) along the pole, cuts every ring into one-degree
// cells by recursive bisection and writes land (level 1) and lakes (level 2).
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace navorel {

struct ShorePoint {
    double x; // longitude, degrees (unwrapped: may leave 0..360 along a chained ring)
    double y; // latitude, degrees
};

struct CoastPiece {
    int level = 0; // GSHHS level: 1 land, 2 lake, 3 island in a lake, 4 pond
    std::vector<ShorePoint> points;
};

using ShoreRing = std::vector<ShorePoint>; // closed: the last point joins the first

// Contours cut to the one-degree cells, in file coordinates (longitudes 0..360).
struct ShorelineCellSet {
    static constexpr int kCells = 360 * 180;
    struct Cell {
        std::vector<ShoreRing> land, lakes;
    };
    std::vector<Cell> cells = std::vector<Cell>(kCells);
    // lonIndex 0..359, latIndex -90..89
    Cell& at(int lonIndex, int latIndex) { return cells[lonIndex * 180 + latIndex + 90]; }
    const Cell& at(int lonIndex, int latIndex) const {
        return cells[lonIndex * 180 + latIndex + 90];
    }
};

struct ShorelineBuildStats {
    long long pieces = 0;        // pieces of levels 1 and 2 read
    long long points = 0;        // their points
    long long rings[2] = {0, 0}; // rings of land and lakes after chaining
    long long polarRings = 0;    // rings closed along a pole
    long long brokenChains = 0;  // chains whose end found no next piece (closed as they were)
    long long contours = 0;      // contours written
    long long vertices = 0;      // vertices written
    long long fileBytes = 0;
};

// Reads the dump; levels other than 1 and 2 are skipped. False with a message on a line that
// is neither a header nor two numbers.
bool readCoastDump(std::FILE* in, std::vector<CoastPiece>& pieces, std::string& error);

// Chains the pieces of one level into rings. Longitudes are unwrapped along each ring; a ring
// that goes once round the globe is started at longitude 0 exactly and closed along the pole.
std::vector<ShoreRing> chainCoastPieces(const std::vector<CoastPiece>& pieces, int level,
                                        ShorelineBuildStats& stats);

// Cuts a ring into one-degree cells and adds the pieces to the land (lake = false) or lake
// contours of the cells. Cut vertices lie exactly on whole degrees; a cell wholly inside the
// ring receives the whole cell square; pieces of no area are dropped. Longitudes may be
// unwrapped (-10..190, say): each piece is moved by whole turns into its cell in 0..360.
void clipRingIntoCells(const ShoreRing& ring, bool lake, ShorelineCellSet& cells);

// Writes the cells as a polygon file: through a temporary file renamed over path.
bool writeShorelineFile(const std::string& path, const ShorelineCellSet& cells,
                        ShorelineBuildStats& stats, std::string& error);

// The whole conversion of one dump into one file.
bool buildShorelineFile(std::FILE* dump, const std::string& path, ShorelineBuildStats& stats,
                        std::string& error);

} // namespace navorel

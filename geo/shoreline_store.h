#pragma once
// Shoreline polygons cut into one-degree cells, read lazily from the polygon files
// Data/Gshhs/poly-<c|l|i|h|f>-1.dat.
//
// File layout (all integers 32-bit little-endian, reals IEEE double little-endian):
//   offset 0   48-byte header: word 1 = cell width, word 2 = cell height (whole degrees)
//   offset 48  cell index, one absolute offset per cell, longitude-major:
//              word number (x / width) * (180 / height) + (y + 90) / height
//   at a cell's offset: the land block, then the lake block; each block is a contour count,
//   then per contour one unused word, a vertex count and the vertices as (lon, lat) pairs in
//   millionths of a degree. Longitudes run 0..360, latitudes -90..90.
// Contours are clipped to their cell; the edges lying on the cell's border are artificial.
#include "core/geodesy.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace navorel {

// A closed ring: the last vertex joins the first. Longitudes 0..360, latitudes -90..90.
struct ShorelineContour {
    std::vector<GeoPoint> vertices;
};

// Up to kEdgesPerBlock consecutive edges of one land contour with their bounding box (file
// longitudes); border edges are marked in borderMask (bit n for edge first + n) so the land
// test can skip whole runs far from a move. Blocks made only of border edges are not kept.
struct ShorelineEdgeBlock {
    static constexpr int kEdgesPerBlock = 32;
    float minLon, minLat, maxLon, maxLat;
    std::uint32_t contour;   // index into the cell's land contours
    std::uint32_t firstEdge; // edge k runs from vertex k to vertex k + 1 (the last one closes)
    std::uint32_t edgeCount;
    std::uint32_t borderMask;
};

// A run of consecutive blocks of a cell with the union of their boxes: a move far from the
// run skips all of its blocks with one test.
struct ShorelineBlockGroup {
    static constexpr std::uint32_t kBlocksPerGroup = 8;
    float minLon, minLat, maxLon, maxLat;
    std::uint32_t firstBlock;
    std::uint32_t blockCount;
};

struct ShorelineCell {
    int lonIndex = 0; // 0..359
    int latIndex = 0; // -90..89
    // South-west corner and size of the cell as the file cuts it (for the border-edge test).
    float west = 0, south = 0, width = 1, height = 1;
    std::vector<ShorelineContour> land;  // GSHHS level 1
    std::vector<ShorelineContour> lakes; // GSHHS level 2
    std::vector<ShorelineEdgeBlock> landBlocks;
    std::vector<ShorelineBlockGroup> landGroups; // over landBlocks, in order
};

// The header as read from the file; only the cell size is used.
struct ShorelineFileHeader {
    std::array<std::int32_t, 12> words{};
    int cellWidth() const { return words[1]; }
    int cellHeight() const { return words[2]; }
};

// True when the edge a -> b runs along the border of the cell (exact comparisons on file
// coordinates). Such edges are never drawn as coastline and never count as a crossing.
bool isBorderEdge(const ShorelineCell& cell, GeoPoint a, GeoPoint b);

// The file letter of a level: below 0 counts as 0 ('c'), above 4 as 4 ('f').
char shorelineLevelLetter(int level);
// The status-bar text of a drawing level 0..4, "Gshhs [0 . . . .]" to "Gshhs [. . . . 4]"
// (clamped like the file letter).
std::string shorelineLevelStatusText(int level);
// folder + "poly-" + letter + "-1.dat" (a '/' is put between when folder lacks one).
std::string shorelineFileName(const std::string& folder, int level);

// Longitude index of any whole degree mapped into 0..359.
inline int wrapLonIndex(int i) {
    const int m = i % 360;
    return m < 0 ? m + 360 : m;
}

struct ShorelineCellIndex {
    int lon; // 0..359
    int lat; // -90..89
};
// The cells a view covers: longitudes floor(west) up to, not including, ceil(east) (at least
// one), mapped into 0..359; latitudes likewise, those outside -90..89 left out. Longitude
// outer, latitude inner. A view of 350..370 gives cells 350..359 then 0..9.
std::vector<ShorelineCellIndex> visibleShorelineCells(double west, double east, double south,
                                                      double north);

// One level of the shoreline polygons, with the cells read so far.
//
// Threads: cellAt, and everything built on it, may be called from several threads at once
// (the routing worker and the chart painter): a cell is read once under a lock and then
// published; readers of a published cell take no lock. openLevel and destruction replace the
// cache and must not overlap any other call on the same store.
class ShorelineStore {
  public:
    // folder: the shoreline folder, e.g. "<program folder>/Data/Gshhs/".
    explicit ShorelineStore(std::string folder);
    ~ShorelineStore();
    ShorelineStore(const ShorelineStore&) = delete;
    ShorelineStore& operator=(const ShorelineStore&) = delete;

    // Opens the file of a level (clamped to 0..4 for the file; the level itself is recorded).
    // Reopening the current level while its file is open does nothing and keeps the cells.
    // A missing file, or one whose header is short or announces a cell size that does not
    // divide the globe, leaves the store without a file. Answers whether a file is open.
    bool openLevel(int level);

    int level() const { return level_; }
    bool hasFile() const { return file_ != nullptr; }
    const std::string& folder() const { return folder_; }
    const ShorelineFileHeader& header() const { return header_; }

    // The cell of a longitude index (any whole degree, wrapped into 0..359) and a latitude
    // index (-90..89), read on first use. Outside -90..89, without a file, or when the cell's
    // data is truncated or corrupt, the cell is empty.
    const ShorelineCell& cellAt(int lonIndex, int latIndex) const;

    // Number of cells read so far (for tests and diagnostics).
    int loadedCellCount() const;

  private:
    void discardCells();
    bool readCell(ShorelineCell& cell) const;
    bool readBlock(std::vector<ShorelineContour>& contours) const;

    std::string folder_;
    int level_ = -1;
    std::FILE* file_ = nullptr;
    long long fileSize_ = 0;
    ShorelineFileHeader header_;

    static constexpr int kCellCount = 360 * 180;
    // Published cells, index lon * 180 + (lat + 90); null until read.
    mutable std::unique_ptr<std::atomic<const ShorelineCell*>[]> cells_;
    mutable std::mutex readMutex_; // guards the file position and the first read of a cell
    mutable std::vector<unsigned char> readBuffer_;
};

} // namespace navorel

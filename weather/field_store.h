#pragma once
// A forecast of one scalar field (wave height) or one vector field (ocean current) read from
// GRIB records: the frames decoded from the file in time order on one regular grid, sampled
// bilinearly in space and linearly in time. Values are kept as they were decoded (no polar
// form), so a vector field blends its components.
//
// The wind store's hourly frames are the linear blend of the two decoded frames around them,
// and a sample between two hourly frames blends those linearly again: for components and
// scalars that is exactly the linear blend of the two decoded frames. This store therefore
// keeps the decoded frames alone and blends between them when sampled, as the wind store does
// for its frames made on demand; its memory is that of the records.
//
// A store is built whole and then only read: any number of threads may sample it at once.
#include <cstddef>
#include <string>
#include <vector>

#include "weather/grib.h"

namespace navorel {

// The decoder marks missing points with 9999; anything above this is no value.
inline constexpr float kFieldMissingAbove = 9900.0f;

// A longitude brought into -180..180. Values from a damaged grid, far out, are cut to one turn
// first (exactly).
float longitudeInto180(float lon);

// Whole hours since 1 January 1980 of the valid time of a record's date and forecast hour.
long long validHour(int year, int month, int day, int hour, int forecastHour);

// The regular grid of a field: rows south to north, west to east within a row.
struct FieldGrid {
    int nx = 0, ny = 0;
    double lon0 = 0, lat0 = 0; // the south-west point, degrees (lon0 in -180..180)
    double di = 0, dj = 0;     // degrees between columns and rows, > 0
    bool global = false;       // nx x di covers the whole turn: the last column joins the first
    double lon1() const { return lon0 + (nx - 1) * di; } // may pass 180
    double lat1() const { return lat0 + (ny - 1) * dj; }
};

struct FieldFrame {
    double time = 0;      // valid time, day number
    std::vector<float> a; // the scalar, or the east component; NaN where missing
    std::vector<float> b; // the north component; empty for a scalar field
};

enum class FieldLoadStatus {
    Ok,
    NoField,     // no record of the field (or a grid under 2 x 2 points)
    GridDiffers, // the records do not share one grid
    TooLarge,    // the frames would not fit in memory
    ReadFailed   // the file could not be read or decoded (the reason in the error text)
};

// One line saying why a field could not be loaded.
std::string fieldLoadMessage(FieldLoadStatus status, const std::string& name);

// The value and weights of a place in a frame.
struct FieldSpot {
    std::size_t p00 = 0, p10 = 0, p01 = 0, p11 = 0; // the cell's corners
    double a = 0, b = 0;                            // weights east and north within it
};

class FieldStore {
  public:
    // Builds the store from decoded records: every record named `first` (and, for a vector
    // field, `second`, paired by valid time) makes a frame; a valid time already taken is left
    // out (a second level), the first kept. Records of other names are ignored. On failure the
    // store is left as it was. Names are compared as text, so edition-1 tables and the
    // edition-2 names agree.
    FieldLoadStatus build(const std::vector<GribRecord>& records, const char* first,
                          const char* second = nullptr);
    // A field of directions in degrees (wave directions): each value is kept as its sine (a)
    // and cosine (b), so that directions blend on the circle (350 and 10 through 0).
    FieldLoadStatus buildDirections(const std::vector<GribRecord>& records, const char* name);
    void clear() { *this = FieldStore{}; }

    bool empty() const { return frames_.empty(); }
    bool isVector() const { return vector_; }
    const FieldGrid& grid() const { return grid_; }
    const std::vector<FieldFrame>& frames() const { return frames_; }
    // Valid times of the first and last frame (day numbers); 0 for an empty store.
    double firstTime() const { return frames_.empty() ? 0 : frames_.front().time; }
    double lastTime() const { return frames_.empty() ? 0 : frames_.back().time; }
    std::size_t storedValues() const;

    // The cell of a place, or false outside the grid. O(1).
    bool locate(float lon, float lat, FieldSpot& spot) const;
    // Bilinear value of frame k at a located place; false when a corner is missing.
    bool frameValue(std::size_t k, const FieldSpot& spot, float& a, float& b) const;
    // The field at a place and day number: bilinear in each of the two frames around t, then
    // linear between them. False outside the grid, before the first or after the last frame,
    // or where a value needed is missing (land). `b` is 0 for a scalar field.
    bool sample(float lon, float lat, double t, float& a, float& b) const;

  private:
    bool vector_ = false;
    FieldGrid grid_;
    std::vector<FieldFrame> frames_;
};

} // namespace navorel

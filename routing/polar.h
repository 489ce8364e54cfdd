#pragma once
// The boat's speed table: boat speed through the water by true wind angle and speed.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace navorel {

struct Polar {
    std::string name;                     // file name without folder and extension
    std::vector<std::vector<float>> table; // row 0: header (TWS in kt); rows 1..: TWA, speeds
    int rowCount = 0;
    int lastRow = -1;
    int lastColumn = -1;
    float minTwa = 0, maxTwa = 0, minTws = 0, maxTws = 0;
    // Drawing extents of the polar diagram.
    double maxAcross = 0, minAlong = 1000, maxAlong = -100;

    // Precomputed at load for the best-VMG searches: for each angle of the upwind search
    // (minTwa, minTwa + 1, ... < 60) and the downwind search (maxTwa, maxTwa - 1, ... > 120)
    // its row, row weight and cosine. The searches then only interpolate between columns.
    struct SearchAngle {
        float angle;
        int row;
        float weight;
        double cosine;
    };
    std::vector<SearchAngle> upwindAngles, downwindAngles;
    std::uint64_t serial = 0; // identifies this table in the per-thread search caches
};

struct BestAngle {
    float angle = 0;
    float speed = 0;
};

// Reads a .pol file. A table with fewer than two angle rows or two wind columns, or whose
// angles or wind speeds do not ascend, is refused with a message in `error`.
bool loadPolar(const std::string& path, Polar& polar, std::string& error);
// The same from text already in memory; `name` becomes the polar's name as given.
bool parsePolar(std::string_view text, std::string_view name, Polar& polar, std::string& error);

// The polar's name of a path: after the last '\' or '/', cut at the last '.'.
std::string polarNameOf(std::string_view path);

// Boat speed in knots at twa (degrees) and tws (knots); 0 outside the table's angles.
float polarSpeed(const Polar& polar, float twa, float tws);
// The angle of best upwind VMG (searched from minTwa below 60 degrees) and its speed.
BestAngle bestUpwind(const Polar& polar, float tws);
// The angle of best downwind VMG (searched from maxTwa above 120 degrees) and its speed.
// When no angle gives a positive VMG: the deepest table angle with speed 0.
BestAngle bestDownwind(const Polar& polar, float tws);
// The speed the routing uses: raises twa to the best upwind angle or lowers it to the best
// downwind angle when it lies beyond them, and says so through `adjusted`.
float sailingSpeed(const Polar& polar, float tws, float& twa, bool& adjusted);

// The plain searches, stepping through polarSpeed for every angle; the fast ones above must
// answer exactly the same (kept for tests and benchmarks).
BestAngle bestUpwindPlain(const Polar& polar, float tws);
BestAngle bestDownwindPlain(const Polar& polar, float tws);

} // namespace navorel

#pragma once
// The boat's speed in waves: a table of percentages of the polar speed by significant wave
// height (rows, metres, increasing) and true wave angle (columns, degrees 0..180 increasing:
// 0 the seas from dead ahead, 180 from dead astern), read from Waves.csv of the polar folder.
//
// Waves.csv: comma-separated; the first line holds a label then the angles; each further line
// a height then one percentage per angle. Blank lines and lines starting with '#' are skipped.
//     Hs\TWA,0,45,90,135,180
//     0,100,100,100,100,100
//     2,90,92,96,98,100
#include <string>
#include <string_view>
#include <vector>

namespace navorel {

// The table's file name in the polar folder.
inline constexpr const char* kWaveTableFile = "Waves.csv";

struct WaveTable {
    std::vector<double> heights; // m, strictly increasing
    std::vector<double> angles;  // degrees, strictly increasing within 0..180
    std::vector<double> percent; // heights.size() x angles.size(), row by row
    bool empty() const { return heights.empty(); }
};

// Parses the text of a table. False with one line in `error` ("line 3: ...") when a line is
// not a row of numbers, the rows or columns do not increase, or a row has the wrong length;
// the table is left as it was.
bool parseWaveTable(std::string_view text, WaveTable& table, std::string& error);
bool loadWaveTable(const std::string& path, WaveTable& table, std::string& error);

// The percentage of the polar speed at a height (m) and true wave angle (degrees, folded into
// 0..180 first), bilinear between the table's rows and columns; beyond the first or last row or
// column the edge's value holds. 100 for an empty table.
double wavePercent(const WaveTable& table, double height, double angle);

} // namespace navorel

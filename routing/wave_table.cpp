#include "routing/wave_table.h"

#include "weather/tide_text.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace navorel {

namespace {

// The numbers of a comma-separated line; false when a cell is no number.
bool numbers(std::string_view line, std::vector<double>& out, bool skipFirst) {
    out.clear();
    std::size_t start = 0;
    bool first = true;
    while (start <= line.size()) {
        std::size_t end = line.find(',', start);
        if (end == std::string_view::npos) end = line.size();
        std::string cell(line.substr(start, end - start));
        if (!(first && skipFirst)) {
            char* stop = nullptr;
            const double v = std::strtod(cell.c_str(), &stop);
            while (stop && (*stop == ' ' || *stop == '\t' || *stop == '\r')) ++stop;
            if (cell.empty() || stop == cell.c_str() || *stop != '\0' || !std::isfinite(v))
                return false;
            out.push_back(v);
        }
        first = false;
        start = end + 1;
    }
    return true;
}

bool increasing(const std::vector<double>& v) {
    for (std::size_t i = 1; i < v.size(); ++i)
        if (!(v[i] > v[i - 1])) return false;
    return true;
}

// Index i and weight w with x between v[i] and v[i + 1] (w = 0 on or before the first, the
// last index alone past the last).
void bracket(const std::vector<double>& v, double x, std::size_t& i, double& w) {
    if (v.size() == 1 || !(x > v.front())) {
        i = 0;
        w = 0;
        return;
    }
    if (x >= v.back()) {
        i = v.size() - 2;
        w = 1;
        return;
    }
    i = static_cast<std::size_t>(std::upper_bound(v.begin(), v.end(), x) - v.begin()) - 1;
    w = (x - v[i]) / (v[i + 1] - v[i]);
}

} // namespace

bool parseWaveTable(std::string_view text, WaveTable& table, std::string& error) {
    WaveTable t;
    std::vector<double> row;
    int lineNo = 0;
    bool header = true;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNo;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        const std::string where = "line " + std::to_string(lineNo) + ": ";
        if (!numbers(line, row, header)) {
            error = where + "not a row of numbers";
            return false;
        }
        if (header) {
            if (row.empty() || !increasing(row) || row.front() < 0 || row.back() > 180) {
                error = where + "the angles must increase from 0 to 180";
                return false;
            }
            t.angles = row;
            header = false;
            continue;
        }
        if (row.size() != t.angles.size() + 1) {
            error =
                where + "a height and " + std::to_string(t.angles.size()) + " percentages expected";
            return false;
        }
        if (!t.heights.empty() && !(row.front() > t.heights.back())) {
            error = where + "the heights must increase";
            return false;
        }
        t.heights.push_back(row.front());
        t.percent.insert(t.percent.end(), row.begin() + 1, row.end());
    }
    if (t.heights.empty()) {
        error = "no row of heights";
        return false;
    }
    table = std::move(t);
    return true;
}

bool loadWaveTable(const std::string& path, WaveTable& table, std::string& error) {
    std::string text;
    if (!readTextFile(path, text)) {
        error = path + ": cannot be read";
        return false;
    }
    if (!parseWaveTable(text, table, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

double wavePercent(const WaveTable& t, double height, double angle) {
    if (t.empty()) return 100.0;
    angle = std::fabs(std::remainder(angle, 360.0)); // 0..180
    std::size_t i = 0, j = 0;
    double wi = 0, wj = 0;
    bracket(t.heights, height, i, wi);
    bracket(t.angles, angle, j, wj);
    const std::size_t n = t.angles.size();
    const std::size_t i1 = t.heights.size() > 1 ? i + 1 : i, j1 = n > 1 ? j + 1 : j;
    const auto at = [&](std::size_t r, std::size_t c) { return t.percent[r * n + c]; };
    const double low = at(i, j) + (at(i, j1) - at(i, j)) * wj;
    const double high = at(i1, j) + (at(i1, j1) - at(i1, j)) * wj;
    return low + (high - low) * wi;
}

} // namespace navorel

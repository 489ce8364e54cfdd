// Writers of current files and meshes, and the triangulation that builds a mesh.
#include "core/atomic_file.h"
#include "weather/current_field.h"
#include "weather/tide_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <utility>

namespace navorel {

bool writeDefaultCurrentFile(const std::string& path, const CurrentFile& file, std::string& error) {
    std::string text = file.portName + "\n";
    char buffer[64];
    auto values = [&text, &buffer](const std::array<float, 13>& table) {
        for (std::size_t i = 0; i < table.size(); ++i) {
            std::snprintf(buffer, sizeof buffer, i == 0 ? "%ld" : " %ld",
                          std::lround(static_cast<double>(table[i]) * 10));
            text += buffer;
        }
    };
    for (const CurrentPoint& p : file.points) {
        std::snprintf(buffer, sizeof buffer, "%.5f %.5f\n", p.lat, p.lon);
        text += buffer;
        values(p.springEast);
        text += " | ";
        values(p.springNorth);
        text += "\n";
        values(p.neapEast);
        text += " | ";
        values(p.neapNorth);
        text += "\n";
    }
    return replaceFileContents(path, text, error);
}

bool writeMeshLists(const std::string& trianglePath, const std::string& vertexPath,
                    const std::vector<std::array<int, 3>>& triangles, int vertexCount,
                    std::string& error) {
    std::string tri, vert;
    std::vector<std::vector<int>> of(static_cast<std::size_t>(std::max(vertexCount, 0)));
    for (std::size_t t = 0; t < triangles.size(); ++t) {
        const auto& c = triangles[t];
        tri +=
            std::to_string(c[0]) + " " + std::to_string(c[1]) + " " + std::to_string(c[2]) + "\n";
        for (int v : c)
            if (v >= 0 && v < vertexCount)
                of[static_cast<std::size_t>(v)].push_back(static_cast<int>(t));
    }
    for (const auto& list : of) {
        for (std::size_t i = 0; i < list.size(); ++i)
            vert += (i ? " " : "") + std::to_string(list[i]);
        vert += "\n";
    }
    // The two lists index each other: they are replaced together or not at all.
    return replaceFilesTogether({{trianglePath, tri}, {vertexPath, vert}}, error);
}

namespace {

struct Circle {
    double x, y, r2;
};

Circle circumcircle(const std::array<double, 2>& a, const std::array<double, 2>& b,
                    const std::array<double, 2>& c) {
    const double d = 2 * (a[0] * (b[1] - c[1]) + b[0] * (c[1] - a[1]) + c[0] * (a[1] - b[1]));
    if (d == 0) return {0, 0, std::numeric_limits<double>::infinity()};
    const double a2 = a[0] * a[0] + a[1] * a[1], b2 = b[0] * b[0] + b[1] * b[1],
                 c2 = c[0] * c[0] + c[1] * c[1];
    const double x = (a2 * (b[1] - c[1]) + b2 * (c[1] - a[1]) + c2 * (a[1] - b[1])) / d;
    const double y = (a2 * (c[0] - b[0]) + b2 * (a[0] - c[0]) + c2 * (b[0] - a[0])) / d;
    return {x, y, (a[0] - x) * (a[0] - x) + (a[1] - y) * (a[1] - y)};
}

} // namespace

// Bowyer-Watson: insert the points one by one into a triangulation that starts as one huge
// triangle; the triangles whose circumcircle holds the new point are removed and the hole is
// fanned from the point. O(n^2), meant for atlases of a few thousand points at most.
std::vector<std::array<int, 3>> delaunayTriangles(const std::vector<std::array<double, 2>>& input) {
    std::vector<std::array<int, 3>> result;
    const int n = static_cast<int>(input.size());
    if (n < 3) return result;
    double minX = input[0][0], maxX = minX, minY = input[0][1], maxY = minY;
    for (const auto& p : input) {
        minX = std::min(minX, p[0]);
        maxX = std::max(maxX, p[0]);
        minY = std::min(minY, p[1]);
        maxY = std::max(maxY, p[1]);
    }
    const double span = std::max({maxX - minX, maxY - minY, 1e-9});
    const double cx = (minX + maxX) / 2, cy = (minY + maxY) / 2;
    std::vector<std::array<double, 2>> pts = input;
    pts.push_back({cx - 40 * span, cy - 30 * span});
    pts.push_back({cx + 40 * span, cy - 30 * span});
    pts.push_back({cx, cy + 40 * span});
    struct Tri {
        std::array<int, 3> v;
        Circle c;
    };
    std::vector<Tri> tris{{{n, n + 1, n + 2}, circumcircle(pts[n], pts[n + 1], pts[n + 2])}};
    std::map<std::pair<double, double>, int> seen;
    for (int i = 0; i < n; ++i) {
        const auto& p = pts[static_cast<std::size_t>(i)];
        if (!seen.emplace(std::make_pair(p[0], p[1]), i).second) continue; // a duplicate
        std::map<std::pair<int, int>, int> edges; // boundary of the hole, counted
        std::vector<Tri> kept;
        for (const Tri& t : tris) {
            const double dx = p[0] - t.c.x, dy = p[1] - t.c.y;
            if (dx * dx + dy * dy < t.c.r2 * (1 + 1e-12)) {
                for (int e = 0; e < 3; ++e) {
                    int a = t.v[static_cast<std::size_t>(e)],
                        b = t.v[static_cast<std::size_t>((e + 1) % 3)];
                    if (a > b) std::swap(a, b);
                    ++edges[{a, b}];
                }
            } else {
                kept.push_back(t);
            }
        }
        for (const auto& [edge, count] : edges) {
            if (count != 1) continue;
            const auto& a = pts[static_cast<std::size_t>(edge.first)];
            const auto& b = pts[static_cast<std::size_t>(edge.second)];
            const Circle c = circumcircle(a, b, p);
            if (!std::isfinite(c.r2)) continue; // collinear with the edge
            kept.push_back({{edge.first, edge.second, i}, c});
        }
        tris = std::move(kept);
    }
    for (const Tri& t : tris) {
        if (t.v[0] >= n || t.v[1] >= n || t.v[2] >= n) continue;
        std::array<int, 3> v = t.v;
        const auto &a = pts[static_cast<std::size_t>(v[0])],
                   &b = pts[static_cast<std::size_t>(v[1])],
                   &c = pts[static_cast<std::size_t>(v[2])];
        const double cross = (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
        if (cross == 0) continue;
        if (cross < 0) std::swap(v[1], v[2]);
        result.push_back(v);
    }
    std::sort(result.begin(), result.end());
    return result;
}

} // namespace navorel

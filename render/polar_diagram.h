#pragma once
// The polar diagram: the boat's speed curves of every table wind drawn around an origin with
// TWA 0 pointing up and TWA 90 to the right, and the read-out under the mouse. The layout and
// the read-out are Qt-free; paintPolarDiagram draws with QPainter.
#include "routing/polar.h"

#include <string>
#include <vector>

class QPainter;
class QPointF;

namespace navorel {

// k pixels per knot, (x0, y0) the origin. k is 0 when nothing can be drawn (no table, all
// speeds 0, or a window without area).
struct PolarDiagramLayout {
    double k = 0, x0 = 0, y0 = 0;
    bool valid() const { return k > 0; }
};

PolarDiagramLayout polarDiagramLayout(const Polar& polar, int width, int height);

// Screen point of boat speed `speed` (knots) at true wind angle `twa` (degrees).
void polarDiagramPoint(const PolarDiagramLayout& layout, double twa, double speed, double& x,
                       double& y);

// What the mouse at (mouseX, mouseY) reads: `show` when the mouse lies right of the origin at
// an angle above the polar's first angle; `haveWind` when some wind of the table's range
// drives the boat at the speed the mouse's distance stands for. `lines` are the texts shown,
// label and value on one line.
struct PolarReadout {
    bool show = false;
    double twa = 0;
    bool haveWind = false;
    double tws = 0, boatSpeed = 0, vmg = 0;
    std::vector<std::string> lines;
};

PolarReadout polarReadout(const Polar& polar, const PolarDiagramLayout& layout, double mouseX,
                          double mouseY);

// Draws the whole diagram on a white background over width x height pixels; `mouse` (may be
// null) adds the read-out.
void paintPolarDiagram(QPainter& painter, int width, int height, const Polar& polar,
                       const QPointF* mouse);

} // namespace navorel

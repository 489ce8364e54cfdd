#pragma once
// The routing panel (16 image buttons choosing how the routing result is drawn) and the
// information panel (the values of the routing step shown), drawn over the chart while a
// routing result exists and the panels are switched on. Layout, hit test and texts are plain
// values, tested without a display; the painters only draw them.
#include "routing/isochrone_point.h"

#include <array>
#include <string>
#include <vector>

class QPainter;
class QColor;

namespace navorel {

struct UserRoute;

constexpr int kPanelButtons = 16;
// Buttons 0..9 are the ten RenderModes; then follow mode, isochrones, segments, ellipse, hour
// labels and the results window.
enum PanelButton {
    kPanelFollow = 10,
    kPanelIsochrones = 11,
    kPanelSegments = 12,
    kPanelEllipse = 13,
    kPanelHours = 14,
    kPanelResults = 15,
};
// The image resource of each button, in button order.
extern const char* const kPanelImages[kPanelButtons];

struct PanelRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool contains(double px, double py) const {
        return px >= x && px < x + width && py >= y && py < y + height;
    }
};

// Both panels down the chart's left edge, under the toolbar's row: the buttons in two rows of
// eight, the information panel's 23 rows under them.
struct PanelLayout {
    std::array<PanelRect, kPanelButtons> buttons;
    PanelRect routing;     // the box round the buttons
    PanelRect information; // 23 rows of kInfoRowHeight
};
constexpr int kInfoRows = 23;
constexpr int kInfoRowHeight = 21;
constexpr int kPanelWidth = 208;
PanelLayout layoutPanels(int left = 10, int top = 80);

// The button under (x, y), or -1.
int panelButtonAt(const PanelLayout& layout, double x, double y);

// The 23 rows for step `step` of `route` (the best route of the result): each a label and a
// value (rows 1 to 6 and 15 are a single text, in the label). Speeds in knots, distances in
// miles, angles in degrees. `userRoute` gives the waypoint each step heads for. A route that
// did not arrive has its `mark` ("Cancelled", "Not arrived") before its last time, in place
// of an arrival.
struct InfoRow {
    std::string label, value;
};
std::vector<InfoRow> informationRows(const std::vector<IsochronePoint>& route, int step,
                                     const UserRoute* userRoute, const std::string& mark = {});

// The buttons with their images; `pressed[i]` draws button i pressed.
void paintRoutingPanel(QPainter& painter, const PanelLayout& layout,
                       const std::array<bool, kPanelButtons>& pressed, const QColor& back);
void paintInformationPanel(QPainter& painter, const PanelLayout& layout,
                           const std::vector<InfoRow>& rows, const QColor& back);

// The forecast's information text (name, grid size, longitudes, latitudes: its lines without
// the empty ones) and the dates it spans, "dd/mm hh:mm - dd/mm hh:mm", one row each.
std::vector<std::string> gribInformationRows(const std::string& informationText, double first,
                                             double last);
// Where the rows go: under the information panel while it is shown, else in its place.
PanelRect gribInformationRect(const PanelLayout& layout, bool underInformation, int rows);
// The rows in `where`, on the panel's colour; the box widens to its longest row.
void paintGribInformation(QPainter& painter, const PanelRect& where,
                          const std::vector<std::string>& rows, const QColor& back);

} // namespace navorel

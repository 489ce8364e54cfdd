#pragma once
// What the window draws over its cached chart besides the boat's tooltip: the routing and
// information panels, the time bar with its tooltip, and the tooltips of a route leg and of a
// scanned run. The widget keeps the state below and routes the mouse; this draws it.
#include "app/display_state.h"
#include "app/startup.h"
#include "render/panels.h"
#include "render/time_bar.h"

#include <QPointF>

namespace navorel::app {

struct OverlayState {
    bool overlaysShown = false; // the toolbar and the time bar (pointing at the top, or pinned)
    TimeBar bar;
    bool barHovered = false, barDragged = false;
    bool follow = false; // the view follows the routing step
    PanelLayout panels = layoutPanels();
    QPointF mouse{-1000, -1000};
    double mouseLon = 0, mouseLat = 0;
    bool legHovered = false; // the user route's leg under the mouse (UserRoute::hoveredLeg)
    int scanHovered = -1;    // the scanned run under the mouse
    int selectedRun = -1;    // the scanned run chosen in the results window, or -1
};

// The route the panels and the time bar step through: the scanned run `run` when the result
// has it, else the result's last run.
const std::vector<IsochronePoint>* resultRoute(const RoutingResult* result, int run = -1);

// How the figures of run `run` (-1 the last run made) are marked when it did not arrive:
// "Cancelled" or "Not arrived"; empty for a run that arrived.
std::string runMark(const RoutingResult& result, int run, const TextProvider& texts);
// The panels are shown while a result with a route exists and ShowPanels is on.
bool panelsShown(const AppData& data, const RoutingResult* result);

// The bar's rectangle for a client width and its range: the routing's when a result of more
// than one point exists, else the forecast's.
void layoutBar(OverlayState& state, const AppData& data, const RoutingResult* result, int width);

// The point of the result's route within 5 pixels of (x, y), or -1.
int resultPointAt(const MapView& view, const RoutingResult* result, double x, double y);
// The scanned run passing within 5 pixels of (x, y), or -1.
int scanRunAt(const MapView& view, const RoutingResult* result, double x, double y);
// "Routing 2: Imoca 100% - wind 90% - +3 h - 02 - 05:30" for the summary of scan run `run`
// ("Routing" and "wind": language texts 77 and 518), followed by its mark when it did not
// arrive (" - Not arrived").
std::string scanRunText(const RoutingResult& result, int run, const TextProvider& texts);

void paintInterface(QPainter& painter, const AppData& data, const DisplayState& display,
                    const RoutingResult* result, const OverlayState& state);

// The action of routing panel button `button`: RenderMode, follow and the display switches.
// Answers whether the chart must be drawn again (the results window is not there yet).
bool pressPanelButton(AppData& data, OverlayState& state, int button);

} // namespace navorel::app

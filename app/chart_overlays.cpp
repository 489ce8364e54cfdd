#include "app/chart_overlays.h"

#include "app/forecast_sets.h"
#include "render/chart_painter.h"
#include "render/routing_layer.h"

#include <QPainter>

#include <cmath>
#include <cstdio>

namespace navorel::app {

namespace {

QColor bgr(int c, int alpha = 255) {
    return QColor(c & 0xff, (c >> 8) & 0xff, (c >> 16) & 0xff, alpha);
}

double segmentDistance(QPointF p, QPointF a, QPointF b) {
    const QPointF d = b - a;
    const double length2 = d.x() * d.x() + d.y() * d.y();
    double t = length2 > 0 ? ((p - a).x() * d.x() + (p - a).y() * d.y()) / length2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const QPointF f = a + t * d - p;
    return std::hypot(f.x(), f.y());
}

} // namespace

const std::vector<IsochronePoint>* resultRoute(const RoutingResult* result, int run) {
    if (!result) return nullptr;
    if (run >= 0 && run < static_cast<int>(result->scanRoutes.size())) {
        const std::vector<IsochronePoint>& route =
            result->scanRoutes[static_cast<std::size_t>(run)];
        return route.empty() ? nullptr : &route;
    }
    if (result->output.route.empty()) return nullptr;
    return &result->output.route;
}

std::string runMark(const RoutingResult& result, int run, const TextProvider& texts) {
    const bool scanned = run >= 0 && run < static_cast<int>(result.summaries.size());
    if (runArrived(result, scanned ? run : -1)) return {};
    const int status =
        scanned ? result.summaries[static_cast<std::size_t>(run)].status : result.output.status;
    return texts.text(status == kStatusCancelled ? 442 : 443);
}

bool panelsShown(const AppData& data, const RoutingResult* result) {
    return resultRoute(result) && data.config.settings.routingDisplay.showPanels;
}

void layoutBar(OverlayState& state, const AppData& data, const RoutingResult* result, int width) {
    const ToolbarRow row = toolbarRow(width);
    state.bar.rect = layoutTimeBar(row.left, row.width);
    const std::vector<IsochronePoint>* route = resultRoute(result, state.selectedRun);
    if (route && route->size() > 1)
        state.bar.setRange(route->front().parentTime.dayNumber, route->back().time.dayNumber);
    else if (!data.wind.empty())
        state.bar.setRange(data.wind.frameTimes().front(), data.wind.frameTimes().back());
    else
        state.bar.setRange(0, 0);
}

int resultPointAt(const MapView& view, const RoutingResult* result, double x, double y) {
    const std::vector<IsochronePoint>* route = resultRoute(result);
    if (!route) return -1;
    for (std::size_t i = 0; i < route->size(); ++i) {
        const IsochronePoint& p = (*route)[i];
        double px, py;
        view.project(longitudeIntoView(view, p.lon), p.lat, px, py);
        if (std::hypot(px - x, py - y) <= 5) return static_cast<int>(i);
    }
    return -1;
}

int scanRunAt(const MapView& view, const RoutingResult* result, double x, double y) {
    if (!result || !result->scanning) return -1;
    const QPointF mouse(x, y);
    for (std::size_t r = 0; r < result->scanRoutes.size(); ++r) {
        const std::vector<IsochronePoint>& route = result->scanRoutes[r];
        for (const IsochronePoint& p : route) {
            double ax, ay, bx, by;
            view.project(longitudeIntoView(view, p.parentLon), p.parentLat, ax, ay);
            view.project(longitudeIntoView(view, p.lon), p.lat, bx, by);
            if (segmentDistance(mouse, {ax, ay}, {bx, by}) <= 5) return static_cast<int>(r);
        }
    }
    return -1;
}

std::string scanRunText(const RoutingResult& result, int run, const TextProvider& texts) {
    if (run < 0 || run >= static_cast<int>(result.summaries.size())) return {};
    const RunSummary& s = result.summaries[static_cast<std::size_t>(run)];
    const long long seconds = std::llround(routeDurationSeconds(s.route));
    char text[512];
    std::snprintf(text, sizeof text, "%s %d: %s %d%% - %s %d%% - %+d h - %02lld - %02lld:%02lld",
                  texts.text(77).c_str(), run + 1, s.polarName.c_str(), s.power,
                  texts.text(518).c_str(), s.variation, s.startOffset, seconds / 86400,
                  seconds % 86400 / 3600, seconds % 3600 / 60);
    const std::string mark = runMark(result, run, texts);
    return mark.empty() ? std::string(text) : std::string(text) + " - " + mark;
}

void paintInterface(QPainter& painter, const AppData& data, const DisplayState& display,
                    const RoutingResult* result, const OverlayState& state) {
    const Settings& s = data.config.settings;
    const QColor tooltip = bgr(s.toolbar.colorTooltip);
    if (const std::vector<IsochronePoint>* route = resultRoute(result, state.selectedRun);
        route && s.routingDisplay.showPanels) {
        const QColor back = bgr(s.window.colorPanel, s.window.opacityPanel);
        std::array<bool, kPanelButtons> pressed{};
        const int mode = s.routing.renderMode;
        if (mode >= 0 && mode < 10) pressed[static_cast<std::size_t>(mode)] = true;
        pressed[kPanelFollow] = state.follow;
        pressed[kPanelIsochrones] = s.routing.showIsochrones;
        pressed[kPanelSegments] = s.routing.showSegments;
        pressed[kPanelEllipse] = s.routing.showEllipse;
        pressed[kPanelHours] = s.routing.showHours;
        paintRoutingPanel(painter, state.panels, pressed, back);
        paintInformationPanel(painter, state.panels,
                              informationRows(*route, std::max(0, display.step), &data.route,
                                              runMark(*result, state.selectedRun, data.texts)),
                              back);
    }
    // The forecast's information: under the information panel, or in its place before a
    // routing.
    if (s.routingDisplay.showPanels && !data.wind.empty() && !s.routing.uniqueWind) {
        std::vector<std::string> rows =
            gribInformationRows(data.wind.informationText(), data.wind.frameTimes().front(),
                                data.wind.frameTimes().back());
        // Over several forecasts, when the selected route arrives against the others: first,
        // where the panel is seen whatever the window's height.
        if (result && !data.route.waypoints.empty()) {
            std::vector<std::string> spread = arrivalSpreadRows(
                *result, state.selectedRun, data.route.waypoints.back(), data.texts);
            rows.insert(rows.begin(), spread.begin(), spread.end());
        }
        paintGribInformation(painter,
                             gribInformationRect(state.panels, resultRoute(result) != nullptr,
                                                 static_cast<int>(rows.size())),
                             rows, bgr(s.window.colorPanel, s.window.opacityPanel));
    }
    if (state.overlaysShown && state.bar.hasRange() && !s.routing.uniqueWind) {
        paintTimeBar(painter, state.bar, state.bar.fractionOf(display.time),
                     bgr(s.toolbar.colorTooltime1), bgr(s.toolbar.colorTooltime2));
        if (state.barDragged || state.barHovered) {
            const double t = state.barDragged ? display.time : state.bar.timeAt(state.mouse.x());
            paintTooltip(painter, state.mouse, 22,
                         QString::fromStdString(timeTooltipText(t, data.texts)), tooltip);
        }
    }
    if (state.legHovered && data.route.hoveredLeg >= 0 &&
        data.route.hoveredLeg + 1 < static_cast<int>(data.route.waypoints.size())) {
        // The distance and bearing from the mouse to the leg's end.
        const GeoPoint end =
            data.route.waypoints[static_cast<std::size_t>(data.route.hoveredLeg + 1)];
        const double miles =
            greatCircleDistance(
                {static_cast<float>(state.mouseLon), static_cast<float>(state.mouseLat)}, end) /
            1852.0;
        char text[64];
        std::snprintf(text, sizeof text, "%.1f M - %.1f", miles, data.route.hoveredLegBearing);
        paintTooltip(painter, state.mouse, 20, text, tooltip);
    }
    if (result && state.scanHovered >= 0)
        paintTooltip(painter, state.mouse, 20,
                     QString::fromStdString(scanRunText(*result, state.scanHovered, data.texts)),
                     tooltip);
}

bool pressPanelButton(AppData& data, OverlayState& state, int button) {
    RoutingParameters& p = data.config.settings.routing;
    if (button >= 0 && button < 10) {
        p.renderMode = button;
    } else if (button == kPanelFollow) {
        state.follow = !state.follow;
    } else if (button == kPanelIsochrones) {
        p.showIsochrones = !p.showIsochrones;
    } else if (button == kPanelSegments) {
        p.showSegments = !p.showSegments;
    } else if (button == kPanelEllipse) {
        p.showEllipse = !p.showEllipse;
    } else if (button == kPanelHours) {
        p.showHours = !p.showHours;
    } else {
        return false; // the results window comes with the dialogs
    }
    return true;
}

} // namespace navorel::app

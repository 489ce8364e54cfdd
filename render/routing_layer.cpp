#include "render/routing_layer.h"

#include "geo/crossing.h"
#include "render/chart_painter.h"
#include "render/map_view.h"
#include "render/wind_symbols.h"
#include "routing/forecast_series.h"
#include "routing/routing_run.h"
#include "routing/user_route.h"
#include "settings/config_store.h"
#include "weather/color_table.h"

#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

namespace navorel {

RouteStyle routeStyle(int renderMode) {
    if (renderMode < 0 || renderMode > 9) return RouteStyle::Lines;
    return static_cast<RouteStyle>(renderMode);
}

std::uint32_t boatSpeedColour(float sog, float minSog, float maxSog) {
    int n = 127;
    const double span = static_cast<double>(maxSog) - minSog;
    if (std::isfinite(span) && span > 0 && std::isfinite(sog)) {
        const double v = std::trunc((static_cast<double>(sog) - minSog) * 255.0 / span);
        n = static_cast<int>(std::clamp(v, 0.0, 255.0));
    }
    return rgbColor(255 - n, n, 0);
}

int windForceIndex(float awsMs, int interval, int count) {
    if (count <= 0) return -1;
    const double knots = awsMs / kKnotToMs;
    if (interval < 1 || !std::isfinite(knots) || knots <= 0) return 0;
    const double index = std::trunc(knots / interval);
    return static_cast<int>(std::min<double>(index, count - 1));
}

std::uint32_t segmentColour(RouteStyle style, const IsochronePoint& p,
                            const SegmentColourInputs& in) {
    switch (style) {
    case RouteStyle::BoatSpeed:
        return boatSpeedColour(p.sog, in.minSog, in.maxSog);
    case RouteStyle::SailingEngine:
        return p.engine ? in.engine : in.sailing;
    case RouteStyle::WindForce: {
        const int count = in.windScale ? static_cast<int>(in.windScale->size()) : 0;
        const int k = windForceIndex(p.aws, in.windInterval, count);
        return k < 0 ? in.routing : (*in.windScale)[static_cast<std::size_t>(k)];
    }
    case RouteStyle::PointOfSail:
        if (p.engine) return kPointOfSailEngine;
        if (p.twa > 120) return kPointOfSailDownwind;
        if (p.awa < 40) return kPointOfSailUpwind;
        return kPointOfSailReaching;
    case RouteStyle::Current:
        if (p.currentDot > 0) return in.sailing;
        if (p.currentDot < 0) return in.engine;
        return kPointOfSailDownwind;
    case RouteStyle::Tacks:
        return p.awaSide == 1 ? in.engine : in.sailing;
    case RouteStyle::Dots:
    case RouteStyle::Lines:
    case RouteStyle::DotsAndLines:
    case RouteStyle::WindDirection:
        break;
    }
    return in.routing;
}

std::string scanRunLabel(const RoutingResult& result, int run) {
    const std::size_t n = result.summaries.size();
    if (run < 0 || static_cast<std::size_t>(run) >= n) return {};
    const RunSummary& s = result.summaries[static_cast<std::size_t>(run)];
    if (result.severalPolars) return s.polarName;
    if (!s.label.empty()) return s.label; // the forecast it sailed
    // The quantity that differs between the runs is the one scanned.
    auto varies = [&](auto field) {
        for (const RunSummary& other : result.summaries)
            if (field(other) != field(s)) return true;
        return false;
    };
    char text[48];
    if (varies([](const RunSummary& r) { return r.power; }))
        std::snprintf(text, sizeof text, "%d %%", s.power);
    else if (varies([](const RunSummary& r) { return r.variation; }))
        std::snprintf(text, sizeof text, "Wind %d %%", s.variation);
    else if (varies([](const RunSummary& r) { return r.startOffset; }))
        std::snprintf(text, sizeof text, "Start %+d h", s.startOffset);
    else
        std::snprintf(text, sizeof text, "%d %%", s.power);
    return text;
}

bool runArrived(const RoutingResult& result, int run) {
    if (run < 0) return result.output.arrived;
    const std::size_t k = static_cast<std::size_t>(run);
    // The run's flag stays set only when it reached its last waypoint.
    return k < result.summaries.size() && result.summaries[k].inProgress;
}

std::string runModel(const std::string& label) {
    const std::size_t at = label.rfind("member ");
    if (at == std::string::npos) return label;
    std::string model = label.substr(0, at);
    while (!model.empty() && model.back() == ' ') model.pop_back();
    return model;
}

int forecastBoldRun(const RoutingResult& result, const UserRoute* route) {
    if (!route || route->waypoints.empty() || result.summaries.size() < 2) return -1;
    for (const RunSummary& s : result.summaries)
        if (s.source < 0) return -1;
    return arrivalDistribution(result.summaries, route->waypoints.back(), -1).nearestMedian;
}

double routeLineWidth(float thickness, bool selected) {
    double w = std::isfinite(thickness) ? thickness * 0.25 : 1.0;
    w = std::clamp(w, 1.0, 64.0);
    return selected ? 3 * w : w;
}

namespace {

QColor qcolour(std::uint32_t c) {
    return QColor(redOf(c), greenOf(c), blueOf(c));
}

bool finitePoint(double lon, double lat) {
    return std::isfinite(lon) && std::isfinite(lat) && std::fabs(lat) <= 90;
}

// Screen positions of a segment's two ends, the second taken on the short way round from the
// first so a segment across the 180 degree meridian stays short.
struct ScreenSegment {
    QPointF a, b;
};

bool screenSegment(const MapView& view, double lon0, double lat0, double lon1, double lat1,
                   ScreenSegment& s) {
    if (!finitePoint(lon0, lat0) || !finitePoint(lon1, lat1)) return false;
    const double l0 = longitudeIntoView(view, lon0);
    const double l1 = l0 + std::remainder(lon1 - lon0, 360.0);
    double x, y;
    view.project(l0, lat0, x, y);
    s.a = {x, y};
    view.project(l1, lat1, x, y);
    s.b = {x, y};
    return true;
}

// Whether a box around two screen points, widened by `margin`, meets the view.
bool meetsView(const MapView& view, QPointF a, QPointF b, double margin) {
    return std::max(a.x(), b.x()) >= -margin && std::min(a.x(), b.x()) <= view.width + margin &&
           std::max(a.y(), b.y()) >= -margin && std::min(a.y(), b.y()) <= view.height + margin;
}

// A polyline through geographic points, each longitude taken on the short way round from the
// previous one; non-finite points break the line.
void drawGeoPolyline(QPainter& painter, const MapView& view, const std::vector<GeoPoint>& points) {
    QPolygonF line;
    double prevLon = 0, prevScreenLon = 0;
    auto flush = [&] {
        if (line.size() >= 2) {
            const QRectF box = line.boundingRect();
            if (meetsView(view, box.topLeft(), box.bottomRight(), 2)) painter.drawPolyline(line);
        }
        line.clear();
    };
    for (const GeoPoint& p : points) {
        if (!finitePoint(p.lon, p.lat)) {
            flush();
            continue;
        }
        const double screenLon = line.isEmpty()
                                     ? longitudeIntoView(view, p.lon)
                                     : prevScreenLon + std::remainder(p.lon - prevLon, 360.0);
        double x, y;
        view.project(screenLon, p.lat, x, y);
        line << QPointF(x, y);
        prevLon = p.lon;
        prevScreenLon = screenLon;
    }
    flush();
}

// Draws a front as a polyline, broken where a segment between neighbours crosses land of
// `land` (when given): a front that wraps round a cape must not be drawn across it.
void drawFront(QPainter& painter, const MapView& view, const std::vector<GeoPoint>& points,
               const ShorelineStore* land) {
    if (!land) {
        drawGeoPolyline(painter, view, points);
        return;
    }
    for (const std::vector<GeoPoint>&piece : cutAtLand(
             points, [land](GeoPoint a, GeoPoint b) { return segmentCrossesLand(*land, a, b); }))
        drawGeoPolyline(painter, view, piece);
}

// The fronts worth drawing: those of every leg that arrived, and those of the last leg when it
// did not arrive (they are not among the others then).
std::vector<const Isochrone*> drawnFronts(const RoutingOutput& out) {
    std::vector<const Isochrone*> fronts;
    for (const Isochrone& f : out.allIsochrones) fronts.push_back(&f);
    if (!out.arrived)
        for (const Isochrone& f : out.legIsochrones) fronts.push_back(&f);
    return fronts;
}

void paintSegments(QPainter& painter, const MapView& view,
                   const std::vector<const Isochrone*>& fronts, QColor colour) {
    painter.setPen(QPen(colour, 1));
    for (const Isochrone* f : fronts)
        for (const IsochronePoint& p : *f) {
            if (!p.valid) continue;
            ScreenSegment s;
            if (!screenSegment(view, p.parentLon, p.parentLat, p.lon, p.lat, s)) continue;
            if (meetsView(view, s.a, s.b, 2)) painter.drawLine(s.a, s.b);
        }
}

struct RouteDrawing {
    RouteStyle style = RouteStyle::Lines;
    double width = 1;
    bool black = false;    // a scanned route drawn in black
    bool arrived = true;   // only a route that arrived gets the arrival circle
    std::string label;     // written beside the route (the run of a scan, a note)
    double labelShare = 1; // where along the route, as a share of its points (1: the end)
    SegmentColourInputs colours;
    double barbShaft = 30, barbLength = 10;
};

void paintSquare(QPainter& painter, const MapView& view, QPointF centre, double side,
                 QColor colour) {
    const double half = side / 2;
    if (!meetsView(view, centre, centre, half)) return;
    painter.fillRect(QRectF(centre.x() - half, centre.y() - half, side, side), colour);
}

struct RouteLabel {
    QPointF at;
    QString text;
};

// Labels go over every route, so that no later route covers one.
void paintLabels(QPainter& painter, const std::vector<RouteLabel>& labels) {
    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);
    for (const RouteLabel& l : labels) {
        const QPointF at = l.at + QPointF(kArrivalCircleRadius + 4, 4);
        // On a white backing, so that the label reads over the routes and the wind.
        QRectF box = painter.boundingRect(QRectF(at.x(), at.y() - 14, 300, 18),
                                          Qt::AlignLeft | Qt::AlignVCenter, l.text);
        box.adjust(-2, 0, 2, 0);
        painter.fillRect(box, QColor(255, 255, 255, 210));
        painter.setPen(QPen(Qt::black, 1));
        painter.drawText(box, Qt::AlignCenter, l.text);
    }
}

void paintRoute(QPainter& painter, const MapView& view, const std::vector<IsochronePoint>& route,
                const RouteDrawing& d, std::vector<RouteLabel>& labels) {
    if (route.empty()) return;
    const bool dots = d.style == RouteStyle::Dots || d.style == RouteStyle::DotsAndLines;
    const bool lines = d.style != RouteStyle::Dots;
    const double margin = d.width + (d.style == RouteStyle::WindDirection ? d.barbShaft : 0);
    const QColor routing = d.black ? QColor(Qt::black) : qcolour(d.colours.routing);
    painter.setBrush(Qt::NoBrush);
    for (const IsochronePoint& p : route) {
        ScreenSegment s;
        if (!screenSegment(view, p.parentLon, p.parentLat, p.lon, p.lat, s)) continue;
        if (!meetsView(view, s.a, s.b, margin)) continue;
        const QColor colour =
            d.black ? QColor(Qt::black) : qcolour(segmentColour(d.style, p, d.colours));
        if (lines) {
            painter.setPen(QPen(colour, d.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.drawLine(s.a, s.b);
        }
        if (dots) paintSquare(painter, view, s.a, 2 * d.width, routing);
        if (d.style == RouteStyle::WindDirection && std::isfinite(p.twd) && std::isfinite(p.tws)) {
            painter.setPen(QPen(colour, 1));
            const QPointF middle = (s.a + s.b) / 2;
            paintBarb(painter, middle, windScreenAngle(p.twd), p.tws / kKnotToMs, d.barbShaft,
                      d.barbLength);
        }
    }
    const IsochronePoint& last = route.back();
    if (!finitePoint(last.lon, last.lat)) return;
    double x, y;
    view.project(longitudeIntoView(view, last.lon), last.lat, x, y);
    const QPointF end(x, y);
    if (dots) paintSquare(painter, view, end, 2 * d.width, routing);
    if (d.arrived && meetsView(view, end, end, kArrivalCircleRadius + 2)) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(qcolour(kArrivalCircleColour), 2));
        painter.drawEllipse(end, kArrivalCircleRadius, kArrivalCircleRadius);
    }
    // The routes of a scan often end at the same place: each label stands at its own share
    // of its route, so that the labels do not cover each other and sit on their own line.
    const std::size_t k =
        std::min(route.size() - 1,
                 static_cast<std::size_t>(d.labelShare * static_cast<double>(route.size())));
    const IsochronePoint& tag = route[k];
    if (!d.label.empty() && finitePoint(tag.lon, tag.lat)) {
        view.project(longitudeIntoView(view, tag.lon), tag.lat, x, y);
        labels.push_back({QPointF(x, y), QString::fromStdString(d.label)});
    }
}

// The colour of a model's runs, the models numbered as they first come.
QColor modelColour(std::vector<std::string>& models, const std::string& label) {
    static constexpr QRgb kModelColours[] = {0x1f77b4, 0xd62728, 0x2ca02c,
                                             0x9467bd, 0xff7f0e, 0x8c564b};
    const std::string model = runModel(label);
    auto at = std::find(models.begin(), models.end(), model);
    if (at == models.end()) at = models.insert(models.end(), model);
    const auto k = static_cast<std::size_t>(at - models.begin()) % std::size(kModelColours);
    QColor colour(kModelColours[k]);
    colour.setAlpha(110);
    return colour;
}

// A run of a series over several forecasts drawn under the one that stands for them.
void paintThinRun(QPainter& painter, const MapView& view, const std::vector<IsochronePoint>& route,
                  const QColor& colour) {
    if (route.empty()) return;
    std::vector<GeoPoint> line;
    line.reserve(route.size() + 1);
    line.push_back({route.front().parentLon, route.front().parentLat});
    for (const IsochronePoint& p : route) line.push_back({p.lon, p.lat});
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(colour, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    drawGeoPolyline(painter, view, line);
}

// Hours since day 0; a time a few milliseconds short of the hour counts as that hour.
double wholeHours(const DateTime& t) {
    return std::floor(t.dayNumber * 24 + 1e-6);
}

// Whole hours along a route: the departure's hour at the first step start, then the hour at
// the first point of every new clock hour; a label closer than 24 pixels to the previous one
// is left out.
void paintHours(QPainter& painter, const MapView& view, const std::vector<IsochronePoint>& route) {
    if (route.empty()) return;
    QFont font = painter.font();
    font.setPointSizeF(8);
    painter.setFont(font);
    painter.setPen(QPen(Qt::black, 1));
    bool havePrevious = false;
    QPointF previous;
    auto label = [&](double lon, double lat, int hour) {
        if (!finitePoint(lon, lat)) return;
        double x, y;
        view.project(longitudeIntoView(view, lon), lat, x, y);
        const QPointF at(x, y);
        if (havePrevious && std::hypot(at.x() - previous.x(), at.y() - previous.y()) < 24) return;
        if (!meetsView(view, at, at, 20)) return;
        char text[8];
        std::snprintf(text, sizeof text, "%02d", std::clamp(hour, 0, 99));
        painter.drawText(at + QPointF(6, -6), QString::fromLatin1(text));
        previous = at;
        havePrevious = true;
    };
    const IsochronePoint& first = route.front();
    label(first.parentLon, first.parentLat, first.parentTime.hour);
    double hourCount = wholeHours(first.parentTime);
    for (const IsochronePoint& p : route) {
        const double h = wholeHours(p.time);
        if (!(h > hourCount)) continue;
        hourCount = h;
        label(p.lon, p.lat, p.time.hour);
    }
}

} // namespace

std::vector<GeoPoint> frontPoints(const std::vector<IsochronePoint>& front) {
    std::vector<GeoPoint> points;
    points.reserve(front.size());
    for (const IsochronePoint& p : front)
        if (p.valid) points.push_back({p.lon, p.lat});
    return points;
}

std::vector<std::vector<GeoPoint>>
cutAtLand(const std::vector<GeoPoint>& points,
          const std::function<bool(GeoPoint, GeoPoint)>& crossesLand) {
    std::vector<std::vector<GeoPoint>> pieces(1);
    for (const GeoPoint& p : points) {
        if (!pieces.back().empty() && crossesLand && crossesLand(pieces.back().back(), p))
            pieces.emplace_back();
        pieces.back().push_back(p);
    }
    if (pieces.back().empty()) pieces.pop_back();
    return pieces;
}

void paintLiveRouting(QPainter& painter, const MapView& view, const RoutingLayer& layer,
                      std::size_t firstFront, std::size_t endFront, std::size_t firstRoute,
                      std::size_t endRoute) {
    if (!layer.params || !layer.display) return;
    const RoutingParameters& params = *layer.params;
    painter.save();
    painter.setBrush(Qt::NoBrush);
    if (layer.liveFronts && params.method != 0 && params.showIsochrones) {
        painter.setPen(QPen(qcolour(layer.display->colorIsochron), 1));
        endFront = std::min(endFront, layer.liveFronts->size());
        for (std::size_t k = firstFront; k < endFront; ++k)
            drawGeoPolyline(painter, view, (*layer.liveFronts)[k]);
    }
    if (layer.liveRoutes && !layer.result) {
        painter.setPen(
            QPen(params.scanningsBlack ? QColor(Qt::black) : qcolour(layer.display->colorRouting),
                 routeLineWidth(params.thickness, false)));
        endRoute = std::min(endRoute, layer.liveRoutes->size());
        for (std::size_t k = firstRoute; k < endRoute; ++k)
            drawGeoPolyline(painter, view, (*layer.liveRoutes)[k]);
    }
    painter.restore();
}

void paintRoutingLayer(QPainter& painter, const MapView& view, const RoutingLayer& layer) {
    if (!layer.params || !layer.display) return;
    const RoutingParameters& params = *layer.params;
    const RoutingDisplaySettings& rd = *layer.display;
    const bool isochroneMethod = params.method != 0;
    const RoutingResult* result = layer.result;
    painter.save();

    std::vector<const Isochrone*> fronts;
    if (result && isochroneMethod) fronts = drawnFronts(result->output);
    if (isochroneMethod && params.showSegments)
        paintSegments(painter, view, fronts, qcolour(rd.colorSegment));
    if (isochroneMethod && params.showIsochrones) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(qcolour(rd.colorIsochron), 1));
        for (const Isochrone* f : fronts)
            drawFront(painter, view, frontPoints(*f), layer.landStore);
        if (layer.liveFronts)
            for (const std::vector<GeoPoint>& f : *layer.liveFronts)
                drawFront(painter, view, f, layer.landStore);
    }
    if (!result && layer.liveRoutes && !layer.liveRoutes->empty()) {
        // The runs of a scan drawn as they end, in the colour of the finished scan.
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(params.scanningsBlack ? QColor(Qt::black) : qcolour(rd.colorRouting),
                            routeLineWidth(params.thickness, false)));
        for (const std::vector<GeoPoint>& r : *layer.liveRoutes) drawGeoPolyline(painter, view, r);
    }
    const bool running = layer.running || (layer.liveFronts && !layer.liveFronts->empty());
    // The wide-fan search has no ellipse round the leg.
    if (isochroneMethod && params.search == 0 && params.showEllipse && layer.route &&
        (result || running)) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(qcolour(rd.colorEllipse), 1));
        // Outlines are made on first use: only for legs whose ellipse (inside the circle on
        // the leg) meets the view and spans more than a pixel or two.
        const UserRoute& route = *layer.route;
        for (std::size_t i = 0; i + 1 < route.waypoints.size(); ++i) {
            const GeoPoint a = route.waypoints[i], b = route.waypoints[i + 1];
            ScreenSegment s;
            if (!screenSegment(view, a.lon, a.lat, b.lon, b.lat, s)) continue;
            const double pixels = std::hypot(s.b.x() - s.a.x(), s.b.y() - s.a.y());
            if (pixels < 2 || !meetsView(view, s.a, s.b, pixels)) continue;
            drawGeoPolyline(painter, view, ellipseOutline(route, i));
        }
    }

    if (result) {
        RouteDrawing d;
        d.style = routeStyle(params.renderMode);
        d.colours.routing = static_cast<std::uint32_t>(rd.colorRouting);
        d.colours.sailing = static_cast<std::uint32_t>(rd.colorSailing);
        d.colours.engine = static_cast<std::uint32_t>(rd.colorEngine);
        std::vector<std::uint32_t> windScale;
        if (layer.windColours) {
            for (const OpaqueColor& c : layer.windColours->scale)
                windScale.push_back(rgbColor(c.red, c.green, c.blue));
            d.colours.windInterval = layer.windColours->interval;
        }
        d.colours.windScale = &windScale;
        d.barbShaft = layer.barbShaft;
        d.barbLength = layer.barbLength;
        std::vector<RouteLabel> labels;

        const std::vector<IsochronePoint>* labelled = &result->output.route;
        // The scan's flag is cleared when the scan ends; its routes stay to be drawn.
        const bool scan = !result->scanRoutes.empty();
        if (scan) {
            const int runs = static_cast<int>(result->scanRoutes.size());
            // Over several forecasts the runs are thin and translucent, one colour per model,
            // under the run nearest the median arrival drawn bold.
            const int bold = forecastBoldRun(*result, layer.route);
            std::vector<std::string> models;
            // The selected run last, so that it lies over the others.
            std::vector<int> order;
            for (int k = 0; k < runs; ++k)
                if (k != layer.selectedRun && k != bold) order.push_back(k);
            if (bold >= 0 && bold < runs && bold != layer.selectedRun) order.push_back(bold);
            if (layer.selectedRun >= 0 && layer.selectedRun < runs) {
                order.push_back(layer.selectedRun);
                labelled = &result->scanRoutes[static_cast<std::size_t>(layer.selectedRun)];
            } else {
                labelled = &result->scanRoutes.back();
            }
            for (int k : order) {
                const std::size_t run = static_cast<std::size_t>(k);
                if (bold >= 0 && k != bold && k != layer.selectedRun) {
                    paintThinRun(painter, view, result->scanRoutes[run],
                                 modelColour(models, result->summaries[run].label));
                    continue;
                }
                if (run < result->summaries.size()) {
                    d.colours.minSog = result->summaries[run].minSog;
                    d.colours.maxSog = result->summaries[run].maxSog;
                } else {
                    d.colours.minSog = result->minSog;
                    d.colours.maxSog = result->maxSog;
                }
                d.width = routeLineWidth(params.thickness, k == layer.selectedRun) *
                          (k == bold && k != layer.selectedRun ? 2 : 1);
                d.black = params.scanningsBlack;
                d.arrived = runArrived(*result, k);
                d.label = scanRunLabel(*result, k);
                d.labelShare = (k + 1.0) / (runs + 1.0);
                paintRoute(painter, view, result->scanRoutes[run], d, labels);
            }
        } else {
            d.colours.minSog = result->minSog;
            d.colours.maxSog = result->maxSog;
            d.width = routeLineWidth(params.thickness, false);
            d.arrived = runArrived(*result);
            if (!d.arrived) d.label = layer.routeNote;
            paintRoute(painter, view, result->output.route, d, labels);
        }
        paintLabels(painter, labels);
        if (isochroneMethod && params.showHours) paintHours(painter, view, *labelled);
    }
    painter.restore();
}

} // namespace navorel

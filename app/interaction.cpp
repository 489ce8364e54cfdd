#include "app/interaction.h"

#include "app/startup.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace navorel::app {

namespace {

bool samePoints(const std::vector<GeoPoint>& a, const std::vector<GeoPoint>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](GeoPoint p, GeoPoint q) { return p.lon == q.lon && p.lat == q.lat; });
}

bool sameState(const EditSnapshot& a, const EditSnapshot& b) {
    return samePoints(a.waypoints, b.waypoints) &&
           std::equal(
               a.barriers.begin(), a.barriers.end(), b.barriers.begin(), b.barriers.end(),
               [](const Barrier& p, const Barrier& q) { return samePoints(p.points, q.points); });
}

} // namespace

Interaction::Interaction(AppData& data) : data_(data) {}

const BarrierSet& Interaction::barriers() const {
    return data_.barriers;
}

bool Interaction::drawingBarrier() const {
    return data_.barriers.drawing;
}

bool Interaction::editingBarriers() const {
    return data_.barriers.drawing || movingVertex() || hasSelectedPoint(data_.barriers);
}

GeoPoint Interaction::at(double x, double y) const {
    return unprojectFromScreen(projection_, x, y);
}

GeoPoint Interaction::magnet(GeoPoint p) const {
    if (!data_.config.settings.route.magnet || !data_.haveWaypoints) return p;
    for (const GeoPoint& w : data_.waypoints.positions)
        if (std::fabs(w.lon - p.lon) < kMagnetDegrees && std::fabs(w.lat - p.lat) < kMagnetDegrees)
            return w;
    return p;
}

bool Interaction::legsAllowed(std::size_t i, GeoPoint p) const {
    const RouteSettings& rs = data_.config.settings.route;
    const auto within = [&rs](double miles) {
        return miles > rs.minLength && miles < rs.maxLength;
    };
    const std::vector<GeoPoint>& w = data_.route.waypoints;
    // A route of one point has no leg: it counts as two miles long.
    if (w.size() == 1) return within(2.0);
    if (i > 0 && !within(greatCircleDistance(w[i - 1], p) / 1852.0)) return false;
    if (i + 1 < w.size() && !within(greatCircleDistance(p, w[i + 1]) / 1852.0)) return false;
    return true;
}

void Interaction::recomputeRoute() {
    recompute(data_.route, data_.config.settings.routing, data_.finestTests.get());
}

EditSnapshot Interaction::snapshot() const {
    return {data_.route.waypoints, data_.barriers.barriers};
}

void Interaction::startEdit() {
    if (gesture_ && gestureEdited_) return;
    if (beforeEdit) beforeEdit();
    undo_.push_back(snapshot());
    if (undo_.size() > kHistory) undo_.pop_front();
    redo_.clear();
    if (gesture_) gestureEdited_ = true;
}

void Interaction::finishEdit() {
    if (edited) edited();
}

void Interaction::endGesture() {
    // A gesture that came back to where it started leaves no undo step.
    if (gestureEdited_ && !undo_.empty() && sameState(undo_.back(), snapshot())) undo_.pop_back();
    gesture_ = gestureEdited_ = false;
}

void Interaction::checkpoint() {
    startEdit();
}

void Interaction::restore(EditSnapshot state) {
    if (beforeEdit) beforeEdit();
    data_.route.waypoints = std::move(state.waypoints);
    data_.route.hoveredPoint = data_.route.hoveredLeg = -1;
    data_.barriers.barriers = std::move(state.barriers);
    data_.barriers.selectedBarrier = data_.barriers.selectedPoint = -1;
    data_.barriers.drawing = false;
    appending_ = inserting_ = dragging_ = false;
    movingPoint_ = movingBarrier_ = movingVertex_ = -1;
    gesture_ = gestureEdited_ = false;
    recomputeRoute();
    finishEdit();
}

bool Interaction::undo() {
    if (undo_.empty()) return false;
    redo_.push_back(snapshot());
    EditSnapshot state = std::move(undo_.back());
    undo_.pop_back();
    restore(std::move(state));
    return true;
}

bool Interaction::redo() {
    if (redo_.empty()) return false;
    undo_.push_back(snapshot());
    EditSnapshot state = std::move(redo_.back());
    redo_.pop_back();
    restore(std::move(state));
    return true;
}

bool Interaction::hover(double x, double y) {
    mouse_ = at(x, y);
    UserRoute& route = data_.route;
    const int point = hitPoint(route, x, y, projection_,
                               static_cast<float>(data_.config.settings.route.thickness));
    const bool leg = point < 0 && route.waypoints.size() > 1 && hitLeg(route, x, y, projection_);
    if (!leg) route.hoveredLeg = -1;
    BarrierScreenCopy screen;
    screen.reserve(data_.barriers.barriers.size());
    for (const Barrier& b : data_.barriers.barriers) {
        std::vector<ScreenPoint>& points = screen.emplace_back();
        for (const GeoPoint& p : b.points) {
            ScreenPoint& s = points.emplace_back();
            projectToScreen(projection_, p, s.x, s.y);
        }
    }
    // The selection stays on the vertex being moved or the barrier being drawn.
    const bool vertex =
        hitTestBarriers(data_.barriers, screen, x, y, appending_ || inserting_ || movingVertex()) &&
        !data_.barriers.drawing;
    return point >= 0 || leg || vertex;
}

bool Interaction::pressOnEdit(double x, double y) {
    mouse_ = at(x, y);
    if (inserting_) {
        // The inserted point follows the mouse: the press holds it until the release.
        inserting_ = false;
        return true;
    }
    const int point = data_.route.hoveredPoint;
    if (!appending_ && point >= 0 && point < static_cast<int>(data_.route.waypoints.size())) {
        movingPoint_ = point;
        gesture_ = true;
        return true;
    }
    if (!appending_ && !data_.barriers.drawing && hasSelectedPoint(data_.barriers)) {
        movingBarrier_ = data_.barriers.selectedBarrier;
        movingVertex_ = data_.barriers.selectedPoint;
        gesture_ = true;
        return true;
    }
    return false;
}

bool Interaction::pressOnChart(double x, double y) {
    const GeoPoint p = at(x, y);
    mouse_ = p;
    if (appending_) {
        const GeoPoint point = magnet(p);
        std::vector<GeoPoint>& w = data_.route.waypoints;
        if (!w.empty() && greatCircleDistance(w.back(), point) <= kAppendMetres) return false;
        startEdit();
        w.push_back(point);
        recomputeRoute();
        finishEdit();
        return false;
    }
    if (data_.barriers.drawing) {
        startEdit();
        addBarrierPoint(data_.barriers, p);
        finishEdit();
        return false;
    }
    dragging_ = true;
    return true;
}

bool Interaction::moveRoutePoint(std::size_t i, GeoPoint p) {
    p = magnet(p);
    std::vector<GeoPoint>& w = data_.route.waypoints;
    if (i >= w.size() || !legsAllowed(i, p)) return false;
    if (w[i].lon == p.lon && w[i].lat == p.lat) return false;
    startEdit();
    w[i] = p;
    recomputeRoute();
    finishEdit();
    return true;
}

bool Interaction::move(double x, double y) {
    mouse_ = at(x, y);
    if (movingPoint_ >= 0) return moveRoutePoint(static_cast<std::size_t>(movingPoint_), mouse_);
    if (movingBarrier_ >= 0) {
        BarrierList& list = data_.barriers.barriers;
        const auto b = static_cast<std::size_t>(movingBarrier_);
        const auto v = static_cast<std::size_t>(movingVertex_);
        if (b >= list.size() || v >= list[b].points.size()) return false;
        startEdit();
        list[b].points[v] = mouse_;
        finishEdit();
        return true;
    }
    return false;
}

void Interaction::release() {
    dragging_ = false;
    movingBarrier_ = movingVertex_ = -1;
    if (inserting_) return; // the inserted point follows the mouse until a click
    movingPoint_ = -1;
    endGesture();
}

bool Interaction::escape() {
    if (!appending_ && !inserting_ && !data_.barriers.drawing) return false;
    if (inserting_ && !undo_.empty()) {
        // The point that was never placed goes: the route is as before the insertion, which
        // leaves no undo step.
        inserting_ = false;
        movingPoint_ = -1;
        gesture_ = gestureEdited_ = false;
        EditSnapshot before = std::move(undo_.back());
        undo_.pop_back();
        restore(std::move(before));
        return true;
    }
    appending_ = inserting_ = false;
    movingPoint_ = -1;
    data_.barriers.drawing = false;
    endGesture();
    return true;
}

bool Interaction::rightButton() {
    return escape();
}

int Interaction::modeHint() const {
    return inserting_ ? kTextPlaceInsertedPoint : -1;
}

bool Interaction::rubberBand(GeoPoint& from, GeoPoint& to) const {
    to = mouse_;
    if (appending_ && !data_.route.waypoints.empty()) {
        from = data_.route.waypoints.back();
        return true;
    }
    const BarrierSet& set = data_.barriers;
    if (set.drawing && set.selectedBarrier >= 0 &&
        static_cast<std::size_t>(set.selectedBarrier) < set.barriers.size() &&
        !set.barriers[static_cast<std::size_t>(set.selectedBarrier)].points.empty()) {
        from = set.barriers[static_cast<std::size_t>(set.selectedBarrier)].points.back();
        return true;
    }
    return false;
}

ContextMenu Interaction::contextMenu(double x, double y) {
    hover(x, y);
    const UserRoute& route = data_.route;
    const BarrierSet& set = data_.barriers;
    const bool hasRoute = !route.waypoints.empty();
    ContextMenu menu;
    std::vector<MenuItem>& items = menu.items;
    const auto add = [&items](bool offered, int command, int textId) {
        if (offered) items.push_back({command, textId});
    };
    if (route.hoveredPoint >= 0) {
        menu.target = MenuTarget::RoutePoint;
        const int last = static_cast<int>(route.waypoints.size()) - 1;
        add(true, kPopupRemoveRoute, 401);
        add(true, kPopupReverseRoute, 402);
        add(last > 0, 0, -1);
        add(route.hoveredPoint < last, kPopupDeletePointsAfter, 403);
        add(route.hoveredPoint > 0, kPopupDeletePointsBefore, 404);
        add(true, kPopupDeletePoint, 405);
        add(true, kPopupAppendPoints, 406);
        add(true, kPopupEditWaypoint, 427);
    } else if (route.hoveredLeg >= 0) {
        menu.target = MenuTarget::RouteLeg;
        add(true, kPopupRemoveRoute, 401);
        add(true, kPopupReverseRoute, 402);
        add(true, kPopupInsertPoint, 407);
    } else if (hasSelectedPoint(set)) {
        menu.target = MenuTarget::BarrierVertex;
        add(true, kPopupDeleteBarrier, 408);
        add(true, 0, -1);
        add(barrierMenuOffers(set, BarrierMenuEntry::DeletePointsAfter),
            kPopupDeleteBarrierPointsAfter, 409);
        add(barrierMenuOffers(set, BarrierMenuEntry::DeletePointsBefore),
            kPopupDeleteBarrierPointsBefore, 410);
        add(true, kPopupDeleteBarrierPoint, 411);
        add(true, kPopupContinueBarrier, 412);
        add(true, kPopupEditBarrier, 413);
    } else {
        menu.target = MenuTarget::Chart;
        add(!set.barriers.empty(), kPopupRemoveAllBarriers, 414);
        add(true, kPopupNewBarrier, 415);
        add(true, 0, -1);
        add(true, kPopupNewRoute, hasRoute ? 417 : 416);
        add(hasRoute, kPopupAppendPoints, 406);
    }
    return menu;
}

bool Interaction::execute(int command) {
    if (command < kPopupInsertPoint || command > kPopupRemoveAllBarriers) return false;
    return command >= kPopupEditBarrier ? barrierCommand(command) : routeCommand(command);
}

bool Interaction::routeCommand(int command) {
    UserRoute& route = data_.route;
    const RoutingParameters& params = data_.config.settings.routing;
    const CrossingTests* land = data_.finestTests.get();
    const int h = route.hoveredPoint;
    const bool onPoint = h >= 0 && h < static_cast<int>(route.waypoints.size());
    switch (command) {
    case kPopupInsertPoint: {
        const int leg = route.hoveredLeg;
        if (leg < 0 || leg + 1 >= static_cast<int>(route.waypoints.size())) return false;
        startEdit();
        route.waypoints.insert(route.waypoints.begin() + leg + 1, magnet(mouse_));
        route.hoveredLeg = -1;
        recomputeRoute();
        // The new point follows the mouse until the next click places it: one undo step.
        inserting_ = gesture_ = gestureEdited_ = true;
        movingPoint_ = leg + 1;
        finishEdit();
        return true;
    }
    case kPopupAppendPoints:
        appending_ = true;
        return true;
    case kPopupDeletePoint:
    case kPopupDeletePointsBefore:
    case kPopupDeletePointsAfter:
        if (!onPoint) return false;
        startEdit();
        if (command == kPopupDeletePoint)
            deletePoint(route, h, params, land);
        else if (command == kPopupDeletePointsBefore)
            deletePointsBefore(route, h, params, land);
        else
            deletePointsAfter(route, h, params, land);
        route.hoveredPoint = -1;
        break;
    case kPopupRemoveRoute:
        appending_ = false;
        if (route.waypoints.empty()) return false;
        startEdit();
        removeRoute(route, params, land);
        break;
    case kPopupReverseRoute:
        if (route.waypoints.size() < 2) return false;
        startEdit();
        reverseRoute(route, params, land);
        break;
    case kPopupNewRoute:
        if (!route.waypoints.empty()) {
            if (clearResult) clearResult();
            startEdit();
            removeRoute(route, params, land);
            finishEdit();
        }
        appending_ = true;
        return true;
    case kPopupEditWaypoint: {
        if (!onPoint || !editWaypoint) return false;
        GeoPoint p = route.waypoints[static_cast<std::size_t>(h)];
        if (!editWaypoint(p)) return false;
        startEdit();
        route.waypoints[static_cast<std::size_t>(h)] = p;
        recomputeRoute();
        break;
    }
    default:
        return false;
    }
    finishEdit();
    return true;
}

bool Interaction::barrierCommand(int command) {
    BarrierSet& set = data_.barriers;
    switch (command) {
    case kPopupEditBarrier:
    case kPopupContinueBarrier:
        return continueBarrier(set);
    case kPopupNewBarrier:
        startNewBarrier(set);
        return true;
    case kPopupRemoveAllBarriers:
        if (set.barriers.empty()) return false;
        startEdit();
        removeAllBarriers(set);
        break;
    default: {
        if (!hasSelectedPoint(set)) return false;
        const BarrierMenuEntry entry =
            command == kPopupDeleteBarrierPointsBefore  ? BarrierMenuEntry::DeletePointsBefore
            : command == kPopupDeleteBarrierPointsAfter ? BarrierMenuEntry::DeletePointsAfter
                                                        : BarrierMenuEntry::DeletePoint;
        if (!barrierMenuOffers(set, entry)) return false;
        startEdit();
        // A barrier of two points is no line without one of them: it goes whole.
        const bool whole =
            command == kPopupDeleteBarrier ||
            (command == kPopupDeleteBarrierPoint &&
             set.barriers[static_cast<std::size_t>(set.selectedBarrier)].points.size() <= 2);
        if (whole)
            deleteSelectedBarrier(set);
        else if (command == kPopupDeleteBarrierPoint)
            deleteSelectedPoint(set);
        else if (command == kPopupDeleteBarrierPointsBefore)
            deletePointsBefore(set);
        else
            deletePointsAfter(set);
        break;
    }
    }
    finishEdit();
    return true;
}

} // namespace navorel::app

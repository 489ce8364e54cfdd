#pragma once
// The chart's editing modes and what lies under the mouse: dragging the map, appending route
// points, inserting one into a leg, moving a route point, drawing a barrier and moving one of
// its vertices; the context menu for the hovered route point, leg, barrier vertex or the
// empty chart and its commands; and the undo history of the route and the barriers. Driven
// by the mouse in pixels (the chart's projection gives the positions), free of widgets.
#include "geo/barriers.h"
#include "routing/user_route.h"

#include <deque>
#include <functional>
#include <vector>

namespace navorel::app {

struct AppData;

// "Click to place the point - Escape cancels", while an inserted point follows the mouse.
constexpr int kTextPlaceInsertedPoint = 511;

// The context menu's commands, by their numbers.
enum PopupCommand : int {
    kPopupInsertPoint = 11,
    kPopupAppendPoints,
    kPopupDeletePoint,
    kPopupDeletePointsBefore,
    kPopupDeletePointsAfter,
    kPopupRemoveRoute,
    kPopupReverseRoute,
    kPopupNewRoute,
    kPopupEditWaypoint,
    kPopupEditBarrier,
    kPopupContinueBarrier,
    kPopupDeleteBarrierPoint,
    kPopupDeleteBarrierPointsBefore,
    kPopupDeleteBarrierPointsAfter,
    kPopupDeleteBarrier,
    kPopupNewBarrier,
    kPopupRemoveAllBarriers,
};

// One line of a context menu: a command with its language text, or a separator (command 0).
struct MenuItem {
    int command = 0;
    int textId = -1;
    bool separator() const { return command == 0; }
};

// What the context menu was opened on.
enum class MenuTarget { RoutePoint, RouteLeg, BarrierVertex, Chart };

struct ContextMenu {
    MenuTarget target = MenuTarget::Chart;
    std::vector<MenuItem> items;
};

// The route's waypoints and the barriers, as one step of the undo history keeps them.
struct EditSnapshot {
    std::vector<GeoPoint> waypoints;
    BarrierList barriers;
};

class Interaction {
  public:
    static constexpr std::size_t kHistory = 100; // undo steps kept
    static constexpr double kMagnetDegrees = 0.01;
    static constexpr double kAppendMetres = 1852.0; // a new point lies more than a mile off

    explicit Interaction(AppData& data);

    // Called before the route or the barriers change: a routing reading them must stop.
    std::function<void()> beforeEdit;
    // The route or the barriers changed (the chart and the commands follow).
    std::function<void()> edited;
    // "New route" also drops the routing result.
    std::function<void()> clearResult;
    // Edits a waypoint's position; false when the user cancelled.
    std::function<bool(GeoPoint&)> editWaypoint;

    void setProjection(const ChartProjection& projection) { projection_ = projection; }

    // The route point, leg and barrier vertex under the mouse; answers whether any (the hand
    // cursor). The barrier hover is the barrier set's selection.
    bool hover(double x, double y);
    // A left press on a route point (outside the append mode) or a barrier vertex (outside
    // barrier drawing): starts moving it. In the insert mode the press takes the new point.
    // False when the press is not for the machine.
    bool pressOnEdit(double x, double y);
    // A left press on the chart, after the overlays: appends a route point, adds a barrier
    // point, or starts dragging the map (answers true only for the drag).
    bool pressOnChart(double x, double y);
    // The mouse moved: the moved route point or barrier vertex, and the moving end. Answers
    // whether the route or the barriers changed.
    bool move(double x, double y);
    // The left button came up: every move and the drag end.
    void release();
    // Escape: leaves the append, insert or barrier drawing mode; false when none was on. An
    // insertion not yet placed by a click is taken back (the route as before, no undo step).
    bool escape();
    // The right button: as Escape, instead of a menu; false when no mode was on.
    bool rightButton();
    // The language text telling what the present mode expects (the status bar), or -1.
    int modeHint() const;
    // The menu for what lies under (x, y).
    ContextMenu contextMenu(double x, double y);
    // Runs a context-menu command on what the menu was opened on; false when it did nothing.
    bool execute(int command);

    // Keeps the present route and barriers as an undo step before an edit made elsewhere
    // (the toolbar's files and removals).
    void checkpoint();
    bool undo();
    bool redo();
    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }

    // The moving end: from the route's last point while appending, or from the drawn
    // barrier's last point, to the mouse. False when none is drawn.
    bool rubberBand(GeoPoint& from, GeoPoint& to) const;

    bool dragging() const { return dragging_; }
    bool appending() const { return appending_; }
    bool inserting() const { return inserting_; }
    bool movingPoint() const { return movingPoint_ >= 0; }
    bool movingVertex() const { return movingBarrier_ >= 0; }
    bool drawingBarrier() const;
    // A barrier's vertices are shown: drawing, moving one, or one under the mouse.
    bool editingBarriers() const;
    const BarrierSet& barriers() const;
    GeoPoint mousePosition() const { return mouse_; }

  private:
    GeoPoint at(double x, double y) const;
    // The waypoint of the set within kMagnetDegrees of p when the magnet is on, else p.
    GeoPoint magnet(GeoPoint p) const;
    // Whether route point i may go to p: the legs to its neighbours stay within MinLength and
    // MaxLength.
    bool legsAllowed(std::size_t i, GeoPoint p) const;
    bool moveRoutePoint(std::size_t i, GeoPoint p);
    bool routeCommand(int command);
    bool barrierCommand(int command);
    // An edit begins: the routing stops and the undo history keeps the state before it. In
    // a gesture (a move) only its first change does this.
    void startEdit();
    void finishEdit();
    void endGesture();
    EditSnapshot snapshot() const;
    void restore(EditSnapshot state);
    void recomputeRoute();

    AppData& data_;
    ChartProjection projection_;
    GeoPoint mouse_;
    bool dragging_ = false;
    bool appending_ = false;
    bool inserting_ = false;
    int movingPoint_ = -1;
    int movingBarrier_ = -1, movingVertex_ = -1;
    bool gesture_ = false, gestureEdited_ = false;
    std::deque<EditSnapshot> undo_, redo_;
};

} // namespace navorel::app

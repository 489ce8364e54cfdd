// The chart's editing machine driven by plain mouse positions: the context menus of each
// hover case, the rules of moving and appending route points, the magnet, and undo/redo of
// every kind of edit.
#include "app/interaction.h"
#include "app/startup.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace navorel;
using namespace navorel::app;

namespace {

const GeoPoint A{-70.5f, 42.0f}, B{-70.0f, 42.0f}, C{-69.5f, 42.0f}, Sea{-69.0f, 41.5f};
const Barrier kBar{{{-70.3f, 41.8f}, {-70.2f, 41.9f}, {-70.1f, 42.2f}}};

// A chart of 1000 pixels per degree around 42 N 70 W, with the first `points` of A, B, C as
// the route and kBar as the barriers when asked.
struct Bench {
    AppData data;
    Interaction machine{data};
    ChartProjection view{1000, 70500, 47000, -71, -69};
    int stops = 0;           // edits that would have stopped a running routing
    std::string atFirstStop; // the data when the first one did

    Bench(std::size_t points, bool barrier) {
        data.route.waypoints.assign({A, B, C});
        data.route.waypoints.resize(points);
        recompute(data.route, data.config.settings.routing, nullptr);
        if (barrier) data.barriers.barriers = {kBar};
        machine.setProjection(view);
        machine.beforeEdit = [this] {
            if (stops++ == 0) atFirstStop = state();
        };
    }
    ScreenPoint pixel(GeoPoint p) const {
        ScreenPoint s;
        projectToScreen(view, p, s.x, s.y);
        return s;
    }
    // A press at `from`, moves through `to`, the release.
    void drag(GeoPoint from, std::vector<GeoPoint> to = {}) {
        const ScreenPoint s = pixel(from);
        machine.hover(s.x, s.y);
        if (!machine.pressOnEdit(s.x, s.y)) machine.pressOnChart(s.x, s.y);
        for (const GeoPoint& p : to) {
            const ScreenPoint t = pixel(p);
            machine.hover(t.x, t.y);
            machine.move(t.x, t.y);
        }
        machine.release();
    }
    // The menu's text ids (0: a separator) and, with a command, that command run.
    std::vector<int> menu(GeoPoint p, int command = 0, MenuTarget* target = nullptr) {
        const ScreenPoint s = pixel(p);
        const ContextMenu m = machine.contextMenu(s.x, s.y);
        if (target) *target = m.target;
        if (command) machine.execute(command);
        std::vector<int> ids;
        for (const MenuItem& item : m.items) ids.push_back(item.textId < 0 ? 0 : item.textId);
        return ids;
    }
    // The route and the barriers as text, to compare states.
    std::string state() const {
        std::string s;
        const auto add = [&s](const std::vector<GeoPoint>& points) {
            for (const GeoPoint& p : points)
                s += std::to_string(p.lon) + "," + std::to_string(p.lat);
            s += "|";
        };
        add(data.route.waypoints);
        for (const Barrier& b : data.barriers.barriers) add(b.points);
        return s;
    }
};

constexpr MenuTarget kPoint = MenuTarget::RoutePoint, kLeg = MenuTarget::RouteLeg,
                     kVertex = MenuTarget::BarrierVertex, kChart = MenuTarget::Chart;

} // namespace

TEST(InteractionMenu, ItemsFollowWhatLiesUnderTheMouse) {
    const GeoPoint onLeg{-70.25f, 42.0f};
    const struct {
        const char* name;
        std::size_t points;
        bool barrier;
        GeoPoint at;
        MenuTarget target;
        std::vector<int> texts;
    } cases[] = {
        {"first point", 3, false, A, kPoint, {401, 402, 0, 403, 405, 406, 427}},
        {"middle point", 3, false, B, kPoint, {401, 402, 0, 403, 404, 405, 406, 427}},
        {"last point", 3, false, C, kPoint, {401, 402, 0, 404, 405, 406, 427}},
        {"one-point route", 1, false, A, kPoint, {401, 402, 405, 406, 427}},
        {"first vertex", 1, true, kBar.points[0], kVertex, {408, 0, 409, 411, 412, 413}},
        {"leg", 3, false, onLeg, kLeg, {401, 402, 407}},
        {"middle vertex", 0, true, kBar.points[1], kVertex, {408, 0, 409, 410, 411, 412, 413}},
        {"last vertex", 0, true, kBar.points[2], kVertex, {408, 0, 410, 411, 412, 413}},
        {"empty chart", 0, false, Sea, kChart, {415, 0, 416}},
        {"chart, route and barriers", 2, true, Sea, kChart, {414, 415, 0, 417, 406}},
    };
    for (const auto& c : cases) {
        Bench bench(c.points, c.barrier);
        MenuTarget target;
        EXPECT_EQ(bench.menu(c.at, 0, &target), c.texts) << c.name;
        EXPECT_EQ(target, c.target) << c.name;
    }
}

TEST(InteractionRoute, MovingAPointKeepsEveryLegWithinMinLengthAndMaxLength) {
    const struct {
        const char* name;
        std::size_t points, index;
        int minLength, maxLength;
        GeoPoint target;
        bool moves;
    } cases[] = {
        {"within", 2, 0, 1, 5000, {-70.4f, 42.1f}, true},
        {"beyond MaxLength", 2, 0, 1, 30, {-70.9f, 42.0f}, false},
        {"under MinLength", 2, 0, 10, 5000, {-70.1f, 42.0f}, false},
        {"middle point, one leg too long", 3, 1, 1, 30, {-70.4f, 42.0f}, false},
        {"middle point within", 3, 1, 1, 30, {-70.1f, 42.1f}, true},
        {"one point counts two miles", 1, 0, 1, 2, {-70.4f, 42.1f}, false},
        {"one point within", 1, 0, 1, 3, {-70.4f, 42.1f}, true},
    };
    for (const auto& c : cases) {
        Bench bench(c.points, false);
        bench.data.config.settings.route.minLength = c.minLength;
        bench.data.config.settings.route.maxLength = c.maxLength;
        const GeoPoint start = bench.data.route.waypoints[c.index];
        bench.drag(start, {c.target});
        const GeoPoint now = bench.data.route.waypoints[c.index];
        const GeoPoint expected = c.moves ? c.target : start;
        EXPECT_NEAR(now.lon, expected.lon, 1e-4) << c.name;
        EXPECT_NEAR(now.lat, expected.lat, 1e-4) << c.name;
        EXPECT_EQ(bench.machine.canUndo(), c.moves) << c.name; // no step for a refused move
    }
}

TEST(InteractionRoute, AppendingSkipsPointsWithinAMileAndTheMagnetSnaps) {
    const GeoPoint waypoint{-69.8f, 42.3f}, near{-69.795f, 42.306f}, far{-69.785f, 42.3f};
    const struct {
        const char* name;
        bool magnet;
        std::vector<GeoPoint> clicks, route;
    } cases[] = {
        {"a mile apart and more",
         false,
         {A, {-70.5f, 42.01f}, {-70.5f, 42.02f}},
         {A, {-70.5f, 42.02f}}},
        {"magnet within 0.01 degree", true, {A, near}, {A, waypoint}},
        {"magnet too far", true, {A, far}, {A, far}},
        {"magnet off", false, {A, near}, {A, near}},
    };
    for (const auto& c : cases) {
        Bench bench(2, false);
        bench.data.config.settings.route.magnet = c.magnet;
        bench.data.haveWaypoints = true;
        addWaypoint(bench.data.waypoints, waypoint, "W");
        EXPECT_TRUE(bench.machine.execute(kPopupNewRoute));
        for (const GeoPoint& p : c.clicks) bench.drag(p);
        ASSERT_EQ(bench.data.route.waypoints.size(), c.route.size()) << c.name;
        for (std::size_t i = 0; i < c.route.size(); ++i) {
            EXPECT_NEAR(bench.data.route.waypoints[i].lon, c.route[i].lon, 2e-4) << c.name;
            EXPECT_NEAR(bench.data.route.waypoints[i].lat, c.route[i].lat, 2e-4) << c.name;
        }
        GeoPoint from, to;
        EXPECT_TRUE(bench.machine.rubberBand(from, to)) << c.name;
        EXPECT_TRUE(bench.machine.escape());
        EXPECT_FALSE(bench.machine.rubberBand(from, to)) << c.name;
    }
}

TEST(InteractionUndo, EachEditIsOneStepUndoneAndRedone) {
    const GeoPoint onLeg{-70.25f, 42.0f}, off{-70.25f, 42.1f};
    const struct {
        const char* name;
        int command; // run from the menu at `at`, then
        GeoPoint at; // a press at `press` moving through `moves`
        bool press;
        GeoPoint from;
        std::vector<GeoPoint> moves;
    } cases[] = {
        {"append", kPopupAppendPoints, Sea, true, {-69.0f, 42.5f}, {}},
        {"insert into a leg", kPopupInsertPoint, onLeg, true, off, {}},
        {"move a point", 0, Sea, true, B, {{-70.0f, 42.05f}, {-70.0f, 42.1f}}},
        {"delete the point", kPopupDeletePoint, B, false, {}, {}},
        {"delete the points before", kPopupDeletePointsBefore, B, false, {}, {}},
        {"delete the points after", kPopupDeletePointsAfter, B, false, {}, {}},
        {"reverse", kPopupReverseRoute, B, false, {}, {}},
        {"new barrier", kPopupNewBarrier, Sea, true, Sea, {}},
        {"move a vertex", 0, Sea, true, kBar.points[1], {{-70.2f, 41.95f}}},
        {"delete a vertex", kPopupDeleteBarrierPoint, kBar.points[1], false, {}, {}},
        {"delete the barrier", kPopupDeleteBarrier, kBar.points[1], false, {}, {}},
    };
    for (const auto& c : cases) {
        Bench bench(3, true);
        const std::string before = bench.state();
        if (c.command) bench.menu(c.at, c.command);
        if (c.command == kPopupInsertPoint) { // the point follows the mouse, even past a
            bench.machine.release();          // stray release, until the next click
            const ScreenPoint s = bench.pixel(off);
            bench.machine.move(s.x, s.y);
            EXPECT_NEAR(bench.data.route.waypoints[1].lat, off.lat, 1e-4);
        }
        if (c.press) bench.drag(c.from, c.moves);
        bench.machine.escape();
        const std::string after = bench.state();
        ASSERT_NE(before, after) << c.name << ": nothing was edited";
        EXPECT_EQ(bench.atFirstStop, before) << c.name; // the routing stops before the edit
        ASSERT_TRUE(bench.machine.undo()) << c.name;
        EXPECT_EQ(bench.state(), before) << c.name;
        EXPECT_FALSE(bench.machine.canUndo()) << c.name << ": one step";
        ASSERT_TRUE(bench.machine.redo()) << c.name;
        EXPECT_EQ(bench.state(), after) << c.name;
        EXPECT_EQ(bench.data.route.legLength.size() + 1, bench.data.route.waypoints.size());
    }
    // The history keeps its last steps only.
    Bench bench(1, false);
    bench.machine.execute(kPopupAppendPoints);
    for (int i = 1; i <= 120; ++i) bench.drag({-70.5f + 0.05f * i, 42.0f});
    int undone = 0;
    while (bench.machine.undo()) ++undone;
    EXPECT_EQ(undone, static_cast<int>(Interaction::kHistory));
}

// The chart's editing machine driven by plain mouse positions: the context menus of each
// hover case, the rules of moving and appending route points, the magnet, and undo/redo of
// every kind of edit.
#include "app/interaction.h"
#include "app/startup.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace navorel;
using namespace navorel::app;

namespace {

// A chart of 1000 pixels per degree around 42 N 70 W.
struct Bench {
    AppData data;
    Interaction machine{data};
    ChartProjection view{1000, 70500, 47000, -71, -69};
    int edits = 0, stops = 0;

    explicit Bench(std::vector<GeoPoint> route = {}, BarrierList barriers = {}) {
        data.route.waypoints = std::move(route);
        recompute(data.route, data.config.settings.routing, nullptr);
        data.barriers.barriers = std::move(barriers);
        machine.setProjection(view);
        machine.edited = [this] { ++edits; };
        machine.beforeEdit = [this] { ++stops; };
    }
    ScreenPoint pixel(GeoPoint p) const {
        ScreenPoint s;
        projectToScreen(view, p, s.x, s.y);
        return s;
    }
    void click(GeoPoint p) {
        const ScreenPoint s = pixel(p);
        machine.hover(s.x, s.y);
        if (!machine.pressOnEdit(s.x, s.y)) machine.pressOnChart(s.x, s.y);
        machine.release();
    }
    void drag(GeoPoint from, const std::vector<GeoPoint>& through) {
        const ScreenPoint s = pixel(from);
        machine.hover(s.x, s.y);
        ASSERT_TRUE(machine.pressOnEdit(s.x, s.y));
        for (const GeoPoint& p : through) {
            const ScreenPoint t = pixel(p);
            machine.hover(t.x, t.y);
            machine.move(t.x, t.y);
        }
        machine.release();
    }
    std::vector<int> menu(GeoPoint p, MenuTarget* target = nullptr) {
        const ScreenPoint s = pixel(p);
        const ContextMenu m = machine.contextMenu(s.x, s.y);
        if (target) *target = m.target;
        std::vector<int> ids;
        for (const MenuItem& item : m.items) ids.push_back(item.separator() ? 0 : item.textId);
        return ids;
    }
};

const GeoPoint A{-70.5f, 42.0f}, B{-70.0f, 42.0f}, C{-69.5f, 42.0f};
const Barrier kBar{{{-70.3f, 41.8f}, {-70.2f, 41.9f}, {-70.1f, 42.2f}}};

std::string text(const std::vector<GeoPoint>& points) {
    std::string s;
    for (const GeoPoint& p : points) s += std::to_string(p.lon) + "," + std::to_string(p.lat) + " ";
    return s;
}

} // namespace

TEST(InteractionMenu, ItemsFollowWhatLiesUnderTheMouse) {
    const struct {
        const char* name;
        std::vector<GeoPoint> route;
        BarrierList barriers;
        GeoPoint at;
        MenuTarget target;
        std::vector<int> texts; // 0: a separator
    } cases[] = {
        {"first point",
         {A, B, C},
         {},
         A,
         MenuTarget::RoutePoint,
         {401, 402, 0, 403, 405, 406, 427}},
        {"middle point",
         {A, B, C},
         {},
         B,
         MenuTarget::RoutePoint,
         {401, 402, 0, 403, 404, 405, 406, 427}},
        {"last point", {A, B, C}, {}, C, MenuTarget::RoutePoint, {401, 402, 0, 404, 405, 406, 427}},
        {"one-point route", {A}, {}, A, MenuTarget::RoutePoint, {401, 402, 405, 406, 427}},
        {"leg", {A, B, C}, {}, {-70.25f, 42.0f}, MenuTarget::RouteLeg, {401, 402, 407}},
        {"first vertex",
         {},
         {kBar},
         kBar.points[0],
         MenuTarget::BarrierVertex,
         {408, 0, 409, 411, 412, 413}},
        {"middle vertex",
         {},
         {kBar},
         kBar.points[1],
         MenuTarget::BarrierVertex,
         {408, 0, 409, 410, 411, 412, 413}},
        {"last vertex",
         {},
         {kBar},
         kBar.points[2],
         MenuTarget::BarrierVertex,
         {408, 0, 410, 411, 412, 413}},
        {"empty chart", {}, {}, {-69.0f, 41.5f}, MenuTarget::Chart, {415, 0, 416}},
        {"chart with route and barriers",
         {A, B},
         {kBar},
         {-69.0f, 41.5f},
         MenuTarget::Chart,
         {414, 415, 0, 417, 406}},
    };
    for (const auto& c : cases) {
        Bench bench(c.route, c.barriers);
        MenuTarget target;
        EXPECT_EQ(bench.menu(c.at, &target), c.texts) << c.name;
        EXPECT_EQ(target, c.target) << c.name;
    }
}

TEST(InteractionRoute, MovingAPointKeepsEveryLegWithinMinLengthAndMaxLength) {
    const struct {
        const char* name;
        std::vector<GeoPoint> route;
        std::size_t index;
        int minLength, maxLength;
        GeoPoint target;
        bool moves;
    } cases[] = {
        {"within", {A, B}, 0, 1, 5000, {-70.4f, 42.1f}, true},
        {"beyond MaxLength", {A, B}, 0, 1, 30, {-70.9f, 42.0f}, false},
        {"under MinLength", {A, B}, 0, 10, 5000, {-70.1f, 42.0f}, false},
        {"middle point, one leg too long", {A, B, C}, 1, 1, 30, {-70.4f, 42.0f}, false},
        {"middle point within", {A, B, C}, 1, 1, 30, {-70.1f, 42.1f}, true},
        {"one point counts two miles", {A}, 0, 1, 2, {-70.4f, 42.1f}, false},
        {"one point within", {A}, 0, 1, 3, {-70.4f, 42.1f}, true},
    };
    for (const auto& c : cases) {
        Bench bench(c.route);
        bench.data.config.settings.route.minLength = c.minLength;
        bench.data.config.settings.route.maxLength = c.maxLength;
        const GeoPoint start = c.route[c.index];
        bench.drag(start, {c.target});
        const GeoPoint now = bench.data.route.waypoints[c.index];
        EXPECT_EQ(std::fabs(now.lon - c.target.lon) < 1e-4 &&
                      std::fabs(now.lat - c.target.lat) < 1e-4,
                  c.moves)
            << c.name;
        EXPECT_EQ(now.lon == start.lon && now.lat == start.lat, !c.moves) << c.name;
        EXPECT_EQ(bench.machine.canUndo(), c.moves) << c.name; // no step for a refused move
    }
}

TEST(InteractionRoute, AppendingSkipsPointsWithinAMileAndTheMagnetSnaps) {
    const GeoPoint waypoint{-69.8f, 42.3f};
    const struct {
        const char* name;
        bool magnet;
        std::vector<GeoPoint> clicks;
        std::vector<GeoPoint> route;
    } cases[] = {
        {"a mile apart and more",
         false,
         {A, {-70.5f, 42.01f}, {-70.5f, 42.02f}},
         {A, {-70.5f, 42.02f}}},
        {"magnet within 0.01 degree", true, {A, {-69.795f, 42.306f}}, {A, waypoint}},
        {"magnet too far", true, {A, {-69.785f, 42.3f}}, {A, {-69.785f, 42.3f}}},
        {"magnet off", false, {A, {-69.795f, 42.306f}}, {A, {-69.795f, 42.306f}}},
    };
    for (const auto& c : cases) {
        Bench bench;
        bench.data.config.settings.route.magnet = c.magnet;
        bench.data.haveWaypoints = true;
        addWaypoint(bench.data.waypoints, waypoint, "W");
        EXPECT_TRUE(bench.machine.execute(kPopupNewRoute));
        for (const GeoPoint& p : c.clicks) bench.click(p);
        ASSERT_EQ(bench.data.route.waypoints.size(), c.route.size()) << c.name;
        for (std::size_t i = 0; i < c.route.size(); ++i) {
            EXPECT_NEAR(bench.data.route.waypoints[i].lon, c.route[i].lon, 2e-4) << c.name;
            EXPECT_NEAR(bench.data.route.waypoints[i].lat, c.route[i].lat, 2e-4) << c.name;
        }
        GeoPoint from, to;
        EXPECT_TRUE(bench.machine.rubberBand(from, to)) << c.name;
        EXPECT_TRUE(bench.machine.escape());
        EXPECT_FALSE(bench.machine.appending());
        EXPECT_FALSE(bench.machine.rubberBand(from, to)) << c.name;
    }
}

TEST(InteractionUndo, EachEditIsOneStepUndoneAndRedone) {
    const GeoPoint onLeg{-70.25f, 42.0f};
    const struct {
        const char* name;
        std::function<void(Bench&)> edit;
    } cases[] = {
        {"append",
         [](Bench& b) {
             b.machine.execute(kPopupAppendPoints);
             b.click({-69.0f, 42.5f});
         }},
        {"insert into a leg",
         [&](Bench& b) {
             b.menu(onLeg);
             b.machine.execute(kPopupInsertPoint);
             b.machine.move(b.pixel({-70.25f, 42.1f}).x, b.pixel({-70.25f, 42.1f}).y);
             b.click({-70.25f, 42.1f});
         }},
        {"move a point through three places",
         [](Bench& b) {
             b.drag(B, {{-70.0f, 42.05f}, {-70.0f, 42.1f}, {-70.0f, 42.15f}});
         }},
        {"delete the point",
         [](Bench& b) {
             b.menu(B);
             b.machine.execute(kPopupDeletePoint);
         }},
        {"delete the points before",
         [](Bench& b) {
             b.menu(B);
             b.machine.execute(kPopupDeletePointsBefore);
         }},
        {"reverse",
         [](Bench& b) {
             b.menu(B);
             b.machine.execute(kPopupReverseRoute);
         }},
        {"draw a barrier point",
         [](Bench& b) {
             b.menu({-69.0f, 41.5f});
             b.machine.execute(kPopupNewBarrier);
             b.click({-69.0f, 41.5f});
         }},
        {"move a vertex",
         [](Bench& b) {
             b.drag(kBar.points[1], {{-70.2f, 41.95f}});
         }},
        {"delete the barrier",
         [](Bench& b) {
             b.menu(kBar.points[1]);
             b.machine.execute(kPopupDeleteBarrier);
         }},
    };
    for (const auto& c : cases) {
        Bench bench({A, B, C}, {kBar});
        const EditSnapshot before{bench.data.route.waypoints, bench.data.barriers.barriers};
        c.edit(bench);
        bench.machine.escape();
        const EditSnapshot after{bench.data.route.waypoints, bench.data.barriers.barriers};
        const auto same = [&bench](const EditSnapshot& s) {
            if (text(bench.data.route.waypoints) != text(s.waypoints)) return false;
            if (bench.data.barriers.barriers.size() != s.barriers.size()) return false;
            for (std::size_t i = 0; i < s.barriers.size(); ++i)
                if (text(bench.data.barriers.barriers[i].points) != text(s.barriers[i].points))
                    return false;
            return true;
        };
        ASSERT_FALSE(same(before)) << c.name << ": nothing was edited";
        EXPECT_GT(bench.stops, 0) << c.name; // a running routing would have been stopped
        ASSERT_TRUE(bench.machine.undo()) << c.name;
        EXPECT_TRUE(same(before)) << c.name;
        EXPECT_FALSE(bench.machine.canUndo()) << c.name << ": one step";
        ASSERT_TRUE(bench.machine.redo()) << c.name;
        EXPECT_TRUE(same(after)) << c.name;
        EXPECT_EQ(bench.data.route.legLength.size(), after.waypoints.size() - 1) << c.name;
    }
}

TEST(InteractionUndo, TheHistoryIsBoundedAndANewEditDropsTheRedo) {
    Bench bench({A});
    bench.machine.execute(kPopupAppendPoints);
    for (int i = 1; i <= 150; ++i) bench.click({-70.5f + 0.05f * i, 42.0f});
    ASSERT_EQ(bench.data.route.waypoints.size(), 151u);
    int undone = 0;
    while (bench.machine.undo()) ++undone;
    EXPECT_EQ(undone, static_cast<int>(Interaction::kHistory));
    EXPECT_EQ(bench.data.route.waypoints.size(), 51u);
    EXPECT_TRUE(bench.machine.canRedo());
    bench.menu(A);
    bench.machine.execute(kPopupReverseRoute);
    EXPECT_FALSE(bench.machine.canRedo());
}

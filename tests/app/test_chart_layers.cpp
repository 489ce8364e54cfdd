// The barriers and the waypoints on the chart: lines in the barrier colour, vertex squares
// only while editing or on the selected barrier, the screen positions kept for the mouse, the
// waypoints in each display type, and both layers' switches in the chart drawing.
#include "render/barriers_layer.h"
#include "render/chart_painter.h"
#include "render/cities_layer.h"
#include "render/currents_layer.h"
#include "render/map_view.h"
#include "render/waypoints_layer.h"
#include "routing/user_route.h"
#include "settings/config_store.h"
#include "weather/current_field.h"
#include "weather/tide_harmonics.h"
#include "weather/wind_store.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <cmath>
#include <functional>

using namespace navorel;

namespace {

constexpr int kRed = 0x0000ff, kBlue = 0xff0000, kSea = 0xc8c8c8, kWhite = 0xffffff;

QRgb rgbOf(int c) {
    return qRgb(c & 0xff, (c >> 8) & 0xff, (c >> 16) & 0xff);
}

// A 400 x 300 chart, 100 pixels per degree, longitude 0 at x 200 and the equator at y 150,
// painted without smoothing (unless `chart`) so that lines keep their colour.
struct Picture {
    MapView view;
    QImage image;
    Picture(const std::function<void(QPainter&, const MapView&)>& paint) {
        view.scale = 100;
        view.transX = 200;
        view.transY = 150;
        view.resize(400, 300);
        image = QImage(view.width, view.height, QImage::Format_RGB32);
        image.fill(rgbOf(kSea));
        QPainter painter(&image);
        paint(painter, view);
    }
    // Pixels of `colour` (with `differ`, of another colour) from dx0..dx1, dy0..dy1 around
    // (lon, lat).
    int count(double lon, double lat, int dx0, int dx1, int dy0, int dy1, int colour,
              bool differ = false) const {
        double x, y;
        view.project(lon, lat, x, y);
        int n = 0;
        for (int j = int(std::lround(y)) + dy0; j <= int(std::lround(y)) + dy1; ++j)
            for (int i = int(std::lround(x)) + dx0; i <= int(std::lround(x)) + dx1; ++i)
                if (image.valid(i, j)) n += (image.pixel(i, j) == rgbOf(colour)) != differ;
        return n;
    }
};

} // namespace

TEST(ChartLayers, BarrierLinesAndTheirVerticesWhileEditingOrSelected) {
    // Two horizontal barriers of three points each.
    const BarrierList barriers = {Barrier{{{-1, 0.5f}, {0, 0.5f}, {1, 0.5f}}},
                                  Barrier{{{-1, -0.5f}, {0, -0.5f}, {1, -0.5f}}}};
    struct Case {
        BarrierStyle style;
        bool squares[2];   // vertex squares shown on each barrier
        bool filledMiddle; // the middle vertex of barrier 0 filled as the selected one
    };
    const Case cases[] = {
        {{kRed, -1, -1, false}, {false, false}, false},
        {{kRed, -1, -1, true}, {true, true}, false},
        {{kRed, 0, 1, false}, {true, false}, true},
        {{kRed, 1, -1, true}, {true, true}, false},
    };
    for (const Case& c : cases) {
        const Picture p([&](QPainter& painter, const MapView& view) {
            drawBarriers(painter, view, barriers, c.style);
        });
        for (int b = 0; b < 2; ++b) {
            const double lat = b == 0 ? 0.5 : -0.5;
            EXPECT_GT(p.count(-0.5, lat, 0, 0, -1, 1, kRed), 0) << b; // the line
            // Above the line at the middle vertex, only a square's edge is red.
            EXPECT_EQ(p.count(0, lat, -5, 5, -5, -3, kRed) > 0, c.squares[b])
                << "barrier " << b << " editing " << c.style.editing << " selected "
                << c.style.selectedBarrier;
        }
        EXPECT_EQ(p.count(0, 0.5, -2, 2, -3, -2, kRed) > 0, c.filledMiddle);
    }

    // A lone point, a barrier over the date line, a point that is not a number.
    const BarrierList odd = {Barrier{{{-1, 0.5f}}}, Barrier{{{179, 0}, {-179, 1}}},
                             Barrier{{{0, 0}, {std::nanf(""), 1}, {1, 0}}}};
    BarrierScreenCopy screen;
    const Picture p([&](QPainter& painter, const MapView& view) {
        drawBarriers(painter, view, odd, {kRed, -1, -1, false}, &screen);
    });
    ASSERT_EQ(screen.size(), 3u);
    ASSERT_EQ(screen[2].size(), 3u); // every point keeps its place for the hit test
    EXPECT_DOUBLE_EQ(screen[0][0].x, 100);
    EXPECT_NEAR(screen[1][1].x - screen[1][0].x, 200, 1e-9); // 2 degrees east, not 358 west
    EXPECT_LT(screen[2][1].x, -1e6);                         // never under the mouse
    EXPECT_GT(p.count(-1, 0.5, -1, 1, -1, 1, kRed), 0);      // a dot
    EXPECT_GT(p.count(0.5, 0, -1, 1, -1, 1, kRed), 0);       // the broken barrier's line
}

TEST(ChartLayers, WaypointTypesAndBothLayersSwitches) {
    WaypointSet set;
    addWaypoint(set, {0, 0}, "Alpha");
    addWaypoint(set, {1.2f, 95}, "Pole"); // beyond the pole: left out, not drawn at infinity
    struct Case {
        int type;
        bool whiteRing, flag, name;
    };
    for (const Case& c :
         {Case{0, true, false, false}, Case{1, false, false, true}, Case{2, false, true, true}}) {
        const Picture p([&](QPainter& painter, const MapView& view) {
            drawWaypoints(painter, view, set, c.type, kBlue);
        });
        EXPECT_GT(p.count(0, 0, -1, 1, -1, 1, kBlue), 0) << c.type;
        EXPECT_EQ(p.count(0, 0, -4, 4, -4, 4, kWhite) > 0, c.whiteRing) << c.type;
        EXPECT_EQ(p.count(0, 0, 2, 6, -13, -10, kBlue) > 4, c.flag) << c.type;
        // Text is smoothed: the name is what is not sea.
        EXPECT_EQ(p.count(0, 0, 10, 60, -16, -2, kSea, true) > 10, c.name) << c.type;
    }

    // In the chart, the barriers always and the waypoints when shown.
    Settings settings;
    settings.map.colorSea = kSea;
    settings.barrierColor = kRed;
    settings.waypoints.color = kBlue;
    const WindStore noForecast;
    const BarrierList barriers = {Barrier{{{0, 0.5f}, {1, 0.5f}}}};
    ChartScene scene;
    scene.settings = &settings;
    scene.wind = &noForecast;
    scene.waypoints = &set;
    scene.barriers = &barriers;
    for (const bool show : {false, true}) {
        settings.waypoints.show = show;
        const Picture p(
            [&](QPainter& painter, const MapView& view) { paintChart(painter, view, scene); });
        EXPECT_GT(p.count(0.5, 0.5, 0, 0, -1, 1, kSea, true), 0);
        EXPECT_EQ(p.count(0, 0, -2, 2, -2, 2, kSea, true) > 0, show);
    }
}

TEST(ChartLayers, TheRoutesStartIsMarkedApartFromItsEnd) {
    Settings settings;
    settings.map.colorSea = kSea;
    settings.route.color = kRed;
    settings.route.thickness = 2;
    const WindStore noForecast;
    UserRoute route;
    route.waypoints = {{0, 0}, {1, 0.5f}};
    recompute(route, settings.routing, nullptr);
    ChartScene scene;
    scene.settings = &settings;
    scene.wind = &noForecast;
    scene.route = &route;
    const Picture p(
        [&](QPainter& painter, const MapView& view) { paintChart(painter, view, scene); });
    // The start filled in the route's colour, the end a white dot in a ring.
    EXPECT_GT(p.count(0, 0, -1, 1, -1, 1, kRed), 6);
    EXPECT_EQ(p.count(0, 0, -1, 1, -1, 1, kWhite), 0);
    EXPECT_GT(p.count(1, 0.5, -1, 1, -1, 1, kWhite), 6);
    // And larger than the end's mark.
    EXPECT_GT(p.count(0, 0, -9, 9, -9, 9, kSea, true), p.count(1, 0.5, -9, 9, -9, 9, kSea, true));
}

TEST(ChartLayers, TheBoatIsHoveredWithinFivePixels) {
    Settings settings;
    ChartScene scene;
    scene.settings = &settings;
    scene.showBoat = true;
    scene.boatLon = 0;
    scene.boatLat = 0;
    const Picture p([](QPainter&, const MapView&) {});
    const struct {
        double dx, dy;
        bool over;
    } cases[] = {{0, 0, true},  {5, 0, true},  {3, -4, true}, {0, 5.5, false},
                 {6, 0, false}, {4, 4, false}, {12, 0, false}};
    double x, y;
    p.view.project(0, 0, x, y);
    for (const auto& c : cases)
        EXPECT_EQ(overBoat(p.view, scene, x + c.dx, y + c.dy), c.over) << c.dx << "," << c.dy;
    scene.showBoat = false;
    EXPECT_FALSE(overBoat(p.view, scene, x, y));
}

TEST(ChartLayers, ALabelTakesTheFirstFreePlaceOrNone) {
    std::vector<QRectF> taken = {QRectF(0, 0, 50, 10)};
    QRectF chosen;
    // The first candidate overlaps the town's name: the second is taken.
    EXPECT_TRUE(placeLabel(taken, {QRectF(40, 5, 30, 10), QRectF(-40, 5, 30, 10)}, chosen));
    EXPECT_EQ(chosen, QRectF(-40, 5, 30, 10));
    ASSERT_EQ(taken.size(), 2u);
    // Every place is taken: no label, nothing added.
    EXPECT_FALSE(placeLabel(taken, {QRectF(10, 2, 5, 5), QRectF(-30, 8, 5, 5)}, chosen));
    EXPECT_EQ(taken.size(), 2u);
}

TEST(ChartLayers, TideStationNamesKeepClearOfTownNames) {
    TideHarmonics tides;
    TideStation boston;
    boston.name = "BOSTON";
    tides.addStation(boston); // at 0, 0: pixel (200, 150)
    const struct {
        const char* name;
        std::vector<QRectF> towns; // the town names already drawn
        bool right, left, named;
    } cases[] = {
        {"alone: right of the station", {}, true, false, true},
        {"a town's name on the right: left", {QRectF(205, 140, 60, 20)}, false, true, true},
        {"names all round: none",
         {QRectF(205, 140, 60, 20), QRectF(130, 140, 65, 20), QRectF(150, 125, 100, 20),
          QRectF(150, 155, 100, 20)},
         false,
         false,
         false},
    };
    for (const auto& c : cases) {
        std::vector<QRectF> labels = c.towns;
        const Picture p([&](QPainter& painter, const MapView& view) {
            drawTideStations(painter, view, tides, QColor(0, 0, 0), labels);
        });
        // Beyond the station's ring (5 pixels), the text is what is not sea.
        EXPECT_EQ(p.count(0, 0, 8, 60, -6, 6, kSea, true) > 10, c.right) << c.name;
        EXPECT_EQ(p.count(0, 0, -60, -8, -6, 6, kSea, true) > 10, c.left) << c.name;
        EXPECT_EQ(labels.size(), c.towns.size() + (c.named ? 1 : 0)) << c.name;
    }
}

TEST(ChartLayers, StreamArrowsHaveADarkRimThatStandsOutOnWindColours) {
    TideHarmonics tides;
    ASSERT_TRUE(
        tides.parseHarmonics("EASTPORT\n0 0\n0\n295.7\n"
                             "0.0 155.4 118.9 21.3 2688.3 542.5 420.6 24.4 61.0 18.3\n"
                             "0.00 196.40 176.90 163.00 98.70 69.40 139.30 55.80 86.50 131.90\n"));
    CurrentField field;
    CurrentFile& file = field.files.emplace_back();
    file.port = 0;
    CurrentPoint& point = file.points.emplace_back();
    point.port = 0;
    point.springEast.fill(3); // 3 knots east at every hour
    point.neapEast.fill(3);
    const double time = dayNumber(1, 6, 2026, 12, 0, 0);
    ASSERT_TRUE(tides.tableState(0, time).valid);
    // On the lightest and the darkest colour of the wind scale.
    for (const int background : {0x00edff /* yellow */, 0x8c328c /* purple */}) {
        const Picture p([&](QPainter& painter, const MapView& view) {
            painter.fillRect(QRect(0, 0, view.width, view.height), QColor(rgbOf(background)));
            drawCurrentArrows(painter, view, field, tides, time);
        });
        const int rim =
            (kStreamOutline.blue() << 16) | (kStreamOutline.green() << 8) | kStreamOutline.red();
        EXPECT_GT(p.count(0, 0, -20, 20, -10, 10, rim), 20) << std::hex << background;
        // The class colour inside the rim.
        int inside = 0;
        for (const QColor& c : kStreamColours)
            inside +=
                p.count(0, 0, -20, 20, -10, 10, (c.blue() << 16) | (c.green() << 8) | c.red());
        EXPECT_GT(inside, 3) << std::hex << background;
    }
}

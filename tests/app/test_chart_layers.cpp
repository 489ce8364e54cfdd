// The barriers and the waypoints on the chart: lines in the barrier colour, vertex squares
// only while editing or on the selected barrier, the waypoints in each display type, the
// layers' switches in the chart drawing, and the screen positions kept for the mouse.
#include "render/barriers_layer.h"
#include "render/chart_painter.h"
#include "render/map_view.h"
#include "render/waypoints_layer.h"
#include "settings/config_store.h"
#include "weather/wind_store.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <cmath>
#include <functional>

using namespace navorel;

namespace {

constexpr int kRed = 0x0000ff;  // red in the low byte
constexpr int kBlue = 0xff0000; // blue in the high byte
constexpr int kSea = 0xc8c8c8;
constexpr int kWhite = 0xffffff;

// A 400 x 300 chart, 100 pixels per degree, longitude 0 at x 200 and the equator at y 150.
MapView testView() {
    MapView view;
    view.scale = 100;
    view.transX = 200;
    view.transY = 150;
    view.resize(400, 300);
    return view;
}

QRgb rgbOf(int c) {
    return qRgb(c & 0xff, (c >> 8) & 0xff, (c >> 16) & 0xff);
}

// Pixels of exactly `colour` in the rectangle around (x, y) from dx0..dx1, dy0..dy1; with
// `differ`, those of another colour.
int count(const QImage& image, QPointF at, int dx0, int dx1, int dy0, int dy1, int colour,
          bool differ = false) {
    int n = 0;
    const int x = static_cast<int>(std::lround(at.x())), y = static_cast<int>(std::lround(at.y()));
    for (int j = y + dy0; j <= y + dy1; ++j)
        for (int i = x + dx0; i <= x + dx1; ++i)
            if (i >= 0 && j >= 0 && i < image.width() && j < image.height() &&
                (image.pixel(i, j) == rgbOf(colour)) != differ)
                ++n;
    return n;
}

QImage picture(const MapView& view, const std::function<void(QPainter&)>& paint) {
    QImage image(view.width, view.height, QImage::Format_RGB32);
    image.fill(rgbOf(kSea));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    paint(painter);
    return image;
}

QPointF at(const MapView& view, double lon, double lat) {
    double x, y;
    view.project(lon, lat, x, y);
    return {x, y};
}

} // namespace

TEST(BarriersLayer, LinesAlwaysVerticesWhileEditingOrOnTheSelectedBarrier) {
    const MapView view = testView();
    // Two horizontal barriers of three points each.
    const BarrierList barriers = {Barrier{{{-1, 0.5f}, {0, 0.5f}, {1, 0.5f}}},
                                  Barrier{{{-1, -0.5f}, {0, -0.5f}, {1, -0.5f}}}};
    struct Case {
        bool editing;
        int selectedBarrier, selectedPoint;
        bool squares[2];   // vertex squares shown on each barrier
        bool filledMiddle; // the middle vertex of barrier 0 filled as the selected one
    };
    const Case cases[] = {
        {false, -1, -1, {false, false}, false},
        {true, -1, -1, {true, true}, false},
        {false, 0, 1, {true, false}, true},
        {true, 1, -1, {true, true}, false},
    };
    for (const Case& c : cases) {
        const QImage image = picture(view, [&](QPainter& p) {
            drawBarriers(p, view, barriers, {kRed, c.selectedBarrier, c.selectedPoint, c.editing});
        });
        for (int b = 0; b < 2; ++b) {
            const float lat = b == 0 ? 0.5f : -0.5f;
            // The line between two vertices, whatever the state.
            EXPECT_GT(count(image, at(view, -0.5, lat), 0, 0, -1, 1, kRed), 0) << b;
            // Above the line at the middle vertex, only a square's edge is red.
            EXPECT_EQ(count(image, at(view, 0, lat), -5, 5, -5, -3, kRed) > 0, c.squares[b])
                << "barrier " << b << " editing " << c.editing << " selected " << c.selectedBarrier;
        }
        EXPECT_EQ(count(image, at(view, 0, 0.5), -2, 2, -3, -2, kRed) > 0, c.filledMiddle)
            << c.selectedBarrier << " " << c.selectedPoint;
    }
}

TEST(BarriersLayer, ScreenPositionsFollowTheBarrierAcrossTheDateLine) {
    const MapView view = testView();
    const float nan = std::nanf("");
    // One point, a barrier over the date line, a point that is not a number.
    const BarrierList barriers = {Barrier{{{-1, 0.5f}}}, Barrier{{{179, 0}, {-179, 1}}},
                                  Barrier{{{0, 0}, {nan, 1}, {1, 0}}}, Barrier{}};
    BarrierScreenCopy screen;
    const QImage image = picture(view, [&](QPainter& p) {
        drawBarriers(p, view, barriers, {kRed, -1, -1, false}, &screen);
    });
    ASSERT_EQ(screen.size(), 4u);
    ASSERT_EQ(screen[2].size(), 3u); // every point keeps its place for the hit test
    EXPECT_TRUE(screen[3].empty());
    EXPECT_DOUBLE_EQ(screen[0][0].x, 100);
    // The second point continues the line 2 degrees east, not 358 degrees west.
    EXPECT_NEAR(screen[1][1].x - screen[1][0].x, 200, 1e-9);
    EXPECT_LT(screen[2][1].x, -1e6); // never under the mouse
    // A lone point is a dot; the points either side of the broken one are joined.
    EXPECT_GT(count(image, at(view, -1, 0.5), -1, 1, -1, 1, kRed), 0);
    EXPECT_GT(count(image, at(view, 0.5, 0), -1, 1, -1, 1, kRed), 0);
}

TEST(WaypointsLayer, EachTypeHasItsShapeAndTheNamedOnesTheirName) {
    const MapView view = testView();
    WaypointSet set;
    addWaypoint(set, {0, 0}, "Alpha");
    addWaypoint(set, {1.2f, 95}, "Pole"); // beyond the pole: left out, not drawn at infinity
    const QPointF p = at(view, 0, 0);
    struct Case {
        int type;
        bool whiteRing, flag, name;
    };
    const Case cases[] = {{0, true, false, false}, {1, false, false, true}, {2, false, true, true}};
    for (const Case& c : cases) {
        const QImage image =
            picture(view, [&](QPainter& pt) { drawWaypoints(pt, view, set, c.type, kBlue); });
        EXPECT_GT(count(image, p, -1, 1, -1, 1, kBlue), 0) << c.type;
        EXPECT_EQ(count(image, p, -4, 4, -4, 4, kWhite) > 0, c.whiteRing) << c.type;
        EXPECT_EQ(count(image, p, 2, 6, -13, -10, kBlue) > 4, c.flag) << c.type;
        // Text is smoothed: the name is what is not sea.
        EXPECT_EQ(count(image, p, 10, 60, -16, -2, kSea, true) > 10, c.name) << c.type;
    }
}

TEST(ChartLayers, BarriersAndWaypointsFollowTheirSwitches) {
    const MapView view = testView();
    Settings settings;
    settings.map.colorSea = kSea;
    settings.barrierColor = kRed;
    settings.waypoints.color = kBlue;
    WindStore noForecast;
    WaypointSet set;
    addWaypoint(set, {-1, 0}, "");
    const BarrierList barriers = {Barrier{{{0, 0.5f}, {1, 0.5f}}}};
    BarrierScreenCopy screen;
    ChartScene scene;
    scene.settings = &settings;
    scene.wind = &noForecast;
    scene.waypoints = &set;
    scene.barriers = &barriers;
    scene.barrierScreen = &screen;
    // A pixel near the colour: the chart draws with smoothing.
    const auto near = [](const QImage& image, QPointF p, int colour) {
        for (int j = -2; j <= 2; ++j)
            for (int i = -2; i <= 2; ++i) {
                const QColor c = image.pixelColor(p.toPoint() + QPoint(i, j));
                const QColor w(rgbOf(colour));
                if (std::abs(c.red() - w.red()) + std::abs(c.green() - w.green()) +
                        std::abs(c.blue() - w.blue()) <
                    60)
                    return true;
            }
        return false;
    };
    for (const bool show : {false, true}) {
        settings.waypoints.show = show;
        QImage image(view.width, view.height, QImage::Format_RGB32);
        QPainter painter(&image);
        paintChart(painter, view, scene);
        painter.end();
        EXPECT_TRUE(near(image, at(view, 0.5, 0.5), kRed));
        EXPECT_EQ(near(image, at(view, -1, 0), kBlue), show);
        ASSERT_EQ(screen.size(), 1u);
        EXPECT_DOUBLE_EQ(screen[0][1].x, 300);
    }
}

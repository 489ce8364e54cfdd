// The chart's layer cache: through a series of changes (view, level, record, time between
// records, map and wind settings, colours, the constant wind), a chart drawn with the cache is
// the same, pixel for pixel, as one drawn afresh, and only the layers that depend on what
// changed are drawn again. The shoreline paths are made once per cell and level.
#include "app/chart_view.h"
#include "app/chart_widget.h"
#include "program_folder.h"
#include "render/chart_cache.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <functional>
#include <string>

using namespace navorel;
using navorel::apptest::ProgramFolder;

namespace {

QImage draw(app::AppData& data, const MapView& view, const app::DisplayState& display,
            ChartCache* cache) {
    QImage image(view.width, view.height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    paintChart(painter, view,
               app::makeScene(data, app::displayWind(data), nullptr, nullptr, &display), cache);
    return image;
}

// The pixels where two charts differ: their count and the box round them.
std::string difference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return "sizes differ";
    int n = 0, x0 = a.width(), y0 = a.height(), x1 = -1, y1 = -1;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) == b.pixel(x, y)) continue;
            ++n;
            x0 = std::min(x0, x);
            y0 = std::min(y0, y);
            x1 = std::max(x1, x);
            y1 = std::max(y1, y);
        }
    }
    if (n == 0) return "the same";
    return std::to_string(n) + " pixels differ in (" + std::to_string(x0) + ", " +
           std::to_string(y0) + ") - (" + std::to_string(x1) + ", " + std::to_string(y1) + ")";
}

} // namespace

TEST(ChartCache, CachedChartIsTheDirectPaintAndRedrawsOnlyWhatChanged) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    ASSERT_GE(data.wind.frames().size(), 3u);
    Settings& s = data.config.settings;
    s.winds.showSurfaceGradient = s.winds.showArrows = s.winds.showZones = true;
    s.map.showMapGrid = true;
    s.map.colorMapGrid = 0x0000ff;
    // Cape Cod at the coast level, where the land, the lakes and the towns are drawn.
    MapView view;
    view.resize(640, 400);
    view.scale = 250;
    ASSERT_TRUE(view.centreOn(-70.2, 41.9, true));
    app::DisplayState display;
    app::selectRecord(display, data.wind, 1);

    struct Step {
        const char* what;
        std::function<void()> change;
        std::array<int, 3> drawn; // sea, map and hour layers drawn again
    };
    const double betweenRecords = (data.wind.frameTimes()[1] + data.wind.frameTimes()[2]) / 2;
    const Step steps[] = {
        {"first chart", [] {}, {1, 1, 1}},
        {"the same again", [] {}, {0, 0, 0}},
        {"the user's route moved", [&] { data.route.waypoints[0].lon += 0.05f; }, {0, 0, 0}},
        {"next record", [&] { app::selectRecord(display, data.wind, 2); }, {1, 0, 1}},
        {"back to the record kept", [&] { app::selectRecord(display, data.wind, 1); }, {0, 0, 0}},
        {"time between records",
         [&] { app::setDisplayTime(display, data.wind, betweenRecords); },
         {1, 0, 1}},
        {"pan",
         [&] {
             view.pan(37, -21);
             view.update();
         },
         {1, 1, 1}},
        {"zoom out to another level",
         [&] {
             const int level = view.level;
             for (int i = 0; i < 12 && view.level == level; ++i) view.zoomAt(-120, 300, 200);
             ASSERT_NE(view.level, level);
         },
         {1, 1, 1}},
        {"land colour", [&] { s.map.colorLand = 0x30a030; }, {0, 1, 0}},
        {"lakes shown", [&] { s.map.showLakes = !s.map.showLakes; }, {0, 1, 0}},
        {"coast hidden", [&] { s.map.showShorelines = false; }, {0, 1, 0}},
        {"map grid hidden", [&] { s.map.showMapGrid = false; }, {0, 1, 0}},
        {"sea colour", [&] { s.map.colorSea = 0x808000; }, {1, 1, 0}},
        {"arrow length", [&] { s.winds.lengthArrow += 6; }, {0, 0, 1}},
        {"arrows instead of barbs", [&] { s.winds.showWindBarbs = false; }, {0, 0, 1}},
        {"wind zones hidden", [&] { s.winds.showZones = false; }, {0, 0, 1}},
        {"wind colours changed in place",
         [&] {
             for (OpaqueColor& c : data.windColors.ramp)
                 c.red = static_cast<std::uint8_t>(255 - c.red);
         },
         {1, 0, 1}},
        {"wind variation", [&] { s.routing.variation = 130; }, {1, 0, 1}},
        {"one colour per knot",
         [&] { s.winds.oneColorPerKnot = !s.winds.oneColorPerKnot; },
         {1, 0, 0}},
        // (Both surfaces take the scale's colours now: the picture may not change.)
        {"surface of cells",
         [&] {
             s.winds.showSurfaceGradient = false;
             s.winds.showSurfaceNoGradient = true;
         },
         {1, 0, 0}},
        {"surface hidden: symbols in the wind's colours",
         [&] { s.winds.showSurfaceNoGradient = false; },
         {1, 0, 1}},
        {"constant wind",
         [&] {
             s.routing.uniqueWind = true;
             s.routing.windForce = 25;
             s.routing.windDirection = 200;
         },
         {0, 0, 1}},
        {"constant wind turned", [&] { s.routing.windDirection = 240; }, {0, 0, 1}},
    };
    ChartCache cache;
    QImage previous;
    std::array<int, 3> before = {0, 0, 0};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        const QImage cached = draw(data, view, display, &cache);
        const QImage direct = draw(data, view, display, nullptr);
        EXPECT_TRUE(cached == direct) << difference(cached, direct);
        const std::array<int, 3> now = {cache.draws(ChartCache::kSeaLayer),
                                        cache.draws(ChartCache::kMapLayer),
                                        cache.draws(ChartCache::kHourLayer)};
        for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(now[i] - before[i], step.drawn[i]) << i;
        // Every change shows (the route's start is a disc on the chart).
        const std::string what = step.what;
        if (!previous.isNull() && what != "the same again" && what != "surface of cells") {
            EXPECT_FALSE(cached == previous);
        }
        before = now;
        previous = cached;
    }
}

TEST(ChartCache, ShorelinePathsAreMadeOncePerCellAndLevel) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    MapView view;
    view.resize(640, 400);
    view.scale = 250;
    ASSERT_TRUE(view.centreOn(-70.2, 41.9, true));
    const int level = view.level;
    app::DisplayState display;
    ChartCache cache;
    draw(data, view, display, &cache);
    const std::size_t cells = cache.shorePaths().cellsHeld(level);
    EXPECT_GT(cells, 0u);
    EXPECT_EQ(cache.shorePaths().joins(), 1);
    // A small pan within the same cells joins nothing again.
    view.pan(3, 2);
    view.update();
    draw(data, view, display, &cache);
    EXPECT_EQ(cache.shorePaths().joins(), 1);
    // Away (two views on, so that the map image of the first is no longer kept) and back: the
    // cells seen are kept, only the view's join is made again.
    for (int away = 0; away < 2; ++away) {
        view.pan(-900, 0);
        view.update();
        draw(data, view, display, &cache);
    }
    const std::size_t more = cache.shorePaths().cellsHeld(level);
    EXPECT_GT(more, cells);
    view.pan(1800, 0);
    view.update();
    draw(data, view, display, &cache);
    EXPECT_EQ(cache.shorePaths().cellsHeld(level), more);
    EXPECT_EQ(cache.shorePaths().joins(), 4);
}

TEST(ChartCache, TheRecordPreparedAheadIsShownWithoutDrawingItsLayersAgain) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    ASSERT_GE(data.wind.frames().size(), 2u);
    data.config.settings.winds.showSurfaceGradient = true;
    data.config.settings.winds.showArrows = true;
    MapView view;
    app::setUpView(view, data, 480, 320);
    app::DisplayState display;
    app::selectRecord(display, data.wind, 0);
    ChartCache cache;
    draw(data, view, display, &cache);
    // The next record as the window prepares it (the record and its time, not interpolated).
    ChartScene ahead = app::makeScene(data, app::displayWind(data), nullptr, nullptr, &display);
    ahead.windFrame = 1;
    ahead.windAtTime = false;
    ahead.displayTime = data.wind.frameTimes()[1];
    cache.prepare(view, ahead, 1.0);
    const int sea = cache.draws(ChartCache::kSeaLayer), hour = cache.draws(ChartCache::kHourLayer);
    EXPECT_EQ(sea, 2);
    EXPECT_EQ(hour, 2);
    app::selectRecord(display, data.wind, 1);
    const QImage shown = draw(data, view, display, &cache);
    EXPECT_EQ(cache.draws(ChartCache::kSeaLayer), sea);
    EXPECT_EQ(cache.draws(ChartCache::kHourLayer), hour);
    EXPECT_TRUE(shown == draw(data, view, display, nullptr));
}

// A pan by whole pixels moves the kept images and draws only the strips it uncovers; the chart
// is the one drawn afresh, pixel for pixel, whichever way it moves, at a record and at a time
// between records, with either surface. A pan by a part of a pixel, or by the whole window,
// draws the images afresh.
TEST(ChartCache, APanMovesTheKeptImagesAndDrawsTheUncoveredStrips) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    ASSERT_GE(data.wind.frames().size(), 3u);
    Settings& s = data.config.settings;
    s.winds.showSurfaceGradient = s.winds.showArrows = s.winds.showZones = true;
    s.map.showMapGrid = s.map.showLakes = true;
    MapView view;
    view.resize(640, 400);
    view.scale = 250;
    ASSERT_TRUE(view.centreOn(-70.2, 41.9, true));
    app::DisplayState display;
    app::selectRecord(display, data.wind, 1);

    struct Pan {
        double dx, dy;
        bool moved;
        std::function<void()> before; // a change made first
    };
    const double betweenRecords = (data.wind.frameTimes()[1] + data.wind.frameTimes()[2]) / 2;
    const Pan pans[] = {
        {37, -21, true, {}},
        {-5, 0, true, {}},
        {0, 13, true, {}},
        {-12, 8, true, [&] { app::selectRecord(display, data.wind, 2); }},
        {3, 3, true, [&] { app::setDisplayTime(display, data.wind, betweenRecords); }},
        {-9, -2, true, [&] { s.winds.showWindBarbs = !s.winds.showWindBarbs; }},
        {6, -7, true,
         [&] {
             s.winds.showSurfaceGradient = false;
             s.winds.showSurfaceNoGradient = true;
         }},
        {0.5, 0, false, {}},
        {700, 0, false, {}},
        {0, -400, false, {}},
    };
    ChartCache cache;
    draw(data, view, display, &cache);
    for (const Pan& pan : pans) {
        SCOPED_TRACE(std::to_string(pan.dx) + ", " + std::to_string(pan.dy));
        if (pan.before) {
            pan.before();
            draw(data, view, display, &cache);
        }
        const int moves = cache.moves(ChartCache::kSeaLayer) + cache.moves(ChartCache::kMapLayer) +
                          cache.moves(ChartCache::kHourLayer);
        view.pan(pan.dx, pan.dy);
        view.update();
        const QImage cached = draw(data, view, display, &cache);
        const QImage direct = draw(data, view, display, nullptr);
        EXPECT_TRUE(cached == direct) << difference(cached, direct);
        const int now = cache.moves(ChartCache::kSeaLayer) + cache.moves(ChartCache::kMapLayer) +
                        cache.moves(ChartCache::kHourLayer);
        EXPECT_EQ(now - moves, pan.moved ? 3 : 0);
    }
}

// A wheel step and the step back: the map image of the view before the step is kept, so the
// step back draws no layer (about the same point) or moves the kept images (about a point that
// puts the view whole pixels off), and shows the chart a direct paint shows.
TEST(ChartCache, AWheelStepBackFindsTheKeptMapImage) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    Settings& s = data.config.settings;
    s.winds.showSurfaceGradient = s.winds.showArrows = s.map.showMapGrid = true;
    MapView start;
    start.resize(640, 400);
    start.scale = 250;
    ASSERT_TRUE(start.centreOn(-70.2, 41.9, true));
    app::DisplayState display;
    app::selectRecord(display, data.wind, 1);

    struct Step {
        double inX, inY, outX, outY;
        int moved; // map images moved by the step back (none is drawn whole)
    };
    // 1.2 times about (120, 90), then back about a point 360 pixels east and 240 south: the view
    // comes back 60 and 40 pixels off.
    for (const Step& step : {Step{300, 200, 300, 200, 0}, Step{120, 90, 480, 330, 1}}) {
        SCOPED_TRACE(std::to_string(step.outX) + ", " + std::to_string(step.outY));
        ChartCache cache;
        MapView view = start;
        draw(data, view, display, &cache);
        view.zoomAt(120, step.inX, step.inY);
        draw(data, view, display, &cache);
        const int draws = cache.draws(ChartCache::kMapLayer);
        const int moves = cache.moves(ChartCache::kMapLayer);
        view.zoomAt(-120, step.outX, step.outY);
        const QImage cached = draw(data, view, display, &cache);
        EXPECT_EQ(cache.moves(ChartCache::kMapLayer) - moves, step.moved);
        EXPECT_EQ(cache.draws(ChartCache::kMapLayer) - draws, step.moved);
        const QImage direct = draw(data, view, display, nullptr);
        EXPECT_TRUE(cached == direct) << difference(cached, direct);
    }
}

// A wheel step shows the chart kept, scaled about the cursor, at once; the exact chart follows
// without further input.
TEST(ChartWindow, AWheelStepShowsTheKeptChartScaledThenTheExactOne) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    app::ChartWidget chart(data);
    chart.resize(640, 480);
    chart.show();
    chart.dataLoaded();
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    chart.repaint();
    const int charts = chart.chartPaints(), previews = chart.previewPaints();
    ASSERT_GE(charts, 1);

    const QPointF at(200, 150);
    QWheelEvent wheel(at, chart.mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&chart, &wheel);
    chart.repaint();
    EXPECT_EQ(chart.previewPaints(), previews + 1);
    EXPECT_EQ(chart.chartPaints(), charts);
    for (int i = 0; i < 5 && chart.chartPaints() == charts; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(chart.chartPaints(), charts + 1);
    EXPECT_EQ(chart.previewPaints(), previews + 1);

    // The preview of the same view is the chart; zoomed in at a place, the place keeps its
    // pixel; zoomed out, the edges left bare are the sea colour.
    MapView view;
    view.resize(640, 400);
    view.scale = 250;
    ASSERT_TRUE(view.centreOn(-70.2, 41.9, true));
    app::DisplayState display;
    const QImage drawn = draw(data, view, display, nullptr);
    const auto preview = [&](const MapView& to) {
        QImage image(to.width, to.height, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        paintZoomPreview(painter, drawn, view, to, Qt::magenta);
        return image;
    };
    EXPECT_TRUE(preview(view) == drawn);
    MapView in = view;
    in.zoomAt(120, 321, 187);
    EXPECT_EQ(preview(in).pixel(321, 187), drawn.pixel(321, 187));
    MapView out = view;
    out.zoomAt(-120, 321, 187);
    const QImage shrunk = preview(out);
    EXPECT_EQ(shrunk.pixel(1, 1), QColor(Qt::magenta).rgb());
    EXPECT_EQ(shrunk.pixel(638, 398), QColor(Qt::magenta).rgb());
    EXPECT_EQ(shrunk.pixel(321, 187), drawn.pixel(321, 187));
}

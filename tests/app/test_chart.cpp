// The desktop program's chart: start-up on the shipped program folder, the rendered chart's
// colours where it matters, the routing worker, the wind symbols and the command line.
#include "app/chart_view.h"
#include "app/chart_widget.h"
#include "app/splash_window.h"
#include "program_folder.h"
#include "render/wind_symbols.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>

namespace fs = std::filesystem;
using namespace navorel;
using navorel::apptest::ProgramFolder;

namespace {

QColor fromBgr(int c) {
    return QColor(c & 0xff, (c >> 8) & 0xff, (c >> 16) & 0xff);
}

// Share of the pixels of the square of half-side r around (lon, lat) that have `colour`.
double shareOf(const QImage& image, const MapView& view, double lon, double lat, int r,
               QColor colour) {
    double x, y;
    view.project(lon, lat, x, y);
    int hits = 0, all = 0;
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
            const int px = static_cast<int>(std::lround(x)) + dx;
            const int py = static_cast<int>(std::lround(y)) + dy;
            if (px < 0 || py < 0 || px >= image.width() || py >= image.height()) continue;
            ++all;
            if (QColor(image.pixel(px, py)).rgb() == colour.rgb()) ++hits;
        }
    return all ? static_cast<double>(hits) / all : 0;
}

// Lets the window take the worker's fronts and result until the run ends (two minutes at most).
void waitForRouting(const app::ChartWidget& chart) {
    QElapsedTimer timer;
    timer.start();
    while (chart.routingRunning() && timer.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

int runProgram(const std::string& arguments) {
    const std::string command = std::string("QT_QPA_PLATFORM=offscreen '") + NAVOREL_APP + "' " +
                                arguments + " 2>/dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(ChartImage, ShippedFolderShowsLandAndSeaWithTheConfiguredColours) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    ASSERT_GE(data.route.waypoints.size(), 2u);
    MapView view;
    app::setUpView(view, data, 1280, 800);
    const QImage image = app::renderChartImage(data, view, app::displayWind(data), nullptr);
    ASSERT_EQ(image.size(), QSize(1280, 800));

    const MapSettings& map = data.config.settings.map;
    const QColor land = fromBgr(map.colorLand), sea = fromBgr(map.colorSea);
    // The forearm of Cape Cod, in a view at the scale of the coast level the test set-up
    // builds (levels c, l and i only).
    MapView capeView;
    capeView.resize(1280, 800);
    capeView.scale = 250;
    ASSERT_TRUE(capeView.centreOn(-70.0, 41.9, true));
    ASSERT_EQ(capeView.level, 2);
    const QImage cape = app::renderChartImage(data, capeView, app::displayWind(data), nullptr);
    EXPECT_GT(shareOf(cape, capeView, -70.0, 41.9, 1, land), 0.5);

    // Framed on the wind: the open Gulf of Maine is sea between the wind symbols, inland
    // Maine is land.
    MapView gribView;
    gribView.resize(1280, 800);
    const FrameGeometry& g = data.wind.geometry(0);
    ASSERT_TRUE(gribView.frameGrib({g.minLon, g.maxLon, g.minLat, g.maxLat}, g.wrap));
    WindSettings& winds = data.config.settings.winds;
    winds.showSurfaceGradient = winds.showSurfaceNoGradient = false;
    const QImage wide = app::renderChartImage(data, gribView, app::displayWind(data), nullptr);
    EXPECT_GT(shareOf(wide, gribView, -68.5, 43.0, 10, sea), 0.6);
    EXPECT_EQ(shareOf(wide, gribView, -68.5, 43.0, 10, land), 0);
    EXPECT_GT(shareOf(wide, gribView, -69.8, 44.6, 10, land), 0.6);
    EXPECT_EQ(shareOf(wide, gribView, -69.8, 44.6, 10, sea), 0);

    // With the wind surface the same sea takes the colour of its wind; the land stays.
    winds.showSurfaceGradient = true;
    const QImage surface = app::renderChartImage(data, gribView, app::displayWind(data), nullptr);
    const WindSample w = frameSample(data.wind, data.wind.currentFrame(), -68.5f, 43.0f);
    ASSERT_TRUE(w.found);
    const OpaqueColor c =
        windColor(data.windColors, true, w.speed * data.config.settings.routing.variation / 100.0,
                  winds.oneColorPerKnot);
    EXPECT_GT(shareOf(surface, gribView, -68.5, 43.0, 10, QColor(c.red, c.green, c.blue)), 0.4);
    EXPECT_EQ(shareOf(surface, gribView, -68.5, 43.0, 10, sea), 0);
    EXPECT_GT(shareOf(surface, gribView, -69.8, 44.6, 10, land), 0.6);

    std::ifstream log(folder.str() + "/Data/Log.txt");
    const std::string text((std::istreambuf_iterator<char>(log)), {});
    for (const char* step : {"Language = OK", "Gshhs rendering = OK", "Gshhs routing = OK",
                             "Route = OK", "Winds = OK", "Polar = OK"})
        EXPECT_NE(text.find(step), std::string::npos) << step;
}

TEST(ChartImage, LakesAreWaterOnlyWhenShownAndIsochronesStopAtLand) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    Settings& settings = data.config.settings;
    settings.winds.showArrows = false;
    settings.winds.showSurfaceGradient = settings.winds.showSurfaceNoGradient = false;
    const QColor land = fromBgr(settings.map.colorLand), sea = fromBgr(settings.map.colorSea);

    // Lake Superior: hidden lakes stay land, as the land test counts them; shown, water.
    MapView lakeView;
    lakeView.resize(640, 480);
    lakeView.scale = 100;
    ASSERT_TRUE(lakeView.centreOn(-87.5, 47.6, true));
    const struct {
        bool show;
        QColor colour;
    } lakes[] = {{false, land}, {true, sea}};
    for (const auto& c : lakes) {
        settings.map.showLakes = c.show;
        const QImage image = app::renderChartImage(data, lakeView, app::displayWind(data), nullptr);
        EXPECT_GT(shareOf(image, lakeView, -87.0, 47.6, 5, c.colour), 0.9) << c.show;
    }
    settings.map.showLakes = false;

    // A front across the forearm of Cape Cod: the piece over the land is left out, the
    // pieces over the sea on either side are drawn.
    RoutingResult result;
    settings.routing.method = 1;
    settings.routing.coastsQuality = 2; // a level the test set-up builds
    settings.routing.showIsochrones = true;
    settings.routing.showSegments = false;
    Isochrone front;
    for (float lon : {-70.25f, -70.15f, -69.85f, -69.75f}) {
        IsochronePoint p;
        p.valid = 1;
        p.lon = p.parentLon = lon;
        p.lat = p.parentLat = 41.9f;
        front.push_back(p);
    }
    result.output.allIsochrones = {front};
    MapView capeView;
    capeView.resize(640, 480);
    capeView.scale = 250;
    ASSERT_TRUE(capeView.centreOn(-70.0, 41.9, true));
    const QImage cape = app::renderChartImage(data, capeView, app::displayWind(data), &result);
    // The line is smoothed, so its pixels are told by what they are not: plain land or sea.
    EXPECT_EQ(shareOf(cape, capeView, -69.992, 41.9, 1, land), 1.0);
    EXPECT_LT(shareOf(cape, capeView, -70.2, 41.9, 1, sea), 0.8);
    EXPECT_LT(shareOf(cape, capeView, -69.8, 41.9, 1, sea), 0.8);
}

TEST(ChartImage, BarbsGainAPennantAt45KnotsAndTurnBlackOverASurface) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    MapView view;
    app::setUpView(view, data, 640, 480);
    WindSettings& winds = data.config.settings.winds;
    winds.showArrows = winds.showWindBarbs = true;
    winds.showSurfaceGradient = true;
    winds.lengthArrow = 15;
    winds.lengthBarb = 10;
    winds.spaceBetweenArrows = 50;
    winds.thicknessArrowBlack = winds.thicknessArrowColored = 2; // whole pixels either side
    app::DisplayWind wind{true, 46, 0, 100};
    // The symbols stand every 50 pixels from the chart's origin (longitude 0, the equator): the
    // one nearest (300, 300).
    const auto nearest = [](double origin) {
        const double o = std::floor(origin);
        return static_cast<int>(o + 50 * std::round((300 - o) / 50));
    };
    const int x = nearest(view.transX), y = nearest(view.transY);
    // A north wind: the shaft points up from the grid point (x, y) over 30 pixels; the
    // pennant fills the triangle from 15 to 22.5 pixels up, 5 pixels to the right at its tip.
    const QImage pennant = app::renderChartImage(data, view, wind, nullptr);
    const QColor inPennant = pennant.pixelColor(x + 1, y - 19);
    EXPECT_EQ(inPennant, QColor(Qt::black));
    EXPECT_EQ(pennant.pixelColor(x, y - 10), QColor(Qt::black)); // the shaft
    wind.force = 40; // four barbs at the end of the shaft, nothing half-way
    const QImage barbs = app::renderChartImage(data, view, wind, nullptr);
    EXPECT_NE(barbs.pixelColor(x + 1, y - 19), QColor(Qt::black));
    EXPECT_EQ(barbs.pixelColor(x, y - 10), QColor(Qt::black));
    // On the plain sea the symbols take the colour of their wind.
    winds.showSurfaceGradient = false;
    const QImage coloured = app::renderChartImage(data, view, wind, nullptr);
    const OpaqueColor c = windColor(data.windColors, true, 40, false);
    EXPECT_EQ(coloured.pixelColor(x, y - 10), QColor(c.red, c.green, c.blue));
}

TEST(ChartImage, StreamArrowsAndTideStationsFollowTheirSwitches) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    ASSERT_TRUE(data.haveCurrents);
    MapView view;
    view.resize(800, 600);
    view.scale = 600;
    ASSERT_TRUE(view.centreOn(-70.65, 41.45, true)); // Vineyard Sound
    CurrentSettings& cs = data.config.settings.currents;
    data.config.settings.winds.showArrows = false;
    data.config.settings.winds.showSurfaceGradient = false;
    const QColor classes[7] = {{128, 128, 128}, {65, 105, 225}, {0, 0, 128}, {144, 238, 144},
                               {0, 128, 0},     {255, 165, 0},  {255, 0, 0}};
    auto streamPixels = [&](const QImage& image) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                for (const QColor& c : classes) n += image.pixelColor(x, y) == c;
        return n;
    };
    const app::DisplayWind wind = app::displayWind(data);
    cs.showArrows = false;
    EXPECT_EQ(streamPixels(app::renderChartImage(data, view, wind, nullptr)), 0);
    cs.showArrows = true;
    EXPECT_GT(streamPixels(app::renderChartImage(data, view, wind, nullptr)), 50);

    // A station is a ringed dot in the tide colour.
    cs.showTides = true;
    cs.colorTides = 0xFF00FF; // magenta
    const QImage tides = app::renderChartImage(data, view, wind, nullptr);
    const auto& stations = data.tides.stations();
    const auto haven = std::find_if(stations.begin(), stations.end(), [](const TideStation& s) {
        return s.name == "VINEYARD HAVEN";
    });
    ASSERT_NE(haven, stations.end());
    EXPECT_GT(shareOf(tides, view, haven->lon, haven->lat, 6, QColor(255, 0, 255)), 0.04);
}

TEST(ChartImage, ViewFramesTheRouteAndKeepsItsWaypointsOnScreen) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    MapView view;
    app::setUpView(view, data, 800, 600);
    for (const GeoPoint& p : data.route.waypoints) {
        double x, y;
        view.project(longitudeIntoView(view, p.lon), p.lat, x, y);
        EXPECT_GE(x, 0);
        EXPECT_LT(x, 800);
        EXPECT_GE(y, 0);
        EXPECT_LT(y, 600);
    }
}

TEST(ChartImage, LongitudesAreBroughtIntoTheView) {
    MapView view;
    view.westLon = 170;
    view.eastLon = 190;
    EXPECT_DOUBLE_EQ(longitudeIntoView(view, -175), 185);
    EXPECT_DOUBLE_EQ(longitudeIntoView(view, 175), 175);
    view.westLon = -72;
    view.eastLon = -66;
    EXPECT_DOUBLE_EQ(longitudeIntoView(view, 290), -70);
}

TEST(ChartWindow, RoutingRunsOnTheWorkerAndPublishesItsResult) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    app::ChartWidget chart(data);
    chart.resize(640, 480);
    ASSERT_TRUE(chart.startRouting());
    EXPECT_FALSE(chart.startRouting()); // one run at a time
    EXPECT_TRUE(chart.routingRunning());
    waitForRouting(chart);
    ASSERT_FALSE(chart.routingRunning());
    ASSERT_NE(chart.result(), nullptr);
    EXPECT_FALSE(chart.result()->output.route.empty());
    EXPECT_NE(chart.result()->output.status, 2);
    // The shipped settings draw each new front while the run goes on.
    ASSERT_TRUE(data.config.settings.routing.renderAfter);
    EXPECT_GT(chart.liveFrontCount(), 0);
    // The shipped scan's five runs are each drawn as they end.
    EXPECT_EQ(chart.liveRouteCount(), 5);
    EXPECT_EQ(chart.result()->summaries.size(), 5u);
}

TEST(ChartWindow, FrontsAreDrawnOverTheChartWithoutRedrawingIt) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    data.config.settings.routing.showIsochrones = true;
    app::ChartWidget chart(data);
    chart.resize(640, 480);
    chart.show();
    chart.dataLoaded();
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    chart.repaint();
    const int charts = chart.chartPaints(), overlays = chart.overlayPaints();
    ASSERT_TRUE(chart.startRouting());
    // The window paints as the fronts come (a front is drawn at the paint after it came).
    QElapsedTimer timer;
    timer.start();
    int paintedWith = 0;
    while (chart.routingRunning() && timer.elapsed() < 120000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (chart.liveFrontCount() > paintedWith) {
            paintedWith = chart.liveFrontCount();
            chart.repaint();
        }
    }
    ASSERT_FALSE(chart.routingRunning());
    ASSERT_GT(chart.liveFrontCount(), 10);
    EXPECT_GT(chart.overlayPaints() - overlays, 10);
    // The chart itself was drawn when the run started, when its first front brought the
    // ellipses, and when the result came: not once per front.
    EXPECT_LE(chart.chartPaints() - charts, 4);
}

TEST(ChartWindow, EscapeCancelsTheRunAndLeavesARoute) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    app::ChartWidget chart(data);
    chart.resize(640, 480);
    ASSERT_TRUE(chart.startRouting());
    chart.cancelRouting();
    waitForRouting(chart);
    ASSERT_FALSE(chart.routingRunning());
    ASSERT_NE(chart.result(), nullptr);
    EXPECT_EQ(chart.result()->output.status, 2);
}

TEST(ChartWindow, WheelZoomsAtTheCursorDragPansAndKeysDriveTheRouting) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    app::ChartWidget chart(data);
    chart.resize(800, 600);
    chart.show();
    QCoreApplication::processEvents();
    ASSERT_EQ(chart.view().width, 800);

    double lon0, lat0;
    chart.view().unproject(300, 200, lon0, lat0);
    const double scale0 = chart.view().scale;
    QWheelEvent wheel(QPointF(300, 200), QPointF(300, 200), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&chart, &wheel);
    EXPECT_GT(chart.view().scale, scale0);
    double lon1, lat1;
    chart.view().unproject(300, 200, lon1, lat1);
    EXPECT_NEAR(lon1, lon0, 1e-6);
    EXPECT_NEAR(lat1, lat0, 1e-6);

    const double transX0 = chart.view().transX;
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(100, 100), QPointF(100, 100),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent move(QEvent::MouseMove, QPointF(140, 100), QPointF(140, 100), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(140, 100), QPointF(140, 100),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&chart, &press);
    QCoreApplication::sendEvent(&chart, &move);
    QCoreApplication::sendEvent(&chart, &release);
    EXPECT_NEAR(chart.view().transX, transX0 + 40, 1e-9);

    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
    QCoreApplication::sendEvent(&chart, &space);
    ASSERT_TRUE(chart.routingRunning());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&chart, &escape);
    waitForRouting(chart);
    ASSERT_NE(chart.result(), nullptr);
    EXPECT_EQ(chart.result()->output.status, 2);
}

TEST(ChartWindow, HoverRedrawsOnlyTheOverlaysAndFramesRedrawTheChart) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    data.config.settings.com.showBoat = true;
    data.boat = {true, -70.3, 42.3, 6, 135};
    app::ChartWidget chart(data);
    chart.resize(800, 600);
    chart.show();
    chart.dataLoaded();
    auto settle = [] {
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    };
    settle();
    chart.repaint();
    const int charts = chart.chartPaints();
    ASSERT_GE(charts, 1);

    // Onto the boat and off it again: two overlay paints, the chart stays cached.
    double x, y;
    chart.view().project(data.boat.lon, data.boat.lat, x, y);
    const QPointF places[] = {{x, y}, {x + 100, y + 100}};
    for (const QPointF at : places) {
        QMouseEvent hover(QEvent::MouseMove, at, at, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&chart, &hover);
        chart.repaint();
    }
    EXPECT_EQ(chart.chartPaints(), charts);
    EXPECT_GE(chart.overlayPaints(), 2);

    // F2 centres on the boat and redraws the chart.
    QKeyEvent f2(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier);
    QCoreApplication::sendEvent(&chart, &f2);
    chart.repaint();
    EXPECT_EQ(chart.chartPaints(), charts + 1);
    chart.view().project(data.boat.lon, data.boat.lat, x, y);
    EXPECT_NEAR(x, 400, 1e-6);
    EXPECT_NEAR(y, 300, 1e-6);

    // Right shows the next forecast record; End the last, and Right there changes nothing.
    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QCoreApplication::sendEvent(&chart, &right);
    chart.repaint();
    EXPECT_EQ(data.wind.currentFrame(), 1);
    EXPECT_EQ(chart.chartPaints(), charts + 2);
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
    QCoreApplication::sendEvent(&chart, &end);
    QCoreApplication::sendEvent(&chart, &right);
    EXPECT_EQ(data.wind.currentFrame(), static_cast<int>(data.wind.frames().size()) - 1);

    // P shows the polar diagram on white, and Escape the chart again.
    QKeyEvent p(QEvent::KeyPress, Qt::Key_P, Qt::NoModifier, "p");
    QCoreApplication::sendEvent(&chart, &p);
    ASSERT_TRUE(chart.polarView());
    const QImage polar = chart.grab().toImage();
    EXPECT_EQ(polar.pixelColor(5, 5), QColor(Qt::white));
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&chart, &escape);
    EXPECT_FALSE(chart.polarView());
    if (const char* dir = std::getenv("NAVOREL_SCREENSHOTS")) {
        polar.save(QString(dir) + "/polar-view.png");
        chart.grab().save(QString(dir) + "/chart-view.png");
    }
}

TEST(ChartWindow, SplashShowsTheTextOfEachStage) {
    const QString texts[4] = {"zero", "Loading the charts...", "two", "three"};
    app::SplashWindow splash(texts);
    splash.setStage(1);
    EXPECT_EQ(splash.stage(), 1);
    splash.setStage(9);
    EXPECT_EQ(splash.stage(), 3);
    splash.setStage(1);
    const QImage image = splash.grab().toImage();
    // Dark text on the light band under the picture, from x = 20 on.
    int dark = 0;
    for (int y = 271; y < 290; ++y)
        for (int x = 21; x < 140; ++x) dark += image.pixelColor(x, y).lightness() < 128;
    EXPECT_GT(dark, 40);
    if (const char* dir = std::getenv("NAVOREL_SCREENSHOTS"))
        image.save(QString(dir) + "/splash.png");
}

TEST(WindSymbols, BarbsCountHalvesOfTenKnots) {
    struct Case {
        double knots;
        bool calm, pennant;
        int full;
        bool half;
    };
    const Case cases[] = {
        {0, true, false, 0, false},     {2.49, true, false, 0, false},
        {2.5, false, false, 0, true},   {7.49, false, false, 0, true},
        {7.5, false, false, 1, false},  {12.5, false, false, 1, true},
        {17.5, false, false, 2, false}, {27.5, false, false, 3, false},
        {32.5, false, false, 3, true},  {37.5, false, false, 4, false},
        {44.9, false, false, 4, false}, {45, false, true, 0, false},
        {NAN, true, false, 0, false},
    };
    for (const Case& c : cases) {
        const BarbShape s = barbShape(c.knots);
        EXPECT_EQ(s.calm, c.calm) << c.knots;
        EXPECT_EQ(s.pennant, c.pennant) << c.knots;
        EXPECT_EQ(s.fullBarbs, c.full) << c.knots;
        EXPECT_EQ(s.halfBarb, c.half) << c.knots;
    }
}

TEST(WindSymbols, ShaftPointsToWhereTheWindComesFrom) {
    const double pi = std::numbers::pi;
    EXPECT_NEAR(windScreenAngle(0), 1.5 * pi, 1e-12); // north wind: shaft up the screen
    EXPECT_NEAR(windScreenAngle(90), 0, 1e-12);       // east wind: shaft to the right
    EXPECT_NEAR(windScreenAngle(270), pi, 1e-12);
    EXPECT_NEAR(windScreenAngle(720), 1.5 * pi, 1e-12);
}

TEST(CommandLine, ScreenshotWritesAnImageOfTheAskedSizeAndFailuresExitNonZero) {
    ProgramFolder folder;
    const std::string png = folder.str() + "/shot.png";
    ASSERT_EQ(
        runProgram("--folder '" + folder.str() + "' --screenshot '" + png + "' --size 320x200"), 0);
    QImage image(QString::fromStdString(png));
    EXPECT_EQ(image.size(), QSize(320, 200));
    EXPECT_FALSE(fs::exists(png + ".tmp"));

    EXPECT_NE(runProgram("--folder /nonexistent/navorel --screenshot '" + png + "'"), 0);
    EXPECT_NE(runProgram("--folder '" + folder.str() + "' --screenshot /nonexistent/dir/x.png"), 0);
    EXPECT_NE(runProgram("--screenshot '" + png + "' --size 0x0"), 0);
    EXPECT_NE(runProgram("--bogus"), 0);
    EXPECT_NE(runProgram("--folder '" + folder.str() + "' --screenshot '" + png +
                         "' --view -70.75,95,250"),
              0);
}

// Boston's approaches at a harbour scale: the coastal towns' names are drawn in the cities'
// colour, and none with the coastal towns switched off.
TEST(CommandLine, ScreenshotViewShowsTownNamesUnlessSwitchedOff) {
    ProgramFolder folder;
    const std::string png = folder.str() + "/shot.png";
    const auto cityPixels = [&](const char* show) {
        std::ifstream in(folder.path() / "Config.ini", std::ios::binary);
        std::string config((std::istreambuf_iterator<char>(in)), {});
        const std::size_t at = config.find("ShowCoastalCities=");
        config.replace(at, config.find('\n', at) - at, std::string("ShowCoastalCities= ") + show);
        std::ofstream(folder.path() / "Config.ini", std::ios::binary) << config;
        EXPECT_EQ(runProgram("--folder '" + folder.str() + "' --screenshot '" + png +
                             "' --size 600x400 --view -70.9,42.3,400"),
                  0);
        const QImage image(QString::fromStdString(png));
        const QRgb ink = qRgb(0x46, 0x46, 0x46); // ColorCities of the shipped settings
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) count += image.pixel(x, y) == ink;
        return count;
    };
    EXPECT_GT(cityPixels("1"), 200);
    EXPECT_EQ(cityPixels("0"), 0);
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

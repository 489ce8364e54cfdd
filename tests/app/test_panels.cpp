// The time bar, the routing and information panels and the status bar, driven by real mouse
// events on the main window over the demo data.
#include "app/chart_overlays.h"
#include "app/main_window.h"
#include "app/status_texts.h"
#include "program_folder.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>

#include <cmath>
#include <cstdlib>
#include <string>

using namespace navorel;
using navorel::apptest::ProgramFolder;

namespace {

struct Window {
    ProgramFolder folder;
    app::AppData data;
    std::unique_ptr<app::MainWindow> window;

    explicit Window(bool uniqueWind = false, QSize size = {1280, 800}) {
        std::string error;
        EXPECT_TRUE(app::startUp(folder.str(), data, error)) << error;
        data.config.settings.routing.uniqueWind = uniqueWind;
        data.config.settings.routing.windForce = 20;
        data.config.settings.routing.windDirection = 270;
        window = std::make_unique<app::MainWindow>(data);
        window->resize(size);
        window->show();
        window->dataLoaded();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    app::ChartWidget& chart() { return window->chart(); }
    // Points at the top of the chart, which shows the toolbar and the time bar.
    void showBar() {
        QTest::mouseMove(&chart(), QPoint(chart().width() / 2, 20));
        ASSERT_TRUE(chart().overlaysShown());
    }
    void routeAndWait() {
        QTest::keyClick(&chart(), Qt::Key_Space);
        QElapsedTimer timer;
        timer.start();
        while (chart().routingRunning() && timer.elapsed() < 120000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        ASSERT_NE(chart().result(), nullptr);
    }
};

QPoint centre(const PanelRect& r) {
    return {r.x + r.width / 2, r.y + r.height / 2};
}

// Screenshots for a look, when NAVOREL_SHOTS names a folder.
void shoot(QWidget& w, const char* name) {
    if (const char* dir = std::getenv("NAVOREL_SHOTS"))
        w.grab().save(QString(dir) + "/" + name + ".png");
}

} // namespace

TEST(TimeBar, PositionsSplitTheBarIntoEqualParts) {
    TimeBar bar;
    bar.rect = layoutTimeBar(100, 510);
    bar.setRange(100, 110);
    const struct {
        double x;
        int index; // of 10 records
        double time;
    } cases[] = {{609, 9, 109.98}, {610, 9, 110}, {700, 9, 111.76}, {50, 0, 99.02},
                 {100, 0, 100},    {355, 5, 105}, {278.5, 3, 103.5}};
    for (const auto& c : cases) {
        EXPECT_EQ(bar.indexAt(c.x, 10), c.index) << c.x;
        EXPECT_NEAR(bar.timeAt(c.x), c.time, 0.01) << c.x;
    }
    EXPECT_EQ(bar.indexAt(300, 0), -1);
    // Only strictly inside counts as a click on the bar.
    EXPECT_TRUE(bar.contains(101, 61));
    EXPECT_FALSE(bar.contains(100, 64));
    EXPECT_FALSE(bar.contains(300, 68));
    // One boundary per whole day inside the range.
    bar.setRange(100.5, 103.5);
    ASSERT_EQ(bar.dayBoundaries().size(), 3u);
    EXPECT_NEAR(bar.dayBoundaries()[0], 100 + 510 / 6.0, 1e-9);
    // Text 304 is the weekday of 1 July 1991 (day 4199).
    EXPECT_EQ(timeTooltipText(4199 + 14 + 10.5 / 24, builtinEnglishTexts()), "Monday 15 - 10:30");
}

TEST(TimeBar, ClickAtTheRightEdgeSelectsTheLastRecordAndDragLeftTheFirst) {
    Window w;
    app::ChartWidget& chart = w.chart();
    const int records = static_cast<int>(w.data.wind.frames().size());
    ASSERT_GT(records, 1);
    w.showBar();
    const TimeBarLayout& r = chart.overlay().bar.rect;
    const int y = r.top + r.height / 2;
    QTest::mousePress(&chart, Qt::LeftButton, {}, QPoint(r.left + r.width - 1, y));
    EXPECT_EQ(chart.display().record, records - 1);
    EXPECT_EQ(w.data.wind.currentFrame(), records - 1);
    EXPECT_TRUE(chart.overlay().barDragged);
    QTest::mouseMove(&chart, QPoint(r.left - 40, y + 30));
    EXPECT_EQ(chart.display().record, 0);
    QTest::mouseMove(&chart, QPoint(r.left + r.width / 2, y));
    shoot(*w.window, "timebar-drag-1280x800");
    QTest::mouseRelease(&chart, Qt::LeftButton, {}, QPoint(r.left + r.width / 2, y));
    EXPECT_FALSE(chart.overlay().barDragged);
    EXPECT_EQ(w.window->statusPart(3).toStdString(), "Record " +
                                                         std::to_string(chart.display().record) +
                                                         " / " + std::to_string(records - 1));
    // Pointing lower hides the bar: a click there pans the chart instead.
    QTest::mouseMove(&chart, QPoint(r.left + 10, 300));
    EXPECT_FALSE(chart.overlaysShown());
}

TEST(Panels, ButtonsSetTheRenderModeAndSwitchesAndTheBarWalksTheSteps) {
    Window w;
    w.data.config.settings.routingDisplay.showPanels = true;
    w.routeAndWait();
    app::ChartWidget& chart = w.chart();
    const std::vector<IsochronePoint>& route = chart.result()->output.route;
    ASSERT_GT(route.size(), 2u);
    const PanelLayout& layout = chart.overlay().panels;
    RoutingParameters& p = w.data.config.settings.routing;
    const bool isochrones = p.showIsochrones;
    const struct {
        int button;
        int renderMode;
        bool isochrones;
    } cases[] = {{3, 3, isochrones},
                 {9, 9, isochrones},
                 {0, 0, isochrones},
                 {kPanelIsochrones, 0, !isochrones},
                 {kPanelResults, 0, !isochrones}};
    for (const auto& c : cases) {
        const int before = chart.chartPaints();
        QTest::mouseClick(&chart, Qt::LeftButton, {},
                          centre(layout.buttons[static_cast<std::size_t>(c.button)]));
        EXPECT_EQ(p.renderMode, c.renderMode) << c.button;
        EXPECT_EQ(p.showIsochrones, c.isochrones) << c.button;
        QTest::qWait(20);
        if (c.button != kPanelResults) {
            EXPECT_GT(chart.chartPaints(), before) << c.button;
        }
    }
    // With a result the bar walks the routing steps.
    w.showBar();
    const TimeBarLayout& r = chart.overlay().bar.rect;
    QTest::mouseClick(&chart, Qt::LeftButton, {}, QPoint(r.left + r.width - 1, r.top + 4));
    EXPECT_EQ(chart.display().step, static_cast<int>(route.size()) - 1);
    EXPECT_DOUBLE_EQ(chart.display().time, route.back().time.dayNumber);
    QTest::mouseClick(&chart, Qt::LeftButton, {}, QPoint(r.left + 1, r.top + 4));
    EXPECT_EQ(chart.display().step, 0);
    p.renderMode = 4;
    QTest::mouseMove(&chart, QPoint(r.left + r.width / 3, r.top + 4));
    QTest::qWait(20);
    shoot(*w.window, "panels-1280x800");
    w.window->resize(1920, 1080);
    QTest::qWait(50);
    QTest::mouseMove(&chart, QPoint(chart.overlay().bar.rect.left + 200, r.top + 4));
    QTest::qWait(20);
    shoot(*w.window, "panels-1920x1080");
}

TEST(Panels, TheHandMarksTheResultsPointsWhileThePanelsShow) {
    Window w;
    w.data.config.settings.routingDisplay.showPanels = true;
    w.routeAndWait();
    app::ChartWidget& chart = w.chart();
    const std::vector<IsochronePoint>& route = chart.result()->output.route;
    // A point of the route clear of the panels, inside the chart and away from the user's route.
    const PanelLayout& layout = chart.overlay().panels;
    QPoint on(-1, -1);
    for (std::size_t i = route.size() / 2; i < route.size() && on.x() < 0; ++i) {
        double x, y;
        chart.view().project(route[i].lon, route[i].lat, x, y);
        const QPoint p(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)));
        if (p.x() > layout.information.x + layout.information.width + 40 && p.y() > 100 &&
            p.x() < chart.width() - 60 && p.y() < chart.height() - 60)
            on = p;
    }
    ASSERT_GE(on.x(), 0);
    const struct {
        QPoint at;
        bool panels;
        Qt::CursorShape cursor;
    } cases[] = {{on, true, Qt::PointingHandCursor},
                 {on + QPoint(3, 2), true, Qt::PointingHandCursor},
                 {on + QPoint(0, 40), true, Qt::ArrowCursor},
                 {on, false, Qt::ArrowCursor}};
    for (const auto& c : cases) {
        w.data.config.settings.routingDisplay.showPanels = c.panels;
        QTest::mouseMove(&chart, c.at);
        EXPECT_EQ(chart.cursor().shape(), c.cursor) << c.at.x() << "," << c.at.y();
    }
}

TEST(Panels, TheForecastsInformationShowsWithThePanels) {
    EXPECT_EQ(gribInformationRows("Demo.grb\n\nGrid: 3 x 2\n\n076\xC2\xB0W 00'00\" - "
                                  "065\xC2\xB0W 00'00\"\n\n38\xC2\xB0N 00'00\" - "
                                  "45\xC2\xB0N 00'00\"\n",
                                  dayNumber(8, 12, 2026, 0, 0, 0),
                                  dayNumber(10, 12, 2026, 12, 0, 0)),
              (std::vector<std::string>{
                  "Demo.grb", "Grid: 3 x 2", "076\xC2\xB0W 00'00\" - 065\xC2\xB0W 00'00\"",
                  "38\xC2\xB0N 00'00\" - 45\xC2\xB0N 00'00\"", "08/12 00:00 - 10/12 12:00"}));
    EXPECT_TRUE(gribInformationRows("", 0, 1).empty());
    const PanelLayout layout = layoutPanels();
    EXPECT_EQ(gribInformationRect(layout, false, 5).y, layout.routing.y);
    EXPECT_EQ(gribInformationRect(layout, true, 5).y,
              layout.information.y + layout.information.height + 6);

    // Drawn in the panel's colour at the panel's place before a routing, and only with the
    // panels switched on.
    for (const bool panels : {true, false}) {
        Window w;
        Settings& s = w.data.config.settings;
        s.routingDisplay.showPanels = panels;
        s.window.colorPanel = 0x00ff00; // green, opaque
        s.window.opacityPanel = 255;
        w.chart().redrawChart();
        const QImage shot = w.chart().grab().toImage();
        const PanelRect r = gribInformationRect(w.chart().overlay().panels, false, 5);
        const QColor corner = shot.pixelColor(r.x + 3, r.y + r.height - 3);
        EXPECT_EQ(corner == QColor(0, 255, 0), panels) << corner.name().toStdString();
    }
}

TEST(Panels, AScannedRunsTooltipSpeaksTheLanguage) {
    RoutingResult result;
    result.summaries.resize(2);
    RunSummary& run = result.summaries[1];
    run.polarName = "Imoca";
    run.variation = 90;
    run.startOffset = 3;
    run.inProgress = true; // arrived: the tooltip carries no mark
    run.route.resize(2);
    run.route[0].parentTime = fromDayNumber(dayNumber(3, 7, 2024, 6, 0, 0));
    run.route[1].time = fromDayNumber(dayNumber(5, 7, 2024, 11, 30, 0));
    const std::string folder = std::string(NAVOREL_SOURCE_DIR) + "/dist";
    LanguageTable en, fr;
    std::string error;
    ASSERT_TRUE(en.load(folder, "English", error)) << error;
    ASSERT_TRUE(fr.load(folder,
                        "Fran\xC3\xA7"
                        "ais",
                        error))
        << error;
    EXPECT_EQ(app::scanRunText(result, 1, en),
              "Routing 2: Imoca 100% - wind 90% - +3 h - 02 - 05:30");
    EXPECT_EQ(app::scanRunText(result, 1, fr),
              "Routage 2: Imoca 100% - vent 90% - +3 h - 02 - 05:30");
    EXPECT_EQ(app::scanRunText(result, 2, en), "");
}

TEST(Panels, InformationRowsConvertAndFormatTheStep) {
    std::vector<IsochronePoint> route(2);
    route[0].parentTime = fromDayNumber(dayNumber(3, 7, 2024, 6, 15, 0));
    route[0].time = fromDayNumber(dayNumber(3, 7, 2024, 7, 15, 0));
    route[1].time = fromDayNumber(dayNumber(4, 7, 2024, 9, 45, 30));
    route[1].engineSeconds = 86400 + 2 * 3600 + 30 * 60;
    route[1].fuel = 12.5f;
    route[1].totalDistance = 185200; // 100 miles
    route[1].engine = 1;
    route[1].boatSpeed = 5; // m/s
    route[1].windDir = 45;
    route[1].stepDistance = 1234.4f;
    route[1].distToTarget = 18520;
    const std::vector<InfoRow> rows = informationRows(route, 1, nullptr);
    ASSERT_EQ(rows.size(), 23u);
    const struct {
        int row; // 1-based
        const char* label;
        const char* value;
    } cases[] = {
        {1, "TTG: 01 - 03:30", ""}, {2, "DTG: 100.0 M", ""},         {3, "03/07 - 06:15", ""},
        {4, "04/07 - 09:45", ""},   {5, "E: 26:30 (13 L)", ""},      {6, "04/07 - 09:45:30", ""},
        {8, "DTW:", "  10.0 M"},    {11, "TWD:", "  45.0 \xC2\xB0"}, {15, "=== ENGINE ===", ""},
        {20, "BS:", "   9.72 kt"},  {23, "Dist:", "  1234 m"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rows[static_cast<std::size_t>(c.row - 1)].label, c.label) << c.row;
        EXPECT_EQ(rows[static_cast<std::size_t>(c.row - 1)].value, c.value) << c.row;
    }
}

// A run that was cancelled or stopped short is never shown as a result: the information
// panel's arrival row and the tooltip of a scanned run carry its mark.
TEST(Panels, ARunThatDidNotArriveIsMarkedWhereverItsFiguresAppear) {
    Window w;
    const TextProvider& texts = w.data.texts;
    std::vector<IsochronePoint> route(2);
    route[0].parentTime = fromDayNumber(dayNumber(3, 7, 2024, 6, 15, 0));
    route[1].time = fromDayNumber(dayNumber(4, 7, 2024, 9, 45, 0));
    RoutingResult result;
    const struct {
        bool inProgress;
        int status;
        const char* mark;
    } runs[] = {{true, 0, ""}, {false, 1, "Not arrived"}, {false, 2, "Cancelled"}};
    for (const auto& run : runs) {
        RunSummary summary;
        summary.inProgress = run.inProgress;
        summary.status = run.status;
        summary.route = route;
        result.summaries.push_back(summary);
        result.scanRoutes.push_back(route);
    }
    result.output.route = route;
    result.output.status = 2;
    for (int k = 0; k < 3; ++k) {
        const std::string mark = runs[k].mark;
        EXPECT_EQ(app::runMark(result, k, texts), mark) << k;
        const std::string tooltip = app::scanRunText(result, k, texts);
        EXPECT_EQ(tooltip.size() > mark.size() + 3 &&
                      tooltip.compare(tooltip.size() - mark.size() - 3, std::string::npos,
                                      " - " + mark) == 0,
                  !mark.empty())
            << tooltip;
        const std::vector<InfoRow> rows = informationRows(route, 0, nullptr, mark);
        EXPECT_EQ(rows[3].label, mark.empty() ? "04/07 - 09:45" : mark + " 04/07 - 09:45");
    }
    EXPECT_EQ(app::runMark(result, -1, texts), "Cancelled"); // the last run made

    // A real run cancelled with Escape.
    QTest::keyClick(&w.chart(), Qt::Key_Home);
    QTest::keyClick(&w.chart(), Qt::Key_Space);
    QTest::keyClick(&w.chart(), Qt::Key_Escape);
    QElapsedTimer timer;
    timer.start();
    while (w.chart().routingRunning() && timer.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_NE(w.chart().result(), nullptr);
    EXPECT_EQ(app::runMark(*w.chart().result(), w.chart().selectedRun(), texts), "Cancelled");
}

TEST(StatusBar, BeaufortForceOfTheConstantWind) {
    const struct {
        double knots;
        int force;
    } cases[] = {{0, 0}, {3, 1}, {10, 3}, {20, 5}, {27, 6}, {40, 8}, {60, 11}, {100, 12}};
    for (const auto& c : cases) EXPECT_EQ(app::beaufortForce(c.knots), c.force) << c.knots;
}

TEST(StatusBar, PartsInConstantWindAndForecastMode) {
    for (bool constant : {true, false}) {
        Window w(constant);
        app::ChartWidget& chart = w.chart();
        // A point of the forecast's area, in the middle of the first record's grid.
        const FrameGeometry& g = w.data.wind.geometry(0);
        double x, y;
        chart.view().project((g.minLon + g.maxLon) / 2, (g.minLat + g.maxLat) / 2, x, y);
        // (A move to where the last window left the mouse would not be delivered.)
        QTest::mouseMove(&chart, QPoint(static_cast<int>(x) - 5, static_cast<int>(y)));
        QTest::mouseMove(&chart, QPoint(static_cast<int>(x), static_cast<int>(y)));
        chart.repaint();
        const QString wind = w.window->statusPart(2);
        if (constant) {
            EXPECT_EQ(wind.toStdString(), "Constant wind: 270\xC2\xB0 20kt (5 Bf)");
            EXPECT_EQ(w.window->statusPart(3), "Constant wind");
        } else {
            EXPECT_TRUE(wind.contains(QRegularExpression("^\\d+\xC2\xB0 \\d+\\.\\dkt$")))
                << wind.toStdString();
            EXPECT_TRUE(w.window->statusPart(3).startsWith("Record 0 / "));
        }
        EXPECT_FALSE(w.window->statusPart(0).isEmpty());
        EXPECT_TRUE(w.window->statusPart(4).contains(QRegularExpression("^Gshhs \\[[0. ][. 1]")))
            << w.window->statusPart(4).toStdString();
        EXPECT_EQ(w.window->statusPart(5), "GPS Off");
        EXPECT_EQ(w.window->statusPart(6), "");
        // The polar view empties every part.
        QTest::keyClick(&chart, Qt::Key_P);
        chart.repaint();
        for (int i = 0; i < app::kStatusParts; ++i) EXPECT_EQ(w.window->statusPart(i), "") << i;
        QTest::keyClick(&chart, Qt::Key_P);
    }
}

TEST(StatusBar, RoutingProgressText) {
    app::AppData data;
    std::string error;
    ProgramFolder folder;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    const struct {
        int fronts;
        double seconds, metres;
        const char* text;
    } cases[] = {
        {0, 0, -1, "Isochrones: 0   Time: 0:00"},
        {42, 65.9, 312.4 * 1852, "Isochrones: 42   Time: 1:05   Still to go: 312.4 M"},
        {7, 3725, 0, "Isochrones: 7   Time: 1:02:05   Still to go: 0.0 M"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(app::routingProgressText(data.texts, c.fronts, c.seconds, c.metres), c.text);
}

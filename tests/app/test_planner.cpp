// The departure planner window as a user drives it: opened from the routing group and its
// key, planning a span on the demo forecast, its picture and table, a departure clicked into
// the chart's routing, and its table and picture saved.
#include "app/commands.h"
#include "app/dialogs/planner_chart.h"
#include "app/dialogs/planner_window.h"
#include "app/main_window.h"
#include "program_folder.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QScatterSeries>
#include <QTableWidget>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace navorel;
using navorel::apptest::ProgramFolder;

namespace {

struct Window {
    ProgramFolder folder;
    app::AppData data;
    std::unique_ptr<app::MainWindow> window;
    std::vector<int> dialogs;

    Window() {
        std::string error;
        EXPECT_TRUE(app::startUp(folder.str(), data, error)) << error;
        window = std::make_unique<app::MainWindow>(data);
        window->resize(1280, 800);
        window->show();
        window->dataLoaded();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    app::ChartWidget& chart() { return window->chart(); }
    template <typename F> static bool waitFor(F done, int ms = 180000) {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        return done();
    }
};

const double kJune1 = dayNumber(1, 6, 2026, 0, 0, 0);

} // namespace

TEST(PlannerCommand, TheRoutingGroupAndKeyDOpenThePlanner) {
    Window w;
    app::Commands& commands = w.chart().commands();
    commands.openDialog = [&](int id) { w.dialogs.push_back(id); };
    QAction* planner = commands.action(app::kPlanner);
    ASSERT_NE(planner, nullptr);
    EXPECT_EQ(Toolbar::groupOf(app::kPlanner), 8); // the routing group
    QKeyEvent key(QEvent::KeyPress, Qt::Key_D, Qt::NoModifier, "d");
    EXPECT_EQ(commands.actionForKey(key), planner);
    planner->trigger();
    EXPECT_EQ(w.dialogs, std::vector<int>{app::kPlanner});
    EXPECT_FALSE(planner->text().isEmpty());
}

TEST(PlannerWindow, PlansTheSpanShowsItAndRoutesTheChosenDeparture) {
    Window w;
    app::PlannerWindow planner(w.data, w.chart());
    // The default span: the demo forecast's first record, every 3 hours over 4 days.
    const DepartureSpan initial = planner.span();
    EXPECT_NEAR(initial.first, kJune1, 1e-6);
    EXPECT_NEAR(initial.last, kJune1 + 4, 1e-6);
    EXPECT_EQ(initial.stepHours, 3);
    EXPECT_EQ(departureTimes(initial).size(), 33u);

    // Six departures, the last two too late to arrive before the forecast ends (6 June 00 h).
    planner.setSpan({kJune1 + 3.5, kJune1 + 4.75, 6});
    planner.resize(1000, 720);
    planner.show();
    bool finished = false;
    planner.onFinished = [&] { finished = true; };
    ASSERT_TRUE(planner.startPlanning());
    EXPECT_FALSE(planner.startPlanning()); // one at a time
    ASSERT_TRUE(Window::waitFor([&] { return finished; }));
    const DeparturePlan& plan = planner.plan();
    ASSERT_EQ(plan.departures.size(), 6u);
    EXPECT_EQ(planner.table()->rowCount(), 6);
    EXPECT_EQ(planner.progress()->value(), 6);
    EXPECT_FALSE(plan.departures[5].arrives());
    EXPECT_EQ(planner.table()->item(5, 1)->text().toStdString(), "Does not arrive");
    ASSERT_GE(plan.best[0], 0);

    // The picture: one point per departure that reached somewhere, the fastest ringed.
    int points = 0;
    for (QAbstractSeries* s : planner.chartView()->chart()->series())
        if (auto* scatter = qobject_cast<QScatterSeries*>(s); scatter && scatter->markerSize() < 20)
            points += scatter->count();
    EXPECT_EQ(points, 6);
    const int best = plan.best[0];
    const QPointF at(
        app::chartTime(plan.departures[static_cast<std::size_t>(best)].departure.dayNumber),
        plan.departures[static_cast<std::size_t>(best)].shown()->durationHours);
    EXPECT_EQ(app::departureNear(plan, at, planner.picture()), best);

    // The arrival axis draws the same departures.
    planner.setPicture({true, PlanMeasure::UpwindShare});
    EXPECT_FALSE(planner.chartView()->chart()->series().isEmpty());
    planner.setPicture({false, PlanMeasure::MaxWind});

    // Choosing the fastest routes it on the chart: one run from its departure, the same run.
    ASSERT_TRUE(planner.choose(best));
    ASSERT_TRUE(Window::waitFor([&] { return !w.chart().routingRunning(); }));
    const RoutingResult* result = w.chart().result();
    ASSERT_NE(result, nullptr);
    ASSERT_EQ(result->summaries.size(), 1u); // no scan, whatever the settings say
    const RunSummary& chosen = plan.departures[static_cast<std::size_t>(best)].runs[0];
    ASSERT_EQ(result->summaries[0].route.size(), chosen.route.size());
    EXPECT_EQ(result->summaries[0].route.back().time.dayNumber, chosen.route.back().time.dayNumber);
    EXPECT_EQ(w.data.config.settings.routing.scanPolar, true); // the user's settings stay

    // The table and the picture saved whole.
    const std::string csv = w.folder.str() + "/plan.csv", png = w.folder.str() + "/plan.png";
    std::string error;
    ASSERT_TRUE(planner.saveCsv(QString::fromStdString(csv), error)) << error;
    ASSERT_TRUE(planner.savePng(QString::fromStdString(png), error)) << error;
    std::ifstream in(csv);
    std::string line;
    int lines = 0;
    while (std::getline(in, line)) ++lines;
    EXPECT_EQ(lines, 7);
    QImage image(QString::fromStdString(png));
    EXPECT_GT(image.width(), 500);
    // A folder that does not exist: an error, no file.
    EXPECT_FALSE(planner.saveCsv(QString::fromStdString(w.folder.str() + "/none/plan.csv"), error));
    EXPECT_FALSE(error.empty());
}

TEST(PlannerWindow, TheDefaultSpanOverTheDemoForecast) {
    // 33 departures over 4 days; the picture a skipper reads: one point each, the fastest and
    // the least windy ringed, the nights at the destination shaded.
    Window w;
    app::PlannerWindow planner(w.data, w.chart());
    planner.resize(1100, 760);
    planner.show();
    bool finished = false;
    planner.onFinished = [&] { finished = true; };
    ASSERT_TRUE(planner.startPlanning());
    ASSERT_TRUE(Window::waitFor([&] { return finished; }));
    const DeparturePlan& plan = planner.plan();
    ASSERT_EQ(plan.departures.size(), 33u);
    EXPECT_EQ(planner.table()->rowCount(), 33);
    int points = 0, rings = 0, bands = 0;
    for (QAbstractSeries* s : planner.chartView()->chart()->series()) {
        if (auto* scatter = qobject_cast<QScatterSeries*>(s))
            (scatter->markerSize() < 20 ? points : rings) += scatter->count();
        else
            ++bands;
    }
    EXPECT_EQ(points, 33);
    EXPECT_EQ(rings, 2);
    EXPECT_GE(bands, 4); // a night for each of the days
    QTest::qWait(50);
    if (const char* shot = std::getenv("NAVOREL_PLANNER_SCREENSHOT"))
        planner.grab().save(QString::fromLocal8Bit(shot));
}

TEST(PlannerChart, ComfortColoursRunFromGreenToRed) {
    const QColor best = app::comfortColour(10, 10, 30), worst = app::comfortColour(30, 10, 30);
    EXPECT_GT(best.green(), best.red());
    EXPECT_GT(worst.red(), worst.green());
    EXPECT_EQ(app::comfortColour(20, 10, 10), app::comfortColour(0, 0, 0)); // no range: green
    EXPECT_EQ(app::comfortColour(NAN, 10, 30), best);
}

// The main window as a user meets it: its place and size from one run to the next, the
// status of a routing that did not arrive, and a save that fails when it closes.
#include "app/commands.h"
#include "app/dialogs/results_window.h"
#include "app/main_window.h"
#include "geo/gpx.h"
#include "program_folder.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <functional>

namespace fs = std::filesystem;
using namespace navorel;
using navorel::apptest::ProgramFolder;

namespace {

void waitWhileRunning(const app::ChartWidget& chart) {
    QElapsedTimer timer;
    timer.start();
    while (chart.routingRunning() && timer.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

// Text of the status bar's label that tells how the last routing ended.
QString statusText(app::MainWindow& window) {
    const QList<QLabel*> labels = window.statusBar()->findChildren<QLabel*>();
    return labels.isEmpty() ? QString() : labels.back()->text();
}

// Answers the message box that will open next by clicking the button `choose` picks; the
// box's text goes to `text`.
void answerNextBox(std::function<QAbstractButton*(QMessageBox&)> choose, QString* text) {
    QTimer::singleShot(0, [choose, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            answerNextBox(choose, text); // not open yet
            return;
        }
        if (text) *text = box->text();
        QTest::mouseClick(choose(*box), Qt::LeftButton);
    });
}

} // namespace

TEST(MainWindowPlace, SavedPlaceAndSizeComeBackTheSameOnTheNextRun) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    WindowSettings& w = data.config.settings.window;
    w.x = 30;
    w.y = 40;
    w.width = 500;
    w.height = 400;
    for (int run = 0; run < 3; ++run) {
        app::MainWindow window(data);
        window.placeAndShow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        // The window system puts a frame round the window: its outer size is larger.
        EXPECT_NE(window.frameGeometry().size(), window.size());
        window.keepGeometry();
        EXPECT_EQ(w.width, 500) << "run " << run;
        EXPECT_EQ(w.height, 400) << "run " << run;
        EXPECT_EQ(w.x, 30) << "run " << run;
        EXPECT_EQ(w.y, 40) << "run " << run;
    }
}

TEST(MainWindowRouting, StatusBarTellsARunThatDidNotArriveOrWasCancelled) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    app::MainWindow window(data);
    window.placeAndShow();
    window.dataLoaded();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    app::ChartWidget& chart = window.chart();

    // From the last forecast record the run stops after one step: not finished, and the
    // status bar and the results window say where and why.
    QTest::keyClick(&chart, Qt::Key_End);
    QTest::keyClick(&chart, Qt::Key_Space);
    waitWhileRunning(chart);
    ASSERT_NE(chart.result(), nullptr);
    EXPECT_FALSE(chart.result()->output.arrived);
    const QString notFinished = statusText(window);
    EXPECT_TRUE(notFinished.startsWith("Routing not finished (run 1/5): stopped "))
        << notFinished.toStdString();
    EXPECT_TRUE(notFinished.contains(" M short of waypoint 2 - the forecast ends 06/06 00:00"))
        << notFinished.toStdString();
    app::ResultsWindow* results = app::showResults(data, *chart.result(), nullptr);
    EXPECT_TRUE(results->reason()->isVisible());
    EXPECT_EQ(results->reason()->text(), notFinished);
    results->close();

    // From the first record the demo arrives; Escape at once cancels it. Home goes to the
    // first record once Backspace has removed the result (with one it goes to the first step).
    QTest::keyClick(&chart, Qt::Key_Backspace);
    QTest::keyClick(&chart, Qt::Key_Home);
    QTest::keyClick(&chart, Qt::Key_Space);
    waitWhileRunning(chart);
    EXPECT_EQ(statusText(window), "Routing finished");
    QTest::keyClick(&chart, Qt::Key_Space);
    QTest::keyClick(&chart, Qt::Key_Escape);
    waitWhileRunning(chart);
    EXPECT_EQ(statusText(window), "Routing cancelled");
}

TEST(MainWindowClose, AFailedSaveIsShownWithRetryAndCountsAsUnsaved) {
    ProgramFolder folder;
    const fs::path route = folder.path() / "Data" / "Route.gpx";
    auto block = [&] { // a folder in the route file's place: the save cannot replace it
        fs::remove_all(route);
        fs::create_directories(route / "inside");
    };
    auto button = [](QMessageBox::StandardButton which) {
        return [which](QMessageBox& box) -> QAbstractButton* { return box.button(which); };
    };
    auto closeAnyway = [](QMessageBox& box) -> QAbstractButton* {
        for (QAbstractButton* b : box.buttons())
            if (b->text() == "Close anyway") return b;
        return nullptr;
    };
    const struct {
        const char* what;
        std::function<QAbstractButton*(QMessageBox&)> first; // the answer to the first box
        bool unblockFirst; // the folder goes away before the first answer
        bool closes, unsaved;
    } cases[] = {
        {"retry after the cause is gone", button(QMessageBox::Retry), true, true, false},
        {"close anyway", closeAnyway, false, true, true},
        {"stay open", button(QMessageBox::Cancel), false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        app::AppData data;
        std::string error;
        ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
        app::MainWindow window(data);
        window.placeAndShow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        block();
        QString shown;
        answerNextBox(
            [&](QMessageBox& box) {
                if (c.unblockFirst) fs::remove_all(route);
                return c.first(box);
            },
            &shown);
        window.close();
        EXPECT_TRUE(shown.contains("Route.gpx")) << shown.toStdString();
        EXPECT_EQ(window.isVisible(), !c.closes);
        EXPECT_EQ(window.exitSaveDone(), c.closes);
        EXPECT_EQ(!window.unsaved().empty(), c.unsaved);
        EXPECT_EQ(fs::is_regular_file(route), !c.unsaved);
        fs::remove_all(route);
    }
}

// A start time chosen outside the forecast is refused before the run, and said.
TEST(MainWindowRouting, AStartOutsideTheForecastIsRefusedAndSaid) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    app::MainWindow window(data);
    window.placeAndShow();
    window.dataLoaded();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    app::ChartWidget& chart = window.chart();
    data.startChosen = true;
    data.startTime = dayNumber(20, 5, 2026, 0, 0, 0); // the demo forecast starts on 1 June
    QString box;
    answerNextBox([](QMessageBox& b) { return b.button(QMessageBox::Ok); }, &box);
    QTest::keyClick(&chart, Qt::Key_Space);
    waitWhileRunning(chart);
    EXPECT_EQ(box,
              "The start time is outside the forecast: 20/05 00:00 (01/06 00:00 - 06/06 00:00)");
    EXPECT_EQ(statusText(window), box);
    EXPECT_EQ(chart.result(), nullptr);
}

// After a scan the results window opens by itself; choosing a run's column selects that run
// on the chart (drawn wider, followed by the panels) and "Export the routing" writes it, named,
// to its arrival.
TEST(MainWindowRouting, TheResultsOpenAndChoosingARunSelectsAndExportsIt) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    ASSERT_TRUE(data.config.settings.routing.showResults);
    app::MainWindow window(data);
    window.placeAndShow();
    window.dataLoaded();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    app::ChartWidget& chart = window.chart();
    QTest::keyClick(&chart, Qt::Key_Home);
    QTest::keyClick(&chart, Qt::Key_Space);
    waitWhileRunning(chart);
    ASSERT_NE(chart.result(), nullptr);
    const RoutingResult& result = *chart.result();
    ASSERT_EQ(result.scanRoutes.size(), 5u);

    // The class has no meta-object of its own: it is found by its name.
    auto* results = dynamic_cast<app::ResultsWindow*>(window.findChild<QWidget*>("results"));
    ASSERT_NE(results, nullptr) << "the results window did not open";
    EXPECT_TRUE(results->isVisible());
    EXPECT_FALSE(results->reason()->isVisible()); // every run arrived
    QTableWidget* table = results->table();
    ASSERT_EQ(table->columnCount(), 6);
    EXPECT_EQ(chart.selectedRun(), -1);

    const int paints = chart.chartPaints();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualItemRect(table->item(5, 3)).center());
    EXPECT_EQ(chart.selectedRun(), 2);
    EXPECT_EQ(chart.resultRoute(), &result.scanRoutes[2]);
    QTest::qWait(50);
    EXPECT_GT(chart.chartPaints(), paints) << "the chart was not drawn again";

    const fs::path out = folder.path() / "run3.gpx";
    chart.commands().chooseFile = [&](const app::FileRequest&) {
        return QString::fromStdString(out.string());
    };
    chart.commands().action(app::kExportRouting)->trigger();
    std::vector<GeoPoint> exported;
    ASSERT_TRUE(loadUserRoute(out.string(), exported, error)) << error;
    ASSERT_EQ(exported.size(), result.scanRoutes[2].size() + 1);
    EXPECT_EQ(exported.back().lon, data.route.waypoints.back().lon);
    EXPECT_EQ(exported.back().lat, data.route.waypoints.back().lat);
    std::ifstream in(out);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("<rte>\n\t\t<name>Routing 3</name>"), std::string::npos);

    // The title of a column chooses its run too.
    QHeaderView* header = table->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(5) + 5, header->height() / 2));
    EXPECT_EQ(chart.selectedRun(), 4);
    results->close();
}

TEST(MainWindowRouting, AHeavyRunShowsItsProgressAndEscapeStopsIt) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    // The heaviest settings of the routing dialog: Quality 4, the widest fans, a scan on every
    // core, each front drawn as it comes.
    RoutingParameters& p = data.config.settings.routing;
    p.method = 1;
    p.timestepAuto = true;
    p.quality = 4;
    p.autoNbInitialAngles = 180;
    p.autoInitialAngles = 1;
    p.autoNbFurtherAngles = 61;
    p.autoFurtherAngles = 1;
    p.renderAfter = true;
    p.scanPolar = true;
    p.minPolar = 60;
    p.maxPolar = 100;
    p.stepPolar = 5;
    app::MainWindow window(data);
    window.resize(1000, 700);
    window.show();
    window.dataLoaded();
    app::ChartWidget& chart = window.chart();
    QTest::keyClick(&chart, Qt::Key_Space);
    ASSERT_TRUE(chart.routingRunning());
    // The status bar counts the fronts, the time and the distance still to go as they come.
    const QRegularExpression progress(
        "^Isochrones: [1-9][0-9]*   Time: [0-9]+:[0-9][0-9]   Still to go: [0-9]+\\.[0-9] M$");
    QElapsedTimer timer;
    timer.start();
    while (chart.routingRunning() && !statusText(window).contains(progress) &&
           timer.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_TRUE(chart.routingRunning()) << "the run ended before its progress was seen";
    EXPECT_TRUE(statusText(window).contains(progress)) << statusText(window).toStdString();
    EXPECT_GT(chart.liveFrontCount(), 0);

    QTest::keyClick(&chart, Qt::Key_Escape);
    waitWhileRunning(chart);
    ASSERT_FALSE(chart.routingRunning());
    ASSERT_NE(chart.result(), nullptr);
    EXPECT_EQ(chart.result()->output.status, kStatusCancelled);
    // The scan stopped at the cancelled run: none after it was kept.
    ASSERT_FALSE(chart.result()->summaries.empty());
    EXPECT_EQ(chart.result()->summaries.back().status, kStatusCancelled);
    EXPECT_LT(chart.result()->summaries.size(), 9u);
    EXPECT_FALSE(statusText(window).startsWith("Isochrones:"));
}

// The start-up's question about a forecast whose opening never came back: a Yes/No box
// captioned "Navorel" that names the file, No by default; only Yes opens it again.
TEST(StartupQuestion, AskingToReopenAForecastAnswersTheButtonClicked) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::loadConfiguration(folder.str(), data, error)) << error;
    const std::string path = "/home/me/Gribs/storm.grb";
    for (const QMessageBox::StandardButton answer : {QMessageBox::Yes, QMessageBox::No}) {
        QString caption, text;
        bool noIsDefault = false;
        answerNextBox(
            [&](QMessageBox& box) {
                caption = box.windowTitle();
                noIsDefault = box.defaultButton() == box.button(QMessageBox::No);
                return box.button(answer);
            },
            &text);
        EXPECT_EQ(app::askToReopenGrib(data.texts, path), answer == QMessageBox::Yes);
        EXPECT_EQ(caption, "Navorel");
        EXPECT_TRUE(noIsDefault);
        EXPECT_TRUE(text.contains(QString::fromStdString(path))) << text.toStdString();
        EXPECT_TRUE(text.startsWith(QString::fromStdString(data.texts.text(444))))
            << text.toStdString();
        EXPECT_FALSE(data.texts.text(444).empty());
    }
}

// The window over several forecasts: an ensemble file opened from the toolbar routes once per
// member, the results list the runs in a table that sorts and selects the run on the chart,
// and the table and the picture of the arrivals are saved; one forecast, or a set with the
// forecasts scan off, shows none of it.
#include "app/chart_widget.h"
#include "app/commands.h"
#include "app/dialogs/forecast_runs_view.h"
#include "app/dialogs/results_window.h"
#include "app/forecast_sets.h"
#include "app/main_window.h"
#include "program_folder.h"
#include "render/routing_layer.h"

#include <gtest/gtest.h>

#include <QChartView>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTableWidget>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace navorel;
using navorel::apptest::ProgramFolder;
namespace fs = std::filesystem;

namespace {

struct Window {
    ProgramFolder folder;
    app::AppData data;
    std::unique_ptr<app::MainWindow> window;
    std::vector<QString> messages;

    Window() {
        std::string error;
        EXPECT_TRUE(app::startUp(folder.str(), data, error)) << error;
        // The forecasts are the scan: no other one, and the results open by themselves.
        RoutingParameters& p = data.config.settings.routing;
        p.scanPolar = p.scanWind = p.scanStart = p.scanPolars = false;
        p.showResults = true;
        window = std::make_unique<app::MainWindow>(data);
        window->resize(1280, 800);
        window->show();
        window->dataLoaded();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        chart().commands().message = [this](const QString& text, bool) {
            messages.push_back(text);
        };
    }
    app::ChartWidget& chart() { return window->chart(); }
    void open(const QStringList& files) {
        chart().commands().chooseFiles = [files](const app::FileRequest&) { return files; };
        chart().commands().action(app::kOpenGrib)->trigger();
    }
    app::ResultsWindow* route() {
        QTest::keyClick(&chart(), Qt::Key_Home);
        QTest::keyClick(&chart(), Qt::Key_Space);
        QElapsedTimer timer;
        timer.start();
        while (chart().routingRunning() && timer.elapsed() < 300000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        return dynamic_cast<app::ResultsWindow*>(window->findChild<QWidget*>("results"));
    }
};

QString ensemble(const char* name) {
    return QString::fromStdString((fs::path(NAVOREL_ENSEMBLE_DATA) / name).string());
}

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST(ForecastRunsWindow, AnEnsembleRoutesPerMemberAndTheTableSortsAndSelectsTheRun) {
    Window w;
    w.open({ensemble("ens21.grib2")});
    ASSERT_TRUE(w.messages.empty()) << w.messages.front().toStdString();
    ASSERT_EQ(w.data.forecasts.size(), 21u);
    EXPECT_FALSE(w.data.wind.empty()); // the chart shows the control's wind
    app::ResultsWindow* results = w.route();
    ASSERT_NE(w.chart().result(), nullptr);
    const RoutingResult& result = *w.chart().result();
    ASSERT_EQ(result.summaries.size(), 21u);
    EXPECT_EQ(result.summaries[0].label, "member 0");
    ASSERT_NE(results, nullptr);
    app::ForecastRunsView* runs = results->forecastRuns();
    ASSERT_TRUE(runs->isVisible());
    QTableWidget* table = runs->table();
    ASSERT_EQ(table->rowCount(), 21);
    ASSERT_EQ(table->columnCount(), 6);
    EXPECT_GE(runs->distribution().nearestMedian, 0);
    EXPECT_EQ(runs->distribution().control, 0);

    // Each numeric column sorts by its value, both ways, whatever its text.
    for (int column = 1; column < 6; ++column) {
        for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            table->sortItems(column, order);
            for (int row = 1; row < table->rowCount(); ++row) {
                const double a = table->item(row - 1, column)->data(Qt::UserRole).toDouble();
                const double b = table->item(row, column)->data(Qt::UserRole).toDouble();
                EXPECT_TRUE(order == Qt::AscendingOrder ? a <= b : a >= b)
                    << "column " << column << " row " << row;
            }
        }
    }
    // A click on the title sorts too; then choosing a row selects its run on the chart.
    QTest::mouseClick(table->horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(table->horizontalHeader()->sectionViewportPosition(1) + 5, 5));
    for (const int row : {0, 20, 7}) {
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                          table->visualItemRect(table->item(row, 2)).center());
        const int run = table->item(row, 0)->data(Qt::UserRole + 1).toInt();
        EXPECT_EQ(w.chart().selectedRun(), run) << "row " << row;
        EXPECT_EQ(w.chart().resultRoute(), &result.scanRoutes[static_cast<std::size_t>(run)]);
        EXPECT_EQ(table->item(row, 0)->text().toStdString().rfind(result.summaries[run].label, 0),
                  0u);
    }

    // The information panel tells when the selected route arrives against the others.
    const int selected = w.chart().selectedRun();
    const std::vector<std::string> spread =
        app::arrivalSpreadRows(result, selected, w.data.route.waypoints.back(), w.data.texts);
    ASSERT_EQ(spread.size(), 4u);
    EXPECT_NE(spread[0].find("of 21 runs"), std::string::npos) << spread[0];
    EXPECT_EQ(spread[1].rfind("Arrival 10-90 %: ", 0), 0u) << spread[1];
    EXPECT_NE(spread[3].find(result.summaries[static_cast<std::size_t>(selected)].label),
              std::string::npos)
        << spread[3];
    if (const char* shots = std::getenv("NAVOREL_SHOTS")) {
        // A look as a sailor would have (under Xvfb): the chart with the bold median route.
        w.chart().selectRun(-1);
        QTest::qWait(300);
        w.window->grab().save(QString(shots) + "/members-chart.png");
        results->resize(900, 900);
        QTest::qWait(300);
        results->grab().save(QString(shots) + "/members-results.png");
    }

    // The table as CSV (a header and a line per run) and the picture as PNG.
    const fs::path csv = w.folder.path() / "runs.csv", png = w.folder.path() / "arrivals.png";
    std::string error;
    ASSERT_TRUE(runs->saveCsv(QString::fromStdString(csv.string()), error)) << error;
    const std::string text = contents(csv);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 22);
    EXPECT_NE(text.find("\nmember 20,"), std::string::npos);
    ASSERT_TRUE(runs->savePng(QString::fromStdString(png.string()), error)) << error;
    EXPECT_EQ(contents(png).rfind("\x89PNG", 0), 0u);
    QImage picture(QString::fromStdString(png.string()));
    EXPECT_EQ(picture.size(), runs->picture()->size());
    // Nothing is left half written beside them.
    int files = 0;
    for (const auto& entry : fs::directory_iterator(w.folder.path()))
        files += entry.path().filename().string().find("runs.csv") != std::string::npos ||
                 entry.path().filename().string().find("arrivals.png") != std::string::npos;
    EXPECT_EQ(files, 2);
}

TEST(ForecastRunsWindow, AnEnsembleWithoutTheForecastsScanRoutesTheControlAlone) {
    Window w;
    w.data.config.settings.routing.scanForecasts = false;
    w.open({ensemble("ens21.grib2")});
    ASSERT_TRUE(w.messages.empty()) << w.messages.front().toStdString();
    ASSERT_EQ(w.data.forecasts.size(), 21u);
    app::ResultsWindow* results = w.route();
    ASSERT_NE(results, nullptr);
    ASSERT_NE(w.chart().result(), nullptr);
    const RoutingResult& result = *w.chart().result();
    EXPECT_LE(result.summaries.size(), 1u);
    EXPECT_LE(result.scanRoutes.size(), 1u);
    ASSERT_NE(w.chart().resultRoute(), nullptr);
    EXPECT_FALSE(w.chart().resultRoute()->empty());
    EXPECT_FALSE(results->forecastRuns()->isVisible());
    EXPECT_EQ(results->forecastRuns()->table()->rowCount(), 0);
    // The set stays open: the next routing with the scan on goes over every member again.
    EXPECT_EQ(w.data.forecasts.size(), 21u);
}

TEST(ForecastRunsWindow, OneForecastShowsNoForecastRuns) {
    Window w;
    ASSERT_TRUE(w.data.forecasts.empty());
    app::ResultsWindow* results = w.route();
    ASSERT_NE(results, nullptr);
    ASSERT_NE(w.chart().result(), nullptr);
    EXPECT_FALSE(results->forecastRuns()->isVisible());
    EXPECT_EQ(results->forecastRuns()->table()->rowCount(), 0);
    std::string error;
    EXPECT_FALSE(results->forecastRuns()->saveCsv(
        QString::fromStdString((w.folder.path() / "none.csv").string()), error));
    EXPECT_FALSE(fs::exists(w.folder.path() / "none.csv"));
}

TEST(ForecastRunsChart, RunsOfOneModelShareTheirColourAndAnotherRoutingHasNoBoldRun) {
    const std::pair<const char*, const char*> cases[] = {
        {"member 12", ""},       {"GFS member 3", "GFS"},  {"ECMWF", "ECMWF"},
        {"GFS member 0", "GFS"}, {"Demo.grb", "Demo.grb"},
    };
    for (const auto& [label, model] : cases) EXPECT_EQ(runModel(label), model) << label;
    RoutingResult scan;
    scan.summaries.resize(3); // a scan of effectiveness: no forecast
    UserRoute route;
    route.waypoints = {{-70, 42}, {-68, 43}};
    EXPECT_EQ(forecastBoldRun(scan, &route), -1);
}

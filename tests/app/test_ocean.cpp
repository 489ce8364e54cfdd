// The ocean forecasts in the window: a current forecast and a wave forecast opened from the
// current group of the toolbar, the status bar's current and wave height, the wave layer and
// the current arrows of the forecast on the chart.
#include "app/chart_view.h"
#include "app/commands.h"
#include "app/dialogs/results_window.h"
#include "app/main_window.h"
#include "app/status_texts.h"
#include "core/datetime.h"
#include "program_folder.h"
#include "render/ocean_layer.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTableWidget>
#include <QTest>

#include <string>

using namespace navorel;
using navorel::apptest::ProgramFolder;

namespace {

const std::string kGrib = std::string(NAVOREL_SOURCE_DIR) + "/tests/data/grib/";
const double kStart = dayNumber(1, 6, 2026, 0, 0, 0); // the fixtures' reference time

QPoint centre(const ToolRect& r) {
    return QPoint(r.x + r.width / 2, r.y + r.height / 2);
}

struct Window {
    ProgramFolder folder;
    app::AppData data;
    std::unique_ptr<app::MainWindow> window;
    std::vector<QString> messages;

    Window() {
        std::string error;
        EXPECT_TRUE(app::startUp(folder.str(), data, error)) << error;
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
    // Clicks a button of the current group (tab 1) answering the file dialog with `file`.
    void open(int button, const std::string& file) {
        chart().commands().chooseFile = [file](const app::FileRequest&) {
            return QString::fromStdString(file);
        };
        const Toolbar& bar = chart().toolbar();
        QTest::mouseMove(&chart(), centre(bar.rect(1)));
        ASSERT_TRUE(bar.visible(button));
        QTest::mouseMove(&chart(), centre(bar.rect(button)));
        QTest::mouseClick(&chart(), Qt::LeftButton, {}, centre(bar.rect(button)));
    }
    std::string statusAt(double lon, double lat) {
        app::DisplayState display;
        display.time = kStart + 0.5;
        app::StatusPlace place;
        place.known = true;
        place.lon = lon;
        place.lat = lat;
        return app::statusTexts(data, display, place)[1];
    }
};

} // namespace

TEST(OceanForecasts, OpenedFromTheCurrentGroupAndShownInTheStatusBar) {
    Window w;
    w.open(app::kOpenCurrentForecast, kGrib + "ocean_jet.grb2");
    EXPECT_TRUE(w.messages.empty());
    EXPECT_EQ(w.data.currents.mode(), 2);
    EXPECT_EQ(w.data.config.settings.routing.streamProvider, 2);
    // On the jet's axis at noon: flowing east at close to 3 kt, without a tidal coefficient.
    const CurrentSample c = w.data.oceanCurrents.currentAt(-66.0f, 38.2f, kStart + 0.5);
    ASSERT_TRUE(c.found);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.0f\xC2\xB0 %.1fkt", c.direction, c.speed);
    EXPECT_EQ(w.statusAt(-66.0, 38.2), w.data.texts.text(217) + " " + expected);
    // On land (the bitmap's missing corner) the provider has no current.
    EXPECT_EQ(w.statusAt(-71.5, 41.5), w.data.texts.text(218));

    w.open(app::kOpenWaveForecast, kGrib + "ocean_waves.grb2");
    EXPECT_TRUE(w.messages.empty());
    EXPECT_TRUE(w.data.showWaves);
    EXPECT_TRUE(w.chart().commands().action(app::kWaveLayer)->isChecked());
    // 1 + 0.1 x 4 + 0.05 x 6 + 0.5 = 2.2 m at (-66, 38) at noon.
    EXPECT_NE(w.statusAt(-66.0, 38.0).find("  " + w.data.texts.text(674) + " 2.2 m"),
              std::string::npos)
        << w.statusAt(-66.0, 38.0);

    // A file of neither: refused with its name, the forecasts in place stay.
    w.open(app::kOpenCurrentForecast, kGrib + "ocean_waves.grb2");
    ASSERT_EQ(w.messages.size(), 1u);
    EXPECT_NE(w.messages[0].indexOf("ocean_waves.grb2"), -1);
    EXPECT_TRUE(w.data.oceanCurrents.currentAt(-66.0f, 38.2f, kStart).found);
}

TEST(OceanForecasts, TheWaveLayerAndTheForecastArrowsAreDrawn) {
    Window w;
    w.open(app::kOpenCurrentForecast, kGrib + "ocean_jet.grb2");
    w.open(app::kOpenWaveForecast, kGrib + "ocean_waves.grb2");
    MapView view;
    app::setUpView(view, w.data, 400, 300, false);
    view.scale = 40;
    view.centreOn(-66.0, 38.0, true);
    // The demo forecast starts at the fixtures' time: the chart shows its first hour.
    ASSERT_EQ(w.data.wind.frameTimes().front(), kStart);
    const app::DisplayWind wind = app::displayWind(w.data);
    const auto draw = [&] { return app::renderChartImage(w.data, view, wind, nullptr); };
    w.data.showWaves = false;
    w.data.config.settings.currents.showArrows = false;
    const QImage plain = draw();
    w.data.showWaves = true;
    const QImage waves = draw();
    w.data.config.settings.currents.showArrows = true;
    const QImage arrows = draw();
    ASSERT_FALSE(plain.isNull());
    EXPECT_NE(plain, waves) << "the wave layer draws over the sea";
    EXPECT_NE(waves, arrows) << "the forecast's arrows are drawn";
}

TEST(OceanForecasts, WaveColoursRiseWithTheHeight) {
    EXPECT_EQ(waveColour(std::nan("")), QColor(Qt::transparent));
    EXPECT_EQ(waveColour(0), QColor(150, 200, 255));
    EXPECT_EQ(waveColour(20), QColor(130, 20, 110));
    // Half way between two steps of the legend, half way between their colours.
    const QColor mid = waveColour(2.5);
    EXPECT_EQ(mid.red(), 70);
    EXPECT_EQ(mid.green(), 195);
    EXPECT_EQ(mid.blue(), 155);
    // From moderate to high seas the green goes out of the colour: yellow, orange, red.
    for (double h : {4.0, 5.0, 6.0, 7.0})
        EXPECT_GT(waveColour(h).green(), waveColour(h + 1).green()) << h;
}

// The results window lists the sea met at each step of a run that met a current or sailed
// with a wave forecast, and nothing more for a run that met neither.
TEST(OceanForecasts, ResultsWindowListsTheSeaMetAtEachStep) {
    Window w;
    RoutingResult result;
    RunSummary run;
    IsochronePoint p = departureRecord(fromDayNumber(kStart), -66.0f, 38.0f);
    p.parentTime = p.time;
    p.parentLon = -66.0f;
    p.parentLat = 38.0f;
    run.route = {p, p, p};
    run.inProgress = true;
    result.summaries = {run};
    app::ResultsWindow plain(w.data);
    plain.showResult(result);
    EXPECT_TRUE(plain.steps()->isHidden());

    result.summaries[0].route[1].currentDir = 90;
    result.summaries[0].route[1].currentSpeed = static_cast<float>(2.0 * kKnotToMs);
    result.summaries[0].waveHeights = {1.0f, 2.31f, std::nanf("")};
    app::ResultsWindow sea(w.data);
    sea.showResult(result);
    ASSERT_FALSE(sea.steps()->isHidden());
    ASSERT_EQ(sea.steps()->rowCount(), 3);
    ASSERT_EQ(sea.steps()->columnCount(), 4);
    EXPECT_EQ(sea.steps()->item(1, 2)->text().toStdString(), "90\xC2\xB0 2.0 kt");
    EXPECT_EQ(sea.steps()->item(0, 2)->text().toStdString(), "-");
    EXPECT_EQ(sea.steps()->item(1, 3)->text().toStdString(), "2.3 m");
    EXPECT_EQ(sea.steps()->item(2, 3)->text().toStdString(), "-");
    EXPECT_EQ(sea.steps()->horizontalHeaderItem(3)->text().toStdString(), w.data.texts.text(673));
}

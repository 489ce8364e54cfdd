// navorel: the desktop program. Loads the program folder, then shows the chart window, or
// with --screenshot draws the chart into a PNG file and exits.
#include "app/chart_view.h"
#include "app/commands.h"
#include "app/main_window.h"
#include "app/ocean_forecasts.h"
#include "app/qt_translations.h"
#include "app/splash_window.h"
#include "core/atomic_file.h"
#include "settings/program_folder.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QFileDialog>
#include <QIcon>
#include <QMessageBox>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

struct Options {
    std::string folder, screenshot;
    std::string currents, waves; // ocean forecasts opened for the screenshot
    int width = 1280, height = 800;
    bool route = false;
    bool viewGiven = false; // else the route, or the forecast, is framed
    double lon = 0, lat = 0, scale = 0;
};

bool parseSize(const char* text, int& w, int& h) {
    char tail;
    if (std::sscanf(text, "%dx%d%c", &w, &h, &tail) != 2) return false;
    return w >= 16 && h >= 16 && w <= 16384 && h <= 16384;
}

// Empty on success, else the message.
std::string parseOptions(int argc, char** argv, Options& o) {
    bool sizeGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--folder" && hasValue) {
            o.folder = argv[++i];
        } else if (a == "--screenshot" && hasValue) {
            o.screenshot = argv[++i];
        } else if (a == "--size" && hasValue) {
            if (!parseSize(argv[++i], o.width, o.height))
                return "--size takes WxH, each 16 to 16384";
            sizeGiven = true;
        } else if (a == "--currents" && hasValue) {
            o.currents = argv[++i];
        } else if (a == "--waves" && hasValue) {
            o.waves = argv[++i];
        } else if (a == "--route") {
            o.route = true;
        } else if (a == "--view" && hasValue) {
            char tail;
            if (std::sscanf(argv[++i], "%lf,%lf,%lf%c", &o.lon, &o.lat, &o.scale, &tail) != 3 ||
                !(o.lon >= -180 && o.lon <= 180 && o.lat >= -80 && o.lat <= 80 && o.scale >= 1 &&
                  o.scale <= 100000))
                return "--view takes LON,LAT,SCALE: degrees and pixels per degree (1 to 100000)";
            o.viewGiven = true;
        } else {
            return "usage: navorel [--folder DIR] [--screenshot FILE [--size WxH] [--route] "
                   "[--view LON,LAT,SCALE] [--currents F] [--waves F]]";
        }
    }
    if (o.screenshot.empty() &&
        (sizeGiven || o.route || o.viewGiven || !o.currents.empty() || !o.waves.empty()))
        return "--size, --route, --view, --currents and --waves go with --screenshot";
    return {};
}

int screenshot(navorel::app::AppData& data, const Options& o) {
    using namespace navorel;
    std::string oceanError;
    if ((!o.currents.empty() && !app::openCurrentForecastFile(data, o.currents, oceanError)) ||
        (!o.waves.empty() && !app::openWaveForecastFile(data, o.waves, oceanError))) {
        std::fprintf(stderr, "navorel: %s\n", oceanError.c_str());
        return 1;
    }
    MapView view;
    app::setUpView(view, data, o.width, o.height, !o.viewGiven);
    if (o.viewGiven) {
        view.scale = o.scale;
        view.centreOn(o.lon, o.lat, true);
    }
    const app::DisplayWind wind = app::displayWind(data);
    RoutingResult result;
    if (o.route) {
        RunControl control;
        RunSetup setup = app::makeRunSetup(data, control, {});
        result = runRouting(setup);
        if (result.refusal == RunRefusal::Ignored) {
            std::fprintf(stderr, "navorel: nothing to route (route, wind or polar missing)\n");
            return 1;
        }
        if (result.refusal != RunRefusal::None) {
            std::fprintf(stderr, "navorel: %s\n", refusalMessage(result, data.texts).c_str());
            return 1;
        }
    }
    const QImage image = app::renderChartImage(data, view, wind, o.route ? &result : nullptr);
    // Encoded in memory, then written whole over the target (never over a device node).
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    std::string error;
    if (!image.save(&buffer, "PNG")) {
        std::fprintf(stderr, "navorel: %s cannot be written\n", o.screenshot.c_str());
        return 1;
    }
    if (!replaceFileContents(o.screenshot, std::string_view(png.constData(), png.size()), error)) {
        std::fprintf(stderr, "navorel: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

volatile std::sig_atomic_t gStopSignal = 0;

// The interactive program: splash, main window, start-up sequence, message loop, shut-down.
int runWindow(QApplication& application, navorel::app::AppData& data) {
    using namespace navorel;
    auto text = [&](int n) { return QString::fromStdString(data.texts.text(n)); };
    const QString stages[4] = {text(421), text(422), text(423), text(424)};
    app::SplashWindow splash(stages);
    splash.show();
    splash.setStage(0);
    // The drawing resources come from the program's own images.
    if (!QFile::exists(":/images/SplashImage")) {
        QMessageBox::critical(nullptr, "Navorel", text(224));
        return 1;
    }
    app::MainWindow window(data);
    data.log.step("Window = OK");

    const Settings& settings = data.config.settings;
    app::StartupHooks hooks;
    hooks.splashStage = [&](int stage) { splash.setStage(stage); };
    hooks.showWindow = [&] { window.placeAndShow(); };
    // The dialogs of the start-up are not hidden behind the splash.
    auto openFile = [&](int title, const std::string& folderSetting, const char* filter) {
        splash.hide();
        return QFileDialog::getOpenFileName(
                   nullptr, text(title),
                   QString::fromStdString(folderPath(data.folder, folderSetting)), filter)
            .toStdString();
    };
    hooks.chooseGrib = [&] { return openFile(236, settings.folders.gribs, app::kGribFilter); };
    hooks.choosePolar = [&] { return openFile(237, settings.folders.polars, app::kPolarFilter); };
    hooks.askReopenGrib = [&](const std::string& path) {
        splash.hide();
        return app::askToReopenGrib(data.texts, path);
    };
    hooks.inform = [&](const std::string& message) {
        splash.hide();
        QMessageBox::information(nullptr, "Navorel", QString::fromStdString(message));
    };
    std::string error;
    if (!app::runStartupSequence(data, hooks, error)) {
        splash.close();
        if (!error.empty())
            QMessageBox::critical(nullptr, "Navorel", QString::fromStdString(error));
        data.log.end();
        return 1;
    }
    splash.close();
    window.dataLoaded();
    // A session that ends (SIGTERM, SIGINT, SIGHUP) closes the window as the user would, so the
    // settings and the route are saved. Caught before the loop is logged as running: a signal
    // sent on seeing that line must not find the default action (the end without a save).
    QTimer signalWatch;
    QObject::connect(&signalWatch, &QTimer::timeout, [&] {
        if (!gStopSignal) return;
        window.setAskOnClose(false);
        window.close();
    });
    signalWatch.start(200);
    for (int s : {SIGTERM, SIGINT, SIGHUP}) std::signal(s, [](int) { gStopSignal = 1; });
    data.log.step("Loop = OK");
    const int code = application.exec();

    // Closing the window saved everything, unless the loop ended another way.
    window.saveForExit(false);
    data.log.end();
    for (const std::string& e : window.unsaved()) std::fprintf(stderr, "navorel: %s\n", e.c_str());
    // Something the user made or set could not be saved: that is no success.
    return code != 0 ? code : window.unsaved().empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    const std::string usage = parseOptions(argc, argv, options);
    const bool interactive = options.screenshot.empty();
    if (!usage.empty()) {
        std::fprintf(stderr, "navorel: %s\n", usage.c_str());
        return 2;
    }
    // A screenshot needs no display.
    if (!interactive && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    application.setWindowIcon(QIcon(":/icons/navorel"));
    application.setDesktopFileName("navorel");
    // Every start-up failure says why and ends with a non-zero code.
    auto failure = [&](const std::string& message) {
        if (interactive)
            QMessageBox::critical(nullptr, "Navorel", QString::fromStdString(message));
        else
            std::fprintf(stderr, "navorel: %s\n", message.c_str());
        return 1;
    };

    std::string folder, error;
    // --folder, else the per-user folder (made or repaired from the shipped one).
    if (!navorel::resolveProgramFolder(options.folder, NAVOREL_DIST_DIR, true, folder, error))
        return failure(error);
    navorel::app::AppData data;
    if (!navorel::app::loadConfiguration(folder, data, error)) return failure(error);
    // Qt's own buttons and dialogs speak the chosen language too.
    navorel::app::applyQtTranslations(data.texts);
    if (interactive) return runWindow(application, data);

    if (!navorel::app::runStartupSequence(data, {}, error)) return failure(error);
    const int code = screenshot(data, options);
    data.log.end();
    return code;
}

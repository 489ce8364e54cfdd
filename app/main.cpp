// navorel: the desktop program. Loads the program folder, then shows the chart window, or
// with --screenshot draws the chart into a PNG file and exits.
#include "app/chart_view.h"
#include "app/chart_widget.h"

#include <QApplication>
#include <QIcon>
#include <QMainWindow>
#include <QMessageBox>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

struct Options {
    std::string folder, screenshot;
    int width = 1280, height = 800;
    bool route = false;
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
        } else if (a == "--route") {
            o.route = true;
        } else {
            return "usage: navorel [--folder DIR] [--screenshot FILE [--size WxH] [--route]]";
        }
    }
    if (o.screenshot.empty() && (sizeGiven || o.route))
        return "--size and --route go with --screenshot";
    return {};
}

int screenshot(navorel::app::AppData& data, const Options& o) {
    using namespace navorel;
    MapView view;
    app::setUpView(view, data, o.width, o.height);
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
    // Written beside the target, then renamed over it.
    const std::string temporary = o.screenshot + ".tmp";
    std::error_code ec;
    const bool saved = image.save(QString::fromStdString(temporary), "PNG");
    if (saved) std::filesystem::rename(temporary, o.screenshot, ec);
    if (!saved || ec) {
        std::filesystem::remove(temporary, ec);
        std::fprintf(stderr, "navorel: %s cannot be written\n", o.screenshot.c_str());
        return 1;
    }
    return 0;
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
    auto failure = [&](const std::string& message) {
        if (interactive)
            QMessageBox::critical(nullptr, "Navorel", QString::fromStdString(message));
        else
            std::fprintf(stderr, "navorel: %s\n", message.c_str());
        return 1;
    };

    std::string folder, error;
    if (!navorel::app::chooseProgramFolder(options.folder, NAVOREL_DIST_DIR, folder, error))
        return failure(error);
    navorel::app::AppData data;
    if (!navorel::app::startUp(folder, data, error)) return failure(error);

    int code;
    if (!interactive) {
        code = screenshot(data, options);
    } else {
        QMainWindow window;
        window.setWindowTitle("Navorel");
        window.setWindowIcon(QIcon(":/icons/navorel"));
        auto* chart = new navorel::app::ChartWidget(data);
        window.setCentralWidget(chart);
        const auto& w = data.config.settings.window;
        window.resize(w.width > 200 ? w.width : 1280, w.height > 150 ? w.height : 800);
        window.show();
        chart->setFocus();
        data.log.step("Loop = OK");
        code = application.exec();
    }
    data.log.end();
    return code;
}

#include "app/commands.h"

#include "app/forecast_sets.h"

#include "app/chart_widget.h"
#include "app/dialogs/about_dialog.h"
#include "app/dialogs/options_dialog.h"
#include "app/dialogs/planner_texts.h"
#include "app/dialogs/planner_window.h"
#include "app/dialogs/results_window.h"
#include "app/dialogs/routing_parameters_dialog.h"
#include "app/dialogs/waypoint_dialog.h"
#include "app/ocean_forecasts.h"
#include "app/ocean_texts.h"
#include "app/startup.h"
#include "app/status_texts.h"
#include "core/datetime.h"
#include "geo/gpx.h"
#include "weather/grib.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProgressDialog>

namespace navorel::app {

namespace {

// The help overlay's lines (language texts) and the command each one describes; -1 for the
// mouse, which has no command.
constexpr std::pair<int, int> kHelpLines[] = {
    {kStartRouting, 276},
    {kRoutingParameters, 277},
    {kEscape, 278},
    {kRemoveRouting, 279},
    {kDeleteRoute, 280},
    {kNextStep, 281},
    {kLast, 282},
    {kNextRecord, 283},
    {kNextMainRecord, 284},
    {kSwitchCurrents, 285},
    {kHelp, 286},
    {kPolarView, 287},
    {kResults, 288},
    {kCentreOnBoat, 289},
    {kFrameRoute, 290},
    {kFrameRouting, 291},
    {kPlanner, kPlannerHelp},
    {kOptions, 292},
    {kFullScreen, 293},
    {kUndo, 514},
    {-1, 294},
    {-1, 295},
    {-1, 296},
};

QString defaultChooseFile(const FileRequest& r) {
    QFileDialog dialog(QApplication::activeWindow(), r.title, r.folder, r.filter);
    dialog.setAcceptMode(r.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(r.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(r.suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
}

QStringList defaultChooseFiles(const FileRequest& r) {
    QFileDialog dialog(QApplication::activeWindow(), r.title, r.folder, r.filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setDefaultSuffix(r.suffix);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

std::string local(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace

Commands::Commands(AppData& data, ChartWidget& chart)
    : QObject(&chart), data_(data), chart_(chart) {
    chooseFile = defaultChooseFile;
    chooseFiles = defaultChooseFiles;
    openDialog = [this](int id) {
        if (id == kRoutingParameters)
            routingParameters();
        else if (id == kOptions)
            options();
        else if (id == kResults)
            results();
        else if (id == kAbout)
            showAbout(data_, &chart_);
        else if (id == kPlanner)
            showPlanner(data_, chart_, &chart_);
    };
    editWaypoint = [this](GeoPoint& position) {
        return app::editWaypoint(&chart_, position, data_.config.settings, data_.texts);
    };
    message = [this](const QString& text, bool about) {
        if (about)
            QMessageBox::about(&chart_, "Navorel", text);
        else
            QMessageBox::warning(&chart_, "Navorel", text);
    };
    ask = [this](const QString& text) {
        return QMessageBox::question(&chart_, "Navorel", text) == QMessageBox::Yes;
    };
    Settings& s = data_.config.settings;
    DisplayState& state = chart_.display();
    WindStore& wind = data_.wind;
    const auto route = [this]() -> const std::vector<IsochronePoint>* {
        return chart_.resultRoute();
    };
    const auto moved = [this](bool changed) {
        if (changed) chart_.redrawChart();
    };

    add(kClock, 6, "ClockImage",
        [=, this, &state, &wind] { moved(setDisplayTime(state, wind, now().dayNumber)); });
    add(kOpenGrib, 10, "FolderImage", [this] { openGrib(); });
    toggle(kWindArrows, 11, "ArrowImage", s.winds.showArrows);
    toggle(kSurfaceGradient, 12, "GradientImage", s.winds.showSurfaceGradient, [&s] {
        if (s.winds.showSurfaceGradient) s.winds.showSurfaceNoGradient = false;
    });
    toggle(kSurfaceCells, 13, "ColoredImage", s.winds.showSurfaceNoGradient, [&s] {
        if (s.winds.showSurfaceNoGradient) s.winds.showSurfaceGradient = false;
    });
    toggle(kWindZones, 14, "ZonesImage", s.winds.showZones);
    toggle(kWindScale, 15, "InfoImage", s.winds.showScale);
    add(kFrameGrib, 16, "FrameImage", [this] {
        if (data_.wind.empty()) return;
        const FrameGeometry& g = data_.wind.geometry(chart_.display().record);
        if (chart_.mapView().frameGrib({g.minLon, g.maxLon, g.minLat, g.maxLat}, g.wrap))
            chart_.redrawChart();
    });
    toggle(kCurrentArrows, 17, "CurrentsImage", s.currents.showArrows);
    toggle(kCurrentZones, 18, "ZonesImage", s.currents.showZones);
    toggle(kCurrentScale, 19, "InfoImage", s.currents.showScale);
    toggle(kTides, 20, "TideImage", s.currents.showTides);
    toggle(kLand, 21, "LandColoredImage", s.map.showLand);
    toggle(kShorelines, 22, "ShorelineImage", s.map.showShorelines);
    toggle(kMapGrid, 23, "MapgridImage", s.map.showMapGrid);
    add(kOpenWaypoints, 24, "FolderImage", [this] { openWaypoints(); });
    add(kRemoveWaypoints, 25, "CancelImage", [this, &s] {
        // An empty set, not none: the exit saves it, so the removed points do not come back.
        data_.waypoints = {};
        data_.haveWaypoints = true;
        s.waypoints.show = false;
        done();
    });
    toggle(kShowWaypoints, 26, "WaypointImage", s.waypoints.show);
    add(kWaypointType, 27, "WaypointTypeImage", [this, &s] {
        s.waypoints.type = (s.waypoints.type + 1) % 3;
        s.waypoints.show = true;
        done();
    });
    add(kOpenBarriers, 28, "FolderImage", [this] { openBarriers(); });
    add(kSaveBarriers, 29, "SaveImage", [this] { saveBarriers(); });
    add(kRemoveBarriers, 30, "CancelImage", [this] {
        if (data_.barriers.barriers.empty()) return;
        chart_.interaction().checkpoint(); // stops the routing, which reads them
        removeAllBarriers(data_.barriers);
        done();
    });
    add(kOpenRoute, 31, "FolderImage", [this] { openRoute(); });
    add(kSaveRoute, 32, "SaveImage", [this] { saveRoute(); });
    add(kRemoveRoute, 33, "CancelImage", [this] {
        chart_.clearResult();
        if (!data_.route.waypoints.empty()) chart_.interaction().checkpoint();
        data_.route.waypoints.clear();
        recompute(data_.route, data_.config.settings.routing, data_.finestTests.get());
        done();
    });
    // Both frame the route's box; the routing's leaves room for the routing panel.
    const auto frameRoute = [this](bool forRouting) {
        GeoBox box;
        const int points = static_cast<int>(data_.route.waypoints.size());
        MapView& view = chart_.mapView();
        if (routeBox(data_.route, box) &&
            (forRouting ? view.frameRouting(box, points) : view.frameRoute(box, points)))
            chart_.redrawChart();
    };
    add(kFrameRoute, 34, "FrameImage", [frameRoute] { frameRoute(false); }, {Qt::Key_F3});
    toggle(kMagnet, 35, "MagnetImage", s.route.magnet);
    add(kRoutingParameters, 36, "ParametersImage", [this] { openDialog(kRoutingParameters); },
        {Qt::Key_Tab});
    add(kStartRouting, 37, "StartImage", [this] { startRouting(); }, {Qt::Key_Space});
    add(kExportRouting, 38, "ExportImage", [this] { exportRouting(); });
    add(kRemoveRouting, 39, "CancelImage", [this] { chart_.clearResult(); }, {Qt::Key_Backspace});
    add(kFrameRouting, 40, "FrameImage", [frameRoute] { frameRoute(true); }, {Qt::Key_F4});
    toggle(kPanels, 41, "InfoImage", s.routingDisplay.showPanels);
    add(kOptions, 42, "OptionImage", [this] { openDialog(kOptions); }, {Qt::Key_F10});
    add(kFullScreen, 43, "FullScreenImage",
        [this] {
            if (QWidget* top = chart_.window()) {
                top->setWindowState(top->windowState() ^ Qt::WindowFullScreen);
                chart_.redrawChart();
            }
        },
        {Qt::Key_F11});
    add(kHelp, 44, "QuestionImage",
        [this] {
            if (chart_.polarView()) chart_.setPolarView(false);
            chart_.setHelpShown(!chart_.helpShown());
        },
        {Qt::Key_H, Qt::Key_F1});
    add(kAbout, 45, "Navorel32Image", [this] { openDialog(kAbout); });
    add(kPlanner, kPlannerTitle, "PlannerImage", [this] { openDialog(kPlanner); }, {Qt::Key_D});
    add(kOpenCurrentForecast, kTextOpenCurrentForecast, "FolderImage",
        [this] { openCurrentForecast(); });
    add(kOpenWaveForecast, kTextOpenWaveForecast, "FolderImage", [this] { openWaveForecast(); });
    toggle(kWaveLayer, kTextShowWaves, "GradientImage", data_.showWaves);

    // The keys alone.
    add(kEscape, 278, "",
        [this] {
            if (chart_.interaction().escape()) {
                chart_.redrawChart(); // the moving end and the barriers' vertices go
            } else if (chart_.polarView()) {
                chart_.setPolarView(false);
                if (parametersOnEscape_) openDialog(kRoutingParameters);
            } else if (chart_.helpShown())
                chart_.setHelpShown(false);
            else
                chart_.cancelRouting();
        },
        {Qt::Key_Escape});
    const auto steps = [=, this, &state, &wind](int id, int delta, QKeySequence key) {
        add(id, 281, "",
            [=, &state, &wind] {
                if (const auto* r = route()) moved(stepBy(state, wind, *r, delta));
            },
            {key});
    };
    steps(kPreviousStep, -1, Qt::Key_PageUp);
    steps(kNextStep, 1, Qt::Key_PageDown);
    steps(kPreviousStep10, -10, Qt::CTRL | Qt::Key_PageUp);
    steps(kNextStep10, 10, Qt::CTRL | Qt::Key_PageDown);
    steps(kPreviousStep60, -60, Qt::SHIFT | Qt::Key_PageUp);
    steps(kNextStep60, 60, Qt::SHIFT | Qt::Key_PageDown);
    const auto ends = [=, this, &state, &wind](int id, bool last, QKeySequence key) {
        add(id, 282, "",
            [=, &state, &wind] {
                if (const auto* r = route())
                    moved(selectStep(state, wind, *r, last ? static_cast<int>(r->size()) - 1 : 0));
                else
                    moved(selectRecord(state, wind,
                                       last ? static_cast<int>(wind.frames().size()) - 1 : 0));
            },
            {key});
    };
    ends(kFirst, false, Qt::Key_Home);
    ends(kLast, true, Qt::Key_End);
    add(kPreviousRecord, 283, "", [=, &state, &wind] { moved(stepRecord(state, wind, -1)); },
        {Qt::Key_Left});
    add(kNextRecord, 283, "", [=, &state, &wind] { moved(stepRecord(state, wind, 1)); },
        {Qt::Key_Right});
    // With a routing result the display follows its steps: Ctrl moves by records then.
    add(kPreviousTenMinutes, 283, "",
        [=, &state, &wind] {
            moved(route() ? stepRecord(state, wind, -1) : stepTenMinutes(state, wind, -1));
        },
        {Qt::CTRL | Qt::Key_Left});
    add(kNextTenMinutes, 283, "",
        [=, &state, &wind] {
            moved(route() ? stepRecord(state, wind, 1) : stepTenMinutes(state, wind, 1));
        },
        {Qt::CTRL | Qt::Key_Right});
    add(kNextMainRecord, 284, "", [=, &state, &wind] { moved(stepMainRecord(state, wind, 1)); },
        {Qt::Key_Up});
    add(kPreviousMainRecord, 284, "",
        [=, &state, &wind] { moved(stepMainRecord(state, wind, -1)); }, {Qt::Key_Down});
    add(kDeleteRoute, 280, "",
        [this] {
            if (data_.route.waypoints.empty()) return;
            chart_.interaction().checkpoint(); // stops the routing, which reads the route
            data_.route.waypoints.clear();
            recompute(data_.route, data_.config.settings.routing, data_.finestTests.get());
            done();
        },
        {Qt::Key_Delete});
    add(kSwitchCurrents, 285, "", [this] { switchCurrents(); }, {Qt::Key_C});
    add(kPolarView, 287, "", [this] { chart_.setPolarView(!chart_.polarView()); }, {Qt::Key_P});
    add(kResults, 288, "", [this] { openDialog(kResults); }, {Qt::Key_R});
    add(kCentreOnBoat, 289, "",
        [this] {
            if (chart_.mapView().centreOn(data_.boat.lon, data_.boat.lat,
                                          data_.config.settings.com.showBoat && data_.boat.valid))
                chart_.redrawChart();
        },
        {Qt::Key_F2});
    // Undo and redo of the route and barrier edits.
    add(kUndo, 512, "", [this] { chart_.interaction().undo(); }, {Qt::CTRL | Qt::Key_Z});
    add(kRedo, 513, "", [this] { chart_.interaction().redo(); }, {Qt::CTRL | Qt::Key_Y});
    relabel();
    refresh();
}

QAction* Commands::add(int id, int textId, const char* image, std::function<void()> act,
                       QList<QKeySequence> keys) {
    auto* a = new QAction(this);
    if (*image) a->setIcon(QIcon(QStringLiteral(":/images/") + QLatin1String(image)));
    a->setShortcuts(keys);
    // The keys reach the actions through the chart's key handler only.
    a->setShortcutContext(Qt::WidgetShortcut);
    connect(a, &QAction::triggered, this, [act = std::move(act)] { act(); });
    actions_[id] = a;
    textIds_[id] = textId;
    return a;
}

QAction* Commands::toggle(int id, int textId, const char* image, bool& setting,
                          std::function<void()> after) {
    QAction* a = add(id, textId, image, [this, &setting, after = std::move(after)] {
        setting = !setting;
        if (after) after();
        done();
    });
    a->setCheckable(true);
    return a;
}

void Commands::done(bool chartChanged) {
    refresh();
    if (chartChanged) chart_.redrawChart();
    if (onTitleChange) onTitleChange();
}

QAction* Commands::action(int id) const {
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

QAction* Commands::actionForKey(const QKeyEvent& event) const {
    // The keypad's keys count as the others; left and right modifiers alike.
    const QKeySequence key(
        QKeyCombination(event.modifiers() & ~Qt::KeypadModifier, Qt::Key(event.key())));
    for (const auto& [id, a] : actions_)
        if (a->shortcuts().contains(key)) return a;
    return nullptr;
}

QString Commands::text(int id) const {
    return QString::fromStdString(data_.texts.text(id));
}

QString Commands::barrierFilter() const {
    return text(4) + " (*.gpx)"; // "Barriers"
}

void Commands::relabel() {
    for (const auto& [id, a] : actions_) {
        if (textIds_[id] < 0) continue; // no language text: the built-in one
        a->setText(text(textIds_[id]));
        a->setToolTip(a->text());
    }
}

void Commands::refresh() {
    const Settings& s = data_.config.settings;
    for (const auto& [id, a] : actions_) {
        if (!a->isCheckable()) continue;
        const QSignalBlocker block(a);
        const bool on = id == kWindArrows        ? s.winds.showArrows
                        : id == kSurfaceGradient ? s.winds.showSurfaceGradient
                        : id == kSurfaceCells    ? s.winds.showSurfaceNoGradient
                        : id == kWindZones       ? s.winds.showZones
                        : id == kWindScale       ? s.winds.showScale
                        : id == kCurrentArrows   ? s.currents.showArrows
                        : id == kCurrentZones    ? s.currents.showZones
                        : id == kCurrentScale    ? s.currents.showScale
                        : id == kTides           ? s.currents.showTides
                        : id == kLand            ? s.map.showLand
                        : id == kShorelines      ? s.map.showShorelines
                        : id == kMapGrid         ? s.map.showMapGrid
                        : id == kShowWaypoints   ? s.waypoints.show
                        : id == kMagnet          ? s.route.magnet
                        : id == kWaveLayer       ? data_.showWaves
                                                 : s.routingDisplay.showPanels;
        a->setChecked(on);
    }
    const bool grib = !data_.wind.empty() && !s.routing.uniqueWind;
    const bool result = chart_.result() != nullptr;
    const int points = static_cast<int>(data_.route.waypoints.size());
    action(kWindZones)->setEnabled(!s.routing.uniqueWind);
    action(kFrameGrib)->setEnabled(grib);
    action(kRemoveWaypoints)->setEnabled(!data_.waypoints.positions.empty());
    action(kSaveBarriers)->setEnabled(!data_.barriers.barriers.empty());
    action(kRemoveBarriers)->setEnabled(!data_.barriers.barriers.empty());
    action(kRemoveRoute)->setEnabled(points > 0);
    action(kDeleteRoute)->setEnabled(points > 0);
    action(kFrameRoute)->setEnabled(points >= 2);
    action(kFrameRouting)->setEnabled(points >= 2);
    action(kExportRouting)->setEnabled(chart_.resultRoute() != nullptr);
    action(kRemoveRouting)->setEnabled(result || chart_.routingRunning());
    action(kSwitchCurrents)->setEnabled(data_.haveCurrents);
    action(kWaveLayer)->setEnabled(!data_.oceanWaves.empty());
    action(kUndo)->setEnabled(chart_.interaction().canUndo());
    action(kRedo)->setEnabled(chart_.interaction().canRedo());
}

std::string Commands::helpTitle() const {
    return data_.texts.text(275);
}

std::vector<std::string> Commands::helpLines() const {
    std::vector<std::string> lines;
    for (const auto& [id, textId] : kHelpLines)
        if (id < 0 || action(id)) lines.push_back(data_.texts.text(textId));
    return lines;
}

QString Commands::folder(const std::string& setting) const {
    return QString::fromStdString(folderPath(data_.config.paths.programFolder, setting));
}

void Commands::warnFile(const QString& path, const std::string& error) {
    QString line = QString::fromStdString(error);
    if (!line.contains(path)) line = path + ": " + line;
    message(line, false);
}

void Commands::openGrib() {
    Settings& s = data_.config.settings;
    // Several files chosen together, or a file of several ensemble members, open as a set of
    // forecasts that the routing goes over.
    const QStringList paths =
        chooseFiles({false, text(236), folder(s.folders.gribs), kGribFilter, "grb"});
    if (paths.isEmpty() || paths.front().isEmpty()) return;
    const QString& path = paths.front();
    chart_.stopRouting(); // the routing reads the store
    // A large forecast takes a while: its messages are counted in a progress dialog.
    QProgressDialog progress(text(236), QString(), 0, 0, &chart_);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    gribDecoder().setProgress([&progress](std::size_t done, std::size_t total) {
        progress.setMaximum(static_cast<int>(total));
        progress.setValue(static_cast<int>(done));
    });
    std::string display, loaded, error;
    GribLoadStatus status = GribLoadStatus::SeveralMembers;
    if (paths.size() == 1)
        status = openGribFile(local(path), data_.wind, data_.windColors, data_.texts, s.routing,
                              display, loaded, &error);
    const bool several = status == GribLoadStatus::SeveralMembers;
    if (several) {
        std::vector<std::string> files;
        for (const QString& p : paths) files.push_back(local(p));
        error.clear();
        if (openForecastSet(data_, files, error)) status = GribLoadStatus::Ok;
    } else if (status == GribLoadStatus::Ok) {
        dropForecastSet(data_);
    }
    gribDecoder().setProgress({});
    progress.reset();
    if (status != GribLoadStatus::Ok) {
        warnFile(path, status == GribLoadStatus::BadGrid ? data_.texts.text(225) : error);
        return;
    }
    if (several) {
        // Members left out are named; the set is opened without them.
        QString notes;
        for (const std::string& note : data_.forecasts.notes())
            notes += QString::fromStdString(note) + "\n";
        if (!notes.isEmpty()) message(notes.trimmed(), false);
    } else {
        // The next start-up opens it again from its folder.
        s.folders.gribs =
            QFileInfo(QFile::decodeName(loaded.c_str())).absolutePath().toStdString() + "/";
        s.winds.grib = QFileInfo(QFile::decodeName(loaded.c_str())).fileName().toStdString();
    }
    s.winds.showArrows = true;
    data_.coverage = windCoverage(data_.wind);
    chart_.forecastChanged();
    done();
}

void Commands::openWaypoints() {
    Settings& s = data_.config.settings;
    const QString path =
        chooseFile({false, text(231), folder(s.folders.waypoints), "Waypoints (*.gpx)", "gpx"});
    if (path.isEmpty()) return;
    WaypointSet set;
    std::string error;
    if (!loadWaypointSet(local(path), set, error)) return warnFile(path, error);
    data_.waypoints = std::move(set);
    data_.haveWaypoints = true;
    s.waypoints.show = true;
    done();
}

void Commands::openBarriers() {
    const QString path =
        chooseFile({false, text(228), QString::fromStdString(data_.config.paths.barriersFolder),
                    barrierFilter(), "gpx"});
    if (path.isEmpty()) return;
    BarrierList added;
    std::string error;
    if (!loadBarriers(local(path), added, error)) return warnFile(path, error);
    chart_.interaction().checkpoint(); // stops the routing, which reads them
    data_.barriers.barriers.insert(data_.barriers.barriers.end(), added.begin(), added.end());
    done();
}

void Commands::saveBarriers() {
    if (data_.barriers.barriers.empty()) return;
    const QString path =
        chooseFile({true, text(230), QString::fromStdString(data_.config.paths.barriersFolder),
                    barrierFilter(), "gpx"});
    std::string error;
    if (!path.isEmpty() && !navorel::saveBarriers(local(path), data_.barriers.barriers, error))
        warnFile(path, error);
}

void Commands::openRoute() {
    const QString path = chooseFile(
        {false, text(226), folder(data_.config.settings.folders.routes), "Route (*.gpx)", "gpx"});
    if (path.isEmpty()) return;
    std::vector<GeoPoint> points;
    std::string error;
    // A file that cannot be read leaves the route as it was.
    if (!loadUserRoute(local(path), points, error)) return warnFile(path, error);
    chart_.clearResult();
    chart_.interaction().checkpoint();
    data_.route.waypoints = std::move(points);
    recompute(data_.route, data_.config.settings.routing, data_.finestTests.get());
    GeoBox box;
    if (routeBox(data_.route, box))
        chart_.mapView().frameRoute(box, static_cast<int>(data_.route.waypoints.size()));
    done();
}

void Commands::saveRoute() {
    const QString path = chooseFile(
        {true, text(227), folder(data_.config.settings.folders.routes), "Route (*.gpx)", "gpx"});
    std::string error;
    if (!path.isEmpty() && !saveUserRoute(local(path), data_.route.waypoints, error))
        warnFile(path, error);
}

void Commands::exportRouting() {
    const std::vector<IsochronePoint>* route = chart_.resultRoute();
    if (!route) return;
    const QString path = chooseFile(
        {true, text(235), folder(data_.config.settings.folders.routes), "Route (*.gpx)", "gpx"});
    if (path.isEmpty()) return;
    // After a scan, the run chosen in the results (else the last one), named as its column.
    std::string name;
    if (const RoutingResult* result = chart_.result(); result && !result->scanRoutes.empty()) {
        const int run = chart_.selectedRun() >= 0 ? chart_.selectedRun()
                                                  : static_cast<int>(result->summaries.size()) - 1;
        name = runTitle(*result, run, data_.texts);
    }
    std::string error;
    if (!exportRoutingResult(local(path), exportedRoute(*route), error, name))
        warnFile(path, error);
}

void Commands::switchCurrents() {
    if (!data_.haveCurrents) return;
    // The next provider that holds data: DEFAULT, SHOM, then the current forecast.
    const auto has = [this](int mode) {
        return mode == 2 ? data_.currents.forecast() != nullptr
                         : data_.currents.field(mode == 0 ? CurrentKind::Default
                                                          : CurrentKind::Shom) != nullptr;
    };
    const int mode = data_.currents.mode();
    int other = -1;
    for (int k = 1; k <= 3 && other < 0; ++k)
        if (const int m = (mode + k) % 3; m != mode && has(m)) other = m;
    if (other < 0) return;
    chart_.stopRouting(); // the routing reads the streams
    data_.currents.setStreamProvider(other);
    data_.config.settings.routing.streamProvider = other;
    done();
}

void Commands::openCurrentForecast() {
    const QString path =
        chooseFile({false, text(kTextOpenCurrentForecast),
                    folder(data_.config.settings.folders.gribs), kGribFilter, "grb"});
    if (path.isEmpty()) return;
    chart_.stopRouting(); // the routing reads the streams
    std::string error;
    if (!openCurrentForecastFile(data_, local(path), error,
                                 oceanForecastBox(data_, chart_.mapView())))
        return warnFile(path, error);
    done();
}

void Commands::openWaveForecast() {
    const QString path =
        chooseFile({false, text(kTextOpenWaveForecast), folder(data_.config.settings.folders.gribs),
                    kGribFilter, "grb"});
    if (path.isEmpty()) return;
    chart_.stopRouting(); // the routing reads the waves
    std::string error;
    if (!openWaveForecastFile(data_, local(path), error, oceanForecastBox(data_, chart_.mapView())))
        return warnFile(path, error);
    done();
}

void Commands::startRouting() {
    if (chart_.routingRunning()) return;
    const double time = now().dayNumber;
    if (data_.config.settings.routing.fromBoat && !data_.route.waypoints.empty() &&
        boatStale(data_, time) &&
        !ask(QString::fromStdString(data_.texts.text(481) + "\n" + boatAgeLine(data_, time))))
        return;
    chart_.startRouting();
}

void Commands::routingParameters() {
    parametersOnEscape_ = false;
    RoutingParametersOutcome outcome;
    if (!showRoutingParameters(data_, &chart_, outcome, [this] { return chart_.routingRunning(); }))
        return;
    if (outcome.pending) pendingParameters_ = std::make_unique<RoutingParametersOutcome>(outcome);
    if (outcome.startChosen) {
        data_.startChosen = true;
        data_.startTime = outcome.startTime;
    }
    if (outcome.action == RoutingParametersOutcome::Action::Start && !chart_.routingRunning()) {
        startRouting();
    } else if (outcome.action == RoutingParametersOutcome::Action::ShowPolar) {
        parametersOnEscape_ = true;
        chart_.setPolarView(true);
    }
    done();
    // The defaults are in force: the dialog shows them.
    if (outcome.action == RoutingParametersOutcome::Action::Defaults && !outcome.pending)
        openDialog(kRoutingParameters);
}

void Commands::routingFinished() {
    if (!pendingParameters_) return;
    std::string error;
    const std::unique_ptr<RoutingParametersOutcome> outcome = std::move(pendingParameters_);
    if (!applyRoutingParameters(data_, *outcome, error))
        message(QString::fromStdString(error), false);
    done();
}

void Commands::options() {
    if (showOptions(
            data_, &chart_,
            [this] {
                relabel();
                if (onTitleChange) onTitleChange();
                chart_.update();
            },
            [this] { return chart_.routingRunning(); }))
        done();
}

void Commands::results() {
    const RoutingResult* result = chart_.result();
    if (!result || result->output.route.size() < 2) return;
    showResults(data_, *result, &chart_, [this](int run) { chart_.selectRun(run); });
}

} // namespace navorel::app

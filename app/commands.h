#pragma once
// The user's commands, each written once as a QAction: its text from the language table, its
// image, its keys, its checked state bound to its setting and its enabled state from the data
// it needs. The toolbar, the keys and the help overlay are views of these actions.
#include "core/geodesy.h"

#include <QAction>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QKeyEvent;

namespace navorel::app {

class ChartWidget;
struct AppData;
struct RoutingParametersOutcome;

// The forecast files the open-file dialogs offer: GRIB editions 1 and 2, plain or bzip2.
inline constexpr const char* kGribFilter =
    "Grib (*.grb *.grib *.grb2 *.grib2 *.bz2);;Grib (*.bz2);;"
    "Grib (*.grb *.grib *.grb2 *.grib2)";

// The polar files the open-file dialogs offer.
inline constexpr const char* kPolarFilter = "Polar (*.pol)";

// Toolbar commands keep their button's index; the commands of keys alone follow from 100.
enum CommandId : int {
    kClock = 6,
    kOpenGrib = 10,
    kWindArrows,
    kSurfaceGradient,
    kSurfaceCells,
    kWindZones,
    kWindScale,
    kFrameGrib,
    kCurrentArrows,
    kCurrentZones,
    kCurrentScale,
    kTides,
    kLand,
    kShorelines,
    kMapGrid,
    kOpenWaypoints,
    kRemoveWaypoints,
    kShowWaypoints,
    kWaypointType,
    kOpenBarriers,
    kSaveBarriers,
    kRemoveBarriers,
    kOpenRoute,
    kSaveRoute,
    kRemoveRoute,
    kFrameRoute,
    kMagnet,
    kRoutingParameters,
    kStartRouting,
    kExportRouting,
    kRemoveRouting,
    kFrameRouting,
    kPanels,
    kOptions,
    kFullScreen,
    kHelp,
    kAbout,
    kPlanner, // the departure planner, last in the routing group
    // The ocean forecasts, in the current group.
    kOpenCurrentForecast,
    kOpenWaveForecast,
    kWaveLayer,
    kEscape = 100,
    kPreviousStep,
    kNextStep,
    kPreviousStep10,
    kNextStep10,
    kPreviousStep60,
    kNextStep60,
    kFirst,
    kLast,
    kPreviousRecord,
    kNextRecord,
    kPreviousTenMinutes,
    kNextTenMinutes,
    kNextMainRecord,
    kPreviousMainRecord,
    kDeleteRoute,
    kSwitchCurrents,
    kPolarView,
    kResults,
    kCentreOnBoat,
    kUndo,
    kRedo,
};

// A file dialog the commands ask for.
struct FileRequest {
    bool save = false;
    QString title, folder, filter, suffix;
};

class Commands : public QObject {
  public:
    Commands(AppData& data, ChartWidget& chart);

    QAction* action(int id) const;
    // The action whose keys include the key event's; null for none.
    QAction* actionForKey(const QKeyEvent& event) const;
    // Texts from the current language, for every action at once.
    void relabel();
    // Checked and enabled states from the settings and the data.
    void refresh();
    // The help overlay's title and lines: the keys, then the mouse.
    std::string helpTitle() const;
    std::vector<std::string> helpLines() const;

    // The dialogs and messages, replaceable by the tests. chooseFile answers the chosen path
    // or an empty text; message shows a warning, or the about box with `about`.
    std::function<QString(const FileRequest&)> chooseFile;
    // The files chosen together in an open-file dialog (the forecasts); empty when cancelled.
    std::function<QStringList(const FileRequest&)> chooseFiles;
    std::function<void(const QString& text, bool about)> message;
    // A yes-or-no question; true for yes.
    std::function<bool(const QString& text)> ask;
    // Something the window title shows changed (the forecast, a setting).
    std::function<void()> onTitleChange;
    // Opens the dialog of a command (kRoutingParameters, kOptions, kResults, kAbout);
    // replaceable by the tests, which cannot answer a modal dialog.
    std::function<void(int id)> openDialog;
    // Edits a route point's position (the context menu's "Position of the point") in the
    // waypoint dialog; false when cancelled. Replaceable by the tests.
    std::function<bool(GeoPoint&)> editWaypoint;
    // The routing has ended: parameters edited while it ran are applied now.
    void routingFinished();
    // Opens the results window on the routing result (nothing without a route of two points).
    void results();

  private:
    QAction* add(int id, int textId, const char* image, std::function<void()> act,
                 QList<QKeySequence> keys = {});
    QAction* toggle(int id, int textId, const char* image, bool& setting,
                    std::function<void()> after = {});
    void done(bool chartChanged = true);
    QString text(int id) const;
    // "Barriers (*.gpx)" in the language of the texts.
    QString barrierFilter() const;
    QString folder(const std::string& setting) const;
    void warnFile(const QString& path, const std::string& error);

    void openGrib();
    void openWaypoints();
    void openBarriers();
    void saveBarriers();
    void openRoute();
    void saveRoute();
    void exportRouting();
    void switchCurrents();
    void openCurrentForecast();
    void openWaveForecast();
    void routingParameters();
    // Starts the routing; from a boat whose fix is out of date only once the user agrees.
    void startRouting();
    void options();

    AppData& data_;
    ChartWidget& chart_;
    std::map<int, QAction*> actions_;
    std::map<int, int> textIds_;
    // Edits of the routing parameters that wait for the running routing to end.
    std::unique_ptr<RoutingParametersOutcome> pendingParameters_;
    // The polar view was opened from the routing parameters: Escape reopens them.
    bool parametersOnEscape_ = false;
};

} // namespace navorel::app

#pragma once
// The chart window: draws the chart into a cached image and only the overlays (the panels,
// the time bar, the help, the toolbar and the tooltips) over it on hover, zooms with the wheel
// at the cursor, hands the mouse on the chart to the editing machine (which pans, draws and
// edits the route and the barriers) and shows its context menu, hands keys and toolbar clicks
// to the commands, and runs the routing on a worker thread (chart_routing.cpp).
#include "app/chart_overlays.h"
#include "app/chart_view.h"
#include "app/display_state.h"
#include "app/interaction.h"
#include "render/chart_cache.h"
#include "render/toolbar.h"

#include <QElapsedTimer>
#include <QString>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class QMenu;
class QTimer;

namespace navorel::app {

class Commands;
class GpsLink;
class InterfaceSounds;

// How long the chart stands still before the next record's layers are drawn ahead.
constexpr int kRecordAheadMs = 150;

class ChartWidget : public QWidget {
  public:
    explicit ChartWidget(AppData& data, QWidget* parent = nullptr);
    ~ChartWidget() override;

    const MapView& view() const { return view_; }
    MapView& mapView() { return view_; }
    // The record, display time and routing step shown.
    DisplayState& display() { return display_; }
    const DisplayState& display() const { return display_; }
    // The toolbar and the time bar are shown (pointing at the top of the chart, or pinned).
    bool overlaysShown() const { return overlay_.overlaysShown; }
    void setOverlaysShown(bool shown);
    // The panels, the time bar and the tooltips drawn over the chart.
    const OverlayState& overlay() const { return overlay_; }
    // The status bar's texts have changed (after each paint, and as the mouse moves).
    std::function<void()> onStatusChanged;
    // The mouse's position in longitude and latitude; false when it is off the chart.
    bool mousePosition(double& lon, double& lat) const;
    Commands& commands() { return *commands_; }
    const Toolbar& toolbar() const { return toolbar_; }
    InterfaceSounds& sounds() { return *sounds_; }
    bool helpShown() const { return helpShown_; }
    void setHelpShown(bool shown);
    void setPolarView(bool on);
    // A forecast was loaded: the first record, framed, redrawn.
    void forecastChanged();
    // The selected run's points of the routing result; null without one.
    const std::vector<IsochronePoint>* resultRoute() const;
    // Chooses run `run` of a scan (-1: none, the last run made): it is drawn three times as
    // wide, and the panels, the time bar and the export follow it.
    void selectRun(int run);
    int selectedRun() const { return overlay_.selectedRun; }
    // Stops a running routing and drops the result.
    void clearResult();
    // The start-up has finished loading: take the wind settings and, on a first run, frame
    // the route.
    void dataLoaded();
    // Redraws the whole chart (after a change of view, data or setting).
    void redrawChart();
    // Counts of chart drawings and of paints that only drew the overlays.
    int chartPaints() const { return chartPaints_; }
    // Wheel steps shown first as the kept chart scaled.
    int previewPaints() const { return previewPaints_; }
    int overlayPaints() const { return overlayPaints_; }
    bool polarView() const { return polarView_; }
    // The position under the mouse, for the status bar.
    std::function<void(double lon, double lat)> onMousePosition;
    // The polar diagram replaced the chart (true) or the chart came back.
    std::function<void(bool)> onPolarView;
    // A run ended: how ("Routing finished", "Routing cancelled", "Routing not finished: " and
    // where and why it stopped, or why it was refused).
    std::function<void(const QString&)> onRoutingStatus;
    const QString& routingStatus() const { return routingStatus_; }
    bool routingRunning() const { return running_; }
    // Starts a routing on the worker thread; false when one is already running.
    bool startRouting();
    // Starts one run (no scan) from `departure` (day number), as the departure planner
    // chooses one; false when a routing is already running.
    bool startRoutingAt(double departure);
    void cancelRouting();
    // Cancels a running routing and waits for its worker to end.
    void stopRouting();
    // The last result published by the worker (null before the first run ends).
    const RoutingResult* result() const { return result_.get(); }
    // The GPS link; a fix moves the boat, a change of the connection refreshes the status bar.
    GpsLink& gps() { return *gps_; }
    // Opens the link on the configured source ([Com] Device); nothing when none is set.
    void openGps();
    // Fronts drawn while the last run went on.
    int liveFrontCount() const { return liveFrontCount_; }
    // The editing modes and the hover of the route and the barriers.
    Interaction& interaction() { return interaction_; }
    // Shows the context menu at a global position; the tests replace it to choose an item.
    std::function<void(QMenu& menu, const QPoint& at)> showMenu;
    // Runs of a scan drawn as they ended while the last run went on.
    int liveRouteCount() const { return liveRouteCount_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Tab is a command key here, not a focus move.
    bool focusNextPrevChild(bool) override { return false; }

  private:
    ChartScene scene();
    ToolbarLook toolbarLook() const;
    bool toolbarShown() const;
    void finishRouting(std::shared_ptr<RoutingResult> result);
    bool launchRouting(const double* departure);
    void addLiveRoute(std::vector<GeoPoint> route);
    // A front of the run, in pieces cut at land.
    void addLiveFront(std::vector<std::vector<GeoPoint>> pieces);
    // Draws the fronts and scan routes not yet on the live layer, for at most a slice of
    // time; false when some are left for the next paint.
    bool drawLive();
    // The routing's progress in the status bar, while it runs.
    void showProgress();
    void stopProgress();
    // The time bar's rectangle and range after a resize or a new result.
    void layOutBar();
    // The time bar clicked or dragged at x: the routing step, or without a result the record.
    void barTo(double x);
    // Re-centres the view on the step shown when the panel's follow button is on.
    void followStep();
    void statusChanged();
    // Draws the layers of the record after the one shown into the layer cache.
    void prepareNextRecord();
    void gpsEvent(int code);
    // A new fix, or the boat turned out of date: the chart and the status bar follow.
    void boatChanged();
    // Puts the route's first waypoint back after a run started from the boat.
    void restoreFirstWaypoint();
    ChartProjection projection() const;
    // The right button: the help, the end of a drawing mode, the polar view, or the menu.
    void contextMenu(QPointF at);

    AppData& data_;
    Interaction interaction_;
    DisplayState display_;
    OverlayState overlay_;
    DisplayWind wind_;
    MapView view_;
    bool framed_ = false;
    QImage cache_;
    MapView cacheView_; // the view cache_ was drawn in
    bool chartDirty_ = true;
    // A wheel step shows the chart kept, scaled, at once; the exact chart follows.
    bool zoomPreview_ = false;
    ChartCache layers_;            // the chart's layers, kept while what they draw stays the same
    QTimer* aheadTimer_ = nullptr; // draws the next record's layers once the chart stands
    int chartPaints_ = 0, overlayPaints_ = 0, previewPaints_ = 0;
    bool polarView_ = false;
    bool helpShown_ = false;
    Toolbar toolbar_;
    Commands* commands_ = nullptr;
    InterfaceSounds* sounds_ = nullptr;
    GpsLink* gps_ = nullptr;
    QTimer* boatAgeTimer_ = nullptr;
    bool startedFromBoat_ = false; // the route's first waypoint is the boat for this run
    QPointF mouse_{-1000, -1000};
    bool overBoat_ = false;
    QPointF dragFrom_;

    RunControl control_;
    // The settings of a run started from the planner: the user's without their scan.
    std::unique_ptr<RoutingParameters> plannedParams_;
    std::atomic<bool> cancelRequested_{false};
    std::thread worker_;
    bool running_ = false;
    std::shared_ptr<const RoutingResult> result_;
    // The fronts of the run in progress, as pieces cut at land, and the routes of the scan's
    // runs that ended. They are drawn on their own layer over the cached chart, each once as
    // it comes; the layer is drawn again (in slices) only after the chart was.
    std::vector<std::vector<GeoPoint>> liveFronts_;
    int liveFrontCount_ = 0;
    std::vector<std::vector<GeoPoint>> liveRoutes_;
    int liveRouteCount_ = 0;
    QImage live_;
    std::size_t liveFrontsDrawn_ = 0, liveRoutesDrawn_ = 0;
    bool liveMorePending_ = false;
    // Written by the routing's threads after each front, read by the progress timer.
    std::atomic<int> progressFronts_{0};
    std::atomic<double> progressToGo_{-1};
    QTimer* progressTimer_ = nullptr;
    QElapsedTimer runClock_;
    QString routingStatus_;
};

} // namespace navorel::app

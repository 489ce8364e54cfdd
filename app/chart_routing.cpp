// The chart's routing half: a routing runs on a worker thread, hands its fronts and each
// finished run of a scan to the window as it goes, and its result when it ends.
#include "app/chart_widget.h"

#include "app/commands.h"
#include "app/dialogs/planner_texts.h"
#include "app/thread_handover.h"

#include <QMessageBox>

#include <exception>

namespace navorel::app {

void ChartWidget::stopRouting() {
    // The worker uses the loaded data: it must end before they go or are saved.
    cancelRequested_ = true;
    control_.cancel = true;
    control_.status = 2;
    if (worker_.joinable()) worker_.join();
    restoreFirstWaypoint();
}

void ChartWidget::restoreFirstWaypoint() {
    if (!startedFromBoat_) return;
    startedFromBoat_ = false;
    setFromBoat(data_.route, false, {}, data_.config.settings.routing, data_.finestTests.get());
}

bool ChartWidget::startRouting() {
    return launchRouting(nullptr);
}

bool ChartWidget::startRoutingAt(double departure) {
    return launchRouting(&departure);
}

bool ChartWidget::launchRouting(const double* departure) {
    if (running_) return false;
    if (worker_.joinable()) worker_.join();
    running_ = true;
    control_.cancel = false;
    control_.status = 0;
    liveFronts_.clear();
    liveFrontCount_ = 0;
    liveRoutes_.clear();
    liveRouteCount_ = 0;
    result_.reset();
    overlay_.selectedRun = -1;
    display_.step = -1;
    layOutBar();
    routingStatus_.clear();
    if (onRoutingStatus) onRoutingStatus(routingStatus_);
    cancelRequested_ = false;
    commands_->refresh();
    // The run clears the cancel flag when it starts, so an Escape pressed before that is
    // asserted again after each front; the run sees it at its next isochrone.
    const bool renderAfter = data_.config.settings.routing.renderAfter;
    FrontCallback afterFront = [this, renderAfter](const FrontEvent& e) {
        if (cancelRequested_.load()) {
            control_.cancel = true;
            control_.status = 2;
        }
        if (!renderAfter) return;
        // A copy of the front goes to the window; the routing does not wait for the paint.
        std::vector<GeoPoint> front;
        front.reserve(e.front->size());
        for (const IsochronePoint& p : *e.front)
            if (p.valid) front.push_back({p.lon, p.lat});
        handOver(this);
        QMetaObject::invokeMethod(
            this, [this, f = std::move(front)]() mutable { addLiveFront(std::move(f)); },
            Qt::QueuedConnection);
    };
    // "Start from the boat": the first waypoint is the boat's position for this run.
    if (data_.config.settings.routing.fromBoat && data_.boat.valid &&
        !data_.route.waypoints.empty()) {
        setFromBoat(data_.route, true,
                    {static_cast<float>(data_.boat.lon), static_cast<float>(data_.boat.lat)},
                    data_.config.settings.routing, data_.finestTests.get());
        startedFromBoat_ = true;
    }
    RunSetup setup = makeRunSetup(data_, control_, std::move(afterFront));
    if (departure) {
        // The worker of the last run has ended: its settings can go.
        plannedParams_ = std::make_unique<RoutingParameters>(data_.config.settings.routing);
        plannedParams_->scanPolar = plannedParams_->scanWind = plannedParams_->scanStart =
            plannedParams_->scanPolars = false;
        setup.params = plannedParams_.get();
        setup.start = fromDayNumber(*departure);
    }
    // Each run of a scan is drawn as it ends (the runs go on on several threads).
    setup.runFinished = [this](int, const RunSummary& summary) {
        if (summary.route.empty()) return;
        std::vector<GeoPoint> line;
        line.reserve(summary.route.size() + 1);
        line.push_back({summary.route.front().parentLon, summary.route.front().parentLat});
        for (const IsochronePoint& p : summary.route) line.push_back({p.lon, p.lat});
        handOver(this);
        QMetaObject::invokeMethod(
            this, [this, l = std::move(line)]() mutable { addLiveRoute(std::move(l)); },
            Qt::QueuedConnection);
    };
    worker_ = std::thread([this, setup]() mutable {
        auto result = std::make_shared<RoutingResult>();
        try {
            *result = runRouting(setup);
        } catch (const std::exception&) {
            // Out of memory in a very large run: the window keeps going without a result.
            result->refusal = RunRefusal::Ignored;
        }
        handOver(this);
        QMetaObject::invokeMethod(
            this, [this, result]() { finishRouting(result); }, Qt::QueuedConnection);
    });
    redrawChart();
    return true;
}

void ChartWidget::cancelRouting() {
    if (!running_) return;
    cancelRequested_ = true;
    control_.cancel = true;
    control_.status = 2;
}

void ChartWidget::addLiveFront(std::vector<GeoPoint> front) {
    takeOver(this);
    if (!running_) return; // a late front of a run already published
    liveFronts_.push_back(std::move(front));
    ++liveFrontCount_;
    redrawChart();
}

void ChartWidget::addLiveRoute(std::vector<GeoPoint> route) {
    takeOver(this);
    if (!running_) return; // a late run of a scan already published
    liveRoutes_.push_back(std::move(route));
    ++liveRouteCount_;
    redrawChart();
}

void ChartWidget::finishRouting(std::shared_ptr<RoutingResult> result) {
    takeOver(this);
    if (!running_) return; // a run dropped by clearResult
    if (worker_.joinable()) worker_.join();
    running_ = false;
    restoreFirstWaypoint();
    liveFronts_.clear();
    liveRoutes_.clear();
    // How the run ended, or why it was refused, in one line.
    routingStatus_ = result->refusal == RunRefusal::Ignored
                         ? QString()
                         : QString::fromStdString(routingStatusText(*result, data_.texts));
    if (result->refusal != RunRefusal::None) {
        if (result->refusal != RunRefusal::Ignored)
            QMessageBox::warning(this, "Navorel", routingStatus_);
        result.reset();
    }
    // A gust limit on a forecast without gusts was not applied: the status says so.
    if (result && result->gustsIgnored)
        routingStatus_ += " - " + plannerText(data_.texts, kPlannerNoGust);
    if (onRoutingStatus) onRoutingStatus(routingStatus_);
    result_ = std::move(result);
    overlay_.selectedRun = -1;
    // The display goes to the departure of the new route.
    if (const std::vector<IsochronePoint>* route = resultRoute())
        selectStep(display_, data_.wind, *route, 0);
    else
        selectStep(display_, data_.wind, {}, 0);
    layOutBar();
    commands_->routingFinished();
    commands_->refresh();
    redrawChart();
    if (result_ && data_.config.settings.routing.showResults) commands_->results();
}

} // namespace navorel::app

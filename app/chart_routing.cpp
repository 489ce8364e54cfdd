// The chart's routing half: a routing runs on a worker thread, hands its fronts and each
// finished run of a scan to the window as it goes, and its result when it ends.
#include "app/chart_widget.h"

#include "app/commands.h"
#include "app/dialogs/planner_texts.h"
#include "app/forecast_sets.h"
#include "app/status_texts.h"
#include "app/thread_handover.h"
#include "render/routing_layer.h"

#include <QMessageBox>
#include <QPainter>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>

namespace navorel::app {

namespace {

// The routing's threads give way to the window's: with every core busy routing, a key or a
// pan is still answered at once. The scan's threads, made by the calling thread, inherit it.
constexpr int kRoutingNice = 10;
void giveWayToTheWindow() {
    const auto self = static_cast<id_t>(gettid());
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, self);
    if (errno == 0 && nice < kRoutingNice) setpriority(PRIO_PROCESS, self, kRoutingNice);
}

// The status bar's progress is refreshed this often while a routing runs.
constexpr int kProgressMs = 250;

// A series over several forecasts keeps the last run's isochrones; the chart draws those of
// the run nearest the median arrival, which is routed again alone to have them.
void keepMedianRunOutput(const RunSetup& setup, const std::vector<SeriesSource>& sources,
                         const std::vector<DateTime>& starts, RoutingResult& result) {
    if (result.refusal != RunRefusal::None || result.summaries.size() < 2 || !setup.route ||
        setup.route->waypoints.empty())
        return;
    const int median =
        arrivalDistribution(result.summaries, setup.route->waypoints.back(), -1).nearestMedian;
    if (median < 0 || median + 1 == static_cast<int>(result.summaries.size())) return;
    const std::vector<SeriesRun> runs = forecastSeriesRuns(sources, starts);
    if (median >= static_cast<int>(runs.size())) return;
    RunSetup one = setup;
    one.runFinished = {};
    RoutingResult again = runSeries(one, {runs[static_cast<std::size_t>(median)]});
    if (again.refusal == RunRefusal::None && again.summaries.size() == 1 &&
        again.summaries[0].status == result.summaries[static_cast<std::size_t>(median)].status)
        result.output = std::move(again.output);
}

} // namespace

void ChartWidget::stopRouting() {
    // The worker uses the loaded data: it must end before they go or are saved.
    cancelRequested_ = true;
    control_.cancel = true;
    control_.status = 2;
    if (worker_.joinable()) worker_.join();
    stopProgress();
    restoreFirstWaypoint();
}

void ChartWidget::showProgress() {
    if (!running_) return;
    routingStatus_ = QString::fromStdString(routingProgressText(
        data_.texts, progressFronts_.load(), static_cast<double>(runClock_.elapsed()) / 1000.0,
        progressToGo_.load()));
    if (onRoutingStatus) onRoutingStatus(routingStatus_);
}

void ChartWidget::stopProgress() {
    if (progressTimer_) progressTimer_->stop();
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
    cancelRequested_ = false;
    progressFronts_ = 0;
    progressToGo_ = -1.0;
    runClock_.start();
    if (!progressTimer_) {
        progressTimer_ = new QTimer(this);
        connect(progressTimer_, &QTimer::timeout, this, [this] { showProgress(); });
    }
    progressTimer_->start(kProgressMs);
    showProgress();
    commands_->refresh();
    // What is left to sail after each leg, for the progress.
    const UserRoute& route = data_.route;
    std::vector<double> after(route.legLength.size() + 1, 0.0);
    for (std::size_t i = route.legLength.size(); i-- > 0;)
        after[i] = after[i + 1] + (i + 1 < route.legLength.size() ? route.legLength[i + 1] : 0.0);
    // The fronts are cut where they cross land on the routing's threads, with the routing's
    // own land test (the same shoreline level as the chart's isochrones).
    const CrossingTests* crossings = data_.crossings.get();
    std::function<bool(GeoPoint, GeoPoint)> crossesLand;
    if (crossings)
        crossesLand = [crossings](GeoPoint a, GeoPoint b) {
            return crossings->segmentCrossesLand(a, b);
        };
    // The run clears the cancel flag when it starts, so an Escape pressed before that is
    // asserted again after each front; the run sees it within its next isochrone.
    FrontCallback afterFront = [this, after, crossesLand](const FrontEvent& e) {
        if (cancelRequested_.load()) {
            control_.cancel = true;
            control_.status = 2;
        }
        float closest = -1;
        for (const IsochronePoint& p : *e.front)
            if (p.valid && (closest < 0 || p.distToTarget < closest)) closest = p.distToTarget;
        progressFronts_.fetch_add(1);
        const std::size_t leg = static_cast<std::size_t>(std::max(0, e.leg));
        if (closest >= 0 && leg < after.size()) progressToGo_.store(closest + after[leg]);
        if (!e.render) return;
        // The front goes to the window cut at land, ready to draw; the routing does not wait
        // for the paint.
        std::vector<std::vector<GeoPoint>> pieces = cutAtLand(frontPoints(*e.front), crossesLand);
        handOver(this);
        QMetaObject::invokeMethod(
            this, [this, f = std::move(pieces)]() mutable { addLiveFront(std::move(f)); },
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
    // With a set of forecasts the route is sailed on each of them (at each departure of the
    // start-time scan); a departure chosen in the planner, or a set whose forecasts are not
    // scanned, is routed on the chart's forecast (the first of the set) alone.
    std::vector<SeriesSource> sources;
    std::vector<DateTime> starts;
    if (!departure && !data_.forecasts.empty() && setup.params->scanForecasts) {
        sources = forecastSources(data_);
        starts = seriesDepartures(*setup.params, setup.start);
    }
    worker_ = std::thread(
        [this, setup, sources = std::move(sources), starts = std::move(starts)]() mutable {
            giveWayToTheWindow();
            auto result = std::make_shared<RoutingResult>();
            try {
                *result =
                    sources.empty() ? runRouting(setup) : runForecastSeries(setup, sources, starts);
                if (!sources.empty()) keepMedianRunOutput(setup, sources, starts, *result);
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

void ChartWidget::addLiveFront(std::vector<std::vector<GeoPoint>> pieces) {
    takeOver(this);
    if (!running_) return; // a late front of a run already published
    for (std::vector<GeoPoint>& piece : pieces) liveFronts_.push_back(std::move(piece));
    // The first front brings the legs' ellipses onto the chart; the others go on the live
    // layer alone.
    if (liveFrontCount_++ == 0)
        redrawChart();
    else
        update();
}

void ChartWidget::addLiveRoute(std::vector<GeoPoint> route) {
    takeOver(this);
    if (!running_) return; // a late run of a scan already published
    liveRoutes_.push_back(std::move(route));
    ++liveRouteCount_;
    update();
}

bool ChartWidget::drawLive() {
    // A slice short enough that a key or a pan that comes meanwhile is answered at once.
    constexpr qint64 kSliceMs = 12;
    constexpr std::size_t kChunk = 16;
    if (liveFrontsDrawn_ >= liveFronts_.size() && liveRoutesDrawn_ >= liveRoutes_.size())
        return true;
    RoutingLayer layer;
    layer.liveFronts = &liveFronts_;
    layer.liveRoutes = &liveRoutes_;
    layer.params = &data_.config.settings.routing;
    layer.display = &data_.config.settings.routingDisplay;
    QPainter painter(&live_);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QElapsedTimer slice;
    slice.start();
    while (liveFrontsDrawn_ < liveFronts_.size() || liveRoutesDrawn_ < liveRoutes_.size()) {
        if (slice.elapsed() >= kSliceMs) return false;
        // The scan's routes over the fronts, as on the chart.
        const std::size_t fronts = std::min(liveFronts_.size(), liveFrontsDrawn_ + kChunk);
        const std::size_t routes =
            fronts == liveFronts_.size() ? liveRoutes_.size() : liveRoutesDrawn_;
        paintLiveRouting(painter, view_, layer, liveFrontsDrawn_, fronts, liveRoutesDrawn_, routes);
        liveFrontsDrawn_ = fronts;
        liveRoutesDrawn_ = routes;
    }
    return true;
}

void ChartWidget::finishRouting(std::shared_ptr<RoutingResult> result) {
    takeOver(this);
    if (!running_) return; // a run dropped by clearResult
    if (worker_.joinable()) worker_.join();
    running_ = false;
    stopProgress();
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

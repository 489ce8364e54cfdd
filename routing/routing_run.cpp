#include "routing/routing_run.h"

#include "routing/best_course.h"
#include "weather/wind_store.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace navorel {

namespace {

bool timeInsideWind(const WindCoverage& c, double time) {
    return c.loaded && time >= c.firstTime && time <= c.lastTime;
}

bool startInsideWind(const WindCoverage& c, GeoPoint p, double time) {
    if (!timeInsideWind(c, time)) return false;
    if (p.lat < c.minLat || p.lat > c.maxLat) return false;
    double lon = p.lon;
    double upper = c.maxLon;
    if (c.wrap) {
        if (lon < 0) lon += 360.0;
        upper += 360.0;
    }
    return lon >= c.minLon && lon <= upper;
}

// A scan goes on after runs that arrived or not, and ends after one that was cancelled or
// stopped at a bound (the next would stop there too). A series of departures ends at a cancel
// only: a later departure meets other winds and may well stay within the bounds.
inline bool scanGoesOn(int status, bool stopAtBound = true) {
    return status != kStatusCancelled && (!stopAtBound || status != kStatusTooLarge);
}

// One run of a scan as planned before any is made: what varies from run to run.
struct PlannedRun {
    int powerInForce = 100;
    int variation = 100;
    DateTime start;
    int startOffset = 0;
    float rating = 1;
    const Polar* polar = nullptr;
    const SeriesRun* series = nullptr; // a run of a series over several forecasts
};

// A run made: its summary and its output. The output is kept whole only where it may become
// the result's (the last run of the plan, or one that stops the scan).
struct MadeRun {
    RunSummary summary;
    RoutingOutput output;
};

// The file of a scan polar: its name and ".pol"; a name given with its extension is taken as
// it is.
std::string polarFileName(const std::string& name) {
    const std::string ext = ".pol";
    if (name.size() > ext.size()) {
        std::string tail = name.substr(name.size() - ext.size());
        for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (tail == ext) return name;
    }
    return name + ext;
}

// Values from min to max by step; a step below 1 gives the first value only, instead of
// repeating it for ever.
template <typename F> void series(int min, int max, int step, F each) {
    for (long long v = min; v <= max; v += step > 0 ? step : static_cast<long long>(max) - min + 1)
        each(static_cast<int>(v));
}

struct Scanner {
    const RunSetup& setup;
    RoutingResult& result;
    std::vector<PlannedRun> plan;
    std::vector<std::unique_ptr<Polar>> scanPolars; // the scan's own polars, by slot taken
    bool stopAtBound = true;                        // a run stopped at a bound ends the plan

    bool goesOn(int status) const { return scanGoesOn(status, stopAtBound); }

    // The runs of the scan of the settings, in their order: the varied runs, then the final
    // run with the settings' own value (none over several polars).
    void planScan() {
        const RoutingParameters& p = *setup.params;
        const DateTime start = setup.start;
        PlannedRun base{p.power, p.variation, start, 0, 1, setup.polar};
        if (p.scanPolar) {
            series(p.minPolar, p.maxPolar, p.stepPolar, [&](int v) {
                if (v == p.power) return;
                PlannedRun r = base;
                r.powerInForce = v;
                plan.push_back(r);
            });
            plan.push_back(base);
        } else if (p.scanWind) {
            series(p.minWind, p.maxWind, p.stepWind, [&](int v) {
                if (v == p.variation) return;
                PlannedRun r = base;
                r.variation = v;
                plan.push_back(r);
            });
            plan.push_back(base);
        } else if (p.scanStart) {
            series(p.minStart, p.maxStart, p.stepStart, [&](int o) {
                if (o == 0) return;
                PlannedRun r = base;
                r.start = fromDayNumber(start.dayNumber + o / 24.0);
                r.startOffset = o;
                plan.push_back(r);
            });
            plan.push_back(base);
        } else if (p.scanPolars) {
            result.severalPolars = true;
            // Each run sails its own polar; the boat's polar stays the one in use.
            for (int i = 0; i < 3; ++i) {
                if (!p.polarOn[i]) continue;
                const std::string path =
                    (std::filesystem::path(setup.polarsFolder) / polarFileName(p.polarName[i]))
                        .string();
                auto polar = std::make_unique<Polar>();
                std::string error;
                if (!std::filesystem::exists(path) || !loadPolar(path, *polar, error)) continue;
                PlannedRun r = base;
                r.rating = p.irc[i];
                r.polar = polar.get();
                scanPolars.push_back(std::move(polar));
                plan.push_back(r);
            }
        }
    }

    // One run: the per-run state reset, the method, the summary. `control` is the run's own.
    MadeRun make(const PlannedRun& planned, RunControl& control,
                 const FrontCallback& afterFront) const {
        if (!control.cancel.load()) control.status.store(kStatusRunning);
        RoutingParameters params = *setup.params; // the run's own copy
        params.powerInForce = planned.powerInForce;
        params.variation = planned.variation;
        RoutingInputs in;
        in.params = &params;
        in.polar = planned.polar;
        in.wind = planned.series && planned.series->wind ? planned.series->wind : setup.wind;
        in.current = setup.current;
        in.waves = setup.waves;
        in.waveTable = setup.waveTable;
        in.crossings = setup.crossings;
        in.control = &control;
        in.limits = setup.limits;
        MadeRun made;
        RoutingOutput& out = made.output;
        out = params.method != 0 ? routeIsochrones(in, *setup.route, planned.start, afterFront)
                                 : routeBestCourse(in, *setup.route, planned.start);
        RunSummary& s = made.summary;
        s.power = params.powerInForce;
        s.polarName = planned.polar->name;
        s.rating = planned.rating;
        s.variation = params.variation;
        s.startOffset = planned.startOffset;
        s.minSog = out.minSog;
        s.maxSog = out.maxSog;
        s.minTws = out.minTws;
        s.maxTws = out.maxTws;
        s.advanceCalls = out.advanceCalls;
        s.storeSize = static_cast<int>(out.pointStore.size());
        s.inProgress = out.inProgress;
        s.status = out.status;
        s.limit = out.limit;
        s.targetWaypoint = out.targetWaypoint;
        s.stepSeconds = out.stepSeconds;
        const auto& waypoints = setup.route->waypoints;
        if (!out.arrived && out.status != kStatusCancelled && setup.crossings &&
            params.avoidCoasts && out.targetWaypoint > 0 &&
            out.targetWaypoint < static_cast<int>(waypoints.size())) {
            const GeoPoint end = out.route.empty()
                                     ? waypoints[0]
                                     : GeoPoint{out.route.back().lon, out.route.back().lat};
            s.landAhead = setup.crossings->segmentCrossesLand(
                end, waypoints[static_cast<std::size_t>(out.targetWaypoint)]);
        }
        s.route = out.route;
        if (planned.series) {
            s.source = planned.series->source;
            s.label = planned.series->label;
        }
        if (setup.waves) {
            // The sea met at the start of each step, where the point's stream was sampled.
            s.waveHeights.reserve(s.route.size());
            for (const IsochronePoint& q : s.route) {
                const WaveSample w =
                    setup.waves->waveAt(q.parentLon, q.parentLat, q.parentTime.dayNumber);
                s.waveHeights.push_back(w.found ? w.height : std::nanf(""));
            }
        }
        return made;
    }

    // Appends a run to the result; it becomes the result's last run made.
    void keep(MadeRun&& made) {
        if (result.scanning) result.scanRoutes.push_back(made.summary.route);
        result.summaries.push_back(std::move(made.summary));
        result.output = std::move(made.output);
    }

    void tellFinished(int k, const RunSummary& s) const {
        if (setup.runFinished) setup.runFinished(k, s);
    }

    // The plan one run after another on this thread, with the caller's control.
    void runInOrder() {
        for (std::size_t k = 0; k < plan.size(); ++k) {
            MadeRun made = make(plan[k], *setup.control, setup.afterFront);
            tellFinished(static_cast<int>(k), made.summary);
            const bool more = goesOn(made.summary.status);
            keep(std::move(made));
            if (!more) return;
        }
    }

    // The plan on `threads` workers, each run with its own control. Workers take the runs in
    // the plan's order; none starts a run after one that stopped the scan. This thread passes
    // the caller's cancel on to every run within a millisecond, and then gathers the runs in
    // the plan's order, up to the first that stopped the scan, as runInOrder would have made.
    void runOnThreads(std::size_t threads) {
        const std::size_t n = plan.size();
        RunControl& outer = *setup.control;
        std::vector<RunControl> controls(n);
        std::vector<std::optional<MadeRun>> made(n);
        std::atomic<std::size_t> next{0};
        std::atomic<std::size_t> stopAt{n}; // the first run that stopped the scan
        std::mutex mutex;                   // guards `made`, `active`, `failure`, the callbacks
        std::condition_variable changed;
        std::size_t active = threads;
        std::exception_ptr failure;

        std::mutex frontMutex;
        FrontCallback afterFront;
        if (setup.afterFront)
            afterFront = [&](const FrontEvent& e) {
                std::lock_guard<std::mutex> lock(frontMutex);
                setup.afterFront(e);
            };
        auto cancelRun = [](RunControl& c) {
            c.cancel.store(true);
            c.status.store(kStatusCancelled);
        };

        auto worker = [&]() {
            for (;;) {
                const std::size_t k = next.fetch_add(1);
                if (k >= n || k > stopAt.load()) break;
                if (outer.cancel.load()) cancelRun(controls[k]);
                try {
                    MadeRun run = make(plan[k], controls[k], afterFront);
                    if (!goesOn(run.summary.status)) {
                        std::size_t seen = stopAt.load();
                        while (k < seen && !stopAt.compare_exchange_weak(seen, k)) {
                        }
                    } else if (k + 1 < n) {
                        // Only the last run of the plan or one that stopped the scan can be
                        // the result's: the others keep their summary and route only.
                        run.output = RoutingOutput{};
                    }
                    std::lock_guard<std::mutex> lock(mutex);
                    tellFinished(static_cast<int>(k), run.summary);
                    made[k] = std::move(run);
                } catch (...) {
                    std::lock_guard<std::mutex> lock(mutex);
                    if (!failure) failure = std::current_exception();
                    stopAt.store(0);
                    for (RunControl& c : controls) cancelRun(c);
                    break;
                }
            }
            std::lock_guard<std::mutex> lock(mutex);
            --active;
            changed.notify_all();
        };

        std::vector<std::thread> pool;
        pool.reserve(threads);
        for (std::size_t t = 0; t < threads; ++t) {
            try {
                pool.emplace_back(worker);
            } catch (const std::system_error&) {
                break; // the system gives no more threads: the ones started do the work
            }
        }
        if (pool.empty()) {
            runInOrder();
            return;
        }
        {
            std::unique_lock<std::mutex> lock(mutex);
            active -= threads - pool.size();
            bool forwarded = false;
            while (active > 0) {
                changed.wait_for(lock, std::chrono::milliseconds(1));
                if (!forwarded && outer.cancel.load()) {
                    for (RunControl& c : controls) cancelRun(c);
                    forwarded = true;
                }
            }
        }
        for (std::thread& t : pool) t.join();
        if (failure) std::rethrow_exception(failure);

        for (std::size_t k = 0; k < n && made[k]; ++k) {
            const bool more = goesOn(made[k]->summary.status);
            keep(std::move(*made[k]));
            if (!more) break;
        }
        // The caller's control ends as the last run kept left its own.
        if (!result.summaries.empty() && !outer.cancel.load())
            outer.status.store(result.summaries.back().status);
    }

    void scan() {
        planScan();
        runPlan();
    }

    // The plan on the threads the setup asks for.
    void runPlan() {
        const int wanted = setup.threads > 0 ? setup.threads : scanThreads();
        const std::size_t threads =
            std::min<std::size_t>(static_cast<std::size_t>(wanted), plan.size());
        if (threads <= 1)
            runInOrder();
        else
            runOnThreads(threads);
    }
};

} // namespace

int scanThreads() {
    if (const char* text = std::getenv("NAVOREL_THREADS")) {
        char* end = nullptr;
        const long n = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && n >= 1 && n <= 256) return static_cast<int>(n);
    }
    const unsigned machine = std::thread::hardware_concurrency();
    return machine > 0 ? static_cast<int>(std::min(machine, 256u)) : 1;
}

WindCoverage windCoverage(const WindStore& store) {
    WindCoverage c;
    if (store.empty()) return c;
    const FrameGeometry& g = store.geometry(0);
    c = {true,
         store.frameTimes().front(),
         store.frameTimes().back(),
         g.minLon,
         g.maxLon,
         g.minLat,
         g.maxLat,
         g.wrap};
    return c;
}

double routeDurationSeconds(const std::vector<IsochronePoint>& route) {
    if (route.empty()) return 0;
    return (route.back().time.dayNumber - route.front().parentTime.dayNumber) * 86400.0;
}

namespace {

// The checks before any run, with the caller's control (never none): false with the refusal
// set when nothing is to run.
bool runAccepted(const RunSetup& setup, double startDay, RoutingResult& result) {
    const RoutingParameters* p = setup.params;
    if (setup.route->onLandCount > 0) {
        result.refusal = RunRefusal::WaypointsOnLand;
        result.onLandCount = setup.route->onLandCount;
        return false;
    }
    if (setup.reopenShoreline) setup.reopenShoreline(p->coastsQuality);
    result.coverage = setup.coverage;
    result.start = setup.start;
    if (!p->uniqueWind && !startInsideWind(setup.coverage, setup.route->waypoints[0], startDay)) {
        // Outside the wind only the engine moves the boat, and only where it may motor there.
        if (!p->engine || p->noRoutingOutside) {
            result.refusal = RunRefusal::StartOutsideWind;
            return false;
        }
        result.startOutsideWind = true;
    }
    setup.control->cancel.store(false);
    setup.control->status.store(kStatusRunning);
    result.method = p->method;
    result.limits = setup.limits;
    result.gustsIgnored = p->gustMax > 0 && !setup.wind->hasGusts();
    return true;
}

bool runIgnored(const RunSetup& setup) {
    const RoutingParameters* p = setup.params;
    return !p || !setup.polar || !setup.wind || !setup.route || setup.route->waypoints.size() < 2 ||
           (!setup.coverage.loaded && !p->uniqueWind);
}

void finishResult(RoutingResult& result, std::chrono::steady_clock::time_point t0) {
    result.minSog = result.output.minSog;
    result.maxSog = result.output.maxSog;
    result.minTws = result.output.minTws;
    result.maxTws = result.output.maxTws;
    result.computeSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Runs `run` on a copy of the setup with a control of its own: without a control of the
// caller's, a run cannot be cancelled from outside.
template <typename Run> RoutingResult withOwnControl(const RunSetup& setup, Run run) {
    RunSetup withControl = setup;
    RunControl control;
    withControl.control = &control;
    return run(withControl);
}

} // namespace

RoutingResult runRouting(const RunSetup& setup) {
    RoutingResult result;
    const auto t0 = std::chrono::steady_clock::now();
    const RoutingParameters* p = setup.params;
    if (runIgnored(setup)) {
        result.refusal = RunRefusal::Ignored;
        return result;
    }
    if (!setup.control)
        return withOwnControl(setup, [](const RunSetup& s) { return runRouting(s); });
    if (!runAccepted(setup, setup.start.dayNumber, result)) return result;
    Scanner scanner{setup, result, {}, {}};
    if (p->scanPolar || p->scanWind || p->scanStart || p->scanPolars) {
        result.scanning = true;
        scanner.scan();
        result.scanning = false;
    } else {
        scanner.plan.push_back({p->power, p->variation, setup.start, 0, 1, setup.polar});
        scanner.runInOrder();
    }
    finishResult(result, t0);
    return result;
}

RoutingResult runDepartureSeries(const RunSetup& setup, const std::vector<DateTime>& starts) {
    RoutingResult result;
    const auto t0 = std::chrono::steady_clock::now();
    if (runIgnored(setup) || starts.empty()) {
        result.refusal = RunRefusal::Ignored;
        return result;
    }
    if (!setup.control)
        return withOwnControl(
            setup, [&starts](const RunSetup& s) { return runDepartureSeries(s, starts); });
    if (!runAccepted(setup, starts.front().dayNumber, result)) return result;
    const RoutingParameters& p = *setup.params;
    Scanner scanner{setup, result, {}, {}};
    scanner.stopAtBound = false;
    for (const DateTime& start : starts) {
        const int offset =
            static_cast<int>(std::llround((start.dayNumber - starts.front().dayNumber) * 24.0));
        scanner.plan.push_back({p.power, p.variation, start, offset, 1, setup.polar});
    }
    scanner.runPlan();
    finishResult(result, t0);
    return result;
}

RoutingResult runSeries(const RunSetup& setup, const std::vector<SeriesRun>& runs) {
    RoutingResult result;
    const auto t0 = std::chrono::steady_clock::now();
    if (runIgnored(setup) || runs.empty()) {
        result.refusal = RunRefusal::Ignored;
        return result;
    }
    if (!setup.control)
        return withOwnControl(setup, [&runs](const RunSetup& s) { return runSeries(s, runs); });
    if (!runAccepted(setup, runs.front().start.dayNumber, result)) return result;
    const RoutingParameters& p = *setup.params;
    Scanner scanner{setup, result, {}, {}};
    scanner.stopAtBound = false;
    for (const SeriesRun& run : runs)
        scanner.plan.push_back(
            {p.power, p.variation, run.start, run.startOffset, 1, setup.polar, &run});
    // Every run's route is kept for the chart, as a scan's are.
    result.scanning = true;
    scanner.runPlan();
    result.scanning = false;
    finishResult(result, t0);
    return result;
}

std::string gustLimitNote(const RoutingResult& result) {
    if (!result.gustsIgnored) return {};
    return "the forecast carries no gust: the gust limit was not applied";
}

} // namespace navorel

#include "routing/routing_run.h"

#include "core/texts.h"
#include "routing/best_course.h"
#include "weather/wind_store.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
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

constexpr double kMetresToNm = 0.0005399568034557236;

bool startInsideWind(const WindCoverage& c, GeoPoint p, double time) {
    if (!c.loaded) return false;
    if (time < c.firstTime || time > c.lastTime) return false;
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
// stopped at a bound (the next would stop there too).
inline bool scanGoesOn(int status) {
    return status != kStatusCancelled && status != kStatusTooLarge;
}

// One run of a scan as planned before any is made: what varies from run to run.
struct PlannedRun {
    int powerInForce = 100;
    int variation = 100;
    DateTime start;
    int startOffset = 0;
    float rating = 1;
    const Polar* polar = nullptr;
};

// A run made: its summary and its output. The output is kept whole only where it may become
// the result's (the last run of the plan, or one that stops the scan).
struct MadeRun {
    RunSummary summary;
    RoutingOutput output;
};

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
                    (std::filesystem::path(setup.polarsFolder) / (p.polarName[i] + ".pol"))
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
        in.wind = setup.wind;
        in.current = setup.current;
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
        s.route = out.route;
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
            const bool goesOn = scanGoesOn(made.summary.status);
            keep(std::move(made));
            if (!goesOn) return;
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
                    if (!scanGoesOn(run.summary.status)) {
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
            const bool goesOn = scanGoesOn(made[k]->summary.status);
            keep(std::move(*made[k]));
            if (!goesOn) break;
        }
        // The caller's control ends as the last run kept left its own.
        if (!result.summaries.empty() && !outer.cancel.load())
            outer.status.store(result.summaries.back().status);
    }

    void scan() {
        planScan();
        const int wanted = setup.threads > 0 ? setup.threads : scanThreads();
        const std::size_t threads =
            std::min<std::size_t>(static_cast<std::size_t>(wanted), plan.size());
        if (threads <= 1)
            runInOrder();
        else
            runOnThreads(threads);
    }
};

std::string format(const char* f, double a) {
    char buf[128];
    std::snprintf(buf, sizeof buf, f, a);
    return buf;
}

long long roundHalfUp(double x) {
    return static_cast<long long>(std::floor(x + 0.5));
}

std::string percent(double value, double duration) {
    const long long pc = duration > 0 ? roundHalfUp(value * 100.0 / duration) : 0;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%lld %%", pc);
    return buf;
}

std::string durationText(double seconds) {
    const long long total = seconds > 0 ? static_cast<long long>(std::llround(seconds)) : 0;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%lldd %02lldh %02lldmn %02llds", total / 86400,
                  (total / 3600) % 24, (total / 60) % 60, total % 60);
    return buf;
}

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

RoutingResult runRouting(const RunSetup& setup) {
    RoutingResult result;
    const auto t0 = std::chrono::steady_clock::now();
    const RoutingParameters* p = setup.params;
    if (!p || !setup.polar || !setup.wind || !setup.route || setup.route->waypoints.size() < 2 ||
        (!setup.coverage.loaded && !p->uniqueWind)) {
        result.refusal = RunRefusal::Ignored;
        return result;
    }
    if (!setup.control) {
        // Without a control of the caller's, the run cannot be cancelled from outside.
        RunSetup withControl = setup;
        RunControl control;
        withControl.control = &control;
        return runRouting(withControl);
    }
    if (setup.route->onLandCount > 0) {
        result.refusal = RunRefusal::WaypointsOnLand;
        result.onLandCount = setup.route->onLandCount;
        return result;
    }
    if (setup.reopenShoreline) setup.reopenShoreline(p->coastsQuality);
    if (!p->uniqueWind && !p->engine &&
        !startInsideWind(setup.coverage, setup.route->waypoints[0], setup.start.dayNumber)) {
        result.refusal = RunRefusal::StartOutsideWind;
        return result;
    }

    setup.control->cancel.store(false);
    setup.control->status.store(kStatusRunning);
    result.method = p->method;
    result.limits = setup.limits;
    Scanner scanner{setup, result, {}, {}};
    if (p->scanPolar || p->scanWind || p->scanStart || p->scanPolars) {
        result.scanning = true;
        scanner.scan();
        result.scanning = false;
    } else {
        scanner.plan.push_back({p->power, p->variation, setup.start, 0, 1, setup.polar});
        scanner.runInOrder();
    }
    result.minSog = result.output.minSog;
    result.maxSog = result.output.maxSog;
    result.minTws = result.output.minTws;
    result.maxTws = result.output.maxTws;
    result.computeSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return result;
}

std::string refusalMessage(const RoutingResult& result, const TextProvider& texts) {
    switch (result.refusal) {
    case RunRefusal::WaypointsOnLand:
        return std::to_string(result.onLandCount) + " " +
               texts.text(result.onLandCount == 1 ? 82 : 83);
    case RunRefusal::StartOutsideWind:
        return texts.text(84);
    default:
        return {};
    }
}

std::string limitMessage(const RoutingResult& result) {
    const RunLimits& bounds = result.limits;
    for (const RunSummary& s : result.summaries) {
        switch (s.limit) {
        case RunLimit::StoredPoints:
            return "the routing stopped: more than " + std::to_string(bounds.storedPoints) +
                   " points stored (memory bound)";
        case RunLimit::FrontsPerLeg:
            return "the routing stopped: more than " + std::to_string(bounds.frontsPerLeg) +
                   " isochrones on one leg";
        case RunLimit::None:
            break;
        }
    }
    return {};
}

ResultsTable resultsTable(const RoutingResult& result, const UserRoute& userRoute,
                          const TextProvider& texts) {
    ResultsTable table;
    const int b = result.severalPolars ? 9 : 8;
    const int rowCount = b + 30;
    table.rows.assign(rowCount, std::vector<std::string>(1 + result.summaries.size()));
    auto label = [&](int row, int text) { table.rows[row][0] = texts.text(text); };
    label(0, 46);
    label(1, 47);
    label(2, 48);
    label(3, 49);
    label(5, 50);
    label(6, 51);
    label(7, 52);
    if (result.severalPolars) label(8, 53);
    const int labels[][2] = {{1, 54},  {2, 55},  {4, 56},  {5, 57},  {7, 58},  {8, 59},
                             {9, 60},  {11, 61}, {12, 62}, {14, 63}, {15, 64}, {16, 65},
                             {17, 66}, {19, 67}, {20, 68}, {21, 69}, {23, 70}, {24, 71},
                             {25, 72}, {27, 73}, {28, 74}, {29, 75}};
    for (const auto& l : labels) label(b + l[0], l[1]);

    table.titles.push_back({});
    const std::string hours = texts.text(78);
    // Yes and No of the language (texts 509, 510), in English where the file has none.
    const auto yesNo = [&texts](bool yes) {
        const std::string text = texts.text(yes ? 509 : 510);
        return text.empty() ? std::string(yes ? "Yes" : "No") : text;
    };
    for (std::size_t k = 0; k < result.summaries.size(); ++k) {
        const RunSummary& s = result.summaries[k];
        char title[300];
        if (result.severalPolars)
            std::snprintf(title, sizeof title, "%s", s.polarName.c_str());
        else
            std::snprintf(title, sizeof title, "%s %d", texts.text(77).c_str(),
                          static_cast<int>(k) + 1);
        table.titles.push_back(title);

        auto set = [&](int row, std::string v) { table.rows[row][1 + k] = std::move(v); };
        char buf[160];
        std::snprintf(buf, sizeof buf, "%d %%", s.power);
        set(0, buf);
        std::snprintf(buf, sizeof buf, "%d %%", s.variation);
        set(1, buf);
        std::snprintf(buf, sizeof buf, "%d %s", s.startOffset, hours.c_str());
        set(2, buf);
        set(3, texts.text(s.inProgress ? 80 : 79));
        const std::vector<IsochronePoint>& route = s.route;
        if (route.empty()) continue;
        const IsochronePoint& last = route.back();
        const double duration = routeDurationSeconds(route);
        set(5, formatDate(route.front().parentTime, 2, texts));
        set(6, formatDate(last.time, 2, texts));
        set(7, durationText(duration));
        if (result.severalPolars) set(8, durationText(s.rating * duration));

        const double direct = userRoute.totalLength * kMetresToNm;
        const double routed = last.totalDistance * kMetresToNm;
        set(b + 1, format("%.2f M", direct));
        std::snprintf(buf, sizeof buf, "%.2f M (+ %lld %%)", routed,
                      direct > 0 ? roundHalfUp(routed / direct * 100.0) - 100 : 0);
        set(b + 2, buf);
        set(b + 4, format("%.2f M", duration > 0 ? routed / (duration / 3600.0) : 0.0));
        std::snprintf(buf, sizeof buf, "[%.2f kt - %.2f kt]", s.minSog * kMsToKnot,
                      s.maxSog * kMsToKnot);
        set(b + 5, buf);
        set(b + 7, yesNo(last.fuel != 0));
        std::snprintf(buf, sizeof buf, "%d %s", static_cast<int>(last.engineSeconds / 3600.0),
                      hours.c_str());
        set(b + 8, buf);
        std::snprintf(buf, sizeof buf, "%lld L", static_cast<long long>(std::llround(last.fuel)));
        set(b + 9, buf);

        double windTime = 0, engine = 0, upwind = 0, reaching = 0, downwind = 0, side = 0;
        double favourable = 0, adverse = 0, none = 0;
        int tacks = 0;
        for (std::size_t i = 0; i < route.size(); ++i) {
            const IsochronePoint& q = route[i];
            windTime += q.tws * q.stepSeconds;
            if (q.engine)
                engine += q.stepSeconds;
            else if (q.twa > 120)
                downwind += q.stepSeconds;
            else if (q.awa < 40)
                upwind += q.stepSeconds;
            else
                reaching += q.stepSeconds;
            if (q.awaSide == 1) side += q.stepSeconds;
            if (i > 0 && q.awaSide != route[i - 1].awaSide) ++tacks;
            if (q.currentDot > 0)
                favourable += q.stepSeconds;
            else if (q.currentDot < 0)
                adverse += q.stepSeconds;
            else
                none += q.stepSeconds;
        }
        set(b + 11, format("%.1f kt", duration > 0 ? windTime / duration * kMsToKnot : 0.0));
        std::snprintf(buf, sizeof buf, "[%.2f kt - %.2f kt]", s.minTws * kMsToKnot,
                      s.maxTws * kMsToKnot);
        set(b + 12, buf);
        set(b + 14, percent(engine, duration));
        set(b + 15, percent(upwind, duration));
        set(b + 16, percent(reaching, duration));
        set(b + 17, percent(downwind, duration));
        const long long sidePc = duration > 0 ? roundHalfUp(side * 100.0 / duration) : 0;
        std::snprintf(buf, sizeof buf, "%lld %%", sidePc);
        set(b + 19, buf);
        std::snprintf(buf, sizeof buf, "%lld %%", 100 - sidePc);
        set(b + 20, buf);
        set(b + 21, std::to_string(tacks));
        set(b + 23, percent(favourable, duration));
        set(b + 24, percent(adverse, duration));
        set(b + 25, percent(none, duration));
        const bool isochrones = result.method != 0;
        set(b + 27, isochrones ? std::to_string(route.size()) : "-");
        set(b + 28, std::to_string(s.advanceCalls));
        set(b + 29, std::to_string(isochrones ? s.storeSize : static_cast<int>(route.size())));
    }
    const long long secs = static_cast<long long>(result.computeSeconds);
    char buf[64];
    if (secs >= 60)
        std::snprintf(buf, sizeof buf, "%lld min %lld sec", secs / 60, secs % 60);
    else
        std::snprintf(buf, sizeof buf, "%lld sec", secs);
    table.computationTime = buf;
    return table;
}

} // namespace navorel

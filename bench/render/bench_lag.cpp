// How fast the chart window answers, at rest and while a heavy routing runs. At rest, the real
// chart widget (offscreen) is given a drag (press, a move of a few pixels, release), a wheel
// turn and a key (Right: the next forecast record) per trial. Then it starts a routing with the
// heaviest settings the routing dialog allows, and a "user" thread posts, at random moments
// while the run goes on, a key (Right), a wheel turn (zoom at the cursor), a drag and Escape.
// Recorded: the time from each posted key, wheel or mouse move to the end of the paint that
// shows it, and from Escape to the run's end (the result handed to the window). Printed:
// median, 90th percentile and maximum over the trials, with the machine's load.
//
//   navorel-bench-lag [--trials N] [--threads N]
//
// The routing is a scan of nine runs of the demo route; --threads sets the threads of the scan
// (NAVOREL_THREADS), by default every core.
#include "app/chart_widget.h"
#include "tests/app/program_folder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace navorel;
using Clock = std::chrono::steady_clock;

// CPU time of the calling thread, in nanoseconds: a paint's own cost, whatever the load.
long long threadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

long long nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// The chart widget, telling when a paint ends.
class TimedChart : public app::ChartWidget {
  public:
    using ChartWidget::ChartWidget;
    // Set by the window's thread as the watched event is handled; the next paint ends it.
    bool watching = false;
    std::atomic<long long> shownAt{0};
    // Paints of the trial: their count, total and longest time (ms).
    int paints = 0;
    double paintMs = 0, longestPaint = 0;
    double lastPaintCpuMs = 0; // the CPU time of the last paint

  protected:
    bool event(QEvent* e) override {
        const QEvent::Type t = e->type();
        if (t == QEvent::KeyPress || t == QEvent::Wheel ||
            (t == QEvent::MouseMove && static_cast<QMouseEvent*>(e)->buttons() != Qt::NoButton))
            watching = true;
        return ChartWidget::event(e);
    }
    void paintEvent(QPaintEvent* e) override {
        const long long start = nowNs(), cpu = threadCpuNs();
        ChartWidget::paintEvent(e);
        lastPaintCpuMs = (threadCpuNs() - cpu) / 1e6;
        const double ms = (nowNs() - start) / 1e6;
        longestPaint = std::max(longestPaint, ms);
        paintMs += ms;
        ++paints;
        if (watching) {
            watching = false;
            shownAt = nowNs();
        }
    }
};

struct Sample {
    std::vector<double> key, wheel, pan, escape; // milliseconds
    int timeouts = 0;
};

std::string loadText() {
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

void report(const char* what, std::vector<double> v) {
    if (v.empty()) {
        std::printf("%-28s no samples\n", what);
        return;
    }
    std::sort(v.begin(), v.end());
    const auto at = [&](double q) {
        const std::size_t i = static_cast<std::size_t>(q * static_cast<double>(v.size() - 1) + 0.5);
        return v[std::min(i, v.size() - 1)];
    };
    std::printf("%-28s n=%zu  median %7.1f ms  p90 %7.1f ms  max %7.1f ms\n", what, v.size(),
                at(0.5), at(0.9), v.back());
}

// The heaviest settings of the routing dialog: Quality 4, automatic step, the widest fans,
// a scan of the effectiveness drawn after each isochrone.
void heavySettings(RoutingParameters& p) {
    p.method = 1;
    p.timestepAuto = true;
    p.quality = 4;
    p.autoNbInitialAngles = 180;
    p.autoInitialAngles = 1;
    p.autoNbFurtherAngles = 61;
    p.autoFurtherAngles = 1;
    p.renderAfter = true;
    p.showIsochrones = true;
    p.scanPolar = true;
    p.minPolar = 60;
    p.maxPolar = 100;
    p.stepPolar = 5;
    p.scanWind = p.scanStart = p.scanPolars = false;
}

} // namespace

int main(int argc, char** argv) {
    int trials = 20;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--trials" && i + 1 < argc)
            trials = std::atoi(argv[++i]);
        else if (a == "--threads" && i + 1 < argc)
            setenv("NAVOREL_THREADS", argv[++i], 1);
        else {
            std::fprintf(stderr, "usage: navorel-bench-lag [--trials N] [--threads N]\n");
            return 2;
        }
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    apptest::ProgramFolder folder;
    app::AppData data;
    std::string error;
    if (!app::startUp(folder.str(), data, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    heavySettings(data.config.settings.routing);
    TimedChart chart(data);
    chart.resize(1280, 800);
    chart.show();
    chart.dataLoaded();
    long long finishedAt = 0;
    chart.onRoutingStatus = [&](const QString&) {
        if (!chart.routingRunning()) finishedAt = nowNs();
    };
    const auto settle = [](int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    };
    settle(300);

    // The floor: a whole chart drawn without a routing (what a key or a pan costs at least).
    std::vector<double> idle;
    for (int i = 0; i < 5; ++i) {
        chart.redrawChart();
        const long long start = nowNs();
        chart.repaint();
        idle.push_back((nowNs() - start) / 1e6);
    }
    std::mt19937 random(12345);
    Sample s;
    std::printf("load before: %s\n", loadText().c_str());
    report("chart redraw, no routing", idle);

    // At rest: each event posted on the window's own thread, the loop run until its paint.
    // CPU time of each answering paint: drag, wheel, key.
    std::vector<double> paintCpu[3];
    const auto timed = [&](QEvent* e, std::vector<double>& cpu) {
        const long long t0 = nowNs();
        const long long before = chart.shownAt.load();
        QCoreApplication::postEvent(&chart, e);
        QElapsedTimer t;
        t.start();
        while (chart.shownAt.load() == before && t.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (chart.shownAt.load() == before) return -1.0;
        cpu.push_back(chart.lastPaintCpuMs);
        return (chart.shownAt.load() - t0) / 1e6;
    };
    const auto mouse = [](QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        return new QMouseEvent(type, at, at, button, buttons, Qt::NoModifier);
    };
    Sample rest;
    const int records = static_cast<int>(data.wind.frames().size());
    for (int trial = 0; trial < trials; ++trial) {
        const QPointF at(400 + random() % 400, 200 + random() % 400);
        const QPointF to = at + QPointF(3 + random() % 20, 3 + random() % 20);
        QCoreApplication::postEvent(&chart, mouse(QEvent::MouseButtonPress, at, Qt::LeftButton));
        settle(20);
        rest.pan.push_back(timed(mouse(QEvent::MouseMove, to, Qt::LeftButton), paintCpu[0]));
        QCoreApplication::postEvent(&chart, mouse(QEvent::MouseButtonRelease, to, Qt::NoButton));
        settle(50);
        rest.wheel.push_back(
            timed(new QWheelEvent(to, to, QPoint(), QPoint(0, trial % 2 ? -120 : 120), Qt::NoButton,
                                  Qt::NoModifier, Qt::NoScrollPhase, false),
                  paintCpu[1]));
        settle(50);
        // Round the forecast: at its last record the next step starts it again.
        if (chart.display().record >= records - 1) {
            app::selectRecord(chart.display(), data.wind, 0);
            chart.redrawChart();
            settle(100);
        }
        rest.key.push_back(
            timed(new QKeyEvent(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier), paintCpu[2]));
        settle(50);
    }
    for (std::vector<double>* v : {&rest.pan, &rest.wheel, &rest.key})
        std::erase_if(*v, [&](double ms) { return ms < 0 && ++rest.timeouts; });
    report("at rest: drag to paint", rest.pan);
    report("at rest: wheel to paint", rest.wheel);
    report("at rest: key to paint", rest.key);
    report("at rest: CPU of drag's paint", paintCpu[0]);
    report("at rest: CPU of wheel's paint", paintCpu[1]);
    report("at rest: CPU of key's paint", paintCpu[2]);
    if (rest.timeouts) std::printf("%d events at rest not shown within 5 s\n", rest.timeouts);
    std::fflush(stdout);
    for (int trial = 0; trial < trials; ++trial) {
        finishedAt = 0;
        if (!chart.startRouting()) {
            std::fprintf(stderr, "the routing did not start\n");
            return 1;
        }
        const int warmUp = 1500 + static_cast<int>(random() % 1500);
        const int pause1 = 200 + static_cast<int>(random() % 400);
        const int pause2 = 200 + static_cast<int>(random() % 400);
        std::atomic<int> phase{0}; // 1 key posted, 2 wheel posted, 3 Escape posted, 4 done
        std::atomic<long long> postedAt{0};
        std::atomic<bool> stop{false};
        std::vector<double> keyMs, wheelMs, panMs, escapeMs;
        // Events are made on the window's thread (they refer to its input devices) and posted
        // from the user's, which postEvent allows.
        const QPointF at(400 + random() % 400, 200 + random() % 400);
        auto* key = new QKeyEvent(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
        auto* wheel = new QWheelEvent(at, at, QPoint(), QPoint(0, (trial % 2) ? -120 : 120),
                                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        auto* escape = new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        const QPointF dragTo = at + QPointF(3 + random() % 20, 3 + random() % 20);
        QEvent* press = mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
        QEvent* drag = mouse(QEvent::MouseMove, dragTo, Qt::LeftButton);
        QEvent* release = mouse(QEvent::MouseButtonRelease, dragTo, Qt::NoButton);
        // The user: waits, posts, waits for the window's answer (at most 20 s), and so on.
        std::thread user([&] {
            const auto sleepMs = [&](int ms) {
                const auto until = Clock::now() + std::chrono::milliseconds(ms);
                while (!stop && Clock::now() < until)
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
            };
            const auto waitShown = [&](long long from) {
                const auto until = Clock::now() + std::chrono::seconds(20);
                while (!stop && Clock::now() < until) {
                    if (chart.shownAt.load() > from) return (chart.shownAt.load() - from) / 1e6;
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                }
                return -1.0;
            };
            sleepMs(warmUp);
            long long t0 = nowNs();
            QCoreApplication::postEvent(&chart, key);
            phase = 1;
            keyMs.push_back(waitShown(t0));
            sleepMs(pause1);
            t0 = nowNs();
            QCoreApplication::postEvent(&chart, wheel);
            phase = 2;
            wheelMs.push_back(waitShown(t0));
            sleepMs(pause1);
            QCoreApplication::postEvent(&chart, press);
            sleepMs(20);
            t0 = nowNs();
            QCoreApplication::postEvent(&chart, drag);
            panMs.push_back(waitShown(t0));
            QCoreApplication::postEvent(&chart, release);
            sleepMs(pause2);
            postedAt = nowNs();
            QCoreApplication::postEvent(&chart, escape);
            phase = 3;
        });
        // The window's thread runs its event loop until the run has ended after Escape.
        QElapsedTimer t;
        t.start();
        bool endedEarly = false;
        while (t.elapsed() < 60000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (!chart.routingRunning()) {
                if (phase.load() < 3) endedEarly = true;
                if (phase.load() >= 3 || endedEarly) break;
            }
        }
        stop = true;
        user.join();
        const bool cancelled = chart.result() && chart.result()->output.status == kStatusCancelled;
        if (endedEarly || !cancelled) {
            std::fprintf(stderr, "trial %d: the run ended before Escape (make it heavier)\n",
                         trial);
        } else {
            escapeMs.push_back((finishedAt - postedAt.load()) / 1e6);
        }
        for (double v : keyMs)
            if (v >= 0)
                s.key.push_back(v);
            else
                ++s.timeouts;
        for (double v : wheelMs)
            if (v >= 0)
                s.wheel.push_back(v);
            else
                ++s.timeouts;
        for (double v : panMs)
            if (v >= 0)
                s.pan.push_back(v);
            else
                ++s.timeouts;
        for (double v : escapeMs) s.escape.push_back(v);
        std::printf("trial %2d: key %7.1f ms  wheel %7.1f ms  drag %7.1f ms  escape %7.1f ms  "
                    "fronts %d  paints %d (mean %.1f ms, longest %.1f ms)  load %s\n",
                    trial, keyMs.empty() ? -1 : keyMs[0], wheelMs.empty() ? -1 : wheelMs[0],
                    panMs.empty() ? -1 : panMs[0], escapeMs.empty() ? -1 : escapeMs[0],
                    chart.liveFrontCount(), chart.paints,
                    chart.paints ? chart.paintMs / chart.paints : 0.0, chart.longestPaint,
                    loadText().c_str());
        chart.paints = 0;
        chart.paintMs = chart.longestPaint = 0;
        std::fflush(stdout);
        settle(300);
    }
    std::printf("load after: %s\n", loadText().c_str());
    report("key to paint", s.key);
    report("wheel to paint", s.wheel);
    report("drag to paint", s.pan);
    report("Escape to end of run", s.escape);
    if (s.timeouts) std::printf("%d events not shown within 20 s\n", s.timeouts);
    return 0;
}

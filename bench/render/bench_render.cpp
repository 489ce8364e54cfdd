// Drawing the chart at 1920 x 1080 over the demo data with every shipped layer on (coasts and
// lakes at drawing level 2, the interpolated wind surface, wind symbols and zones, the map
// grid, the streams with their zones and stations, waypoints, towns, the scales, the user route
// and a routing result):
//   BM_FullRedraw        the window's redraw of the whole chart when the view and the record
//                        stand (an edit, a new result): the layer cache holds the rest;
//   BM_FullRedrawAfresh  every layer drawn afresh (a first paint, a resize);
//   BM_HourStep          a step to a record whose layers are not kept (sea and hour drawn);
//   BM_Pan               a drag of a few pixels (the kept images moved, the strips uncovered
//                        drawn);
//   BM_ZoomStep          one wheel notch in or out, alternately;
//   BM_ZoomPreview       the window's first frame of a wheel notch (the kept chart scaled);
// and the overlay redraw that hover and tooltips cause (the cached chart and the overlays: the
// toolbar with a group open and a tooltip, the hovered time bar and both panels).
#include "app/chart_overlays.h"
#include "app/chart_view.h"
#include "render/chart_cache.h"
#include "render/toolbar.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <memory>

namespace {

using namespace navorel;

struct Demo {
    app::AppData data;
    MapView view;
    RoutingResult result;
    bool ok = false;
};

Demo& demo() {
    static std::unique_ptr<Demo> d = [] {
        auto d = std::make_unique<Demo>();
        std::string error;
        // Read-only use of the shipped folder: nothing is saved.
        if (!app::startUp(NAVOREL_SOURCE_DIR "/dist", d->data, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return d;
        }
        Settings& s = d->data.config.settings;
        s.winds.showSurfaceGradient = true;
        s.winds.showArrows = s.winds.showZones = s.winds.showScale = true;
        s.map.showLakes = s.map.showLakeCities = s.map.showCapitals = s.map.showMapGrid = true;
        s.currents.showArrows = s.currents.showZones = s.currents.showScale = true;
        s.currents.showTides = true;
        s.waypoints.show = true;
        app::setUpView(d->view, d->data, 1920, 1080, true);
        // Drawing level 2 whatever the scale.
        d->view.factor[2] = d->view.factor[3] = 1 << 30;
        d->view.update();
        RunControl control;
        RunSetup setup = app::makeRunSetup(d->data, control, {});
        d->result = runRouting(setup);
        d->ok = d->result.refusal == RunRefusal::None && d->view.level == 2;
        return d;
    }();
    return *d;
}

bool ready(const Demo& d, benchmark::State& state) {
    if (!d.ok) state.SkipWithError("the demo data did not load (run scripts/setup-data.sh)");
    return d.ok;
}

void BM_FullRedraw(benchmark::State& state) {
    Demo& d = demo();
    if (!ready(d, state)) return;
    const app::DisplayWind wind = app::displayWind(d.data);
    QImage image(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    ChartCache cache;
    for (auto _ : state) {
        QPainter painter(&image);
        paintChart(painter, d.view, app::makeScene(d.data, wind, &d.result, nullptr), &cache);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_FullRedraw)->Unit(benchmark::kMillisecond);

void BM_FullRedrawAfresh(benchmark::State& state) {
    Demo& d = demo();
    if (!ready(d, state)) return;
    const app::DisplayWind wind = app::displayWind(d.data);
    QImage image(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&image);
        paintChart(painter, d.view, app::makeScene(d.data, wind, &d.result, nullptr));
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_FullRedrawAfresh)->Unit(benchmark::kMillisecond);

// Each step goes to a record further on (round the forecast), so no record is found kept.
void BM_HourStep(benchmark::State& state) {
    Demo& d = demo();
    if (!ready(d, state)) return;
    const app::DisplayWind wind = app::displayWind(d.data);
    QImage image(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    ChartCache cache;
    app::DisplayState display;
    const int records = static_cast<int>(d.data.wind.frames().size());
    int record = 0;
    for (auto _ : state) {
        record = (record + 1) % records;
        app::selectRecord(display, d.data.wind, record);
        QPainter painter(&image);
        paintChart(painter, d.view, app::makeScene(d.data, wind, &d.result, nullptr, &display),
                   &cache);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_HourStep)->Unit(benchmark::kMillisecond);

void BM_Pan(benchmark::State& state) {
    Demo& d = demo();
    if (!ready(d, state)) return;
    const app::DisplayWind wind = app::displayWind(d.data);
    QImage image(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    ChartCache cache;
    MapView view = d.view;
    int step = 0;
    for (auto _ : state) {
        // Back and forth, so that the view stays over the demo, by other steps on the way back
        // so that no view kept is met again.
        if ((step++ / 20) % 2)
            view.pan(-6, -4);
        else
            view.pan(7, 5);
        view.update();
        QPainter painter(&image);
        paintChart(painter, view, app::makeScene(d.data, wind, &d.result, nullptr), &cache);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    // The share of the layer images moved rather than drawn whole.
    int moves = 0, draws = 0;
    for (ChartCache::Layer l :
         {ChartCache::kSeaLayer, ChartCache::kMapLayer, ChartCache::kHourLayer}) {
        moves += cache.moves(l);
        draws += cache.draws(l);
    }
    state.counters["moved"] = draws > 0 ? static_cast<double>(moves) / draws : 0;
}
BENCHMARK(BM_Pan)->Unit(benchmark::kMillisecond);

void BM_ZoomStep(benchmark::State& state) {
    Demo& d = demo();
    if (!ready(d, state)) return;
    const app::DisplayWind wind = app::displayWind(d.data);
    QImage image(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    ChartCache cache;
    MapView view = d.view;
    int step = 0;
    for (auto _ : state) {
        // At a cursor moving round the centre, so that no view kept is met again.
        const int at = step % 7;
        view.zoomAt(step++ % 2 ? -120 : 120, 900 + 20 * at, 500 + 10 * at);
        QPainter painter(&image);
        paintChart(painter, view, app::makeScene(d.data, wind, &d.result, nullptr), &cache);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_ZoomStep)->Unit(benchmark::kMillisecond);

// The first frame of a wheel step in the window: the chart kept, scaled about the cursor (the
// exact chart, BM_ZoomStep, follows at the next paint), and the layers drawn at every paint.
void BM_ZoomPreview(benchmark::State& state) {
    Demo& d = demo();
    if (!ready(d, state)) return;
    const app::DisplayWind wind = app::displayWind(d.data);
    const QImage chart = app::renderChartImage(d.data, d.view, wind, &d.result);
    QImage image(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    const ChartScene scene = app::makeScene(d.data, wind, &d.result, nullptr);
    int step = 0;
    for (auto _ : state) {
        MapView view = d.view;
        const int at = step % 7;
        view.zoomAt(step++ % 2 ? -120 : 120, 900 + 20 * at, 500 + 10 * at);
        QPainter painter(&image);
        paintZoomPreview(painter, chart, d.view, view, Qt::blue);
        paintOverlays(painter, view, scene, 960, 540);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_ZoomPreview)->Unit(benchmark::kMillisecond);

// A part of a full redraw: the chart without the wind surface, the wind symbols and the
// routing result (sea, coasts, land and the user route). The surface alone is measured with
// the other wind benchmarks.
void BM_CoastsAndRoute(benchmark::State& state) {
    Demo& d = demo();
    if (!ready(d, state)) return;
    Settings& s = d.data.config.settings;
    const WindSettings kept = s.winds;
    s.winds.showSurfaceGradient = s.winds.showArrows = false;
    const app::DisplayWind wind = app::displayWind(d.data);
    QImage image(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&image);
        paintChart(painter, d.view, app::makeScene(d.data, wind, nullptr, nullptr));
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    s.winds = kept;
}
BENCHMARK(BM_CoastsAndRoute)->Unit(benchmark::kMillisecond);

void BM_OverlayRedraw(benchmark::State& state) {
    Demo& d = demo();
    if (!ready(d, state)) return;
    const app::DisplayWind wind = app::displayWind(d.data);
    const QImage cache = app::renderChartImage(d.data, d.view, wind, &d.result);
    QImage window(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    const ChartScene scene = app::makeScene(d.data, wind, &d.result, nullptr);
    // With the time bar (hovered, its tooltip shown) and both panels.
    d.data.config.settings.routingDisplay.showPanels = true;
    app::DisplayState display;
    app::selectStep(display, d.data.wind, d.result.output.route, 5);
    app::OverlayState overlay;
    overlay.overlaysShown = overlay.barHovered = true;
    app::layoutBar(overlay, d.data, &d.result, 1920);
    overlay.mouse = QPointF(960, 64);
    Toolbar toolbar;
    toolbar.layout(1920);
    const ToolRect& tab = toolbar.rect(0);
    toolbar.pointerMoved(tab.x + 5, tab.y + 5, false, false);
    const ToolRect& button = toolbar.rect(16);
    toolbar.pointerMoved(button.x + 5, button.y + 5, false, false);
    ToolbarLook look;
    for (int i = 0; i < Toolbar::kCount; ++i) {
        look.enabled[static_cast<std::size_t>(i)] = true;
        look.tooltips[static_cast<std::size_t>(i)] = d.data.texts.text(i);
    }
    look.pressed[11] = look.pressed[12] = true;
    look.date = "Mon 01/06 00:00";
    look.opacity = 160;
    for (auto _ : state) {
        QPainter painter(&window);
        painter.drawImage(0, 0, cache);
        paintOverlays(painter, d.view, scene, 960, 540);
        app::paintInterface(painter, d.data, display, &d.result, overlay);
        paintToolbar(painter, toolbar, look);
        painter.end();
        benchmark::DoNotOptimize(window.constBits());
    }
}
BENCHMARK(BM_OverlayRedraw)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

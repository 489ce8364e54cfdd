// The routing result on the chart: the colour of a route segment in every style, and what a
// small hand-made result draws on an image.
#include "render/map_view.h"
#include "render/routing_layer.h"
#include "routing/routing_run.h"
#include "routing/user_route.h"
#include "settings/config_store.h"
#include "weather/color_table.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <cmath>
#include <limits>

using namespace navorel;

namespace {

constexpr std::uint32_t kRouting = rgbColor(255, 0, 0);
constexpr std::uint32_t kSailing = rgbColor(0, 200, 0);
constexpr std::uint32_t kEngine = rgbColor(0, 0, 255);
constexpr std::uint32_t kIsochron = rgbColor(255, 0, 255);
constexpr std::uint32_t kSegment = rgbColor(0, 255, 255);
constexpr std::uint32_t kEllipse = rgbColor(255, 160, 0);

IsochronePoint step(float lon0, float lat0, float lon1, float lat1) {
    IsochronePoint p;
    p.valid = 1;
    p.parentLon = lon0;
    p.parentLat = lat0;
    p.lon = lon1;
    p.lat = lat1;
    return p;
}

TEST(RoutingLayerColour, EveryStyle) {
    SegmentColourInputs in{kRouting, kSailing, kEngine, 2, 6};
    IsochronePoint p;
    p.twa = 150;
    p.awa = 30;
    for (RouteStyle s : {RouteStyle::Dots, RouteStyle::Lines, RouteStyle::WindDirection})
        EXPECT_EQ(segmentColour(s, p, in), kRouting);
    EXPECT_EQ(routeStyle(10), RouteStyle::Lines); // a value the panel cannot set
    EXPECT_EQ(segmentColour(RouteStyle::SailingEngine, p, in), kSailing);
    EXPECT_EQ(segmentColour(RouteStyle::PointOfSail, p, in), kPointOfSailDownwind);
    p.twa = 120; // not above 120
    EXPECT_EQ(segmentColour(RouteStyle::PointOfSail, p, in), kPointOfSailUpwind);
    p.awa = 40; // not below 40
    EXPECT_EQ(segmentColour(RouteStyle::PointOfSail, p, in), kPointOfSailReaching);
    p.engine = 1; // the engine comes first
    EXPECT_EQ(segmentColour(RouteStyle::PointOfSail, p, in), kPointOfSailEngine);
    EXPECT_EQ(segmentColour(RouteStyle::SailingEngine, p, in), kEngine);

    const float dots[] = {0.5f, -0.5f, 0};
    const std::uint32_t currentColours[] = {kSailing, kEngine, kPointOfSailDownwind};
    for (int k = 0; k < 3; ++k) {
        p.currentDot = dots[k];
        EXPECT_EQ(segmentColour(RouteStyle::Current, p, in), currentColours[k]);
    }
    const int sides[] = {1, 0, -1}; // -1 at a departure
    for (int k = 0; k < 3; ++k) {
        p.awaSide = sides[k];
        EXPECT_EQ(segmentColour(RouteStyle::Tacks, p, in), k == 0 ? kEngine : kSailing);
    }

    const std::vector<std::uint32_t> scale = {1, 2, 3};
    p.aws = static_cast<float>(40 * kKnotToMs);
    EXPECT_EQ(segmentColour(RouteStyle::WindForce, p, in), kRouting); // no scale
    in.windScale = &scale;
    in.windInterval = 5;
    EXPECT_EQ(segmentColour(RouteStyle::WindForce, p, in), 3u); // limited to the last
    p.aws = static_cast<float>(6 * kKnotToMs);
    EXPECT_EQ(segmentColour(RouteStyle::WindForce, p, in), 2u);
    p.sog = 6;
    EXPECT_EQ(segmentColour(RouteStyle::BoatSpeed, p, in), rgbColor(0, 255, 0));
}

TEST(RoutingLayerColour, ScalesAndWidthAtTheirLimits) {
    EXPECT_EQ(boatSpeedColour(2, 2, 6), rgbColor(255, 0, 0));
    EXPECT_EQ(boatSpeedColour(4, 2, 6), rgbColor(128, 127, 0)); // trunc(127.5)
    EXPECT_EQ(boatSpeedColour(9, 2, 6), rgbColor(0, 255, 0));   // beyond the range
    // One speed, a range never set, a broken speed: the middle of the scale, no division by 0.
    const std::uint32_t middle = rgbColor(128, 127, 0);
    EXPECT_EQ(boatSpeedColour(3, 3, 3), middle);
    EXPECT_EQ(boatSpeedColour(3, std::numeric_limits<float>::max(), 0), middle);
    EXPECT_EQ(boatSpeedColour(std::nanf(""), 2, 6), middle);

    EXPECT_EQ(windForceIndex(static_cast<float>(2.9 * kKnotToMs), 3, 26), 0);
    EXPECT_EQ(windForceIndex(static_cast<float>(3.01 * kKnotToMs), 3, 26), 1);
    EXPECT_EQ(windForceIndex(static_cast<float>(500 * kKnotToMs), 3, 26), 25);
    EXPECT_EQ(windForceIndex(std::numeric_limits<float>::infinity(), 3, 26), 0);
    EXPECT_EQ(windForceIndex(10, 0, 26), 0);
    EXPECT_EQ(windForceIndex(10, 3, 0), -1);

    EXPECT_DOUBLE_EQ(routeLineWidth(20, true), 15);
    EXPECT_DOUBLE_EQ(routeLineWidth(std::nanf(""), false), 1);
    EXPECT_DOUBLE_EQ(routeLineWidth(1e9f, false), 64);
}

// A 400 x 300 chart, 100 pixels per degree, longitude 0 at x 200 and the equator at y 150;
// painted on white without smoothing, so that one-pixel lines keep their colour.
class RoutingLayerPicture : public ::testing::Test {
  protected:
    void SetUp() override {
        view.scale = 100;
        view.transX = 200;
        view.transY = 150;
        view.resize(400, 300);
        params.method = 1;
        params.thickness = 20; // w = 5
        params.renderMode = 1;
        params.showHours = false;
        display.colorRouting = static_cast<int>(kRouting);
        display.colorIsochron = static_cast<int>(kIsochron);
        display.colorSegment = static_cast<int>(kSegment);
        display.colorEllipse = static_cast<int>(kEllipse);
        layer.result = &result;
        layer.params = &params;
        layer.display = &display;
    }

    void paint() {
        image = QImage(view.width, view.height, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, false);
        paintRoutingLayer(painter, view, layer);
    }
    bool is(int x, int y, std::uint32_t c) const {
        return image.pixel(x, y) == qRgb(redOf(c), greenOf(c), blueOf(c));
    }
    // Pixels of colour c in the rectangle [x0, x1] x [y0, y1] (c = kWhite: pixels not white).
    int count(int x0, int y0, int x1, int y1, std::uint32_t c) const {
        int n = 0;
        for (int y = std::max(0, y0); y <= std::min(y1, image.height() - 1); ++y)
            for (int x = std::max(0, x0); x <= std::min(x1, image.width() - 1); ++x)
                n += c == kWhite ? !is(x, y, kWhite) : is(x, y, c);
        return n;
    }
    int ink() const { return count(0, 0, 400, 300, kWhite); }

    static constexpr std::uint32_t kWhite = 0xFFFFFF;
    MapView view;
    RoutingParameters params;
    RoutingDisplaySettings display;
    RoutingResult result;
    RoutingLayer layer;
    QImage image;
};

TEST_F(RoutingLayerPicture, DotsLinesBarbsAndArrival) {
    // (-1, 0) to (0, 0) to (1, 0): x 100 to 200 to 300 on row 150.
    result.output.route = {step(-1, 0, 0, 0), step(0, 0, 1, 0)};
    result.output.arrived = true;
    paint(); // lines of width 5, no squares
    EXPECT_TRUE(is(150, 150, kRouting) && is(250, 150, kRouting));
    EXPECT_EQ(count(200, 140, 200, 146, kRouting), 0);
    // The arrival circle of radius 10 around (300, 150), open inside.
    EXPECT_GT(count(299, 139, 301, 141, kArrivalCircleColour), 0);
    EXPECT_GT(count(309, 149, 311, 151, kArrivalCircleColour), 0);
    EXPECT_TRUE(is(300, 145, kWhite));
    // A route that stopped short has no arrival mark; its note stands beside its end.
    result.output.arrived = false;
    layer.routeNote = "Routing not finished";
    paint();
    EXPECT_EQ(count(299, 139, 301, 141, kArrivalCircleColour), 0);
    EXPECT_GT(count(314, 140, 399, 158, kWhite), 20);
    layer.routeNote.clear();

    params.renderMode = 0; // squares of side 10 at the step starts and the last point only
    paint();
    EXPECT_TRUE(is(150, 150, kWhite) && is(250, 150, kWhite));
    EXPECT_EQ(count(195, 145, 204, 154, kRouting), 100);
    EXPECT_EQ(count(95, 145, 104, 154, kRouting), 100);
    EXPECT_EQ(count(295, 145, 304, 154, kRouting), 100);
    EXPECT_TRUE(is(207, 150, kWhite));

    params.renderMode = 6; // a barb off each midpoint: a wind from the north stands upwards
    for (IsochronePoint& p : result.output.route) p.tws = 10;
    paint();
    EXPECT_TRUE(is(250, 150, kRouting));
    EXPECT_GT(count(249, 115, 251, 140, kRouting), 10);
    params.renderMode = 1;
    paint();
    EXPECT_EQ(count(249, 115, 251, 140, kRouting), 0);
}

TEST_F(RoutingLayerPicture, SegmentsOutsideTheViewAndAcrossTheDateLine) {
    // Nothing at all, the arrival circle included; a step across the 180 degree meridian
    // far from the view does not sweep across it.
    result.output.route = {step(10, 0, 11, 0), step(179.5f, 0, -179.5f, 0)};
    paint();
    EXPECT_EQ(ink(), 0);

    result.output.route = {step(1.5f, 0, 2.5f, 0)}; // one end inside: drawn up to the edge
    paint();
    EXPECT_TRUE(is(395, 150, kRouting));

    result.output.route = {step(std::nanf(""), 0, 0, 0), step(0, 0, 0.5f, 0)};
    paint(); // a broken point is passed over
    EXPECT_TRUE(is(225, 150, kRouting));

    // A view centred on the 180 degree meridian: a short step across it stays short.
    view.transX = 200 - 180 * view.scale;
    view.update();
    result.output.route = {step(179.5f, 0, -179.5f, 0)};
    paint();
    EXPECT_TRUE(is(200, 150, kRouting));
    EXPECT_TRUE(is(100, 150, kWhite) && is(300, 150, kWhite));
}

TEST(RoutingLayerScan, EachRunIsLabelledWithWhatTheScanVaried) {
    RoutingResult r;
    const struct {
        int power, variation, offset;
        const char* polar;
    } runs[] = {{80, 100, 0, "A"}, {100, 120, -3, "B"}};
    auto label = [&](bool polars, int varied) {
        r.summaries.clear();
        r.severalPolars = polars;
        for (const auto& run : runs) {
            RunSummary s;
            s.power = varied == 0 ? run.power : 100;
            s.variation = varied == 1 ? run.variation : 100;
            s.startOffset = varied == 2 ? run.offset : 0;
            s.polarName = run.polar;
            r.summaries.push_back(s);
        }
        return scanRunLabel(r, 0) + "|" + scanRunLabel(r, 1);
    };
    EXPECT_EQ(label(false, 0), "80 %|100 %");
    EXPECT_EQ(label(false, 1), "Wind 100 %|Wind 120 %");
    EXPECT_EQ(label(false, 2), "Start +0 h|Start -3 h");
    EXPECT_EQ(label(true, 3), "A|B");
    EXPECT_EQ(scanRunLabel(r, 2), "");
}

TEST_F(RoutingLayerPicture, ScannedRoutes) {
    // Two runs on rows 100 and 200, drawn after the scan ended (its flag cleared); the first
    // arrived at x 300, the second stopped short.
    result.scanning = false;
    result.scanRoutes = {{step(-1, 0.5f, 1, 0.5f)}, {step(-1, -0.5f, 1, -0.5f)}};
    result.output.route = result.scanRoutes.back();
    result.summaries.resize(2);
    result.summaries[0].power = 80;
    result.summaries[0].inProgress = true;
    paint();
    const int normal = count(200, 90, 200, 110, 0);
    EXPECT_GE(normal, 4);
    EXPECT_EQ(count(200, 190, 200, 210, 0), normal);
    EXPECT_GT(count(299, 89, 301, 91, kArrivalCircleColour), 0);
    EXPECT_EQ(count(299, 189, 301, 191, kArrivalCircleColour), 0);
    // Each end carries its label ("80 %", "100 %") right of it (text: pixels not white).
    EXPECT_GT(count(314, 90, 399, 108, kWhite), 20);
    EXPECT_GT(count(314, 190, 399, 208, kWhite), 20);

    layer.selectedRun = 0; // three times wider
    paint();
    EXPECT_GE(count(200, 90, 200, 110, 0), 3 * normal - 1);
    EXPECT_EQ(count(200, 190, 200, 210, 0), normal);

    params.scanningsBlack = false;
    layer.selectedRun = 7; // no such run
    paint();
    EXPECT_EQ(count(200, 90, 200, 110, kRouting), normal);
    EXPECT_EQ(count(200, 190, 200, 210, kRouting), normal);
}

TEST_F(RoutingLayerPicture, RunsOfAScanDrawnAsTheyEnd) {
    // While the scan goes on there is no result yet: the runs that ended are plain lines.
    const std::vector<std::vector<GeoPoint>> ended = {{{-1, 0.5f}, {1, 0.5f}}};
    layer.result = nullptr;
    layer.liveRoutes = &ended;
    paint();
    const int normal = count(200, 90, 200, 110, 0);
    EXPECT_GE(normal, 4);
    EXPECT_EQ(count(200, 190, 200, 210, kWhite), 0);
    params.scanningsBlack = false;
    paint();
    EXPECT_EQ(count(200, 90, 200, 110, kRouting), normal);
}

TEST_F(RoutingLayerPicture, LiveLayerDrawsTheAskedFrontsAndRoutesOnly) {
    // Three live fronts (rows 50, 150 and 250) and one ended run of a scan (row 100); the
    // window draws them over its chart a range at a time.
    const std::vector<std::vector<GeoPoint>> fronts = {
        {{-1, 1}, {1, 1}}, {{-1, 0}, {1, 0}}, {{-1, -1}, {1, -1}}};
    const std::vector<std::vector<GeoPoint>> ended = {{{-1, 0.5f}, {1, 0.5f}}};
    layer.result = nullptr;
    layer.liveFronts = &fronts;
    layer.liveRoutes = &ended;
    params.scanningsBlack = false;
    const auto draw = [&](std::size_t f0, std::size_t f1, std::size_t r0, std::size_t r1) {
        image = QImage(view.width, view.height, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        paintLiveRouting(painter, view, layer, f0, f1, r0, r1);
    };
    draw(1, 2, 0, 0);
    EXPECT_GT(count(150, 149, 250, 151, kIsochron), 90);
    EXPECT_EQ(count(0, 0, 400, 140, kWhite), 0);
    EXPECT_EQ(count(0, 160, 400, 300, kWhite), 0);
    draw(0, 99, 0, 1); // ranges past the end stop at it
    EXPECT_GT(count(150, 48, 250, 52, kIsochron), 90);
    EXPECT_GT(count(150, 248, 250, 252, kIsochron), 90);
    EXPECT_GT(count(150, 98, 250, 102, kRouting), 90);
    // The switches of the chart's layer hold: no isochrones, no best-course fronts.
    params.showIsochrones = false;
    draw(0, 3, 0, 0);
    EXPECT_EQ(ink(), 0);
    params.showIsochrones = true;
    params.method = 0;
    draw(0, 3, 0, 0);
    EXPECT_EQ(ink(), 0);
}

TEST(RoutingLayerLand, FrontsAreCutBeforeEachSegmentThatCrossesLand) {
    const std::vector<GeoPoint> front = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}};
    // Land between 1.5 and 2.5: the segments 1-2 and 2-3 cross it.
    const auto land = [](GeoPoint a, GeoPoint b) {
        return std::min(a.lon, b.lon) < 2.5f && std::max(a.lon, b.lon) > 1.5f;
    };
    const auto pieces = cutAtLand(front, land);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0].size(), 2u);
    EXPECT_EQ(pieces[1].size(), 1u);
    EXPECT_EQ(pieces[2].size(), 2u);
    EXPECT_EQ(pieces[2].front().lon, 3.0f);
    EXPECT_EQ(cutAtLand(front, {}).size(), 1u);
    EXPECT_TRUE(cutAtLand({}, land).empty());
}

TEST_F(RoutingLayerPicture, IsochronesSegmentsEllipseAndTheirSwitches) {
    // Two points reached from (100, 150): (150, 50) and (250, 50), one front between them;
    // a live front from (50, 250) to (150, 250); the ellipse of the leg from (300, 250) to
    // (300, 150), 75 % as wide as long: its widest point at (337.5, 200).
    result.output.allIsochrones = {{step(-1, 0, -0.5f, 1), step(-1, 0, 0.5f, 1)}};
    result.output.arrived = true;
    UserRoute route;
    route.waypoints = {{1, -1}, {1, 0}};
    recompute(route, params, nullptr);
    layer.route = &route;
    std::vector<std::vector<GeoPoint>> live = {{{-1.5f, -1}, {-0.5f, -1}}};
    layer.liveFronts = &live;
    paint();
    EXPECT_GT(count(199, 49, 201, 51, kIsochron), 0);
    EXPECT_GT(count(99, 249, 101, 251, kIsochron), 0);
    EXPECT_GT(count(199, 82, 201, 84, kSegment), 0);
    EXPECT_GT(count(124, 99, 126, 101, kSegment), 0);
    EXPECT_GT(count(336, 199, 339, 201, kEllipse), 0);
    // The wide-fan search has no ellipse round the leg: none is drawn, the fronts still are.
    params.search = 1;
    paint();
    EXPECT_EQ(count(280, 100, 400, 300, kEllipse), 0);
    EXPECT_GT(count(199, 49, 201, 51, kIsochron), 0);
    params.search = 0;

    params.showIsochrones = params.showSegments = params.showEllipse = false;
    paint();
    EXPECT_EQ(ink(), 0);
    params.showIsochrones = params.showSegments = params.showEllipse = true;
    params.method = 0; // the best-course method has none of them
    paint();
    EXPECT_EQ(ink(), 0);
    params.method = 1;
    layer.params = nullptr;
    paint();
    EXPECT_EQ(ink(), 0);
}

TEST_F(RoutingLayerPicture, HourLabels) {
    // Half-hour steps of 80 pixels from 10:00 at x 40: labels at 10:00 (x 40) and 11:00
    // (x 200), none at 10:30 (x 120) and 11:30 (x 280).
    DateTime t = fromDayNumber(dayNumber(1, 6, 2024, 10, 0, 0));
    for (int k = 0; k < 4; ++k) {
        IsochronePoint p = step(-1.6f + 0.8f * k, 0, -0.8f + 0.8f * k, 0);
        p.parentTime = t;
        advance(t, 1800);
        p.time = t;
        result.output.route.push_back(p);
    }
    params.renderMode = 0;
    params.thickness = 4;
    auto labelAt = [&](int x) { return count(x + 4, 130, x + 24, 146, kWhite) > 0; };
    params.showHours = true;
    paint();
    EXPECT_TRUE(labelAt(40) && labelAt(200));
    EXPECT_FALSE(labelAt(120) || labelAt(280));
    params.showHours = false;
    paint();
    EXPECT_FALSE(labelAt(40) || labelAt(200));
}

} // namespace

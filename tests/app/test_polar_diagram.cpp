// The polar diagram: where speeds land on the screen, what the mouse reads, and the drawing.
#include "render/polar_diagram.h"

#include "core/geodesy.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPointF>

#include <cmath>
#include <cstdlib>
#include <string>

using namespace navorel;

namespace {

Polar shippedPolar() {
    Polar p;
    std::string error;
    const bool ok =
        loadPolar(std::string(NAVOREL_SOURCE_DIR) + "/dist/Polars/Navorel40.pol", p, error);
    EXPECT_TRUE(ok) << error;
    return p;
}

Polar polarFrom(const char* text) {
    Polar p;
    std::string error;
    EXPECT_TRUE(parsePolar(text, "test", p, error)) << error;
    return p;
}

QPointF screenPoint(const PolarDiagramLayout& layout, double twa, double speed) {
    double x, y;
    polarDiagramPoint(layout, twa, speed, x, y);
    return {x, y};
}

bool isWhite(QRgb c) {
    return qRed(c) == 255 && qGreen(c) == 255 && qBlue(c) == 255;
}

} // namespace

TEST(PolarDiagramLayout, ZeroPointsUpNinetyRightAndTheTableFitsTheWindow) {
    const Polar polar = shippedPolar();
    for (const auto& [w, h] : {std::pair{800, 600}, std::pair{200, 900}, std::pair{1600, 300}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const PolarDiagramLayout layout = polarDiagramLayout(polar, w, h);
        ASSERT_TRUE(layout.valid());

        const QPointF up = screenPoint(layout, 0, 5);
        EXPECT_NEAR(up.x(), layout.x0, 1e-9);
        EXPECT_NEAR(up.y(), layout.y0 - 5 * layout.k, 1e-9);
        const QPointF beam = screenPoint(layout, 90, 5);
        EXPECT_NEAR(beam.x(), layout.x0 + 5 * layout.k, 1e-9);
        EXPECT_NEAR(beam.y(), layout.y0, 1e-9);
        const QPointF down = screenPoint(layout, 180, 5);
        EXPECT_NEAR(down.x(), layout.x0, 1e-9);
        EXPECT_NEAR(down.y(), layout.y0 + 5 * layout.k, 1e-9);

        double top = h, bottom = 0, right = 0;
        for (int r = 1; r <= polar.lastRow; ++r)
            for (int c = 1; c <= polar.lastColumn; ++c) {
                const QPointF p = screenPoint(layout, polar.table[r][0], polar.table[r][c]);
                EXPECT_GE(p.x(), layout.x0 - 1e-9);
                top = std::min(top, p.y());
                bottom = std::max(bottom, p.y());
                right = std::max(right, p.x());
            }
        EXPECT_GE(top, 0.0);
        EXPECT_LE(bottom, h);
        EXPECT_LE(right, w);
        EXPECT_GE(layout.x0, 0.0);
        // Centred both ways.
        EXPECT_NEAR(top, h - bottom, 1e-6);
        EXPECT_NEAR(layout.x0, w - right, 1e-6);
    }
    // A wide window: the speeds along the wind fill 80 % of the height.
    const PolarDiagramLayout wide = polarDiagramLayout(polar, 800, 600);
    EXPECT_NEAR(wide.k, 0.8 * 600 / (polar.maxAlong - polar.minAlong), 1e-9);
}

TEST(PolarDiagramLayout, NothingToScaleGivesNoLayoutAndAWhitePicture) {
    const Polar empty;
    const Polar calm = polarFrom("x\t4\t8\n0\t0\t0\n90\t0\t0\n180\t0\t0\n");
    const Polar shipped = shippedPolar();
    EXPECT_FALSE(polarDiagramLayout(empty, 800, 600).valid());
    EXPECT_FALSE(polarDiagramLayout(calm, 800, 600).valid());
    EXPECT_FALSE(polarDiagramLayout(shipped, 0, 600).valid());
    EXPECT_FALSE(polarDiagramLayout(shipped, 800, -1).valid());
    EXPECT_FALSE(polarReadout(calm, polarDiagramLayout(calm, 800, 600), 700, 300).show);
    // A layout made for another polar does not let the read-out index an empty table.
    EXPECT_FALSE(polarReadout(empty, polarDiagramLayout(shipped, 800, 600), 700, 300).show);

    for (const Polar* p : {&empty, &calm}) {
        QImage image(200, 150, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        const QPointF mouse(150, 75);
        paintPolarDiagram(painter, image.width(), image.height(), *p, &mouse);
        painter.end();
        int coloured = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) coloured += !isWhite(image.pixel(x, y));
        EXPECT_EQ(coloured, 0);
    }
}

TEST(PolarDiagramReadout, MouseOnACurveReadsItsAngleWindAndSpeeds) {
    const Polar polar = shippedPolar();
    const PolarDiagramLayout layout = polarDiagramLayout(polar, 800, 600);
    const double bs = polarSpeed(polar, 90, 12);
    const QPointF at = screenPoint(layout, 90, bs);
    const PolarReadout r = polarReadout(polar, layout, at.x(), at.y());
    ASSERT_TRUE(r.show);
    ASSERT_TRUE(r.haveWind);
    EXPECT_NEAR(r.twa, 90.0, 1e-9);
    EXPECT_GE(r.tws, 12.0 - 0.1);
    EXPECT_LE(r.tws, 12.0 + 0.1 + 1e-6);
    EXPECT_NEAR(r.boatSpeed, bs, 1e-6);
    EXPECT_NEAR(r.vmg, 0.0, 1e-9);
    ASSERT_EQ(r.lines.size(), 4u);
    EXPECT_EQ(r.lines[0], "TWA:   90.0 °");
    char expected[64];
    std::snprintf(expected, sizeof expected, "TWS: %6.1f kt", r.tws);
    EXPECT_EQ(r.lines[1], expected);
    std::snprintf(expected, sizeof expected, "BS: %6.2f kt", bs);
    EXPECT_EQ(r.lines[2], expected);
    EXPECT_TRUE(r.lines[3] == "VMG:   0.00 kt" || r.lines[3] == "VMG:  -0.00 kt") << r.lines[3];

    // Other angles and winds between the columns, up- and downwind.
    for (double twa : {45.0, 75.0, 120.0, 150.0, 175.0})
        for (double tws : {5.5, 9.0, 17.3}) {
            SCOPED_TRACE(std::to_string(twa) + " / " + std::to_string(tws));
            const double speed = polarSpeed(polar, twa, tws);
            const QPointF p = screenPoint(layout, twa, speed);
            const PolarReadout q = polarReadout(polar, layout, p.x(), p.y());
            ASSERT_TRUE(q.show && q.haveWind);
            EXPECT_NEAR(q.twa, twa, 1e-6);
            EXPECT_NEAR(q.tws, tws, 0.1 + 1e-6);
            EXPECT_NEAR(q.vmg, std::cos(twa * kDegToRad) * speed, 1e-6);
        }
    // Close-hauled the boat slows again above 20 knots: the speed of 27 knots is first
    // reached in a lighter wind, and that wind is read.
    const double slower = polarSpeed(polar, 45, 27);
    const QPointF p = screenPoint(layout, 45, slower);
    const PolarReadout q = polarReadout(polar, layout, p.x(), p.y());
    ASSERT_TRUE(q.haveWind);
    EXPECT_LT(q.tws, 20.0);
    EXPECT_NEAR(polarSpeed(polar, 45, q.tws), slower, 0.05);
}

TEST(PolarDiagramReadout, ShowsOnlyRightOfTheOriginAndAboveTheFirstAngle) {
    const Polar polar = shippedPolar();
    const PolarDiagramLayout layout = polarDiagramLayout(polar, 800, 600);
    EXPECT_FALSE(polarReadout(polar, layout, layout.x0 - 10, layout.y0 + 40).show);
    EXPECT_FALSE(polarReadout(polar, layout, layout.x0, layout.y0 - 40).show);
    EXPECT_FALSE(polarReadout(polar, layout, layout.x0, layout.y0).show);
    // The shipped table starts at 30 degrees.
    const QPointF tooHigh = screenPoint(layout, 20, 4);
    EXPECT_FALSE(polarReadout(polar, layout, tooHigh.x(), tooHigh.y()).show);
    const QPointF justAbove = screenPoint(layout, 31, 4);
    EXPECT_TRUE(polarReadout(polar, layout, justAbove.x(), justAbove.y()).show);
}

TEST(PolarDiagramReadout, SpeedsNoWindReachesGiveTheAngleOnly) {
    const Polar polar = shippedPolar();
    const PolarDiagramLayout layout = polarDiagramLayout(polar, 800, 600);
    const QPointF far = screenPoint(layout, 100, 40);
    const PolarReadout r = polarReadout(polar, layout, far.x(), far.y());
    EXPECT_TRUE(r.show);
    EXPECT_FALSE(r.haveWind);
    EXPECT_NEAR(r.twa, 100.0, 1e-6);
    ASSERT_EQ(r.lines.size(), 1u);
    EXPECT_EQ(r.lines[0], "TWA:  100.0 °");
}

TEST(PolarDiagramReadout, SpeedsBelowTheFirstWindScaleFromCalm) {
    const Polar polar = shippedPolar();
    const PolarDiagramLayout layout = polarDiagramLayout(polar, 800, 600);
    // Half the speed of the 4-knot column: a 2-knot wind.
    const double bs = 0.5 * polarSpeed(polar, 90, 4);
    const QPointF p = screenPoint(layout, 90, bs);
    const PolarReadout r = polarReadout(polar, layout, p.x(), p.y());
    ASSERT_TRUE(r.haveWind);
    EXPECT_NEAR(r.tws, 2.0, 0.1 + 1e-6);
}

TEST(PolarDiagramReadout, SearchesEndOnFlatAndHugeTables) {
    // The speed stops growing at 8 knots: a boat speed equal to the top is reached but never
    // exceeded.
    const Polar flat = polarFrom("x\t4\t8\t12\n0\t0\t0\t0\n90\t4\t6\t6\n180\t2\t3\t3\n");
    const PolarDiagramLayout layout{10, 100, 100};
    const PolarReadout top = polarReadout(flat, layout, 160, 100); // 6 kt at 90 degrees
    EXPECT_TRUE(top.show);
    EXPECT_NEAR(top.twa, 90.0, 1e-12);
    EXPECT_FALSE(top.haveWind);
    const PolarReadout below = polarReadout(flat, layout, 155, 100); // 5.5 kt
    ASSERT_TRUE(below.haveWind);
    EXPECT_NEAR(below.tws, 7.0, 0.1 + 1e-6);

    // The speed falls again in stronger winds: the lightest wind that gives it.
    const Polar falling = polarFrom("x\t4\t8\t12\n0\t0\t0\t0\n90\t6\t5\t4\n180\t3\t2\t1\n");
    const PolarReadout f = polarReadout(falling, layout, 154.5, 100); // 5.45 kt
    ASSERT_TRUE(f.haveWind);
    EXPECT_NEAR(f.tws, 3.7, 0.1 + 1e-6);

    // An absurd last wind does not stall the read-out.
    const Polar huge = polarFrom("x\t4\t1e30\n0\t0\t0\n90\t4\t5\n180\t2\t3\n");
    const PolarReadout h = polarReadout(huge, layout, 200, 100);
    EXPECT_TRUE(h.show);
    EXPECT_FALSE(h.haveWind);
}

TEST(PolarDiagramPaint, CurvesMarksAndReadoutAreDrawn) {
    const Polar polar = shippedPolar();
    const int w = 900, h = 640;
    const PolarDiagramLayout layout = polarDiagramLayout(polar, w, h);
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::black);
    const QPointF mouse = screenPoint(layout, 60, 0.9 * polarSpeed(polar, 60, 14));
    {
        QPainter painter(&image);
        paintPolarDiagram(painter, w, h, polar, &mouse);
    }
    if (const char* out = std::getenv("NAVOREL_POLAR_PNG")) image.save(out);

    // Coloured (not grey, not white) pixels where the 4-knot curve crosses the beam.
    const QPointF beam = screenPoint(layout, 90, polarSpeed(polar, 90, 4));
    int coloured = 0;
    for (int dy = -2; dy <= 2; ++dy) {
        const QColor c(image.pixel(static_cast<int>(std::lround(beam.x())),
                                   static_cast<int>(std::lround(beam.y())) + dy));
        coloured += c.saturation() > 100;
    }
    EXPECT_GT(coloured, 0);

    // White background far from the diagram, bottom left.
    EXPECT_TRUE(isWhite(image.pixel(5, h - 5)));

    // The line from the origin to the mouse: dark pixels half way along it.
    const QPointF mid = (QPointF(layout.x0, layout.y0) + mouse) / 2;
    int dark = 0;
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy) {
            const QColor c(
                image.pixel(static_cast<int>(mid.x()) + dx, static_cast<int>(mid.y()) + dy));
            dark += c.value() < 160;
        }
    EXPECT_GT(dark, 0);

    // The same picture without a mouse leaves that spot clear of the read-out line.
    QImage plain(w, h, QImage::Format_RGB32);
    {
        QPainter painter(&plain);
        paintPolarDiagram(painter, w, h, polar, nullptr);
    }
    EXPECT_NE(plain, image);
}

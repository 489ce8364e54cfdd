#include "routing/polar.h"

#include <gtest/gtest.h>

#include <random>

using namespace navorel;

namespace {

Polar parse(const std::string& text) {
    Polar p;
    std::string error;
    EXPECT_TRUE(parsePolar(text, "test", p, error)) << error;
    return p;
}

const char* kSmall = "TWA\\TWS\t6\t12\t20\n"
                     "40\t4\t6\t7\n"
                     "90\t6\t8\t9\n"
                     "150\t5\t7,35\t8.5\n"
                     "180\t4\t6\t7.5\n";

std::string demoPolarPath() {
    return std::string(NAVOREL_SOURCE_DIR) + "/dist/Polars/Navorel40.pol";
}

} // namespace

TEST(Polar, ReadsTheTable) {
    const Polar p = parse(kSmall);
    EXPECT_EQ(p.rowCount, 5);
    EXPECT_EQ(p.lastColumn, 3);
    EXPECT_EQ(p.minTwa, 40);
    EXPECT_EQ(p.maxTwa, 180);
    EXPECT_EQ(p.minTws, 6);
    EXPECT_EQ(p.maxTws, 20);
    EXPECT_FLOAT_EQ(p.table[3][2], 7.35f); // decimal comma
    EXPECT_EQ(p.table[0][0], 0.0f);        // text cell
    EXPECT_EQ(polarNameOf("C:\\Polars\\First 40.7.pol"), "First 40.7");
    EXPECT_EQ(polarNameOf("/x/y/boat.pol"), "boat");
}

TEST(Polar, UnequalRowsAndLineEndings) {
    const Polar p = parse("x\t5\t10\r\n60\t3\r\n120\t4\t6\t99\r\n");
    EXPECT_EQ(p.table[1][2], 0.0f); // missing cell counts as 0
    EXPECT_FLOAT_EQ(polarSpeed(p, 120, 10), 6.0f);
}

TEST(Polar, RefusesTablesItCannotInterpolate) {
    Polar p;
    std::string error;
    EXPECT_FALSE(parsePolar("", "e", p, error));
    EXPECT_FALSE(parsePolar("x\t6\t12\n40\t4\t6\n", "one row", p, error));
    EXPECT_FALSE(parsePolar("x\t6\n40\t4\n90\t6\n", "one column", p, error));
    EXPECT_FALSE(parsePolar("x\t6\t12\n90\t4\t6\n40\t6\t8\n", "angles", p, error));
    EXPECT_FALSE(parsePolar("x\t12\t6\n40\t4\t6\n90\t6\t8\n", "winds", p, error));
    EXPECT_FALSE(parsePolar("x\t-1\t6\n40\t4\t6\n90\t6\t8\n", "negative wind", p, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(loadPolar("/nonexistent/boat.pol", p, error));
}

TEST(Polar, RefusesSpeedsThatCannotBeSailed) {
    const struct {
        const char* cell;
        const char* message;
    } cases[] = {
        {"-2", "negative boat speed at TWA 90, TWS 12 (row 2, column 2)"},
        {"nan", "boat speed is not a number at TWA 90, TWS 12 (row 2, column 2)"},
        {"inf", "boat speed is not a number at TWA 90, TWS 12 (row 2, column 2)"},
        {"-Infinity", "boat speed is not a number at TWA 90, TWS 12 (row 2, column 2)"},
        {"1e99", "boat speed is not a number at TWA 90, TWS 12 (row 2, column 2)"},
    };
    for (const auto& c : cases) {
        Polar p;
        std::string error;
        const std::string text = std::string("x\t6\t12\n40\t4\t6\n90\t6\t") + c.cell + "\n";
        EXPECT_FALSE(parsePolar(text, "bad", p, error)) << c.cell;
        EXPECT_EQ(error, c.message) << c.cell;
    }
}

TEST(Polar, FirstWindColumnAtZeroKnots) {
    const Polar p = parse("TWA\\TWS\t0\t6\t12\n40\t0\t4\t6\n90\t0\t6\t8\n");
    EXPECT_EQ(p.minTws, 0.0f);
    EXPECT_FLOAT_EQ(polarSpeed(p, 90, 0), 0.0f);
    EXPECT_FLOAT_EQ(polarSpeed(p, 90, 3), 3.0f);
    EXPECT_FLOAT_EQ(polarSpeed(p, 90, 9), 7.0f);
    EXPECT_EQ(polarSpeed(p, 90, -1), 0.0f);
    EXPECT_GT(bestUpwind(p, 3).speed, 0.0f);
}

TEST(Polar, Interpolation) {
    const Polar p = parse(kSmall);
    EXPECT_EQ(polarSpeed(p, 30, 12), 0.0f);       // below the first angle
    EXPECT_EQ(polarSpeed(p, 181, 12), 0.0f);      // beyond the last
    EXPECT_FLOAT_EQ(polarSpeed(p, 90, 12), 8.0f); // on a table angle
    EXPECT_FLOAT_EQ(polarSpeed(p, 40, 6), 4.0f);  // first angle
    EXPECT_FLOAT_EQ(polarSpeed(p, 90, 30), 9.0f); // stronger than the table
    EXPECT_FLOAT_EQ(polarSpeed(p, 90, 3), 3.0f);  // half of the first column
    EXPECT_FLOAT_EQ(polarSpeed(p, 65, 9), 6.0f);  // (5 + 7) / 2
    EXPECT_FLOAT_EQ(polarSpeed(p, 90, 16), 8.5f);
}

TEST(Polar, SailingSpeedUsesTheBestVmgAngles) {
    const Polar p = parse(kSmall);
    float twa = 30;
    bool adjusted = false;
    const float s = sailingSpeed(p, 12, twa, adjusted);
    EXPECT_TRUE(adjusted);
    const BestAngle up = bestUpwind(p, 12);
    EXPECT_EQ(twa, up.angle);
    EXPECT_EQ(s, up.speed);
    EXPECT_GE(up.angle, 40);

    twa = 90;
    EXPECT_FLOAT_EQ(sailingSpeed(p, 12, twa, adjusted), 8.0f);
    EXPECT_FALSE(adjusted);

    twa = 20;
    EXPECT_EQ(sailingSpeed(p, -1, twa, adjusted), 0.0f);
    EXPECT_EQ(twa, 0.0f);
}

TEST(Polar, NoDownwindVmgGivesTheDeepestAngleAndNoSpeed) {
    const Polar p = parse("x\t6\t12\n40\t4\t6\n90\t6\t8\n120\t0\t0\n180\t0\t0\n");
    const BestAngle down = bestDownwind(p, 10);
    EXPECT_EQ(down.angle, 180.0f);
    EXPECT_EQ(down.speed, 0.0f);
    float twa = 170;
    bool adjusted;
    EXPECT_EQ(sailingSpeed(p, 10, twa, adjusted), 0.0f);
}

TEST(Polar, FastSearchesMatchThePlainOnesBitForBit) {
    Polar p;
    std::string error;
    ASSERT_TRUE(loadPolar(demoPolarPath(), p, error)) << error;
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> tws(-1.0f, 40.0f);
    for (int k = 0; k < 20000; ++k) {
        const float w = k < 400 ? k * 0.1f : tws(rng);
        const BestAngle a = bestUpwind(p, w), b = bestUpwindPlain(p, w);
        ASSERT_EQ(a.angle, b.angle) << w;
        ASSERT_EQ(a.speed, b.speed) << w;
        const BestAngle c = bestDownwind(p, w), d = bestDownwindPlain(p, w);
        ASSERT_EQ(c.angle, d.angle) << w;
        ASSERT_EQ(c.speed, d.speed) << w;
    }
}

TEST(Polar, DemoPolarIsSensible) {
    Polar p;
    std::string error;
    ASSERT_TRUE(loadPolar(demoPolarPath(), p, error)) << error;
    EXPECT_EQ(p.name, "Navorel40");
    const BestAngle up = bestUpwind(p, 12), down = bestDownwind(p, 12);
    EXPECT_GT(up.angle, 35);
    EXPECT_LT(up.angle, 50);
    EXPECT_GT(down.angle, 135);
    EXPECT_LT(down.angle, 175);
    EXPECT_GT(polarSpeed(p, 90, 12), 6.5f);
    EXPECT_LT(polarSpeed(p, 90, 12), 8.0f);
}

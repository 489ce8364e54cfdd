#include "core/position_text.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace navorel;
using Kind = CoordinateText::Kind;

TEST(PositionText, Formats) {
    EXPECT_EQ(formatPosition(-45.5, -0.25), "45\xC2\xB0S 30' 0000 - 000\xC2\xB0W 15' 0000");
    // Latitude 0 is labelled S.
    EXPECT_EQ(formatPosition(0, 0), "00\xC2\xB0S 00' 0000 - 000\xC2\xB0" "E 00' 0000");
    EXPECT_EQ(formatPosition(0, 190), "00\xC2\xB0S 00' 0000 - 170\xC2\xB0W 00' 0000");
    EXPECT_EQ(formatLatitudeDms(0), "00\xC2\xB0S 00'00\"");
    EXPECT_EQ(formatLatitudeDms(46.5), "46\xC2\xB0N 30'00\"");
    EXPECT_EQ(formatLongitudeDms(-70.25), "070\xC2\xB0W 15'00\"");
}

TEST(PositionText, FormatWithPatterns) {
    CoordinateText c;
    c.format(45.10205, Kind::Latitude, CoordinateText::latitudePattern(0));
    EXPECT_EQ(c.text(), "N 45 06.123");
    c.format(-45.10205, Kind::Longitude, CoordinateText::longitudePattern(0));
    EXPECT_EQ(c.text(), "W 045 06.123");
    c.format(45.102, Kind::Latitude, CoordinateText::latitudePattern(1));
    EXPECT_EQ(c.text(), "N 45 06 07");
    c.format(45.102, Kind::Latitude, CoordinateText::latitudePattern(2));
    EXPECT_EQ(c.text(), "45.10200000");
    c.format(12.5, Kind::Latitude, "%d%%");
    EXPECT_EQ(c.text(), "12.500000%");
    c.format(181, Kind::Longitude, "%c");
    EXPECT_FALSE(c.valid());
    EXPECT_EQ(c.text(), "");
}

TEST(PositionText, Parse) {
    CoordinateText c;
    c.parse("N 45 06.5");
    EXPECT_EQ(c.kind(), Kind::Latitude);
    EXPECT_NEAR(c.value(), 45.108333, 1e-6);
    c.parse("45 06 30 W");
    EXPECT_EQ(c.kind(), Kind::Longitude);
    EXPECT_NEAR(c.value(), -45.108333, 1e-6);
    c.parse("N 95 70");
    EXPECT_FALSE(c.valid());
    c.parse("x -12 30", Kind::Longitude);
    EXPECT_NEAR(c.value(), -12.5, 1e-12);
    // Every format's own text reads back as the value it shows, negative ones included.
    for (int format = 0; format < 3; ++format)
        for (const double v : {-45.5, -5.25, 45.5, -170.75}) {
            const bool lat = std::fabs(v) <= 90;
            const Kind kind = lat ? Kind::Latitude : Kind::Longitude;
            c.format(v, kind,
                     lat ? CoordinateText::latitudePattern(format)
                         : CoordinateText::longitudePattern(format));
            const std::string shown = c.text();
            c.parse(shown, kind);
            EXPECT_NEAR(c.value(), v, 1e-6) << format << " " << shown;
        }
    c.parse("S 45 06 30", "H DD MM SS");
    EXPECT_NEAR(c.value(), -45.108333, 1e-6);
    c.parse("E 007 30.50", "H DDD MM.mm", Kind::Latitude);
    EXPECT_EQ(c.kind(), Kind::Longitude);
    EXPECT_NEAR(c.value(), 7 + 30.5 / 60, 1e-9);
}

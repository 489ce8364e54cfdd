#include "core/datetime.h"
#include "core/nmea.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace navorel {
namespace {

// "$" + body + "*hh" with the right checksum.
std::string sentence(const std::string& body) {
    unsigned sum = 0;
    for (const char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[4];
    std::snprintf(tail, sizeof tail, "*%02X", sum);
    return "$" + body + tail;
}

const std::string kMunich = "GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W";

TEST(Nmea, RmcSentences) {
    struct Case {
        const char* what;
        std::string text;
        int values; // 0: nothing read
        double lat, lon, speed, course;
        bool hasTime;
    };
    const std::vector<Case> cases = {
        {"reference sentence", "$" + kMunich + "*6A", 4, 48.1173, 11.516667, 22.4, 84.4, true},
        {"south and west",
         sentence("GPRMC,123519,A,4807.038,S,01131.000,W,022.4,084.4,230394,003.1,W"), 4, -48.1173,
         -11.516667, 22.4, 84.4, true},
        {"GN talker", sentence("GN" + kMunich.substr(2)), 4, 48.1173, 11.516667, 22.4, 84.4, true},
        {"BD talker", sentence("BD" + kMunich.substr(2)), 4, 48.1173, 11.516667, 22.4, 84.4, true},
        {"lower-case checksum", "$" + kMunich + "*6a", 4, 48.1173, 11.516667, 22.4, 84.4, true},
        {"wrong checksum", "$" + kMunich + "*6B", 0, 0, 0, 0, 0, false},
        {"no checksum", "$" + kMunich, 0, 0, 0, 0, 0, false},
        {"status V", sentence("GPRMC,123519,V,4807.038,N,01131.000,E,022.4,084.4,230394,,"), 0, 0,
         0, 0, 0, false},
        {"empty position", sentence("GPRMC,123519,A,,,,,,,230394,,"), 0, 0, 0, 0, 0, false},
        {"empty course", sentence("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,,230394,,"), 3,
         48.1173, 11.516667, 22.4, 0, true},
        {"bad longitude", sentence("GPRMC,123519,A,4807.038,N,0113x,E,022.4,084.4,230394,,"), 1,
         48.1173, 0, 0, 0, true},
        {"60 minutes", sentence("GPRMC,123519,A,4860.000,N,01131.000,E,022.4,084.4,230394,,"), 0, 0,
         0, 0, 0, false},
        {"past the pole", sentence("GPRMC,123519,A,9100.000,N,01131.000,E,022.4,084.4,230394,,"), 0,
         0, 0, 0, 0, false},
        {"no date", sentence("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4"), 4, 48.1173,
         11.516667, 22.4, 84.4, false},
        {"GGA", sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"), 0, 0, 0,
         0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GpsFix fix;
        EXPECT_EQ(parseRmc(c.text, fix), c.values > 0);
        EXPECT_EQ(fix.values, c.values);
        EXPECT_NEAR(fix.lat, c.lat, 1e-6);
        EXPECT_NEAR(fix.lon, c.lon, 1e-6);
        EXPECT_NEAR(fix.speed, c.speed, 1e-9);
        EXPECT_NEAR(fix.course, c.course, 1e-9);
        EXPECT_EQ(fix.hasTime, c.hasTime);
    }
    GpsFix fix;
    ASSERT_TRUE(parseRmc("$" + kMunich + "*6A", fix));
    EXPECT_NEAR(fix.time, dayNumber(23, 3, 1994, 12, 35, 19), 1e-9);
}

// A stream such as a receiver sends, with the kinds of damage a line suffers.
std::string stream() {
    return "noise\r\n" + sentence("GNGGA,120000,4221.600,N,07042.000,W,1,08,0.9,2.0,M,,M,,") +
           "\r\n" + sentence("GPRMC,120000,A,4221.600,N,07042.000,W,6.0,138.3,010624,,") + "\r\n" +
           sentence("GNRMC,120001,V,,,,,,,010624,,") + "\r\n" + "$GNRMC,12" + "\x01junk\n" +
           "$GNRMC," + std::string(120, '9') + "\r\n" +
           sentence("GNRMC,120001,A,4221.500,N,07041.900,W,6.0,138.3,010624,,").substr(0, 60) +
           "*00\r\n" + sentence("GNRMC,120002,A,4221.400,N,07041.800,W,6.1,138.0,010624,,") +
           "\r\n" + sentence("GLRMC,120003,A,4221.300,N,07041.700,W,6.2,137.0,010624,,") + "\n";
}

std::vector<double> latitudes(NmeaReader& reader, const std::vector<std::string>& pieces) {
    std::vector<double> seen;
    for (const std::string& piece : pieces)
        reader.feed(piece, [&](const GpsFix& fix) { seen.push_back(fix.lat); });
    return seen;
}

TEST(Nmea, ReaderFindsEveryFixHoweverTheBytesArrive) {
    const std::vector<double> expected = {42.36, 42.3566666667, 42.355};
    const std::string bytes = stream();
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
        NmeaReader reader;
        const auto seen = latitudes(reader, {bytes.substr(0, cut), bytes.substr(cut)});
        ASSERT_EQ(seen.size(), expected.size()) << "cut at " << cut;
        for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_NEAR(seen[i], expected[i], 1e-9);
        EXPECT_EQ(reader.counts().overlong, 1u);
        EXPECT_EQ(reader.counts().badChecksum, 2u); // the cut one and the one with junk
    }
    NmeaReader reader; // one byte a read
    std::vector<std::string> bytesOneByOne;
    for (const char c : bytes) bytesOneByOne.emplace_back(1, c);
    EXPECT_EQ(latitudes(reader, bytesOneByOne).size(), expected.size());
}

TEST(Nmea, EndlessLineIsNotKept) {
    NmeaReader reader;
    const std::string endless = "$GPRMC," + std::string(1 << 20, '1');
    const std::string good = sentence("GPRMC,120000,A,4221.600,N,07042.000,W,6.0,138.3,010624,,");
    EXPECT_EQ(reader.feed(endless, {}), 0u);
    EXPECT_EQ(reader.counts().overlong, 1u);
    // The next sentence reads, even without a line end before it.
    EXPECT_EQ(latitudes(reader, {good + "\r\n"}).size(), 1u);
}

TEST(Nmea, BoatTakesOnlyWhatTheFixHolds) {
    GpsBoat boat;
    GpsFix fix;
    ASSERT_TRUE(parseRmc("$" + kMunich + "*6A", fix));
    boat.apply(fix);
    fix.values = 3; // no course
    fix.speed = 5.0;
    fix.course = 200.0;
    boat.apply(fix);
    EXPECT_TRUE(boat.hasFix.load());
    EXPECT_FLOAT_EQ(boat.speed.load(), 5.0f);
    EXPECT_FLOAT_EQ(boat.course.load(), 84.4f);
    EXPECT_EQ(boat.seconds.load(),
              static_cast<std::uint32_t>(std::lround(dayNumber(23, 3, 1994, 12, 35, 19) * 86400)));
}

// Folding a run of fixes into one leaves the boat where taking them one by one would.
TEST(Nmea, FoldedFixesEndWhereTheRunEnds) {
    const auto fix = [](int values, double lat, double lon, double speed, double course) {
        GpsFix f;
        f.values = values;
        f.lat = lat;
        f.lon = lon;
        f.speed = speed;
        f.course = course;
        return f;
    };
    struct Case {
        const char* name;
        std::vector<GpsFix> run;
        GpsFix held; // what the window is handed
    };
    const Case cases[] = {
        {"nothing yet takes the first", {fix(4, 1, 2, 3, 4)}, fix(4, 1, 2, 3, 4)},
        {"the latest full fix wins", {fix(4, 1, 2, 3, 4), fix(4, 5, 6, 7, 8)}, fix(4, 5, 6, 7, 8)},
        // A position alone moves the boat; speed and course stay those of the earlier fix.
        {"a position after a full fix",
         {fix(4, 1, 2, 3, 4), fix(2, 5, 6, 0, 0)},
         fix(4, 5, 6, 3, 4)},
        {"a position and speed after a full fix",
         {fix(4, 1, 2, 3, 4), fix(3, 5, 6, 7, 0)},
         fix(4, 5, 6, 7, 4)},
        // A latitude alone is not a place: it is dropped, first or later.
        {"a latitude alone changes nothing",
         {fix(4, 1, 2, 3, 4), fix(1, 9, 0, 0, 0)},
         fix(4, 1, 2, 3, 4)},
        {"a latitude alone first", {fix(1, 9, 0, 0, 0), fix(2, 5, 6, 0, 0)}, fix(2, 5, 6, 0, 0)},
        {"a full fix after a position",
         {fix(2, 5, 6, 0, 0), fix(4, 1, 2, 3, 4)},
         fix(4, 1, 2, 3, 4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GpsFix held;
        for (const GpsFix& f : c.run) foldFix(held, f);
        EXPECT_EQ(held.values, c.held.values);
        EXPECT_EQ(held.lat, c.held.lat);
        EXPECT_EQ(held.lon, c.held.lon);
        EXPECT_EQ(held.speed, c.held.speed);
        EXPECT_EQ(held.course, c.held.course);
    }
}

} // namespace
} // namespace navorel

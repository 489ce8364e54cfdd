// The GRIB-1 decoder against files written by ecCodes, whose own decoding of every point is
// stored beside each file (tests/data/grib/*.values, made by make-fixtures.sh).
#include "weather/grib.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace navorel {
namespace {

const std::string kDir = std::string(NAVOREL_TEST_DATA) + "/grib/";

std::vector<std::uint8_t> fileBytes(const std::string& name) {
    std::ifstream in(kDir + name, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A decoder that keeps its notes and messages instead of printing them.
struct Decoding {
    GribDecoder decoder;
    std::vector<std::string> notes;
    std::vector<std::pair<std::string, bool>> messages;
    std::vector<GribRecord> records;
    std::string error;

    explicit Decoding(const std::string& userTable = "") {
        decoder.setNoteHandler([this](const std::string& t) { notes.push_back(t); });
        decoder.setErrorHandler(
            [this](const std::string& t, bool fatal) { messages.emplace_back(t, fatal); });
        decoder.setUserTablePath(userTable);
    }
    bool file(const std::string& name) { return decoder.readFile(kDir + name, records, error); }
    bool bytes(const std::vector<std::uint8_t>& data) {
        return decoder.readBuffer(data.data(), data.size(), records, error);
    }
};

float normalisedLon(double lon) {
    while (lon < -180) lon += 360;
    while (lon > 180) lon -= 360;
    return float(lon);
}

// Every value of the record matches ecCodes' value at the same latitude and longitude.
void expectMatchesEcCodes(const GribRecord& r, const std::string& valuesFile) {
    std::ifstream in(kDir + valuesFile);
    ASSERT_TRUE(in) << valuesFile;
    std::string header;
    std::getline(in, header);
    std::map<std::pair<long, long>, double> expected;
    double lat, lon, value;
    while (in >> lat >> lon >> value)
        expected[{std::lround(lat * 1000), std::lround(normalisedLon(lon) * 1000)}] = value;
    ASSERT_EQ(expected.size(), r.values.size());
    ASSERT_EQ(std::size_t(r.nx) * std::size_t(r.ny), r.values.size());
    for (int j = 0; j < r.ny; ++j) {
        for (int i = 0; i < r.nx; ++i) {
            const long la = std::lround((r.lat1 + j * double(r.dj)) * 1000);
            const long lo = std::lround(normalisedLon(r.lon1 + i * double(r.di)) * 1000);
            const auto it = expected.find({la, lo});
            ASSERT_NE(it, expected.end()) << "no ecCodes point at " << la << " " << lo;
            const double want = it->second;
            EXPECT_NEAR(r.values[std::size_t(j * r.nx + i)], want,
                        2e-6 * std::max(1.0, std::fabs(want)))
                << valuesFile << " row " << j << " column " << i;
        }
    }
}

TEST(gribDecoderTest, valuesMatchEcCodes) {
    for (const char* name : {"wind_u.grb", "wind_v.grb", "rows_north_first.grb",
                             "rows_south_first.grb", "bitmap.grb", "across_180.grb", "from_350.grb",
                             "ecmwf_10u.grb", "constant.grb", "bits12.grb", "bits24.grb"}) {
        SCOPED_TRACE(name);
        Decoding d;
        ASSERT_TRUE(d.file(name)) << d.error;
        ASSERT_EQ(d.records.size(), 1u);
        expectMatchesEcCodes(d.records[0], std::string(name) + ".values");
    }
}

// A file mixing editions is read message by message.
TEST(gribDecoderTest, messagesBetweenJunkAndEdition2) {
    Decoding d;
    ASSERT_TRUE(d.file("wind_junk.grb"));
    ASSERT_EQ(d.records.size(), 3u);
    EXPECT_EQ(d.records[0].index, 1);
    EXPECT_EQ(d.records[1].index, 2);
    EXPECT_STREQ(d.records[1].name, "t");
    EXPECT_EQ(d.records[1].values.size(), 16u * 31u);
    EXPECT_TRUE(isBuiltinUgrd(d.records[0]));
    EXPECT_TRUE(isBuiltinVgrd(d.records[2]));
    expectMatchesEcCodes(d.records[0], "wind_u.grb.values");
    expectMatchesEcCodes(d.records[2], "wind_v.grb.values");
    EXPECT_EQ(d.decoder.edition2Count(), 1);
    EXPECT_TRUE(d.notes.empty());
    // A second file read by the same decoder starts its index at 1 again.
    d.records.clear();
    ASSERT_TRUE(d.file("wind_junk.grb"));
    EXPECT_EQ(d.records[0].index, 1);
}

// Edition 2 through ecCodes, every packing and scanning direction: the same records as
// edition 1, value by value as grib_get_data gives them.
TEST(gribDecoderTest, edition2ValuesMatchEcCodes) {
    const struct {
        const char* file;
        bool u;
        float lon1, lon2, lat1, lat2;
        std::size_t count = 1, record = 0; // records in the file, the one compared
    } cases[] = {
        {"g2_simple.grb2", true, -10, 5, 40, 50},   // rows south first
        {"g2_jpeg.grb2", false, -10, 5, 40, 50},    // rows north first, columns east first
        {"g2_ccsds.grb2", true, -20, 20, 40, 50},   // 340..380 given as 0-360 longitudes
        {"g2_complex.grb2", false, -10, 5, 40, 50}, // complex packing with a bitmap
        {"g2_bitmap.grb2", true, 0, 15, 40, 50},
        {"g2_multi.grb2", false, -10, 5, 40, 50, 2, 1}, // u then v in one message
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Decoding d;
        ASSERT_TRUE(d.file(c.file)) << d.error;
        ASSERT_EQ(d.records.size(), c.count);
        const GribRecord& r = d.records[c.record];
        EXPECT_EQ(r.index, int(c.record) + 1);
        EXPECT_TRUE(c.u ? isBuiltinUgrd(r) : isBuiltinVgrd(r)) << r.name;
        EXPECT_FLOAT_EQ(r.lon1, c.lon1);
        EXPECT_FLOAT_EQ(r.lon2, c.lon2);
        EXPECT_FLOAT_EQ(r.lat1, c.lat1);
        EXPECT_FLOAT_EQ(r.lat2, c.lat2);
        expectMatchesEcCodes(r, std::string(c.file) + ".values");
        EXPECT_TRUE(d.messages.empty());
    }
}

TEST(gribDecoderTest, edition2StepsAndReferenceTimes) {
    Decoding d;
    ASSERT_TRUE(d.file("g2_steps.grb2")) << d.error;
    ASSERT_EQ(d.records.size(), 4u);
    // One hour, two units of three hours, 150 minutes, then a second reference time.
    const int forecast[] = {1, 6, 2, 0};
    const int day[] = {1, 1, 1, 2}, hour[] = {6, 6, 6, 12}, minute[] = {0, 0, 0, 30};
    for (int k = 0; k < 4; ++k) {
        const GribRecord& r = d.records[std::size_t(k)];
        EXPECT_EQ(r.index, k + 1);
        EXPECT_EQ(r.forecast, forecast[k]) << k;
        EXPECT_EQ(std::tie(r.year, r.month, r.day, r.hour, r.minute),
                  std::make_tuple(2024, 6, day[k], hour[k], minute[k]))
            << k;
    }
}

// Edition-2 messages the program cannot use: a clear message naming the record, the records
// before it kept, nothing printed by ecCodes, no crash.
TEST(gribDecoderTest, edition2RefusalsNameTheRecord) {
    const std::vector<std::uint8_t> wind = fileBytes("g2_simple.grb2");
    const auto joined = [&](const std::vector<std::uint8_t>& bad) {
        std::vector<std::uint8_t> bytes = wind;
        bytes.insert(bytes.end(), bad.begin(), bad.end());
        return bytes;
    };
    std::vector<std::uint8_t> truncated(wind.begin(), wind.begin() + 400);
    std::vector<std::uint8_t> damaged = wind;
    for (std::size_t k = 40; k < 120; ++k) damaged[k] = std::uint8_t(k * 7);
    const struct {
        std::vector<std::uint8_t> bytes;
        const char* error;
        std::size_t kept = 1; // records before the refused one
    } cases[] = {
        {joined(fileBytes("g2_reduced.grb2")), "record 2: grid type reduced_gg is not read"},
        {joined(fileBytes("g2_rotated.grb2")), "record 2: grid type rotated_ll is not read"},
        {joined(truncated), "record 2: truncated edition-2 message"},
        {joined(damaged), "record 2: damaged edition-2 message"},
        // Complex packing whose group counts pass the values: an ecCodes check inside.
        {joined(fileBytes("g2_complex_damaged.grb2")), "record 2: damaged edition-2 message"},
        // Complex packing whose groups claim more bits than the data section holds.
        {joined(fileBytes("g2_complex_overrun.grb2")),
         "record 2: damaged edition-2 message (packed values pass the data section)"},
        // Two fields in one message, the second damaged: the first is kept with its values.
        {joined(fileBytes("g2_multi_damaged.grb2")), "record 3: damaged edition-2 message", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        Decoding d;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(d.bytes(c.bytes));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(d.error.rfind(c.error, 0), 0u) << d.error;
        ASSERT_EQ(d.records.size(), c.kept);
        for (const GribRecord& r : d.records) EXPECT_EQ(r.values.size(), r.valueCount);
    }
}

// The wind store's reading: only the wind's values are expanded, with progress per message.
TEST(gribDecoderTest, edition2WindValuesOnlyWithProgress) {
    Decoding d;
    d.decoder.setWindValuesOnly(true);
    std::vector<std::pair<std::size_t, std::size_t>> progress;
    d.decoder.setProgress(
        [&](std::size_t done, std::size_t total) { progress.emplace_back(done, total); });
    ASSERT_TRUE(d.file("wind_junk.grb"));
    ASSERT_EQ(d.records.size(), 3u);
    EXPECT_STREQ(d.records[1].name, "t");
    EXPECT_TRUE(d.records[1].values.empty());
    EXPECT_EQ(d.records[1].valueCount, 16u * 31u);
    EXPECT_EQ(d.decoder.expandedValueCount(), 2u * 16u * 11u);
    const std::vector<std::pair<std::size_t, std::size_t>> expected = {{1, 3}, {2, 3}, {3, 3}};
    EXPECT_EQ(progress, expected);
}

TEST(gribDecoderTest, recordFields) {
    Decoding d;
    ASSERT_TRUE(d.file("wind_u.grb"));
    const GribRecord& r = d.records[0];
    EXPECT_EQ(r.year, 2014);
    EXPECT_EQ(r.month, 3);
    EXPECT_EQ(r.day, 12);
    EXPECT_EQ(r.hour, 18);
    EXPECT_EQ(r.minute, 0);
    EXPECT_STREQ(r.unit, "hr");
    EXPECT_EQ(r.nx, 16);
    EXPECT_EQ(r.ny, 11);
    EXPECT_FLOAT_EQ(r.lon1, -10);
    EXPECT_FLOAT_EQ(r.lon2, 5);
    EXPECT_FLOAT_EQ(r.lat1, 40);
    EXPECT_FLOAT_EQ(r.lat2, 50);
    EXPECT_FLOAT_EQ(r.di, 1);
    EXPECT_FLOAT_EQ(r.dj, 1);
    EXPECT_EQ(r.level, 10);
    EXPECT_EQ(r.levelType, 105);
    EXPECT_STREQ(r.description, "u wind [m/s]");
}

TEST(gribDecoderTest, rowsComeSouthFirst) {
    Decoding north, south;
    ASSERT_TRUE(north.file("rows_north_first.grb"));
    ASSERT_TRUE(south.file("rows_south_first.grb"));
    const GribRecord& a = north.records[0];
    const GribRecord& b = south.records[0];
    EXPECT_FLOAT_EQ(a.lat1, 40);
    EXPECT_FLOAT_EQ(a.lat2, 60);
    EXPECT_GE(a.dj, 0);
    EXPECT_FLOAT_EQ(b.lat1, 40);
    EXPECT_FLOAT_EQ(b.lat2, 60);
    // The two files hold the same array, once written from the north and once from the south:
    // after decoding, row j of one is row ny - 1 - j of the other.
    ASSERT_EQ(a.values.size(), b.values.size());
    for (int j = 0; j < a.ny; ++j)
        for (int i = 0; i < a.nx; ++i)
            EXPECT_EQ(a.values[std::size_t(j * a.nx + i)],
                      b.values[std::size_t((a.ny - 1 - j) * a.nx + i)]);
}

TEST(gribDecoderTest, forecastTimes) {
    struct Case {
        const char* file;
        int forecast;
        const char* unit;
    };
    // UGRD with P2 = 0 takes P1 alone; other parameters P1 * 256 + P2; minutes become hours.
    for (const Case& c : {Case{"wind_u.grb", 6, "hr"}, Case{"rows_north_first.grb", 1536, "hr"},
                          Case{"rows_south_first.grb", 264, "hr"}, Case{"minutes.grb", 1, "min"},
                          Case{"ecmwf_10u.grb", 12 * 256, "hr"}}) {
        Decoding d;
        ASSERT_TRUE(d.file(c.file));
        EXPECT_EQ(d.records[0].forecast, c.forecast) << c.file;
        EXPECT_STREQ(d.records[0].unit, c.unit) << c.file;
    }
}

TEST(gribDecoderTest, longitudesAndTables) {
    Decoding d;
    ASSERT_TRUE(d.file("across_180.grb"));
    ASSERT_TRUE(d.file("from_350.grb"));
    ASSERT_TRUE(d.file("ecmwf_10u.grb"));
    EXPECT_FLOAT_EQ(d.records[0].lon1, 170);
    EXPECT_FLOAT_EQ(d.records[0].lon2, -170);
    EXPECT_FLOAT_EQ(d.records[1].lon1, -10);
    EXPECT_FLOAT_EQ(d.records[1].lon2, 0);
    EXPECT_STREQ(d.records[2].name, "10U");
    EXPECT_TRUE(d.notes.empty());
}

TEST(gribDecoderTest, bitmapGivesMissingPoints) {
    Decoding d;
    ASSERT_TRUE(d.file("bitmap.grb"));
    const GribRecord& r = d.records[0];
    int missing = 0;
    for (float v : r.values) missing += v == kGribMissing;
    EXPECT_EQ(missing, 3);
    // Row 1 of the file (latitude 9) column 2 is missing; south first it is row 3.
    EXPECT_EQ(r.values[3 * 7 + 2], kGribMissing);
    EXPECT_EQ(r.values[0 * 7 + 6], kGribMissing);
}

TEST(gribDecoderTest, constantFieldHasNoPackedBits) {
    Decoding d;
    ASSERT_TRUE(d.file("constant.grb"));
    ASSERT_EQ(d.records[0].values.size(), 9u);
    for (float v : d.records[0].values) EXPECT_FLOAT_EQ(v, 287.5f);
}

TEST(gribDecoderTest, userParameterTable) {
    Decoding d(kDir + "gribtab");
    ASSERT_TRUE(d.file("user_table.grb"));
    ASSERT_EQ(d.records.size(), 1u);
    EXPECT_STREQ(d.records[0].name, "WSPD");
    EXPECT_STREQ(d.records[0].description, "wind speed at the coast [m/s]");
    // The line is quoted with its own line feed.
    EXPECT_EQ(d.notes, std::vector<std::string>{"illegal gribtab line:7:no second colon\n\n"});

    // Another centre finds no table: NCEP's operational table, with a note once.
    std::vector<std::uint8_t> other = fileBytes("user_table.grb");
    other[8 + 4] = 201;
    ASSERT_TRUE(d.bytes(other));
    ASSERT_TRUE(d.bytes(other));
    ASSERT_EQ(d.records.size(), 3u);
    EXPECT_STREQ(d.records[1].name, "EVCW");
    ASSERT_EQ(d.notes.size(), 3u);
    EXPECT_EQ(d.notes[1], "illegal gribtab center/subcenter/ptable line: -1:bad:header\n\n");
    EXPECT_EQ(d.notes[2], "\nUndefined parameter table (center 201-3 table 5), using NCEP-opn\n");
    // The first record still names its user-table parameter after the table was searched again.
    EXPECT_STREQ(d.records[0].name, "WSPD");

    // Without a table file the same message falls back as well.
    Decoding none;
    ASSERT_TRUE(none.file("user_table.grb"));
    EXPECT_STREQ(none.records[0].name, "EVCW");
}

TEST(gribDecoderTest, emptyAndMissingFiles) {
    Decoding d;
    EXPECT_TRUE(d.bytes({}));
    std::vector<std::uint8_t> noGrib(5000, 'G');
    EXPECT_TRUE(d.bytes(noGrib));
    EXPECT_TRUE(d.records.empty());
    EXPECT_FALSE(d.file("no-such-file.grb"));
    EXPECT_EQ(d.error, "Could not open grib file\n");
    ASSERT_EQ(d.messages.size(), 1u);
    EXPECT_TRUE(d.messages[0].second);
}

TEST(gribDecoderTest, fatalErrorsKeepEarlierRecords) {
    Decoding d;
    EXPECT_FALSE(d.file("truncated.grb"));
    EXPECT_EQ(d.error, "error, could not read to end of a record\n");
    EXPECT_EQ(d.records.size(), 1u);
    ASSERT_EQ(d.messages.size(), 1u);
    EXPECT_EQ(d.messages[0], std::make_pair(d.error, true));
}

// The header pass gives every record as the full decode does, without values; a file whose
// values pass the decoder's limit is refused before any is expanded.
TEST(gribDecoderTest, headersFirstThenValues) {
    for (const char* name :
         {"wind_junk.grb", "rows_north_first.grb", "bitmap.grb", "constant.grb"}) {
        SCOPED_TRACE(name);
        Decoding full, headers;
        ASSERT_TRUE(full.file(name));
        ASSERT_TRUE(headers.decoder.readFileHeaders(kDir + name, headers.records, headers.error));
        EXPECT_EQ(headers.notes, full.notes);
        EXPECT_EQ(headers.decoder.expandedValueCount(), 0u);
        ASSERT_EQ(headers.records.size(), full.records.size());
        std::uint64_t values = 0;
        for (std::size_t k = 0; k < full.records.size(); ++k) {
            const GribRecord &h = headers.records[k], &f = full.records[k];
            EXPECT_TRUE(h.values.empty());
            EXPECT_EQ(h.valueCount, f.values.size());
            EXPECT_EQ(std::tie(h.name, h.forecast, h.nx, h.ny, h.lat1, h.lat2, h.dj, h.lon1, h.di),
                      std::tie(f.name, f.forecast, f.nx, f.ny, f.lat1, f.lat2, f.dj, f.lon1, f.di));
            values += f.values.size();
        }
        EXPECT_EQ(full.decoder.expandedValueCount(), values);

        Decoding limited;
        limited.decoder.setValueLimit(values - 1);
        EXPECT_FALSE(limited.file(name));
        EXPECT_EQ(limited.error, "the forecast is too large\n");
        EXPECT_TRUE(limited.records.empty());
        EXPECT_EQ(limited.decoder.expandedValueCount(), 0u);
    }
}

TEST(gribDecoderTest, secondOrderPackingIsRefused) {
    Decoding d;
    EXPECT_FALSE(d.file("second_order.grb"));
    EXPECT_EQ(d.error, "*** Cannot decode complex packed fields n=121***\n");
    EXPECT_TRUE(d.records.empty());
}

// wind_u.grb: indicator 8 octets, PDS 28, GDS 32, BDS from octet 69, "7777" at 257.
constexpr std::size_t kBds = 8 + 28 + 32;

TEST(gribDecoderTest, damagedSections) {
    const std::vector<std::uint8_t> good = fileBytes("wind_u.grb");
    ASSERT_EQ(good.size(), 260u);
    struct Case {
        std::size_t at;
        std::uint8_t value;
        const char* error;
    };
    for (const Case& c : {
             Case{256, '8', "Missing end section\n"},
             Case{kBds + 2, std::uint8_t(good[kBds + 2] - 2),
                  "Len of grib message is inconsistent\n"},
             Case{10, 200, "Len of grib message is inconsistent\n"}, // PDS longer than message
             Case{8 + 28 + 2, 8, "Len of grib message is inconsistent\n"}, // GDS too short
             Case{6, 255, "error, could not read to end of a record\n"},
             Case{8 + 28 + 7, 200, "Number of data points does not fit the message\n"}, // Ni
             Case{kBds + 10, 32, "Number of data points does not fit the message\n"},   // width
             Case{kBds + 10, 33, "Number of data points does not fit the message\n"},
         }) {
        std::vector<std::uint8_t> bad = good;
        bad[c.at] = c.value;
        Decoding d;
        EXPECT_FALSE(d.bytes(bad)) << c.at;
        EXPECT_EQ(d.error, c.error) << c.at;
        EXPECT_TRUE(d.records.empty());
    }
}

TEST(gribDecoderTest, hugeGridCountsDoNotOverflow) {
    // A grid of type 192 whose two 24-bit counts multiply past 64 bits (found by fuzzing;
    // the sanitizer pass of the suite would stop on the overflow).
    std::vector<std::uint8_t> bad = fileBytes("wind_u.grb");
    const std::size_t gds = 8 + 28;
    bad[gds + 5] = 192;
    for (std::size_t k : {gds + 10, gds + 13}) {
        bad[k] = 0x7f;
        bad[k + 1] = 0xff;
        bad[k + 2] = 0xff;
    }
    Decoding d;
    EXPECT_FALSE(d.bytes(bad));
    EXPECT_EQ(d.error, "Number of data points does not fit the message\n");
}

TEST(gribDecoderTest, largeMessageCoding) {
    // The same message with its length in units of 120 octets: 3 * 120 - 104 + 4 = 260.
    std::vector<std::uint8_t> large = fileBytes("wind_u.grb");
    large[4] = 0x80;
    large[5] = 0;
    large[6] = 3;
    large[kBds] = 0;
    large[kBds + 1] = 0;
    large[kBds + 2] = 104;
    large[8 + 4] = 98; // not NCEP: NCEP's centre never uses the coding
    Decoding d;
    ASSERT_TRUE(d.bytes(large)) << d.error;
    ASSERT_EQ(d.records.size(), 1u);
    expectMatchesEcCodes(d.records[0], "wind_u.grb.values");

    large[8 + 4] = 7; // for centre 7 the length is taken as stored: beyond the file
    EXPECT_FALSE(d.bytes(large));
    EXPECT_EQ(d.error, "error, could not read to end of a record\n");
}

TEST(gribDecoderTest, messageWithoutGrid) {
    // Dropping the GDS: the point count comes from the packed data.
    std::vector<std::uint8_t> bytes = fileBytes("bits12.grb");
    std::vector<std::uint8_t> noGds(bytes.begin(), bytes.begin() + 36);
    noGds.insert(noGds.end(), bytes.begin() + 36 + 32, bytes.end());
    const std::size_t len = noGds.size();
    noGds[4] = 0;
    noGds[5] = std::uint8_t(len >> 8);
    noGds[6] = std::uint8_t(len);
    noGds[8 + 7] &= 0x7f;
    Decoding d;
    ASSERT_TRUE(d.bytes(noGds)) << d.error;
    ASSERT_EQ(d.records.size(), 1u);
    EXPECT_GE(d.records[0].values.size(), 121u);
    EXPECT_EQ(d.records[0].nx, int(d.records[0].values.size()));

    // A constant field without GDS cannot tell its size: one point and a message.
    bytes = fileBytes("constant.grb");
    noGds.assign(bytes.begin(), bytes.begin() + 36);
    noGds.insert(noGds.end(), bytes.begin() + 36 + 32, bytes.end());
    noGds[6] = std::uint8_t(noGds.size());
    noGds[8 + 7] &= 0x7f;
    Decoding c;
    ASSERT_TRUE(c.bytes(noGds)) << c.error;
    ASSERT_EQ(c.records[0].values.size(), 1u);
    EXPECT_FLOAT_EQ(c.records[0].values[0], 287.5f);
    ASSERT_EQ(c.messages.size(), 1u);
    EXPECT_EQ(c.messages[0].first,
              "Missing GDS, constant record ..cannot determine number of data points\n");
    EXPECT_FALSE(c.messages[0].second);
}

// An edition-1 message of nx x ny points of `bits` bits (nx x bits a multiple of 8), rows north
// first, built on wind_u.grb; its packed octets run 0, 7, 14, ... modulo 256.
std::vector<std::uint8_t> largeMessage(unsigned nx, unsigned ny, int bits = 32) {
    std::vector<std::uint8_t> m = fileBytes("wind_u.grb");
    m.resize(kBds + 11);
    const std::size_t gds = 8 + 28;
    m[gds + 6] = std::uint8_t(nx >> 8);
    m[gds + 7] = std::uint8_t(nx);
    m[gds + 8] = std::uint8_t(ny >> 8);
    m[gds + 9] = std::uint8_t(ny);
    m[kBds + 3] &= 0xf0; // no unused bits at the end
    m[kBds + 10] = std::uint8_t(bits);
    for (std::size_t k = 0; k < std::size_t(nx) * ny * std::size_t(bits) / 8; ++k)
        m.push_back(std::uint8_t(k * 7));
    const std::size_t bds = m.size() - kBds;
    for (int k = 0; k < 3; ++k) m[kBds + std::size_t(k)] = std::uint8_t(bds >> (16 - 8 * k));
    m.insert(m.end(), {'7', '7', '7', '7'});
    for (int k = 0; k < 3; ++k) m[4 + std::size_t(k)] = std::uint8_t(m.size() >> (16 - 8 * k));
    return m;
}

// A file is read message by message: editions 1 and 2, junk and false "GRIB"s across the
// reader's block boundaries and a message larger than its buffer decode exactly as the same
// bytes held in memory do.
TEST(gribDecoderTest, fileReadMessageByMessageAsInMemory) {
    std::vector<std::uint8_t> bytes;
    const auto junk = [&bytes](std::size_t n) {
        static const char pattern[] = "GRIB\0\0\3GxGR";
        for (std::size_t k = 0; k < n; ++k) bytes.push_back(std::uint8_t(pattern[k % 12]));
    };
    const auto add = [&bytes](const std::vector<std::uint8_t>& part) {
        bytes.insert(bytes.end(), part.begin(), part.end());
    };
    add(fileBytes("wind_junk.grb"));
    junk(70001);
    add(largeMessage(300, 100));
    junk(65533);
    for (const char* name : {"g2_multi.grb2", "bitmap.grb", "rows_north_first.grb"}) {
        add(fileBytes(name));
        junk(40000);
    }
    add(largeMessage(20, 10));
    add(fileBytes("wind_v.grb"));
    const std::string path = ::testing::TempDir() + "navorel_streamed.grb";
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    Decoding streamed, held, headers;
    ASSERT_TRUE(streamed.decoder.readFile(path, streamed.records, streamed.error))
        << streamed.error;
    ASSERT_TRUE(held.bytes(bytes)) << held.error;
    ASSERT_TRUE(headers.decoder.readFileHeaders(path, headers.records, headers.error));
    std::remove(path.c_str());
    EXPECT_EQ(streamed.notes, held.notes);
    EXPECT_EQ(streamed.decoder.edition2Count(), held.decoder.edition2Count());
    ASSERT_EQ(streamed.records.size(), 10u);
    ASSERT_EQ(streamed.records.size(), held.records.size());
    ASSERT_EQ(headers.records.size(), held.records.size());
    for (std::size_t k = 0; k < held.records.size(); ++k) {
        const GribRecord &a = streamed.records[k], &b = held.records[k], &h = headers.records[k];
        const auto fields = [](const GribRecord& r) {
            return std::tie(r.index, r.name, r.year, r.month, r.day, r.hour, r.minute, r.forecast,
                            r.unit, r.lon1, r.lon2, r.di, r.lat1, r.lat2, r.dj, r.nx, r.ny,
                            r.valueCount, r.parameter, r.centre, r.level);
        };
        EXPECT_EQ(fields(a), fields(b)) << "record " << k + 1;
        EXPECT_EQ(fields(h), fields(b)) << "record " << k + 1;
        ASSERT_EQ(a.values.size(), b.values.size()) << "record " << k + 1;
        EXPECT_EQ(std::memcmp(a.values.data(), b.values.data(), a.values.size() * sizeof(float)), 0)
            << "record " << k + 1;
    }
    EXPECT_EQ(streamed.records[3].values.size(), 30000u);
}

// Many narrow fields are unpacked through a table of their 2^bits values: the same values as
// computed one by one (the first rows in the file carry the same octets in both messages).
TEST(gribDecoderTest, tableOfValuesGivesTheComputedValues) {
    for (const int bits : {8, 10, 12, 16}) {
        SCOPED_TRACE(bits);
        // 20 x 10 points stay below 4 x 2^bits; the large message passes it.
        const unsigned rows = (4u << bits) / 20 + 10;
        Decoding small, large;
        ASSERT_TRUE(small.bytes(largeMessage(20, 10, bits))) << small.error;
        ASSERT_TRUE(large.bytes(largeMessage(20, rows, bits))) << large.error;
        const GribValues &a = small.records.at(0).values, &b = large.records.at(0).values;
        ASSERT_EQ(a.size(), 200u);
        ASSERT_EQ(b.size(), 20u * rows);
        for (std::size_t row = 0; row < 10; ++row) // file row `row` is row ny - 1 - row
            EXPECT_EQ(
                std::memcmp(&a[(9 - row) * 20], &b[(rows - 1 - row) * 20], 20 * sizeof(float)), 0)
                << "file row " << row;
    }
}

TEST(gribDecoderTest, everyDamagedByteIsSafe) {
    // Any single damaged octet of a message either decodes or fails with a message.
    for (const char* name : {"wind_u.grb", "bitmap.grb", "constant.grb"}) {
        const std::vector<std::uint8_t> good = fileBytes(name);
        for (std::size_t at = 0; at < good.size(); ++at) {
            for (std::uint8_t value : {std::uint8_t(0), std::uint8_t(0x7f), std::uint8_t(0xff),
                                       std::uint8_t(good[at] ^ 0x80)}) {
                std::vector<std::uint8_t> bad = good;
                bad[at] = value;
                Decoding d;
                if (!d.bytes(bad)) {
                    EXPECT_FALSE(d.error.empty());
                }
                for (const GribRecord& r : d.records) {
                    if (r.nx > 0 && r.ny > 0 && r.nx != r.ny) {
                        EXPECT_EQ(std::size_t(r.nx) * std::size_t(r.ny), r.values.size());
                    }
                }
            }
        }
    }
}

std::string run(const std::string& command, int& status) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    std::size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    status = pclose(pipe);
    return out;
}

TEST(gribDumpCommandTest, listsAndJson) {
    int status = 0;
    std::string out =
        run(std::string(NAVOREL_CLI) + " grib dump " + kDir + "wind_junk.grb 2>/dev/null", status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("1 UGRD 2014-03-12 18h forecast 6 hr nx 16 ny 11 lon -10 5 di 1 lat 40 "
                       "50 dj 1\n2 t 2007-03-23 12h forecast 0 hr nx 16 ny 31 lon 0 30 di 2 "
                       "lat 0 60 dj 2\n3 VGRD"),
              std::string::npos)
        << out;

    out = run(std::string(NAVOREL_CLI) + " grib dump --json " + kDir + "bitmap.grb", status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out.rfind("{\"records\":[{\"index\":1,\"name\":\"UGRD\",\"year\":2014,\"month\":3,"
                        "\"day\":12,\"hour\":18,\"minute\":0,\"forecast\":3,\"unit\":\"hr\","
                        "\"nx\":7,\"ny\":5,\"lon1\":20,\"lon2\":26,\"di\":1,\"lat1\":6,"
                        "\"lat2\":10,\"dj\":1,\"values\":[",
                        0),
              0u)
        << out;
    EXPECT_NE(out.find(",9999,"), std::string::npos);

    out = run(std::string(NAVOREL_CLI) + " grib dump " + kDir + "truncated.grb 2>&1", status);
    EXPECT_NE(status, 0);
    EXPECT_EQ(out,
              "navorel-cli: " + kDir + "truncated.grb: error, could not read to end of a record\n");
}

} // namespace
} // namespace navorel

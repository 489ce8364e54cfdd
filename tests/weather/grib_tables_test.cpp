// The built-in parameter tables, the time-unit names and the choice of a table.
#include "weather/grib.h"
#include "weather/grib_tables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace navorel {
namespace {

const GribParameter* table(GribTableFamily family, int version) {
    const GribParameter* t = findGribTable(family, version);
    EXPECT_NE(t, nullptr) << int(family) << " " << version;
    return t;
}

TEST(gribTablesTest, tellingRows) {
    struct Row {
        GribTableFamily family;
        int version;
        int number;
        const char* name;
    };
    using F = GribTableFamily;
    for (const Row& r : {
             Row{F::NcepOperational, 2, 1, "PRES"},
             Row{F::NcepOperational, 2, 2, "PRMSL"},
             Row{F::NcepOperational, 2, 7, "HGT"},
             Row{F::NcepOperational, 2, 11, "TMP"},
             Row{F::NcepOperational, 2, 39, "VVEL"},
             Row{F::NcepOperational, 2, 52, "RH"},
             Row{F::NcepOperational, 2, 61, "APCP"},
             Row{F::NcepOperational, 2, 71, "TCDC"},
             Row{F::NcepOperational, 2, 80, "WTMP"},
             Row{F::NcepOperational, 2, 81, "LAND"},
             Row{F::NcepOperational, 2, 180, "GUST"},
             Row{F::NcepReanalysis, 2, 2, "PRMSL"},
             Row{F::NcepReanalysis, 2, 11, "TMP"},
             Row{F::NcepSubcentre14, 2, 2, "PRMSL"},
             Row{F::Dwd, 2, 2, "PMSL"},
             Row{F::Dwd, 2, 11, "T"},
             Row{F::Dwd, 2, 33, "U"},
             Row{F::Dwd, 2, 34, "V"},
             Row{F::Dwd, 2, 165, "10m-wind U"},
             Row{F::Dwd, 2, 166, "10m-wind V"},
             Row{F::Cptec, 254, 2, "psnm"},
             Row{F::Cptec, 254, 11, "temp"},
             Row{F::Cptec, 254, 33, "uvel"},
             Row{F::Cptec, 254, 34, "vvel"},
             Row{F::NcepOperational, 2, 255, "var255"},
         }) {
        EXPECT_STREQ(table(r.family, r.version)[r.number].name, r.name)
            << int(r.family) << " " << r.version << " " << r.number;
    }
    for (int v : {128, 129, 160, 180, 190, 200}) {
        EXPECT_STREQ(table(F::Ecmwf, v)[165].name, "10U") << v;
        EXPECT_STREQ(table(F::Ecmwf, v)[166].name, "10V") << v;
    }
    for (int v : {128, 129, 130, 131, 133, 140, 141}) EXPECT_NE(table(F::Ncep, v), nullptr);
    const GribParameter* opn = table(F::NcepOperational, 2);
    EXPECT_STREQ(opn[33].description, "u wind [m/s]");
    EXPECT_STREQ(opn[2].description, "Pressure reduced to MSL [Pa]");
    EXPECT_STREQ(opn[255].description, "undefined");
}

TEST(gribTablesTest, windNamesAreOneSharedText) {
    int ugrdTables = 0;
    for (const GribParameterTable& t : kGribBuiltinTables) {
        ASSERT_NE(t.entries, nullptr);
        for (int n = 0; n < 256; ++n) {
            ASSERT_NE(t.entries[n].name, nullptr);
            ASSERT_NE(t.entries[n].description, nullptr);
            if (std::string(t.entries[n].name) == "UGRD") {
                EXPECT_EQ(t.entries[n].name, kGribUgrd);
            }
            if (std::string(t.entries[n].name) == "VGRD") {
                EXPECT_EQ(t.entries[n].name, kGribVgrd);
            }
        }
        ugrdTables += t.entries[33].name == kGribUgrd;
    }
    EXPECT_EQ(ugrdTables, 10); // the NCEP tables
}

TEST(gribTablesTest, timeUnitNames) {
    EXPECT_STREQ(gribTimeUnitName(0), "min");
    EXPECT_STREQ(gribTimeUnitName(1), "hr");
    EXPECT_STREQ(gribTimeUnitName(10), " x3 hours");
    EXPECT_STREQ(gribTimeUnitName(14), "x30 min");
    EXPECT_STREQ(gribTimeUnitName(254), " sec");
    EXPECT_STREQ(gribTimeUnitName(8), "??");
    EXPECT_STREQ(gribTimeUnitName(255), "??");
}

TEST(gribTablesTest, tableChoice) {
    GribUserTable user;
    user.setPath("");
    bool once[2] = {false, false};
    std::vector<std::string> notes;
    const auto note = [&](const std::string& t) { notes.push_back(t); };
    using F = GribTableFamily;
    const auto pick = [&](int centre, int sub, int version, int process, int parameter = 33) {
        return chooseGribTable(GribPdsKey{centre, sub, version, process, parameter}, user, once,
                               note);
    };
    EXPECT_EQ(pick(7, 0, 2, 96), findGribTable(F::NcepOperational, 2));
    EXPECT_EQ(pick(7, 1, 2, 80), findGribTable(F::NcepReanalysis, 2));
    EXPECT_EQ(pick(7, 14, 2, 80), findGribTable(F::NcepSubcentre14, 2));
    EXPECT_EQ(pick(7, 5, 2, 80), findGribTable(F::NcepOperational, 2));
    EXPECT_EQ(pick(7, 0, 3, 80), findGribTable(F::NcepOperational, 2));
    EXPECT_TRUE(notes.empty());
    // The ambiguous case: reanalysis, with a note given once.
    EXPECT_EQ(pick(7, 0, 2, 80), findGribTable(F::NcepReanalysis, 2));
    EXPECT_EQ(pick(7, 0, 1, 180), findGribTable(F::NcepReanalysis, 2));
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0], "Using NCEP reanalysis table, see -ncep_opn, -ncep_rean options\n");
    EXPECT_EQ(pick(7, 0, 132, 0), findGribTable(F::NcepReanalysis, 2));
    EXPECT_EQ(pick(7, 0, 141, 0), findGribTable(F::Ncep, 141));
    EXPECT_EQ(pick(98, 0, 228, 0), findGribTable(F::Ecmwf, 228));
    EXPECT_EQ(pick(78, 0, 205, 0), findGribTable(F::Dwd, 205));
    EXPECT_EQ(pick(146, 0, 2, 0), findGribTable(F::Dwd, 2));
    EXPECT_EQ(pick(46, 0, 254, 0), findGribTable(F::Cptec, 254));
    // Unknown tables fall back to NCEP's operational one; a note only for versions above 3 or
    // parameters above 127, once.
    EXPECT_EQ(pick(54, 0, 2, 0), findGribTable(F::NcepOperational, 2));
    EXPECT_EQ(notes.size(), 1u);
    EXPECT_EQ(pick(98, 0, 2, 0, 200), findGribTable(F::NcepOperational, 2));
    EXPECT_EQ(pick(98, 0, 127, 0), findGribTable(F::NcepOperational, 2));
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[1], "\nUndefined parameter table (center 98-0 table 2), using NCEP-opn\n");
}

TEST(gribTablesTest, userTableKeysAndLines) {
    const std::string path = ::testing::TempDir() + "navorel_gribtab_test";
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("-1:1:2\n" // not four fields
               "-1:50:-1:-1\n"
               "5:AAA:first\n"
               "5:BBB:second wins [K]\n"
               "999:BIG:out of range\n"
               "just text\n"
               "-1:60:0:9\n"
               "3:CCC\n",
               f);
    std::fclose(f);
    GribUserTable user;
    user.setPath(path);
    std::vector<std::string> notes;
    const auto note = [&](const std::string& t) { notes.push_back(t); };
    ASSERT_TRUE(user.load(50, 7, 200, note));
    EXPECT_STREQ(user.entries()[5].name, "BBB");
    EXPECT_STREQ(user.entries()[5].description, "second wins [K]");
    EXPECT_STREQ(user.entries()[6].name, "var6");
    EXPECT_STREQ(user.entries()[6].description, "undefined");
    EXPECT_EQ(notes,
              std::vector<std::string>{"illegal gribtab center/subcenter/ptable line: -1:1:2\n\n"});
    // The stored key holds the header's -1s: any subcentre and version of centre 50.
    ASSERT_TRUE(user.load(50, 1, 1, note));
    EXPECT_EQ(notes.size(), 1u);
    EXPECT_FALSE(user.load(61, 0, 9, note));
    EXPECT_FALSE(user.load(61, 0, 9, note)); // remembered: not searched again
    ASSERT_TRUE(user.load(60, 0, 9, note));
    EXPECT_EQ(notes.back(), "illegal gribtab line:3:CCC\n\n");
    std::remove(path.c_str());

    GribUserTable none;
    none.setPath(::testing::TempDir() + "no_such_gribtab");
    EXPECT_FALSE(none.load(50, 0, 0, note));
}

} // namespace
} // namespace navorel

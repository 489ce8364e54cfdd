// The shipped traffic zones (dist/Data/Tss/) read through the program's own zone reader, and
// the routing's indexed zone test against the plain scan.
#include "geo/crossing.h"
#include "geo/gpx.h"
#include "geo/shoreline_store.h"
#include "geo/tss.h"
#include "geo/tss_index.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>

using namespace navorel;
namespace fs = std::filesystem;

namespace {

const std::string kDist = std::string(NAVOREL_SOURCE_DIR) + "/dist/Data/";

struct ShippedZone {
    const char* name;
    int outlines;
    int separationZones;
};

// Every section's areas: a zone and its two lanes, or the precautionary areas. The separation
// line of the San Francisco main ship channel is not an outline.
const ShippedZone kShipped[] = {
    {"Boston_approach", 3, 1},
    {"Boston_precautionary_areas", 2, 0},
    {"Buzzards_Bay_approach", 3, 1},
    {"Narragansett_Bay_approach", 3, 1},
    {"Narragansett_precautionary_areas", 2, 0},
    {"New_York_Eastern_approach", 3, 1},
    {"New_York_Nantucket_approach", 3, 1},
    {"New_York_South-eastern_approach", 3, 1},
    {"New_York_Southern_approach", 3, 1},
    {"New_York_precautionary_area", 1, 0},
    {"Portland_Eastern_approach", 3, 1},
    {"Portland_Southern_approach", 3, 1},
    {"Portland_precautionary_area", 1, 0},
    {"San_Francisco_Main_ship_channel", 2, 0},
    {"San_Francisco_Northern_approach", 3, 1},
    {"San_Francisco_Southern_approach", 3, 1},
    {"San_Francisco_Western_approach", 3, 1},
    {"San_Francisco_area_to_be_avoided", 1, 0},
    {"San_Francisco_precautionary_area", 1, 0},
    {"Santa_Barbara_Channel", 3, 1},
    {"Santa_Barbara_Conception_Arguello", 3, 1},
};

struct Loaded {
    ZoneOutlines outlines;
    std::vector<std::string> kinds;
};

Loaded loadShipped(const std::string& name) {
    Loaded z;
    std::string error;
    EXPECT_TRUE(loadZoneOutlines(kDist + "Tss/" + name + ".gpx", z.outlines, z.kinds, error))
        << error;
    return z;
}

// Every shipped outline, all kinds.
ZoneOutlines allShipped() {
    ZoneOutlines all;
    for (const ShippedZone& s : kShipped) {
        Loaded z = loadShipped(s.name);
        for (auto& o : z.outlines) all.push_back(std::move(o));
    }
    return all;
}

// A ring of `points` points round (lon, lat) whose radius wanders, so that many edges lie
// near any move through it, like a zone digitised in great detail.
std::vector<GeoPoint> wigglyRing(float lon, float lat, float radius, int points, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> wobble(0.97f, 1.03f);
    std::vector<GeoPoint> ring;
    for (int k = 0; k < points; ++k) {
        const double a = 2 * kPi * k / points;
        const float r = radius * wobble(random);
        ring.push_back({lon + r * float(std::cos(a)), lat + r * float(std::sin(a))});
    }
    return ring;
}

std::string zoneGpx(const ZoneOutlines& outlines) {
    std::string text = "<?xml version=\"1.0\"?>\n<gpx>\n";
    for (const auto& o : outlines) {
        text += "\t<rte>\n";
        for (GeoPoint p : o)
            text += "\t\t<rtept lat=\"" + formatGpxNumber(p.lat) + "\" lon=\"" +
                    formatGpxNumber(p.lon) + "\" />\n";
        text += "\t</rte>\n";
    }
    return text + "</gpx>\n";
}

} // namespace

TEST(ShippedZones, LoadWithTheirOutlinesAndKinds) {
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(kDist + "Tss"))
        files += !zoneNameOfFile(entry.path().filename().string()).empty();
    EXPECT_EQ(files, std::size(kShipped));
    for (const ShippedZone& s : kShipped) {
        const Loaded z = loadShipped(s.name);
        EXPECT_EQ(z.outlines.size(), std::size_t(s.outlines)) << s.name;
        ASSERT_EQ(z.kinds.size(), z.outlines.size()) << s.name;
        int zones = 0;
        for (std::size_t k = 0; k < z.kinds.size(); ++k) {
            EXPECT_FALSE(z.kinds[k].empty()) << s.name << " outline " << k;
            zones += z.kinds[k] == "separation zone";
            EXPECT_GE(z.outlines[k].size(), 4u) << s.name << " outline " << k;
        }
        EXPECT_EQ(zones, s.separationZones) << s.name;
    }

    // The shipped selection: the New England and New York schemes, nothing from the west.
    TssStore store;
    store.initZones(kDist + "Tss", kDist + "Tss.xml");
    ASSERT_EQ(store.names.size(), std::size(kShipped));
    std::size_t outlines = 0, zones = 0;
    for (std::size_t i = 0; i < store.names.size(); ++i) {
        ASSERT_EQ(store.names[i], kShipped[i].name);
        const bool west = store.names[i].rfind("San_Francisco", 0) == 0 ||
                          store.names[i].rfind("Santa_Barbara", 0) == 0;
        EXPECT_EQ(store.selected[i], !west) << store.names[i];
        if (store.selected[i]) {
            outlines += std::size_t(kShipped[i].outlines);
            zones += std::size_t(kShipped[i].separationZones);
        }
    }
    EXPECT_EQ(store.outlines.size(), outlines);
    EXPECT_EQ(store.kinds.size(), outlines);
    EXPECT_TRUE(store.loadErrors.empty());
    std::size_t zoneEdges = 0;
    for (std::size_t k = 0; k < store.outlines.size(); ++k)
        if (store.kinds[k] == "separation zone") zoneEdges += store.outlines[k].size();
    EXPECT_EQ(store.avoided.edgeCount(), zoneEdges);
    EXPECT_EQ(zones, 9u);
}

// Every vertex lies at sea on the finest shoreline there is, except on the four precautionary
// circles that the regulation itself draws over the shore: off Portland (Cape Elizabeth),
// Boston (Hull), the entrance of Narragansett Bay and New York (Sandy Hook). Those lie mostly
// at sea all the same.
TEST(ShippedZones, EveryVertexIsAtSea) {
    ShorelineStore shore(kDist + "Gshhs/");
    if (!shore.openLevel(4) && !shore.openLevel(3))
        GTEST_SKIP() << "no shoreline file of level f or h in " << kDist << "Gshhs/";
    const std::pair<const char*, std::size_t> onShore[] = {{"Portland_precautionary_area", 0},
                                                           {"Boston_precautionary_areas", 0},
                                                           {"Narragansett_precautionary_areas", 1},
                                                           {"New_York_precautionary_area", 0}};
    for (const ShippedZone& s : kShipped) {
        const Loaded z = loadShipped(s.name);
        for (std::size_t k = 0; k < z.outlines.size(); ++k) {
            bool known = false;
            for (const auto& [zone, outline] : onShore)
                known = known || (s.name == std::string(zone) && k == outline);
            std::size_t landed = 0;
            for (GeoPoint p : z.outlines[k]) {
                const bool land = pointOnLand(shore, p);
                landed += land;
                if (!known) {
                    EXPECT_FALSE(land) << s.name << " outline " << k << " at " << p.lon << " "
                                       << p.lat << " (level " << shore.level() << ")";
                }
            }
            if (known) {
                EXPECT_LT(landed * 2, z.outlines[k].size()) << s.name << " outline " << k;
            }
        }
    }
}

// The routing's indexed test answers as the plain scan of every edge, over the shipped zones
// and over large zones made here: moves short and long, random and along edges, degenerate
// and far outside.
TEST(ZoneCrossingIndexTest, AnswersAsThePlainScan) {
    ZoneOutlines shipped = allShipped();
    ZoneOutlines large = shipped;
    large.push_back(wigglyRing(-70.3f, 42.3f, 0.2f, 100000, 1));
    for (int k = 0; k < 2000; ++k) // many small outlines, some overlapping the ring
        large.push_back(wigglyRing(-70.6f + 0.0003f * float(k), 42.1f + 0.0002f * float(k % 50),
                                   0.002f, 5, 100 + unsigned(k)));
    std::mt19937 random(7);
    for (const ZoneOutlines* outlines : {&shipped, &large}) {
        ZoneCrossingIndex index;
        index.build(*outlines, {});
        std::size_t edges = 0;
        for (const auto& o : *outlines) edges += o.size() >= 2 ? o.size() : 0;
        EXPECT_EQ(index.edgeCount(), edges);
        std::vector<std::pair<GeoPoint, GeoPoint>> moves;
        std::uniform_real_distribution<float> lon(-124.5f, -68.0f), lat(33.0f, 44.0f);
        std::uniform_real_distribution<float> nearLon(-70.9f, -69.7f), nearLat(41.8f, 42.6f);
        std::normal_distribution<float> step(0.0f, 0.02f), longStep(0.0f, 1.0f);
        // The plain scan of the large zones is slow: fewer moves there.
        const int count = outlines == &shipped ? 30000 : 3000;
        for (int i = 0; i < count; ++i) {
            GeoPoint a = i % 3 ? GeoPoint{nearLon(random), nearLat(random)}
                               : GeoPoint{lon(random), lat(random)};
            const float s = i % 5 ? step(random) : longStep(random);
            moves.push_back({a, {a.lon + s, a.lat + step(random) * (i % 7 ? 1.0f : 30.0f)}});
        }
        // Along and through edges and vertices, zero-length moves, far and odd moves.
        for (std::size_t o = 0; o < outlines->size(); o += 37) {
            const auto& v = (*outlines)[o];
            for (std::size_t k = 0; k + 1 < v.size(); k += 1001) {
                moves.push_back({v[k], v[k + 1]});
                moves.push_back({v[k], v[k]});
                moves.push_back({{v[k].lon - 0.01f, v[k].lat}, {v[k].lon + 0.01f, v[k].lat}});
            }
        }
        moves.push_back({{-200, 42.3f}, {200, 42.3f}});
        moves.push_back({{-70.3f, -90}, {-70.3f, 90}});
        moves.push_back({{-1e30f, 42.3f}, {1e30f, 42.3f}});
        moves.push_back({{NAN, 42.3f}, {-70.3f, 42.3f}});
        moves.push_back({{-5000, 42.3f}, {5000, 42.31f}});
        int crossed = 0;
        for (const auto& [a, b] : moves) {
            const bool plain = segmentCrossesZones(*outlines, a, b);
            ASSERT_EQ(index.crosses(a, b), plain)
                << a.lon << " " << a.lat << " -> " << b.lon << " " << b.lat;
            crossed += plain;
        }
        EXPECT_GT(crossed, 100); // the moves do meet the zones
    }
}

// Only the outlines the routing keeps out of are filed: separation zones and outlines of no
// stated kind; every outline is still drawn.
TEST(ZoneCrossingIndexTest, FilesSeparationZonesAndUnstatedKindsOnly) {
    const fs::path root = fs::temp_directory_path() / "navorel_tss_kinds";
    fs::remove_all(root);
    fs::create_directories(root / "Tss");
    std::ofstream(root / "Tss" / "Kinds.gpx") << R"(<?xml version="1.0"?>
<gpx>
	<rte><type>separation zone</type><rtept lat="0" lon="0" /><rtept lat="0" lon="1" /><rtept lat="1" lon="1" /></rte>
	<rte><type>traffic lane</type><rtept lat="0" lon="2" /><rtept lat="0" lon="3" /><rtept lat="1" lon="3" /></rte>
	<rte><rtept lat="0" lon="4" /><rtept lat="0" lon="5" /><rtept lat="1" lon="5" /></rte>
	<rte><type>precautionary area</type><rtept lat="0" lon="6" /><rtept lat="0" lon="7" /><rtept lat="1" lon="7" /></rte>
</gpx>
)";
    std::ofstream(root / "Tss.xml") << "<tss><file name=\"Kinds\" /></tss>";
    TssStore store;
    store.initZones((root / "Tss").string(), (root / "Tss.xml").string());
    EXPECT_EQ(store.outlines.size(), 4u);
    EXPECT_EQ(store.kinds, (std::vector<std::string>{"separation zone", "traffic lane", "",
                                                     "precautionary area"}));
    // A move north through the middle of each outline.
    const bool avoided[] = {true, false, true, false};
    for (int k = 0; k < 4; ++k) {
        const GeoPoint a{2.0f * float(k) + 0.7f, -0.5f}, b{2.0f * float(k) + 0.7f, 1.5f};
        EXPECT_TRUE(segmentCrossesZones(store.outlines, a, b)) << k;
        EXPECT_EQ(store.avoided.crosses(a, b), avoided[k]) << k;
    }
    fs::remove_all(root);
}

// A zone file beyond the bound is refused with a message and adds no outline; the zones
// beside it load.
TEST(ZoneCrossingIndexTest, OversizedZoneFilesAreRefused) {
    const fs::path root = fs::temp_directory_path() / "navorel_tss_oversized";
    fs::remove_all(root);
    fs::create_directories(root / "Tss");
    std::ofstream(root / "Tss" / "Huge.gpx")
        << zoneGpx({wigglyRing(0, 0, 1, int(kMaxZonePoints) + 1, 3)});
    std::ofstream(root / "Tss" / "Small.gpx") << zoneGpx({wigglyRing(5, 0, 1, 10, 4)});
    std::ofstream(root / "Tss.xml") << "<tss><file name=\"Huge\" /><file name=\"Small\" /></tss>";
    TssStore store;
    store.initZones((root / "Tss").string(), (root / "Tss.xml").string());
    EXPECT_EQ(store.outlines.size(), 1u);
    ASSERT_EQ(store.loadErrors.size(), 1u);
    EXPECT_NE(store.loadErrors[0].find("Huge.gpx"), std::string::npos) << store.loadErrors[0];
    EXPECT_NE(store.loadErrors[0].find("250000 points"), std::string::npos) << store.loadErrors[0];

    // "Update" says so too, although the selection was written.
    std::vector<ZonePageEntry> entries = openZonePage(store);
    std::string error;
    EXPECT_FALSE(updateZoneSelection(store, entries, error));
    EXPECT_NE(error.find("Huge.gpx"), std::string::npos) << error;
    EXPECT_TRUE(fs::exists(root / "Tss.xml"));
    fs::remove_all(root);
}

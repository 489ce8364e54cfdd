#include "geo/tss.h"

#include "geo/gpx.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace navorel;
namespace fs = std::filesystem;

namespace {

struct ZoneFolder {
    fs::path root =
        fs::temp_directory_path() /
        ("navorel_tss_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    ZoneFolder() {
        fs::remove_all(root);
        fs::create_directories(root / "Tss");
    }
    ~ZoneFolder() { fs::remove_all(root); }
    void write(const fs::path& path, const std::string& text) const {
        std::ofstream(root / path) << text;
    }
    void zone(const std::string& file, int outlines) const {
        std::vector<std::vector<GeoPoint>> lines;
        for (int i = 0; i < outlines; ++i) lines.push_back({{0, 0}, {1, 0}, {1, 1}});
        BarrierList b;
        for (auto& l : lines) b.push_back(Barrier{l});
        write("Tss/" + file, barriersGpx(b));
    }
    TssStore init() const {
        TssStore store;
        store.initZones((root / "Tss").string(), (root / "Tss.xml").string());
        return store;
    }
};

} // namespace

TEST(TssZones, OnlyLowerCaseGpxFilesAreZones) {
    const std::pair<const char*, const char*> cases[] = {{"Dover.strait.gpx", "Dover.strait"},
                                                         {"Boston.gpx", "Boston"},
                                                         {"Dover.GPX", ""},
                                                         {"Dover.gpx.bak", ""},
                                                         {"Dover", ""},
                                                         {"Dover.gpxx", ""}};
    for (const auto& [file, zone] : cases) EXPECT_EQ(zoneNameOfFile(file), zone) << file;

    ZoneFolder f;
    f.zone("b.gpx", 1);
    f.zone("a.strait.gpx", 2);
    f.zone("Dover.GPX", 1);
    fs::create_directories(f.root / "Tss" / "folder.gpx");
    const TssStore store = f.init();
    EXPECT_EQ(store.names, (std::vector<std::string>{"a.strait", "b"}));
    EXPECT_EQ(store.selected, (std::vector<bool>{false, false}));
    EXPECT_TRUE(store.outlines.empty());
}

TEST(TssZones, SelectionLoadsOutlinesAndVanishedNamesAreDropped) {
    ZoneFolder f;
    f.zone("North.gpx", 2);
    f.zone("South.gpx", 1);
    f.write("Tss.xml", tssSelectionXml({"South", "Gone", "North"}));
    TssStore store = f.init();
    EXPECT_EQ(store.selected, (std::vector<bool>{true, true}));
    EXPECT_EQ(store.outlines.size(), 3u);

    std::vector<ZonePageEntry> page = openZonePage(store);
    ASSERT_EQ(page.size(), 2u);
    EXPECT_TRUE(page[0].selected && page[1].selected);
    page[1].selected = false;
    std::string error;
    ASSERT_TRUE(updateZoneSelection(store, page, error)) << error;
    EXPECT_EQ(store.outlines.size(), 2u);
    std::ifstream in(f.root / "Tss.xml");
    const std::string xml((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(xml, "<?xml version=\"1.0\"?>\n<tss>\n\t<file name=\"North\" />\n</tss>\n");

    selectAllZones(store, page);
    EXPECT_EQ(store.selected, (std::vector<bool>{true, true}));
    selectNoZones(store, page);
    EXPECT_FALSE(page[0].selected || page[1].selected);
}

TEST(TssZones, ReListingKeepsFlagsWithTheirZones) {
    // A zone added to the folder sorts before the selected one: the flag follows the name.
    ZoneFolder f;
    f.zone("Zulu.gpx", 1);
    f.write("Tss.xml", tssSelectionXml({"Zulu"}));
    TssStore store = f.init();
    f.zone("Alpha.gpx", 1);
    const std::vector<ZonePageEntry> page = openZonePage(store);
    ASSERT_EQ(page.size(), 2u);
    EXPECT_EQ(page[0].name, "Alpha");
    EXPECT_FALSE(page[0].selected);
    EXPECT_TRUE(page[1].selected);
}

TEST(TssZones, BrokenFilesSelectOrAddNothing) {
    const char* selections[] = {"", "<tss><file name=\"A\"", "not xml",
                                "<other><file name=\"A\"/></other>"};
    for (const char* xml : selections) {
        ZoneFolder f;
        f.zone("A.gpx", 1);
        f.write("Tss.xml", xml);
        EXPECT_EQ(f.init().selected, std::vector<bool>{false}) << xml;
    }
    ZoneFolder f;
    f.write("Tss/Bad.gpx", "<gpx><rte><rtept lat=\"x\" lon=\"1\"/></rte></gpx>");
    f.zone("Good.gpx", 1);
    f.write("Tss.xml", tssSelectionXml({"Bad", "Good"}));
    EXPECT_EQ(f.init().outlines.size(), 1u);
    TssStore none;
    none.initZones((f.root / "missing").string(), (f.root / "Tss.xml").string());
    EXPECT_TRUE(none.names.empty());
}

TEST(TssZones, CrossingIncludesTheClosingEdge) {
    const ZoneOutlines zone{{{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
    struct Case {
        GeoPoint from, to;
        bool crosses;
    } cases[] = {{{-1, 0.5f}, {2, 0.5f}, true},       // through
                 {{-1, 0.5f}, {0.5f, 0.5f}, true},    // in over the closing edge
                 {{0.2f, 0.2f}, {0.8f, 0.8f}, false}, // wholly inside: never enters
                 {{-1, 2}, {2, 2}, false}};
    for (const Case& c : cases)
        EXPECT_EQ(segmentCrossesZones(zone, c.from, c.to), c.crosses)
            << c.from.lon << "," << c.from.lat;
}

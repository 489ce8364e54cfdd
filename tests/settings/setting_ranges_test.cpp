#include "settings/setting_ranges.h"

#include "routing/routing_parameters.h"
#include "settings/config_store.h"

#include <gtest/gtest.h>

#include <cmath>

#include "test_folder.h"

using namespace navorel;
using navorel::testing::TestFolder;

TEST(SettingRanges, EveryNumberSettingHasARangeOfItsKindAndTheShippedFilesLieInside) {
    TestFolder dir;
    dir.write("Config.ini",
              navorel::testing::readFile(std::string(NAVOREL_SOURCE_DIR) + "/dist/Config.ini"));
    ConfigStore store;
    std::string error;
    ASSERT_TRUE(store.load(dir.path(), nullptr, error)) << error;
    std::size_t numeric = 0;
    for (const IniBinding& b : store.bindings()) {
        const SettingRange* r = findSettingRange(b.section, b.key);
        if (b.kind == IniKind::Text) {
            EXPECT_EQ(r, nullptr) << b.section << "." << b.key;
            continue;
        }
        ++numeric;
        ASSERT_NE(r, nullptr) << b.section << "." << b.key;
        EXPECT_EQ(r->kind, b.kind) << b.section << "." << b.key;
        EXPECT_LE(r->min, r->max);
        EXPECT_FALSE(clampToRange(b)) << b.section << "." << b.key << " of the shipped file";
    }
    EXPECT_EQ(numeric, settingRanges().size()); // no range without its setting
    RoutingParameters defaults;
    ASSERT_TRUE(loadRoutingDefaults(std::string(NAVOREL_SOURCE_DIR) + "/dist/Data/Default.ini",
                                    defaults, error));
    for (const RoutingBinding& b : routingParameterBindings(defaults))
        EXPECT_FALSE(clampToRange(b.binding)) << b.binding.key << " of Default.ini";
}

TEST(SettingRanges, TypedValuesMustBeNumbersOfTheKeysKindWithinItsRange) {
    struct Case {
        const char* section;
        const char* key;
        const char* text;
        bool accepted;
    };
    const Case cases[] = {
        {"Routing", "Quality", "4", true},
        {"Routing", "Quality", "9", false},
        {"Routing", "Quality", "-1", false},
        {"Routing", "Quality", "abc", false},
        {"Routing", "Quality", "3.5", false},
        {"Routing", "Search", "1", true},
        {"Routing", "Search", "2", false},
        {"Routing", "Quality", "", false},
        {"Routing", "Quality", "3x", false},
        {"routing", "quality", "+2", true},
        {"Routing", "NbInitialAngles", "2000000", false},
        {"Routing", "MinStart", "-2147483648", false},
        {"Routing", "MaxStart", "2147483647", false},
        {"Routing", "MinStart", "-168", true},
        {"Routing", "StepPolar", "0", false},
        {"Routing", "MaxIterations", "99", false},
        {"Routing", "Excentricity", "25", true},
        {"Winds", "Lag", "-25", false},
        {"Map", "Zoom", "1.1", true},
        {"Map", "Zoom", "2.5", false},
        {"Map", "Zoom", "1,5", false},
        {"Routing", "LowSpeed", "nan", false},
        {"Routing", "LowSpeed", "inf", false},
        {"Routing", "LowSpeed", "3.5", true},
        {"Routing", "Ellipse", "1", true},
        {"Routing", "Ellipse", "2", false},
        {"Window", "OpacityPanel", "256", false},
        {"Toolbar", "Opacity", "255", true},
    };
    for (const Case& c : cases) {
        const SettingRange* r = findSettingRange(c.section, c.key);
        ASSERT_NE(r, nullptr) << c.key;
        double value = -999;
        std::string error;
        EXPECT_EQ(parseSettingValue(*r, c.text, value, error), c.accepted)
            << c.section << "." << c.key << "=" << c.text;
        if (!c.accepted) {
            // The message names the key and its range.
            EXPECT_NE(error.find(r->key), std::string::npos) << error;
            EXPECT_NE(error.find(rangeText(*r)), std::string::npos) << error;
        }
    }
    EXPECT_EQ(findSettingRange("Polar", "Name"), nullptr);
    EXPECT_EQ(rangeText(*findSettingRange("Routing", "Quality")), "from 0 to 4");
    EXPECT_EQ(rangeText(*findSettingRange("Map", "Zoom")), "from 1.1 to 2");
}

TEST(SettingRanges, StoredValuesOutsideTheirRangeAreBroughtIntoIt) {
    const std::string routing = "[Routing]\nNbInitialAngles=2000000\nMinStart=-2147483648\n"
                                "MaxStart=2147483647\nQuality=9\nStepPolar=0\nLowSpeed=-3\n"
                                "[Winds]\nLag=99\n";
    TestFolder dir;
    dir.write("Config.ini", "[Folders]\nInitial=" + dir.path() + "\n" + routing +
                                "[Map]\nZoom=5\n[Window]\nOpacityPanel=-4\n");
    ConfigStore store;
    std::string error;
    ASSERT_TRUE(store.load(dir.path(), nullptr, error)) << error;
    const Settings& s = store.settings;
    EXPECT_EQ(s.routing.nbInitialAngles, 180);
    EXPECT_EQ(s.routing.minStart, -168);
    EXPECT_EQ(s.routing.maxStart, 168);
    EXPECT_EQ(s.routing.quality, 4);
    EXPECT_EQ(s.routing.stepPolar, 1);
    EXPECT_EQ(s.routing.lowSpeed, 0.0f);
    EXPECT_EQ(s.routing.lag, 24);
    EXPECT_EQ(s.map.zoom, 2.0);
    EXPECT_EQ(s.window.opacityPanel, 0);
    // The routing defaults file the same way.
    const std::string defaults = dir.write("Default.ini", routing);
    RoutingParameters p;
    ASSERT_TRUE(loadRoutingDefaults(defaults, p, error));
    EXPECT_EQ(p.nbInitialAngles, 180);
    EXPECT_EQ(p.minStart, -168);
    EXPECT_EQ(p.stepPolar, 1);
    EXPECT_EQ(p.lag, 24);
}

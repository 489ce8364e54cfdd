#include "routing/routing_parameters.h"
#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include "test_folder.h"

using namespace navorel;
using navorel::testing::TestFolder;

namespace {

// Every stored field of a record as its file text, keyed "Section/Key".
std::vector<std::string> fileTexts(RoutingParameters p) {
    std::vector<std::string> out;
    for (const RoutingBinding& b : routingParameterBindings(p))
        out.push_back(std::string(b.binding.section) + "/" + b.binding.key + "=" +
                      bindingValueText(b.binding));
    return out;
}

} // namespace

TEST(RoutingDefaults, OnlyTimestepResetsEveryOtherDefaultField) {
    TestFolder dir;
    const std::string path = dir.write("Data/Default.ini", "[Routing]\nTimestep=30\n");
    RoutingParameters p;
    p.maxIterations = 300;
    p.excentricity = 40;
    p.power = 85;
    p.variation = 120;
    p.renderMode = 7;
    p.lowSpeed = 2;
    p.autoNbInitialAngles = 21;
    p.autoFurtherAngles = 2;
    p.straitSegment = 12;
    p.scanPolars = true;
    p.polarName[0] = "A.pol";
    p.polarName[2] = "C.pol";
    p.irc[1] = 0.9f;
    p.polarOn[1] = true;
    std::string error;
    ASSERT_TRUE(loadRoutingDefaults(path, p, error)) << error;
    EXPECT_EQ(p.timestep, 30);
    EXPECT_EQ(p.maxIterations, 1000);
    EXPECT_EQ(p.excentricity, 75);
    EXPECT_EQ(p.power, 100);
    EXPECT_EQ(p.variation, 100);
    EXPECT_EQ(p.renderMode, 2);
    EXPECT_FLOAT_EQ(p.lowSpeed, 4);
    // Config-only fields keep their values.
    EXPECT_EQ(p.autoNbInitialAngles, 21);
    EXPECT_EQ(p.autoFurtherAngles, 2);
    EXPECT_EQ(p.straitSegment, 12);
    EXPECT_TRUE(p.scanPolars);
    EXPECT_EQ(p.polarName[0], "A.pol");
    EXPECT_EQ(p.polarName[2], "C.pol");
    EXPECT_FLOAT_EQ(p.irc[1], 0.9f);
    EXPECT_TRUE(p.polarOn[1]);
}

TEST(RoutingDefaults, MissingFileChangesNothing) {
    TestFolder dir;
    RoutingParameters p;
    p.timestep = 45;
    std::string error;
    EXPECT_FALSE(loadRoutingDefaults(dir.file("Data/Default.ini"), p, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(p.timestep, 45);
}

// "Default" puts back the settings the program ships with: the isochrone method, the
// automatic step and coast level 3 (the table's fallbacks would switch to the best course).
TEST(RoutingDefaults, ShippedDefaultsAreTheShippedFirstRunSettings) {
    const std::string dist = std::string(NAVOREL_SOURCE_DIR) + "/dist";
    IniFile config, defaults;
    std::string error;
    ASSERT_TRUE(config.load(dist + "/Config.ini", error)) << error;
    ASSERT_TRUE(defaults.load(dist + "/Data/Default.ini", error)) << error;
    // Every key the file holds, as written in Config.ini.
    std::string section;
    int keys = 0;
    for (const std::string& line : defaults.lines()) {
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        ++keys;
        EXPECT_EQ(defaults.value(section, key), config.value(section, key))
            << section << "." << key;
    }
    EXPECT_GT(keys, 50);
    // And every field the button reads, missing keys included (they take the fallbacks).
    RoutingParameters shipped, restored;
    readRoutingParameters(config, shipped, RoutingKeys::All);
    for (const RoutingBinding& b : routingParameterBindings(restored)) {
        if (b.configOnly) continue;
        // Spoil every field the file carries, then read it back.
        std::visit(
            [](auto* t) {
                using T = std::remove_pointer_t<decltype(t)>;
                if constexpr (std::is_same_v<T, std::string>)
                    *t = "x";
                else if constexpr (std::is_same_v<T, bool>)
                    *t = !*t;
                else
                    *t = static_cast<T>(*t + 11);
            },
            b.binding.target);
    }
    ASSERT_TRUE(loadRoutingDefaults(dist + "/Data/Default.ini", restored, error)) << error;
    const std::vector<std::string> want = fileTexts(shipped), got = fileTexts(restored);
    const std::vector<RoutingBinding> bindings = routingParameterBindings(shipped);
    for (std::size_t i = 0; i < bindings.size(); ++i) {
        if (!bindings[i].configOnly) {
            EXPECT_EQ(got[i], want[i]);
        }
    }
    EXPECT_EQ(restored.method, 1);
    EXPECT_TRUE(restored.timestepAuto);
    EXPECT_EQ(restored.coastsQuality, 3);
}

TEST(RoutingParametersIo, EveryFieldSurvivesAWriteAndARead) {
    RoutingParameters p;
    int n = 0;
    for (const RoutingBinding& b : routingParameterBindings(p)) {
        ++n;
        std::visit(
            [n](auto* t) {
                using T = std::remove_pointer_t<decltype(t)>;
                if constexpr (std::is_same_v<T, std::string>)
                    *t = "Polar " + std::to_string(n);
                else if constexpr (std::is_same_v<T, bool>)
                    *t = !*t;
                else
                    *t = static_cast<T>(n * 3 + 1);
            },
            b.binding.target);
    }
    p.lowSpeed = 3.25f;
    IniFile ini;
    writeRoutingParameters(ini, p);
    RoutingParameters q;
    readRoutingParameters(ini, q);
    EXPECT_EQ(fileTexts(q), fileTexts(p));
    EXPECT_EQ(ini.readText("Currents", "StreamProvider"), std::to_string(q.streamProvider));
    EXPECT_EQ(ini.readText("Polar", "Power"), std::to_string(q.power));
    EXPECT_EQ(ini.readText("Route", "StraitSegment"), std::to_string(q.straitSegment));

    // Without the Config-only keys a write leaves them out.
    IniFile defaults;
    writeRoutingParameters(defaults, p, RoutingKeys::DefaultsOnly);
    EXPECT_FALSE(defaults.value("Routing", "AutoNbInitialAngles"));
    EXPECT_FALSE(defaults.value("Routing", "PolarName1"));
    EXPECT_FALSE(defaults.hasSection("Route"));
    EXPECT_TRUE(defaults.value("Routing", "Thickness"));
}

TEST(RoutingParametersIo, TextFieldsAndIntegerPruneDistance) {
    IniFile ini;
    ini.parse("[Routing]\nLowSpeed=3,5\nEngineSpeed=abc\nPruneDistance=750.9\nIRC1=0.95\n"
              "Ellipse=0\nQuality=\n");
    RoutingParameters p;
    readRoutingParameters(ini, p);
    EXPECT_FLOAT_EQ(p.lowSpeed, 3);
    EXPECT_FLOAT_EQ(p.engineSpeed, 0);
    EXPECT_FLOAT_EQ(p.pruneDistance, 750);
    EXPECT_FLOAT_EQ(p.irc[0], 0.95f);
    EXPECT_FALSE(p.ellipse);
    EXPECT_EQ(p.quality, 3);
    p.pruneDistance = 499.9f;
    writeRoutingParameters(ini, p);
    EXPECT_EQ(*ini.value("Routing", "PruneDistance"), "499");
}

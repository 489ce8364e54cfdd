#include "settings/config_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_folder.h"

using namespace navorel;
using navorel::testing::readFile;
using navorel::testing::TestFolder;

namespace {

std::string shippedConfig() {
    return readFile(std::string(NAVOREL_SOURCE_DIR) + "/dist/Config.ini");
}

// A Config.ini that belongs to `dir` (not a first opening) followed by `rest`.
std::string ownConfig(const TestFolder& dir, const std::string& rest) {
    return "[Folders]\nInitial=" + dir.path() + "\n" + rest;
}

ConfigStore loaded(const TestFolder& dir) {
    ConfigStore store;
    std::string error;
    EXPECT_TRUE(store.load(dir.path(), nullptr, error)) << error;
    return store;
}

} // namespace

TEST(ConfigLoad, MissingConfigFails) {
    TestFolder dir;
    ConfigStore store;
    std::string error;
    EXPECT_FALSE(store.load(dir.path(), nullptr, error));
    EXPECT_FALSE(error.empty());
}

TEST(ConfigLoad, OnlyTheInitialFolderGivesEveryDefault) {
    TestFolder dir;
    dir.write("Config.ini", ownConfig(dir, ""));
    const ConfigStore store = loaded(dir);
    const Settings& s = store.settings;
    EXPECT_TRUE(s.window.firstOpening); // FirstOpening is absent and defaults to 1
    EXPECT_EQ(s.window.language, "English");
    EXPECT_EQ(s.folders.gribs, dir.path() + "/Gribs/");
    EXPECT_EQ(s.com.baudRate, 4800);
    EXPECT_DOUBLE_EQ(s.map.zoom, 1.2);
    EXPECT_EQ(s.map.colorLand, 9821695);
    EXPECT_EQ(s.map.colorSea, 15913117);
    EXPECT_EQ(s.winds.colors, "Winds10.txt");
    EXPECT_DOUBLE_EQ(s.winds.thicknessArrowColored, 2);
    EXPECT_EQ(s.route.maxLength, 5000);
    EXPECT_EQ(s.routingDisplay.timestepMax, 60);
    EXPECT_EQ(s.routing.renderMode, 4); // Config.ini's fallback, not the record's 2
    EXPECT_EQ(s.routing.minStart, -3);
    EXPECT_FLOAT_EQ(s.routing.engineSpeed, 4.85f);
    EXPECT_TRUE(s.version.log);
}

TEST(ConfigLoad, ValueEncodings) {
    TestFolder dir;
    dir.write("Config.ini", ownConfig(dir, "[Map]\nTransX=abc\nZoom=\nScale = 250.5 \n"
                                           "[Routing]\nLowSpeed=3,5\nEngine=7\nMinStart=-5\n"
                                           "PruneDistance=650\n[polar]\nname=Boat.pol\n"));
    const Settings s = loaded(dir).settings;
    EXPECT_DOUBLE_EQ(s.map.transX, 0);
    EXPECT_DOUBLE_EQ(s.map.zoom, 1.2);
    EXPECT_DOUBLE_EQ(s.map.scale, 250.5);
    EXPECT_FLOAT_EQ(s.routing.lowSpeed, 3);
    EXPECT_TRUE(s.routing.engine); // any non-zero integer is true
    EXPECT_EQ(s.routing.minStart, -5);
    EXPECT_FLOAT_EQ(s.routing.pruneDistance, 650);
    EXPECT_EQ(s.polarName, "Boat.pol");
}

TEST(ConfigLoad, UniqueWindHidesTheWindZones) {
    TestFolder dir;
    dir.write("Config.ini", ownConfig(dir, "[Winds]\nShowZones=1\n[Routing]\nUniqueWind=1\n"));
    EXPECT_FALSE(loaded(dir).settings.winds.showZones);
    dir.write("Config.ini", ownConfig(dir, "[Winds]\nShowZones=1\n[Routing]\nUniqueWind=0\n"));
    EXPECT_TRUE(loaded(dir).settings.winds.showZones);
}

TEST(ConfigLoad, FirstOpeningAndUserFolders) {
    TestFolder dir;
    const std::string gribs = dir.path() + "/MyGribs";
    std::filesystem::create_directory(gribs);
    const std::string folders = "Gribs=" + gribs + "\nPolars=" + dir.path() +
                                "/Gone\n[Window]\nFirstOpening=0\nLanguage=Deutsch\n";
    // Same program folder: existing folders are kept, vanished ones revert to their default.
    dir.write("Config.ini", ownConfig(dir, folders));
    ConfigStore store = loaded(dir);
    EXPECT_FALSE(store.settings.window.firstOpening);
    EXPECT_EQ(store.settings.folders.gribs, gribs);
    EXPECT_EQ(store.settings.folders.polars, dir.path() + "/Polars/");
    EXPECT_EQ(store.settings.window.language, "Deutsch");
    // Moved program: every user folder is reset and FirstOpening=0 does not count.
    dir.write("Config.ini", "[Folders]\nInitial=/somewhere/else\n" + folders);
    store = loaded(dir);
    EXPECT_TRUE(store.settings.window.firstOpening);
    EXPECT_EQ(store.settings.folders.gribs, dir.path() + "/Gribs/");
    EXPECT_EQ(store.settings.folders.initial, "/somewhere/else");
}

TEST(ConfigLoad, FixedPaths) {
    const ProgramPaths p = makeProgramPaths("/opt/navorel/");
    EXPECT_EQ(p.programFolder, "/opt/navorel");
    EXPECT_EQ(p.configFile, "/opt/navorel/Config.ini");
    EXPECT_EQ(p.currentsFolder, "/opt/navorel/Currents/");
    EXPECT_EQ(p.gshhsFolder, "/opt/navorel/Data/Gshhs/");
    EXPECT_EQ(p.citiesFile, "/opt/navorel/Data/Cities/Cities.txt");
    EXPECT_EQ(p.languagePattern, "/opt/navorel/Data/Languages/*.txt");
    EXPECT_EQ(p.barriersFolder, "/opt/navorel/Barriers/");
    EXPECT_EQ(p.logFile, "/opt/navorel/Data/Log.txt");
    EXPECT_EQ(p.routingDefaults, "/opt/navorel/Data/Default.ini");
}

TEST(ConfigBindings, EveryKeyIsBoundOnceInSectionOrder) {
    ConfigStore store;
    const std::vector<IniBinding> list = store.bindings();
    const char* const order[] = {"Folders", "Window",   "Com",     "Map",       "Toolbar",
                                 "Winds",   "Currents", "Tss",     "Waypoints", "Barriers",
                                 "Polar",   "Route",    "Routing", "Version"};
    std::size_t section = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const IniBinding& b = list[i];
        bool nonNull = std::visit([](auto* p) { return p != nullptr; }, b.target);
        EXPECT_TRUE(nonNull) << b.section << " " << b.key;
        while (section < std::size(order) && !iniNameEquals(order[section], b.section)) ++section;
        EXPECT_LT(section, std::size(order)) << "out of order: " << b.section << " " << b.key;
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_FALSE(iniNameEquals(list[j].section, b.section) &&
                         iniNameEquals(list[j].key, b.key))
                << "twice: " << b.section << " " << b.key;
    }
    // With the three comfort limits, Search, Refine, WaveMax and ScanForecasts of [Routing].
    EXPECT_EQ(list.size(), 179u);
}

TEST(ConfigSave, WritesTheValuesWithTheirEncodings) {
    TestFolder dir;
    dir.write("Config.ini", ownConfig(dir, ""));
    ConfigStore store = loaded(dir);
    store.settings.map.scale = 123.456789;
    store.settings.routing.pruneDistance = 500.7f;
    store.settings.polarName = "Navorel40.pol";
    std::string error;
    ASSERT_TRUE(store.save(error)) << error;
    const std::string text = readFile(dir.file("Config.ini"));
    EXPECT_NE(text.find("\nScale= 123.457\n"), std::string::npos);
    EXPECT_NE(text.find("\nPruneDistance= 500\n"), std::string::npos);
    EXPECT_NE(text.find("\nName= Navorel40.pol\n"), std::string::npos);
    EXPECT_NE(text.find("\nEngineSpeed= 4.85\n"), std::string::npos);
    EXPECT_NE(text.find("\nFirstOpening= 1\n"), std::string::npos);
    EXPECT_NE(text.find("\nInitial= " + dir.path() + "\n"), std::string::npos);
    // Keys that are only read are never written.
    for (const char* key : {"AutoNbInitialAngles", "AutoFurtherAngles", "MinLength", "MaxLength",
                            "Log=", "Build=", "[Version]"})
        EXPECT_EQ(text.find(key), std::string::npos) << key;
    EXPECT_DOUBLE_EQ(loaded(dir).settings.map.scale, 123.457);
}

TEST(ConfigSave, HandEditedFilesKeepWhatTheProgramDoesNotOwn) {
    TestFolder dir;
    dir.write("Config.ini", "; my notes\n" + ownConfig(dir, "[Plugins]\nFoo = bar\n\n"
                                                            "[Map]\n; zoom I like\nZoom=1.5\n"
                                                            "[Routing]\nAutoNbInitialAngles=40\n"));
    ConfigStore store = loaded(dir);
    EXPECT_EQ(store.settings.routing.autoNbInitialAngles, 40);
    std::string error;
    ASSERT_TRUE(store.save(error)) << error;
    const std::string text = readFile(dir.file("Config.ini"));
    EXPECT_EQ(text.rfind("; my notes\n[Folders]\n", 0), 0u);
    EXPECT_NE(text.find("[Plugins]\nFoo = bar\n"), std::string::npos);
    EXPECT_NE(text.find("[Map]\n; zoom I like\nZoom= 1.5\n"), std::string::npos);
    EXPECT_NE(text.find("AutoNbInitialAngles=40\n"), std::string::npos); // untouched
}

TEST(ConfigSave, ShippedConfigIsAFixedPoint) {
    TestFolder dir;
    dir.write("Config.ini", shippedConfig());
    ConfigStore first = loaded(dir);
    EXPECT_TRUE(first.settings.window.firstOpening);
    EXPECT_EQ(first.settings.polarName, "Navorel40.pol");
    EXPECT_EQ(first.settings.routing.renderMode, 4);
    EXPECT_EQ(first.settings.routingDisplay.timestepMax, 60);
    EXPECT_EQ(first.settings.map.colorLand, 9821695);
    first.settings.window.firstOpening = false; // as the language choice leaves it
    std::string error;
    ASSERT_TRUE(first.save(error)) << error;
    const std::string once = readFile(dir.file("Config.ini"));
    ConfigStore second = loaded(dir);
    EXPECT_FALSE(second.settings.window.firstOpening);
    ASSERT_TRUE(second.save(error)) << error;
    EXPECT_EQ(readFile(dir.file("Config.ini")), once);
    // The first save changes only the program folder, the first-opening flag and the four user
    // folders, which a first opening resets to their defaults.
    IniFile a, b;
    a.parse(shippedConfig());
    b.parse(once);
    ASSERT_EQ(a.lines().size(), b.lines().size());
    int differences = 0;
    for (std::size_t i = 0; i < a.lines().size(); ++i) differences += a.lines()[i] != b.lines()[i];
    EXPECT_EQ(differences, 6);
}

TEST(ConfigSave, NothingIsWrittenWhenConfigIsGone) {
    TestFolder dir;
    dir.write("Config.ini", ownConfig(dir, ""));
    ConfigStore store = loaded(dir);
    std::filesystem::remove(dir.file("Config.ini"));
    std::string error;
    EXPECT_FALSE(store.save(error));
    EXPECT_FALSE(std::filesystem::exists(dir.file("Config.ini")));
}

TEST(ConfigSave, AFailedWriteKeepsTheOldFile) {
    TestFolder dir;
    const std::string original = ownConfig(dir, "[Map]\nZoom=1.5\n");
    dir.write("Config.ini", original);
    ConfigStore store = loaded(dir);
    store.settings.map.zoom = 1.9;
    // The program folder becomes unreachable: its path now runs through a regular file.
    store.paths.configFile = dir.write("file", "x") + "/Config.ini";
    std::string error;
    EXPECT_FALSE(store.save(error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(readFile(dir.file("Config.ini")), original);
}

TEST(StartupLogTest, LinesOfOneRun) {
    TestFolder dir;
    dir.write("Config.ini", "[Version]\nBuild=17\n");
    std::filesystem::create_directories(dir.file("Data"));
    StartupLog log;
    log.setClock([] { return std::time_t{1709624468}; }); // 05/03/2024 07:41:08 UTC
    ConfigStore store;
    std::string error;
    ASSERT_TRUE(store.load(dir.path(), &log, error)) << error;
    log.step("Gshhs routing = OK");
    log.end();
    log.close();
    const std::string block = "05/03/2024 07:41:08 -- START\n"
                              "07:41:08 : Init parameters\n"
                              "07:41:08 : First opening\n"
                              "07:41:08 : Build: 17\n"
                              "07:41:08 : Parameters = OK\n"
                              "07:41:08 : Gshhs routing = OK\n"
                              "05/03/2024 07:41:08 -- END\n"
                              "\n";
    EXPECT_EQ(readFile(dir.file("Data/Log.txt")), block);
    // A second run appends its own block.
    ASSERT_TRUE(log.open(dir.file("Data/Log.txt"), true));
    log.start();
    log.end();
    log.close();
    EXPECT_EQ(readFile(dir.file("Data/Log.txt")),
              block + "05/03/2024 07:41:08 -- START\n05/03/2024 07:41:08 -- END\n\n");
}

TEST(StartupLogTest, LogZeroWritesNothing) {
    TestFolder dir;
    dir.write("Config.ini", "[Version]\nLog=0\n");
    std::filesystem::create_directories(dir.file("Data"));
    StartupLog log;
    ConfigStore store;
    std::string error;
    ASSERT_TRUE(store.load(dir.path(), &log, error)) << error;
    EXPECT_FALSE(log.isOpen());
    log.step("Language = OK");
    log.end();
    EXPECT_FALSE(std::filesystem::exists(dir.file("Data/Log.txt")));
}

TEST(StartupLogTest, AFailedWriteIsReported) {
    StartupLog log;
    ASSERT_TRUE(log.open("/dev/full", true)); // every write: no space left on the device
    EXPECT_EQ(log.writeError(), "");
    log.start();
    EXPECT_NE(log.writeError().find("/dev/full cannot be written: No space left"),
              std::string::npos)
        << log.writeError();
}

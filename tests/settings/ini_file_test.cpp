#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_folder.h"

using namespace navorel;
using navorel::testing::readFile;
using navorel::testing::TestFolder;

namespace {

IniFile parsed(const std::string& text) {
    IniFile ini;
    ini.parse(text);
    return ini;
}

} // namespace

TEST(IniRead, SectionsAndKeysIgnoreCaseAndValuesAreTrimmed) {
    const IniFile ini = parsed("[Polar]\n  name =  First 40.pol  \n[MAP]\nzoom=\t1.5\t\n");
    EXPECT_EQ(ini.readText("Polar", "Name"), "First 40.pol");
    EXPECT_DOUBLE_EQ(ini.readReal("map", "Zoom", 0), 1.5);
    EXPECT_TRUE(ini.hasSection("polar"));
    EXPECT_FALSE(ini.hasSection("Route"));
}

TEST(IniRead, MissingOrEmptyValuesGiveTheFallback) {
    const IniFile ini = parsed("[Map]\nZoom=\nScale=   \n; Factor0=3\n");
    EXPECT_DOUBLE_EQ(ini.readReal("Map", "Zoom", 1.2), 1.2);
    EXPECT_EQ(ini.readInt("Map", "Scale", 100), 100);
    EXPECT_EQ(ini.readInt("Map", "Factor0", 10), 10); // a comment is not a key
    EXPECT_EQ(ini.readText("Map", "Missing", "x"), "x");
    EXPECT_EQ(ini.readText("Nowhere", "Zoom"), "");
}

TEST(IniRead, OnlyTheFirstSectionOfANameCounts) {
    const IniFile ini = parsed("[A]\nk=1\n[B]\nk=2\n[a]\nk=3\nonly=4\n");
    EXPECT_EQ(ini.readInt("A", "k", 0), 1);
    EXPECT_EQ(ini.readInt("A", "only", 0), 0);
    EXPECT_EQ(ini.readInt("B", "k", 0), 2);
}

TEST(IniRead, IntegersReadTheirLeadingDigits) {
    const IniFile ini = parsed("[S]\na=abc\nb=12abc\nc=-3\nd=+7\ne=99999999999\nf=-99999999999\n"
                               "g=0x10\nh=3.9\n");
    EXPECT_EQ(ini.readInt("S", "a", 5), 0);
    EXPECT_EQ(ini.readInt("S", "b", 5), 12);
    EXPECT_EQ(ini.readInt("S", "c", 5), -3);
    EXPECT_EQ(ini.readInt("S", "d", 5), 7);
    EXPECT_EQ(ini.readInt("S", "e", 5), INT_MAX);
    EXPECT_EQ(ini.readInt("S", "f", 5), INT_MIN);
    EXPECT_EQ(ini.readInt("S", "g", 5), 0);
    EXPECT_EQ(ini.readInt("S", "h", 5), 3);
}

TEST(IniRead, RealsStopAtTheFirstCharacterOutsideTheNumber) {
    const IniFile ini = parsed("[S]\ncomma=3,5\ntext=abc\nexp=1e3\nlead=.5\nplus=+2.5\n"
                               "nan=nan\ninf=inf\nhuge=1e999\nneg=-4.25kt\n");
    EXPECT_DOUBLE_EQ(ini.readReal("S", "comma", 9), 3);
    EXPECT_DOUBLE_EQ(ini.readReal("S", "text", 9), 0);
    EXPECT_DOUBLE_EQ(ini.readReal("S", "exp", 9), 1000);
    EXPECT_DOUBLE_EQ(ini.readReal("S", "lead", 9), 0.5);
    EXPECT_DOUBLE_EQ(ini.readReal("S", "plus", 9), 2.5);
    EXPECT_DOUBLE_EQ(ini.readReal("S", "neg", 9), -4.25);
    // Values that are not finite numbers would poison every computation that uses them.
    EXPECT_DOUBLE_EQ(ini.readReal("S", "nan", 9), 0);
    EXPECT_DOUBLE_EQ(ini.readReal("S", "inf", 9), 0);
    EXPECT_DOUBLE_EQ(ini.readReal("S", "huge", 9), 0);
}

TEST(IniRead, TextsAreCutAt255BytesWithoutSplittingACharacter) {
    const std::string ascii(300, 'a');
    std::string accented(254, 'b');
    accented += "\xC3\xA9tait"; // 'é' straddles byte 255
    const IniFile ini = parsed("[S]\na=" + ascii + "\nb=" + accented + "\n");
    EXPECT_EQ(ini.readText("S", "a").size(), 255u);
    EXPECT_EQ(ini.readText("S", "b"), std::string(254, 'b'));
    EXPECT_EQ(ini.value("S", "a")->size(), 300u);
}

TEST(IniWrite, ValuesFollowOneBlank) {
    IniFile ini;
    ini.writeInt("Routing", "PruneDistance", 500);
    ini.writeText("Polar", "Name", "Navorel40.pol");
    ini.writeReal("Map", "Zoom", 1.2);
    ini.writeReal("Map", "TransX", 700);
    ini.writeReal("Map", "TransY", 5200);
    ini.writeReal("Map", "Scale", 123.456789);
    ini.writeReal("Map", "Big", 1234567.0);
    ini.writeText("Winds", "Grib", "");
    EXPECT_EQ(ini.text(), "[Routing]\nPruneDistance= 500\n\n[Polar]\nName= Navorel40.pol\n\n"
                          "[Map]\nZoom= 1.2\nTransX= 700\nTransY= 5200\nScale= 123.457\n"
                          "Big= 1.23457e+06\n\n[Winds]\nGrib= \n");
    EXPECT_DOUBLE_EQ(parsed(ini.text()).readReal("Map", "Scale", 0), 123.457);
}

TEST(IniWrite, EditsKeepEverythingElseInPlace) {
    const std::string original = "; settings of Navorel\n"
                                 "[Polar]\n"
                                 "name=Old.pol ; not a comment\n"
                                 "Extra = kept\n"
                                 "\n"
                                 "; the map follows\n"
                                 "[Map]\n"
                                 "Zoom=1.5\n";
    IniFile ini = parsed(original);
    ini.writeText("POLAR", "Name", "New.pol");
    ini.writeInt("Polar", "Power", 90);
    ini.writeReal("map", "zoom", 1.3);
    ini.writeInt("Route", "Color", 255);
    EXPECT_EQ(ini.text(), "; settings of Navorel\n"
                          "[Polar]\n"
                          "name= New.pol\n"
                          "Extra = kept\n"
                          "Power= 90\n"
                          "\n"
                          "; the map follows\n"
                          "[Map]\n"
                          "Zoom= 1.3\n"
                          "\n"
                          "[Route]\n"
                          "Color= 255\n");
}

TEST(IniWrite, AValueCannotAddLines) {
    IniFile ini;
    ini.writeText("Winds", "Grib", "a.grb\n[Routing]\nTimestep=1");
    EXPECT_EQ(ini.text(), "[Winds]\nGrib= a.grb\n");
    EXPECT_FALSE(parsed(ini.text()).hasSection("Routing"));
}

TEST(IniWrite, CrLfFilesStayCrLfAndAByteOrderMarkIsKept) {
    IniFile ini = parsed("\xEF\xBB\xBF[Map]\r\nZoom=1.5\r\n");
    EXPECT_DOUBLE_EQ(ini.readReal("Map", "Zoom", 0), 1.5);
    ini.writeReal("Map", "Zoom", 2);
    EXPECT_EQ(ini.text(), "\xEF\xBB\xBF[Map]\r\nZoom= 2\r\n");
}

TEST(IniFileIo, SaveReplacesTheFileAndLeavesNoTemporaryFile) {
    TestFolder dir;
    const std::string path = dir.write("Config.ini", "[Map]\nZoom=1.5\n");
    IniFile ini;
    std::string error;
    ASSERT_TRUE(ini.load(path, error)) << error;
    ini.writeReal("Map", "Zoom", 1.7);
    ASSERT_TRUE(ini.save(path, error)) << error;
    EXPECT_EQ(readFile(path), "[Map]\nZoom= 1.7\n");
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST(IniFileIo, FailedSavesReportAndKeepTheOldFile) {
    TestFolder dir;
    IniFile ini;
    ini.writeInt("Map", "Factor0", 3);
    std::string error;
    // The parent "folder" is a regular file (tests run as root, so permissions do not stop us).
    const std::string plain = dir.write("plain", "keep me\n");
    EXPECT_FALSE(ini.save(plain + "/Config.ini", error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(readFile(plain), "keep me\n");
    // A directory stands where the file should be.
    std::filesystem::create_directories(dir.file("Config.ini/inside"));
    error.clear();
    EXPECT_FALSE(ini.save(dir.file("Config.ini"), error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("Config.ini/inside")));
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 2); // no temporary file left behind
}

TEST(IniFileIo, MissingFilesAndFoldersAreNotLoaded) {
    TestFolder dir;
    IniFile ini = parsed("[A]\nk=1\n");
    std::string error;
    EXPECT_FALSE(ini.load(dir.file("absent.ini"), error));
    EXPECT_FALSE(ini.load(dir.path(), error));
    EXPECT_EQ(ini.readInt("A", "k", 0), 1); // left as it was
}

TEST(IniFileIo, SavingThroughASymbolicLinkKeepsTheLink) {
    TestFolder dir;
    const std::string real = dir.write("real.ini", "[A]\nk=1\n");
    std::filesystem::create_symlink(real, dir.file("link.ini"));
    IniFile ini;
    std::string error;
    ASSERT_TRUE(ini.load(dir.file("link.ini"), error));
    ini.writeInt("A", "k", 2);
    ASSERT_TRUE(ini.save(dir.file("link.ini"), error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.ini")));
    EXPECT_EQ(readFile(real), "[A]\nk= 2\n");
}

TEST(IniWrite, ManyInsertionsKeepLookupsRight) {
    IniFile ini = parsed("[A]\na0=0\n[B]\nb0=0\n\n[C]\n[a]\nshadow=1\n");
    for (int i = 1; i <= 20; ++i) {
        ini.writeInt("A", "a" + std::to_string(i), i);
        ini.writeInt("C", "c" + std::to_string(i), i);
        ini.writeInt("B", "b0", i);
    }
    ini.writeInt("A", "a5", 55); // an existing key is replaced, never repeated
    const IniFile again = parsed(ini.text());
    for (int i = 1; i <= 20; ++i) {
        EXPECT_EQ(again.readInt("A", "a" + std::to_string(i), -1), i == 5 ? 55 : i);
        EXPECT_EQ(again.readInt("C", "c" + std::to_string(i), -1), i);
    }
    EXPECT_EQ(again.readInt("B", "b0", -1), 20);
    EXPECT_EQ(again.readInt("A", "shadow", -1), -1);
    EXPECT_EQ(ini.text().find("a5= 5\n"), std::string::npos);
    EXPECT_EQ(again.lines().size(), ini.lines().size());
    EXPECT_EQ(ini.lines()[21], "a20= 20"); // A's keys stay together, before [B]
    EXPECT_EQ(ini.lines()[22], "[B]");
}

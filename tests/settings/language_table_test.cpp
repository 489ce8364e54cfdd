#include "settings/language_table.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "settings/config_store.h"
#include "test_folder.h"

using namespace navorel;
using navorel::testing::readFile;
using navorel::testing::TestFolder;

namespace {

LanguageTable parsed(const std::string& content) {
    LanguageTable t;
    t.parse(content);
    return t;
}

} // namespace

TEST(LanguageText, LinesAreTextsByNumber) {
    const LanguageTable t = parsed("Grib\n\nMap\n");
    EXPECT_EQ(t.size(), 3u);
    EXPECT_EQ(t.text(0), "Grib");
    EXPECT_EQ(t.text(1), ""); // an empty line keeps its number
    EXPECT_EQ(t.text(2), "Map");
    EXPECT_EQ(t.text(3), ""); // beyond the last line
    EXPECT_EQ(t.text(-1), "");
    EXPECT_EQ(t.wideText(99), u"");
    EXPECT_EQ(parsed("a\nb").size(), 2u); // no line end after the last line
}

TEST(LanguageText, CrLfGivesTheSameTexts) {
    const LanguageTable lf = parsed("One\n\nThree ; not a comment\n");
    const LanguageTable crlf = parsed("One\r\n\r\nThree ; not a comment\r\n");
    ASSERT_EQ(lf.size(), crlf.size());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(lf.text(i), crlf.text(i));
        EXPECT_EQ(lf.wideText(i), crlf.wideText(i));
    }
}

TEST(LanguageText, EncodingsAndByteOrderMark) {
    // UTF-8 (with a mark), then a Windows-1252 line, then a character outside the BMP.
    const LanguageTable t = parsed("\xEF\xBB\xBF"
                                   "Fran\xC3\xA7"
                                   "ais\n"
                                   "Fran\xE7"
                                   "ais \x80 \x93"
                                   "x\x94\n"
                                   "\xF0\x9F\x8C\x8A\n");
    EXPECT_EQ(t.text(0), "Fran\xC3\xA7"
                         "ais");
    EXPECT_EQ(t.wideText(0), u"Français");
    EXPECT_EQ(t.text(1), "Fran\xC3\xA7"
                         "ais \xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D");
    EXPECT_EQ(t.wideText(1), u"Français € “x”");
    EXPECT_EQ(t.wideText(2), u"\U0001F30A");
    // Overlong forms and encoded surrogates are not UTF-8.
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));
    EXPECT_FALSE(isValidUtf8("\xE2\x82"));
    EXPECT_TRUE(isValidUtf8("\xE2\x82\xAC"));
}

TEST(LanguageText, WideFormIsCutAt259Units) {
    const LanguageTable t = parsed(std::string(300, 'x') + "\n");
    EXPECT_EQ(t.text(0).size(), 300u);
    EXPECT_EQ(t.wideText(0).size(), 259u);
    // A character outside the BMP straddling the cut is dropped whole.
    std::string line(258, 'y');
    line += "\xF0\x9F\x8C\x8A";
    const LanguageTable s = parsed(line + "\n");
    EXPECT_EQ(s.wideText(0), std::u16string(258, u'y'));
}

TEST(LanguageText, AbsurdFilesAreClipped) {
    const LanguageTable t = parsed(std::string(LanguageTable::maxLines + 500, '\n'));
    EXPECT_EQ(t.size(), LanguageTable::maxLines);
}

TEST(LanguageFiles, LoadByNameAndListing) {
    TestFolder dir;
    dir.write("Data/Languages/English.txt", "Grib\n");
    dir.write("Data/Languages/Deutsch.v2.txt", "Grib\n");
    dir.write("Data/Languages/Nederlands.TXT", "Grib\n");
    dir.write("Data/Languages/notes.md", "x\n");
    std::filesystem::create_directories(dir.file("Data/Languages/Folder.txt"));
    EXPECT_EQ(listLanguages(dir.path()),
              (std::vector<std::string>{"Deutsch", "English", "Nederlands"}));
    EXPECT_TRUE(listLanguages(dir.file("nowhere")).empty());

    LanguageTable t;
    std::string error;
    ASSERT_TRUE(t.load(dir.path(), "English", error)) << error;
    EXPECT_EQ(t.name(), "English");
    EXPECT_FALSE(t.load(dir.path(), "Klingon", error));
    EXPECT_FALSE(t.load(dir.path(), "../../Config", error));
    EXPECT_FALSE(t.load(dir.path(), "Folder", error));
    EXPECT_EQ(t.text(0), "Grib"); // a failed load keeps the texts
    EXPECT_EQ(t.name(), "English");
}

TEST(LanguageFiles, StartupChoice) {
    TestFolder dir;
    dir.write("Data/Languages/English.txt", "Grib\n");
    dir.write("Data/Languages/Français.txt", "Fichier grib\n");
    std::string error;
    {
        WindowSettings w; // first opening
        LanguageTable t;
        ASSERT_TRUE(chooseStartupLanguage(w, t, dir.path(), "fr-FR", nullptr, error));
        EXPECT_EQ(w.language, "Français");
        EXPECT_FALSE(w.firstOpening);
        EXPECT_EQ(t.text(0), "Fichier grib");
    }
    {
        WindowSettings w;
        LanguageTable t;
        ASSERT_TRUE(chooseStartupLanguage(w, t, dir.path(), "fr-CA", nullptr, error));
        EXPECT_EQ(w.language, "English");
    }
    {
        WindowSettings w; // not a first opening: the configured language, else English
        w.firstOpening = false;
        w.language = "Deutsch";
        LanguageTable t;
        ASSERT_TRUE(chooseStartupLanguage(w, t, dir.path(), "fr-FR", nullptr, error));
        EXPECT_EQ(w.language, "English");
        EXPECT_EQ(t.text(0), "Grib");
    }
    {
        TestFolder empty;
        WindowSettings w;
        LanguageTable t;
        EXPECT_FALSE(chooseStartupLanguage(w, t, empty.path(), "en-GB", nullptr, error));
        EXPECT_EQ(error, kLanguageLoadFailure);
    }
    EXPECT_EQ(languageForLocale("fr-FR"), "Français");
    EXPECT_EQ(languageForLocale("fr"), "English");
}

TEST(LanguageFiles, ShippedFilesAreComplete) {
    const std::string folder = std::string(NAVOREL_SOURCE_DIR) + "/dist";
    const std::vector<std::string> names = listLanguages(folder);
    EXPECT_EQ(names, (std::vector<std::string>{"English", "Français"}));
    for (const std::string& name : names) {
        const std::string content = readFile(folder + "/Data/Languages/" + name + ".txt");
        EXPECT_TRUE(isValidUtf8(content)) << name;
        EXPECT_EQ(std::count(content.begin(), content.end(), '\n'), 430) << name;
        EXPECT_EQ(content.back(), '\n') << name;
        EXPECT_EQ(content.find('\r'), std::string::npos) << name;
        LanguageTable t;
        std::string error;
        ASSERT_TRUE(t.load(folder, name, error)) << error;
        EXPECT_EQ(t.size(), 430u);
        for (int i = 0; i < 430; ++i) EXPECT_FALSE(t.text(i).empty()) << name << " " << i;
    }
    LanguageTable en, fr;
    std::string error;
    ASSERT_TRUE(en.load(folder, "English", error));
    ASSERT_TRUE(fr.load(folder, "Français", error));
    // Texts other parts of the program rely on.
    EXPECT_EQ(en.text(0), "Grib");
    EXPECT_EQ(en.text(6), "Set date to the current GMT time");
    EXPECT_EQ(en.text(45), "About Navorel");
    EXPECT_EQ(en.text(112), "None");
    EXPECT_EQ(en.text(118), "Disconnect");
    EXPECT_EQ(en.text(119), "Connect");
    for (int i = 304; i <= 310; ++i) EXPECT_EQ(en.text(i), builtinEnglishTexts().text(i));
    for (int i = 318; i <= 329; ++i) EXPECT_EQ(en.text(i), builtinEnglishTexts().text(i));
    EXPECT_EQ(fr.text(304), "Lundi");
    EXPECT_EQ(fr.text(318), "Janvier");
}

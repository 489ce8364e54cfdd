// The waypoint dialog driven by real clicks and keys: the three formats show the position,
// choosing one keeps it in FormatLatLon, Update applies what was typed and refuses a field
// that cannot be read, leaving the position as it was.
#include "app/dialogs/waypoint_dialog.h"
#include "settings/language_table.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace navorel;

namespace {

void typeInto(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

void click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, button->height() / 2));
}

LanguageTable english() {
    LanguageTable t;
    std::string error;
    EXPECT_TRUE(
        t.loadFile(std::string(NAVOREL_SOURCE_DIR) + "/dist/Data/Languages/English.txt", error))
        << error;
    return t;
}

} // namespace

TEST(WaypointDialog, EachFormatShowsThePositionAndReadsItBack) {
    const LanguageTable texts = english();
    Settings settings;
    settings.map.formatLatLon = 0;
    app::WaypointDialog dialog({-170.25f, -45.1f}, settings, texts);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Waypoint");
    EXPECT_EQ(dialog.updateButton()->text(), "Update");
    struct Case {
        int format;
        const char *lat, *lon, *label;
    };
    const Case cases[] = {
        {1, "S 45 06 00", "W 170 15 00", "N 45\u00B0 06' 07\""},
        {2, "-45.10000000", "-170.25000000", "45.102"},
        {0, "S 45 06.000", "W 170 15.000", "N 45 06.123"},
    };
    for (const Case& c : cases) {
        click(dialog.formatButton(c.format));
        EXPECT_EQ(settings.map.formatLatLon, c.format);
        EXPECT_EQ(dialog.formatButton(c.format)->text(), QString::fromUtf8(c.label));
        EXPECT_EQ(dialog.latitudeEdit()->text(), c.lat);
        EXPECT_EQ(dialog.longitudeEdit()->text(), c.lon);
    }
    // A typed position is shown again in the next format, and read back from it.
    typeInto(dialog.latitudeEdit(), "n 12 30");
    typeInto(dialog.longitudeEdit(), "-100.5");
    click(dialog.formatButton(2));
    EXPECT_EQ(dialog.latitudeEdit()->text(), "12.50000000");
    EXPECT_EQ(dialog.longitudeEdit()->text(), "-100.50000000");
    click(dialog.updateButton());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(dialog.refusal().isEmpty());
    EXPECT_FLOAT_EQ(dialog.position().lat, 12.5f);
    EXPECT_FLOAT_EQ(dialog.position().lon, -100.5f);
}

TEST(WaypointDialog, UpdateRefusesAFieldThatCannotBeRead) {
    const LanguageTable texts = english();
    Settings settings;
    struct Case {
        const char *lat, *lon;
        const char* refusal; // empty: accepted
        float wantLat, wantLon;
    };
    const Case cases[] = {
        {"N 45 06.5", "W 070 30", "", 45.108333f, -70.5f},
        {"45 30 S", "5 E", "", -45.5f, 5},
        {"", "W 070", "latitude \"\" cannot be read", 0, 0},
        {"abc", "W 070", "latitude \"abc\" cannot be read", 0, 0},
        {"E 45", "W 070", "latitude \"E 45\" cannot be read", 0, 0},
        {"N 95", "W 070", "between 90", 0, 0},
        {"N 45 70", "W 070", "latitude \"N 45 70\" cannot be read", 0, 0},
        {"N 45", "N 12", "longitude \"N 12\" cannot be read", 0, 0},
        {"N 45", "E 180 30", "between 180", 0, 0},
    };
    for (const Case& c : cases) {
        app::WaypointDialog dialog({1, 2}, settings, texts);
        dialog.show();
        typeInto(dialog.latitudeEdit(), c.lat);
        typeInto(dialog.longitudeEdit(), c.lon);
        QTest::keyClick(dialog.longitudeEdit(), Qt::Key_Return); // Update is the default
        if (*c.refusal == '\0') {
            EXPECT_EQ(dialog.result(), QDialog::Accepted) << c.lat << " / " << c.lon;
            EXPECT_NEAR(dialog.position().lat, c.wantLat, 1e-5) << c.lat;
            EXPECT_NEAR(dialog.position().lon, c.wantLon, 1e-5) << c.lon;
            continue;
        }
        EXPECT_NE(dialog.result(), QDialog::Accepted) << c.lat << " / " << c.lon;
        EXPECT_TRUE(dialog.refusal().contains(c.refusal)) << dialog.refusal().toStdString();
        EXPECT_FLOAT_EQ(dialog.position().lon, 1);
        EXPECT_FLOAT_EQ(dialog.position().lat, 2);
    }
}

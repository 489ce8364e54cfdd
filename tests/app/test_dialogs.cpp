// The settings dialogs, the results window and the about box driven by real key and mouse
// events: each page edits its setting, out-of-range entries are refused, "Default" asks
// first, the language switch relabels at once, and the results match the command line.
#include "app/chart_widget.h"
#include "app/commands.h"
#include "app/dialogs/about_dialog.h"
#include "app/dialogs/options_dialog.h"
#include "app/dialogs/results_window.h"
#include "app/dialogs/routing_parameters_dialog.h"
#include "program_folder.h"
#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

namespace fs = std::filesystem;
using namespace navorel;
using navorel::apptest::ProgramFolder;

namespace {

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string settingText(app::AppData& data, const char* section, const char* key) {
    IniBinding b;
    if (!data.config.findBinding(section, key, b)) return "?";
    return bindingValueText(b);
}

void clickTab(QTabWidget* tabs, int index) {
    QTabBar* bar = tabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    ASSERT_EQ(tabs->currentIndex(), index);
}

void typeInto(QWidget* field, const QString& text) {
    auto* edit = qobject_cast<QLineEdit*>(field);
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, text);
}

QPushButton* okButton(QDialog& dialog) {
    return dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
}

// Runs `drive` on the modal dialog once it is open.
template <typename Dialog> void whenOpen(std::function<void(Dialog&)> drive) {
    QTimer::singleShot(0, [drive] {
        auto* dialog = dynamic_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog) return whenOpen<Dialog>(drive);
        drive(*dialog);
    });
}

// Answers the next message box with `button`.
void answerBox(QMessageBox::StandardButton button) {
    QTimer::singleShot(0, [button] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return answerBox(button);
        QTest::mouseClick(box->button(button), Qt::LeftButton);
    });
}

// How a test changes one control: a check box or radio button is clicked, a field typed
// into, a list moved to its last entry.
enum class Act { Click, Type, LastEntry, ClickSecond };

struct Edit {
    int tab;
    const char* section;
    const char* key;
    Act act;
    const char* text;     // typed
    const char* expected; // null: the check box's value flipped
};

void perform(QWidget* field, const Edit& e) {
    switch (e.act) {
    case Act::Click:
        QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(5, field->height() / 2));
        break;
    case Act::Type:
        typeInto(field, e.text);
        break;
    case Act::LastEntry:
        field->setFocus();
        QTest::keyClick(field, Qt::Key_End);
        break;
    case Act::ClickSecond: {
        auto* second = field->parentWidget()->findChildren<QRadioButton*>().at(1);
        QTest::mouseClick(second, Qt::LeftButton, {}, QPoint(5, second->height() / 2));
        break;
    }
    }
}

template <typename Dialog>
void checkEdits(app::AppData& data, const std::vector<Edit>& edits,
                const std::function<void()>& open) {
    std::vector<std::string> before;
    for (const Edit& e : edits) before.push_back(settingText(data, e.section, e.key));
    whenOpen<Dialog>([&edits](Dialog& dialog) {
        for (const Edit& e : edits) {
            clickTab(dialog.tabs(), e.tab);
            QWidget* field = dialog.pages().field(e.section, e.key);
            ASSERT_NE(field, nullptr) << e.key;
            perform(field, e);
        }
        QTest::mouseClick(okButton(dialog), Qt::LeftButton);
    });
    open();
    for (std::size_t i = 0; i < edits.size(); ++i) {
        const Edit& e = edits[i];
        const std::string expected = e.expected ? e.expected : before[i] == "0" ? "1" : "0";
        EXPECT_EQ(settingText(data, e.section, e.key), expected) << e.section << "." << e.key;
    }
}

struct Started {
    ProgramFolder folder;
    app::AppData data;
    Started() {
        std::string error;
        EXPECT_TRUE(app::startUp(folder.str(), data, error)) << error;
    }
};

} // namespace

TEST(OptionsDialog, EachPageEditsItsSettingThroughEventsAndNothingIsWrittenBeforeTheEnd) {
    Started s;
    s.data.config.settings.folders.gribs = "/tmp/";
    const std::string config = fileText(s.folder.path() / "Config.ini");
    const std::string gribs = s.data.config.paths.defaultGribsFolder;
    const std::vector<Edit> edits = {
        {0, "Toolbar", "AlwaysVisible", Act::Click, "", nullptr},
        {0, "Toolbar", "Opacity", Act::Type, "120", "120"},
        {1, "Window", "OpacityPanel", Act::Type, "77", "77"},
        {2, "Map", "ColorLand", Act::LastEntry, "", "12695295"}, // lightpink
        {4, "Map", "Zoom", Act::Type, "1.5", "1.5"},
        {5, "Route", "StraitSegment", Act::Type, "30", "30"},
        {6, "Winds", "Colors", Act::ClickSecond, "", "Wind26.txt"},
        {8, "Com", "ShowBoat", Act::Click, "", nullptr},
    };
    checkEdits<app::OptionsDialog>(s.data, edits, [&] { app::showOptions(s.data, nullptr, {}); });
    EXPECT_EQ(s.data.windColors.scale.size(), 26u); // the 26-colour scale was read at once

    // The folder page: Reset brings back the default folder.
    whenOpen<app::OptionsDialog>([](app::OptionsDialog& dialog) {
        clickTab(dialog.tabs(), 3);
        QPushButton* reset = nullptr;
        for (auto* b : dialog.tabs()->widget(3)->findChildren<QPushButton*>())
            if (!reset && b->text() == "Reset") reset = b; // the first: Gribs
        ASSERT_NE(reset, nullptr);
        QTest::mouseClick(reset, Qt::LeftButton);
        QTest::mouseClick(okButton(dialog), Qt::LeftButton);
    });
    app::showOptions(s.data, nullptr, {});
    EXPECT_EQ(s.data.config.settings.folders.gribs, gribs);
    EXPECT_EQ(fileText(s.folder.path() / "Config.ini"), config);
}

TEST(RoutingParametersDialog, EachPageEditsItsSettingThroughEvents) {
    Started s;
    const std::vector<Edit> edits = {
        {0, "Routing", "NoRoutingOutside", Act::Click, "", nullptr},
        {1, "Routing", "Quality", Act::LastEntry, "", "4"},
        {1, "Routing", "Search", Act::LastEntry, "", "1"},
        {2, "Routing", "MaxPolar", Act::Type, "95", "95"},
        {3, "Polar", "Power", Act::Type, "90", "90"},
        {4, "Routing", "EngineSpeed", Act::Type, "5.5", "5.5"},
        {5, "Routing", "WindForce", Act::Type, "15", "15"},
        {6, "Currents", "StreamProvider", Act::ClickSecond, "", "1"},
        {7, "Routing", "SeaStateUp", Act::Type, "90", "90"},
        {8, "Routing", "CoastsQuality", Act::LastEntry, "", "4"},
        {9, "Routing", "ShowHours", Act::Click, "", nullptr},
    };
    app::RoutingParametersOutcome outcome;
    checkEdits<app::RoutingParametersDialog>(
        s.data, edits, [&] { EXPECT_TRUE(app::showRoutingParameters(s.data, nullptr, outcome)); });
    EXPECT_EQ(outcome.action, app::RoutingParametersOutcome::Action::Accepted);

    // While a routing runs the edits wait in the outcome; Start asks for the run.
    whenOpen<app::RoutingParametersDialog>([](app::RoutingParametersDialog& dialog) {
        clickTab(dialog.tabs(), 3);
        typeInto(dialog.pages().field("Polar", "Power"), "70");
        QTest::mouseClick(dialog.startButton(), Qt::LeftButton);
    });
    app::showRoutingParameters(s.data, nullptr, outcome, [] { return true; });
    EXPECT_EQ(outcome.action, app::RoutingParametersOutcome::Action::Start);
    EXPECT_TRUE(outcome.pending);
    EXPECT_EQ(s.data.config.settings.routing.power, 90);
    std::string error;
    ASSERT_TRUE(app::applyRoutingParameters(s.data, outcome, error)) << error;
    EXPECT_EQ(s.data.config.settings.routing.power, 70);
}

TEST(SettingPages, OutOfRangeEntriesAreRefusedAndNeverStored) {
    Started s;
    struct Case {
        bool routing;
        int tab;
        const char* section;
        const char* key;
        const char* typed;
    };
    const Case cases[] = {
        {false, 0, "Toolbar", "Opacity", "300"},
        {false, 4, "Map", "Zoom", "2.5"},
        {false, 1, "Window", "OpacityPanel", "abc"},
        {true, 1, "Routing", "MaxIterations", "150"},  // steps of 100
        {true, 1, "Routing", "NbInitialAngles", "40"}, // 40 x 10 degrees
        {true, 1, "Routing", "Excentricity", "80"},
        {true, 1, "Routing", "Timestep", "90"}, // TimestepMax 60
        {true, 3, "Polar", "Power", "-5"},
    };
    for (const Case& c : cases) {
        const std::string before = settingText(s.data, c.section, c.key);
        std::unique_ptr<QDialog> dialog;
        app::SettingPages* pages = nullptr;
        QTabWidget* tabs = nullptr;
        if (c.routing) {
            auto* d = new app::RoutingParametersDialog(s.data);
            pages = &d->pages();
            tabs = d->tabs();
            dialog.reset(d);
        } else {
            auto* d = new app::OptionsDialog(s.data, {});
            pages = &d->pages();
            tabs = d->tabs();
            dialog.reset(d);
        }
        dialog->show();
        clickTab(tabs, c.tab);
        QWidget* field = pages->field(c.section, c.key);
        typeInto(field, c.typed);
        QTest::mouseClick(okButton(*dialog), Qt::LeftButton);
        EXPECT_TRUE(dialog->isVisible()) << c.key;
        EXPECT_EQ(dialog->result(), QDialog::Rejected) << c.key;
        EXPECT_TRUE(field->property("invalid").toBool()) << c.key;
        EXPECT_FALSE(pages->reasonLabel()->text().isEmpty()) << c.key;
        EXPECT_EQ(settingText(s.data, c.section, c.key), before) << c.key;
        dialog->reject();
    }
}

TEST(RoutingParametersDialog, DefaultYesClosesTheDialogAndAppliesDefaultIniAtOnce) {
    struct Case {
        QMessageBox::StandardButton answer;
        int timestep, maxIterations, power;
        bool closed;
    };
    for (const Case& c : {Case{QMessageBox::Yes, 30, 1000, 100, true},
                          Case{QMessageBox::No, 45, 2000, 77, false}}) {
        Started s;
        {
            std::ofstream out(s.folder.path() / "Data" / "Default.ini", std::ios::trunc);
            out << "[Routing]\nTimestep=30\n";
        }
        RoutingParameters& p = s.data.config.settings.routing;
        p.timestep = 45;
        p.maxIterations = 2000;
        p.power = 77;
        bool open = false;
        whenOpen<app::RoutingParametersDialog>([c, &open](app::RoutingParametersDialog& dialog) {
            answerBox(c.answer);
            QTest::mouseClick(dialog.defaultButton(), Qt::LeftButton);
            // Yes closes the dialog: nothing is left for Cancel to throw away.
            open = dialog.isVisible();
            if (open) dialog.reject();
        });
        app::RoutingParametersOutcome outcome;
        app::showRoutingParameters(s.data, nullptr, outcome);
        EXPECT_EQ(!open, c.closed);
        EXPECT_EQ(outcome.action == app::RoutingParametersOutcome::Action::Defaults, c.closed);
        EXPECT_EQ(p.timestep, c.timestep);
        EXPECT_EQ(p.maxIterations, c.maxIterations);
        EXPECT_EQ(p.power, c.power);
    }
}

TEST(RoutingParametersDialog, DefaultRestoresTheShippedFirstRunSettingsKeptAtExit) {
    Started s;
    RoutingParameters& p = s.data.config.settings.routing;
    p.method = 0; // best course, manual step of 45 minutes, coarse coasts
    p.timestepAuto = false;
    p.timestep = 45;
    p.coastsQuality = 1;
    p.renderMode = 7;
    int opened = 0;
    std::function<void(app::RoutingParametersDialog&)> drive =
        [&](app::RoutingParametersDialog& dialog) {
            if (++opened == 1) {
                answerBox(QMessageBox::Yes);
                QTest::mouseClick(dialog.defaultButton(), Qt::LeftButton);
                whenOpen<app::RoutingParametersDialog>(drive); // opened again on the defaults
                return;
            }
            EXPECT_EQ(dialog.edited().routing.method, 1); // shows the defaults
            EXPECT_TRUE(dialog.edited().routing.timestepAuto);
            dialog.reject(); // which stay in force
        };
    whenOpen<app::RoutingParametersDialog>(drive);
    app::ChartWidget chart(s.data);
    chart.commands().action(app::kRoutingParameters)->trigger();
    EXPECT_EQ(opened, 2);
    std::vector<std::string> errors;
    app::saveAtExit(s.data, nullptr, errors);
    ASSERT_TRUE(errors.empty());
    // Every routing key of Config.ini at exit is the shipped one.
    IniFile shipped, saved;
    std::string error;
    ASSERT_TRUE(shipped.load(std::string(NAVOREL_SOURCE_DIR) + "/dist/Config.ini", error));
    ASSERT_TRUE(saved.load((s.folder.path() / "Config.ini").string(), error));
    for (const char* key : {"Method", "Timestep", "TimestepAuto", "CoastsQuality", "RenderMode",
                            "NbInitialAngles", "Thickness", "ShowSegments"})
        EXPECT_EQ(saved.value("Routing", key), shipped.value("Routing", key)) << key;
}

TEST(OptionsDialog, SwitchingToFrancaisRelabelsTheDialogsAtOnce) {
    Started s;
    int relabels = 0;
    whenOpen<app::OptionsDialog>([](app::OptionsDialog& dialog) {
        EXPECT_EQ(dialog.tabs()->tabText(0), "General");
        QComboBox* languages = dialog.languages();
        languages->setFocus();
        QTest::keyClick(languages, Qt::Key_End);
        EXPECT_EQ(languages->currentText(), QString::fromUtf8("Français"));
        EXPECT_EQ(dialog.tabs()->tabText(0), QString::fromUtf8("Général"));
        dialog.reject();
    });
    app::showOptions(s.data, nullptr, [&relabels] { ++relabels; });
    EXPECT_EQ(relabels, 1);
    EXPECT_EQ(s.data.config.settings.window.language, "Français");
    app::RoutingParametersDialog routing(s.data);
    EXPECT_EQ(routing.windowTitle(), QString::fromUtf8("Paramètres du routage"));
    // The forecast's information and Qt's own buttons follow.
    EXPECT_NE(s.data.wind.informationText().find(s.data.texts.text(229) + " "), std::string::npos);
    const auto yesOf = [] {
        QMessageBox box(QMessageBox::Question, "Navorel", "?", QMessageBox::Yes | QMessageBox::No);
        return box.button(QMessageBox::Yes)->text().remove('&');
    };
    EXPECT_EQ(yesOf(), "Oui");
    // Back to English, Qt's texts too.
    whenOpen<app::OptionsDialog>([](app::OptionsDialog& dialog) {
        QComboBox* languages = dialog.languages();
        languages->setFocus();
        QTest::keyClick(languages, Qt::Key_Home);
        dialog.reject();
    });
    app::showOptions(s.data, nullptr, {});
    EXPECT_EQ(s.data.config.settings.window.language, "English");
    EXPECT_EQ(yesOf(), "Yes");
}

TEST(Dialogs, ReopeningLeavesEachDialogWhereItWas) {
    Started s;
    WindowSettings& w = s.data.config.settings.window;
    w.parametersX = 300;
    w.parametersY = 236;
    w.optionsX = 320;
    w.optionsY = 226;
    for (int round = 0; round < 5; ++round) {
        whenOpen<app::RoutingParametersDialog>([](app::RoutingParametersDialog& dialog) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
            dialog.reject();
        });
        app::RoutingParametersOutcome outcome;
        app::showRoutingParameters(s.data, nullptr, outcome);
        whenOpen<app::OptionsDialog>([](app::OptionsDialog& dialog) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
            dialog.reject();
        });
        app::showOptions(s.data, nullptr, {});
        EXPECT_EQ(w.parametersX, 300) << "round " << round;
        EXPECT_EQ(w.parametersY, 236) << "round " << round;
        EXPECT_EQ(w.optionsX, 320) << "round " << round;
        EXPECT_EQ(w.optionsY, 226) << "round " << round;
    }
    // A dialog the user moves keeps its new place.
    whenOpen<app::OptionsDialog>([](app::OptionsDialog& dialog) {
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        dialog.move(dialog.pos() + QPoint(40, 25));
        QTest::qWait(20);
        dialog.reject();
    });
    app::showOptions(s.data, nullptr, {});
    EXPECT_EQ(w.optionsX, 360);
    EXPECT_EQ(w.optionsY, 251);
}

TEST(RoutingParametersDialog, PolarChoosersAskForAPolarFile) {
    Started s;
    const auto kept = app::fileChoosers().file;
    std::vector<std::pair<QString, QString>> asked; // title, filter
    app::fileChoosers().file = [&asked](QWidget*, const QString&, const QString& title,
                                        const QString& filter) {
        asked.emplace_back(title, filter);
        return QString();
    };
    app::RoutingParametersDialog dialog(s.data);
    // "Polar ..." of the polar page and the "..." of the three scanned polars.
    const QString choose = QString::fromStdString(s.data.texts.text(170));
    for (QPushButton* b : dialog.findChildren<QPushButton*>())
        if (b->text() == choose || b->text() == "...") b->click();
    app::fileChoosers().file = kept;
    ASSERT_EQ(asked.size(), 4u);
    for (const auto& [title, filter] : asked) {
        EXPECT_EQ(title, "Open a polar file");
        EXPECT_EQ(filter, "Polar (*.pol)");
    }
}

TEST(RoutingParametersDialog, StartPageShowsTheForecastsInformation) {
    Started s;
    // Built at start-up: the name, the grid, the longitudes and the latitudes.
    const std::string info = s.data.wind.informationText();
    EXPECT_EQ(info.rfind("Demo.grb\n\n" + s.data.texts.text(229) + " 49 x 33\n\n", 0), 0u) << info;
    app::RoutingParametersDialog dialog(s.data);
    const QString shown = dialog.gribInformation()->text();
    EXPECT_TRUE(shown.startsWith(QString::fromStdString(info))) << shown.toStdString();
    // And the dates it covers.
    EXPECT_TRUE(shown.contains(QString::fromStdString(weekdayText(s.data.wind.startDate()))));
    // Without a forecast: "No Grib information".
    s.data.wind.clear();
    app::RoutingParametersDialog none(s.data);
    EXPECT_EQ(none.gribInformation()->text().toStdString(), s.data.texts.text(146));
}

// "Different polars": the polar chosen with a slot's "..." button is stored by name, without
// its extension, and the scan finds it.
TEST(RoutingParametersDialog, APolarChosenWithItsButtonIsFoundByTheScan) {
    Started s;
    const app::FileChoosers saved = app::fileChoosers();
    QString offered;
    app::fileChoosers().file = [&](QWidget*, const QString& start, const QString&, const QString&) {
        offered = start;
        return start + "/Navorel40.pol";
    };
    whenOpen<app::RoutingParametersDialog>([](app::RoutingParametersDialog& dialog) {
        clickTab(dialog.tabs(), 2);
        QWidget* field = dialog.pages().field("Routing", "PolarName1");
        ASSERT_NE(field, nullptr);
        auto* choose = field->parentWidget()->findChild<QPushButton*>();
        ASSERT_NE(choose, nullptr);
        QTest::mouseClick(choose, Qt::LeftButton);
        EXPECT_EQ(qobject_cast<QLineEdit*>(field)->text(), "Navorel40");
        QTest::mouseClick(okButton(dialog), Qt::LeftButton);
    });
    app::RoutingParametersOutcome outcome;
    EXPECT_TRUE(app::showRoutingParameters(s.data, nullptr, outcome));
    app::fileChoosers() = saved;
    EXPECT_TRUE(offered.endsWith("Polars/")) << offered.toStdString();
    EXPECT_EQ(settingText(s.data, "Routing", "PolarName1"), "Navorel40");

    RoutingParameters& p = s.data.config.settings.routing;
    p.scanPolar = false;
    p.scanPolars = p.polarOn[0] = true;
    RunControl control;
    const RoutingResult result = runRouting(app::makeRunSetup(s.data, control, {}));
    ASSERT_EQ(result.summaries.size(), 1u) << "no run was made with the chosen polar";
    EXPECT_EQ(result.summaries[0].rating, p.irc[0]);
}

TEST(ResultsWindow, ListsTheFiveRunsOfTheDemoScanAsTheCommandLinePrintsThem) {
    Started s;
    // The command line's table: columns 28 characters wide.
    std::vector<std::vector<std::string>> printed;
    {
        FILE* pipe = ::popen(NAVOREL_CLI " route --demo 2>/dev/null", "r");
        ASSERT_NE(pipe, nullptr);
        char line[4096];
        while (std::fgets(line, sizeof line, pipe)) {
            std::string l(line);
            if (!l.empty() && l.back() == '\n') l.pop_back();
            if (l.rfind("Computation time", 0) == 0) continue;
            std::vector<std::string> cells;
            for (std::size_t at = 0; at < l.size(); at += 28) {
                std::string cell = l.substr(at, 28);
                cell.erase(cell.find_last_not_of(' ') + 1);
                cells.push_back(cell);
            }
            printed.push_back(cells);
        }
        ASSERT_EQ(::pclose(pipe), 0);
    }
    RunControl control;
    const RoutingResult result = runRouting(app::makeRunSetup(s.data, control, {}));
    app::ResultsWindow* window = app::showResults(s.data, result, nullptr);
    QTableWidget* table = window->table();
    ASSERT_EQ(table->columnCount(), 6);
    ASSERT_EQ(printed.size(), static_cast<std::size_t>(table->rowCount())); // titles + rows
    for (int c = 1; c < 6; ++c)
        EXPECT_EQ(table->horizontalHeaderItem(c)->text().toStdString(), printed[0][c]);
    for (int r = 0; r + 1 < table->rowCount(); ++r)
        for (int c = 0; c < 6; ++c) {
            const QTableWidgetItem* item = table->item(r, c);
            const std::string cell = item ? item->text().toStdString() : "";
            const auto& row = printed[static_cast<std::size_t>(r) + 1];
            EXPECT_EQ(cell, static_cast<std::size_t>(c) < row.size() ? row[c] : "")
                << "row " << r << " column " << c;
        }
    EXPECT_EQ(window->size(), QSize(400, 750));

    // Copied as tab-separated text, saved as CSV.
    window->copyToClipboard();
    const QString copied = QApplication::clipboard()->text();
    EXPECT_EQ(copied.count('\n'), table->rowCount() + 1);
    EXPECT_TRUE(copied.startsWith("\tRouting 1\tRouting 2"));
    const fs::path csv = s.folder.path() / "results.csv";
    std::string error;
    ASSERT_TRUE(window->saveCsv(QString::fromStdString(csv.string()), error)) << error;
    EXPECT_NE(fileText(csv).find("Effectiveness,80 %,85 %,90 %,95 %,100 %\r\n"), std::string::npos);
    window->close();
}

TEST(ResultsWindow, CsvQuotesCellsThatHoldSeparators) {
    ResultsTable t;
    t.titles = {"", "A"};
    t.rows = {{"x", "1,5"}, {"y", "say \"hi\""}};
    t.computationTime = "3 sec";
    EXPECT_EQ(app::resultsText(t, "Time", true),
              ",A\r\nx,\"1,5\"\r\ny,\"say \"\"hi\"\"\"\r\nTime,3 sec\r\n");
    EXPECT_EQ(app::resultsText(t, "Time", false), "\tA\nx\t1,5\ny\tsay \"hi\"\nTime\t3 sec\n");
}

TEST(AboutDialog, ShowsVersionHelpLinesAndDataLicences) {
    Started s;
    app::AboutDialog about(s.data);
    QStringList texts;
    for (auto* l : about.findChildren<QLabel*>()) texts << l->text();
    const QString all = texts.join('\n');
    EXPECT_TRUE(all.contains(QString("Version ") + app::programVersion()));
    EXPECT_TRUE(all.contains("- Parameter the routing (Tab key)"));
    EXPECT_TRUE(all.contains("LGPL"));
    EXPECT_TRUE(all.contains("public domain"));
    EXPECT_TRUE(all.contains("33 CFR Part 167"));
}

// Screenshots of every page in English and French, written to $NAVOREL_DIALOG_SHOTS.
TEST(Dialogs, ScreenshotsOfEveryPage) {
    const QByteArray dir = qgetenv("NAVOREL_DIALOG_SHOTS");
    if (dir.isEmpty()) GTEST_SKIP() << "set NAVOREL_DIALOG_SHOTS to a folder";
    Started s;
    for (const char* language : {"English", "Français"}) {
        std::string error;
        ASSERT_TRUE(s.data.texts.load(s.data.folder, language, error)) << error;
        app::OptionsDialog options(s.data, {});
        app::RoutingParametersDialog routing(s.data);
        for (QDialog* d : {static_cast<QDialog*>(&options), static_cast<QDialog*>(&routing)}) {
            d->show();
            QTabWidget* tabs = d == &options ? options.tabs() : routing.tabs();
            for (int i = 0; i < tabs->count(); ++i) {
                tabs->setCurrentIndex(i);
                QApplication::processEvents();
                d->grab().save(QString("%1/%2-%3-%4.png")
                                   .arg(dir, d->objectName(), QString::fromUtf8(language))
                                   .arg(i));
            }
            d->hide();
        }
    }
}

TEST(OptionsDialog, ZonePageListsTheFolderAndUpdateSelectsAndLoadsAtOnceUnlessARoutingRuns) {
    for (const bool running : {false, true}) {
        ProgramFolder folder;
        const fs::path zones = folder.path() / "Data" / "Tss";
        // The folder's own zone folder, not the link to the shipped zones.
        fs::remove(zones);
        fs::create_directories(zones);
        for (const char* name : {"Alpha.gpx", "Bravo.gpx"})
            std::ofstream(zones / name) << "<gpx><rte><rtept lat=\"42.3\" lon=\"-70.6\"/>"
                                           "<rtept lat=\"42.4\" lon=\"-70.6\"/><rtept "
                                           "lat=\"42.4\" lon=\"-70.5\"/></rte></gpx>";
        app::AppData data;
        std::string error;
        ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
        app::OptionsDialog dialog(data, {}, [running] { return running; });
        dialog.show();
        clickTab(dialog.tabs(), 7);
        auto* list = dialog.findChild<QListWidget*>(QStringLiteral("tssList"));
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->count(), 2);
        EXPECT_EQ(list->item(0)->text(), QStringLiteral("Alpha"));
        EXPECT_EQ(list->item(0)->checkState(), Qt::Unchecked);

        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("tssAll")), Qt::LeftButton);
        EXPECT_EQ(list->item(1)->checkState(), Qt::Checked);
        list->item(1)->setCheckState(Qt::Unchecked);
        auto* update = dialog.findChild<QPushButton*>(QStringLiteral("tssUpdate"));
        EXPECT_EQ(update->isEnabled(), !running);
        QTest::mouseClick(update, Qt::LeftButton);
        dialog.reject();

        EXPECT_EQ(dialog.zonesUpdated(), !running);
        EXPECT_EQ(data.tss.outlines.size(), running ? 0u : 1u);
        const std::string selection = fileText(folder.path() / "Data" / "Tss.xml");
        EXPECT_EQ(selection.find("Alpha") != std::string::npos, !running) << selection;
        EXPECT_EQ(selection.find("Bravo"), std::string::npos) << selection;
    }
}

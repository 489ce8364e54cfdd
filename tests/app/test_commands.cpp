// The window's commands as a user drives them: the toolbar's geometry, its groups opening on
// pointing and closing on leaving, a command of each group, every key of the key table, the
// window title, the sounds, and the file commands that must not lose data.
#include "app/commands.h"
#include "app/interface_sounds.h"
#include "app/main_window.h"
#include "app/window_title.h"
#include "geo/gpx.h"
#include "program_folder.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QSoundEffect>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

namespace fs = std::filesystem;
using namespace navorel;
using navorel::apptest::ProgramFolder;

namespace {

QPoint centre(const ToolRect& r) {
    return QPoint(r.x + r.width / 2, r.y + r.height / 2);
}

struct Window {
    ProgramFolder folder;
    app::AppData data;
    std::unique_ptr<app::MainWindow> window;
    std::vector<QString> messages;
    std::vector<int> dialogs; // the commands that opened their dialog

    explicit Window(std::function<void(app::AppData&)> before = {}) {
        std::string error;
        EXPECT_TRUE(app::startUp(folder.str(), data, error)) << error;
        if (before) before(data);
        window = std::make_unique<app::MainWindow>(data);
        window->resize(1280, 800);
        window->show();
        window->dataLoaded();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        chart().commands().message = [this](const QString& text, bool) {
            messages.push_back(text);
        };
        chart().commands().openDialog = [this](int id) { dialogs.push_back(id); };
    }
    app::ChartWidget& chart() { return window->chart(); }
    void waitForRouting() {
        QElapsedTimer timer;
        timer.start();
        while (chart().routingRunning() && timer.elapsed() < 120000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
};

} // namespace

TEST(ToolbarGeometry, RowIsCentredAndHitsAreLeftTopInclusive) {
    Toolbar bar;
    for (const int width : {1280, 1920}) {
        bar.layout(width);
        const ToolRect& first = bar.rect(0);
        const ToolRect& last = bar.rect(9);
        EXPECT_NEAR(first.x + (last.x + last.width) - width, 0, 1) << width;
        EXPECT_EQ(bar.rect(Toolbar::kDateSlot).width, 110);
        // Columns stay under their tab and clear of the neighbouring ones.
        for (int i = Toolbar::kTabs; i < Toolbar::kCount; ++i) {
            const ToolRect& tab = bar.rect(Toolbar::groupOf(i));
            EXPECT_EQ(bar.rect(i).x, tab.x) << i;
            EXPECT_GE(bar.rect(i).y, tab.y + tab.height) << i;
        }
    }
    const ToolRect& r = bar.rect(3);
    const struct {
        double x, y;
        int hit;
    } cases[] = {
        {double(r.x), double(r.y), 3},
        {r.x + r.width - 0.5, r.y + r.height - 0.5, 3},
        {double(r.x + r.width), double(r.y), -1},
        {double(r.x), double(r.y + r.height), -1},
        {double(bar.rect(5).x + 5), double(bar.rect(5).y + 5), -1},   // the date field
        {double(bar.rect(24).x + 5), double(bar.rect(24).y + 5), -1}, // its group is closed
    };
    for (const auto& c : cases) EXPECT_EQ(bar.hitTest(c.x, c.y), c.hit) << c.x << "," << c.y;
}

TEST(ToolbarGeometry, GroupsOpenOnPointingAndCloseOnLeavingAndTheBandShowsTheToolbar) {
    Toolbar bar;
    bar.layout(1280);
    EXPECT_FALSE(bar.shown(false));
    EXPECT_TRUE(bar.shown(true)); // AlwaysVisible
    const QPoint tab = centre(bar.rect(3));
    EXPECT_TRUE(bar.pointerMoved(tab.x(), tab.y(), false, false));
    EXPECT_TRUE(bar.shown(false));
    EXPECT_EQ(bar.openGroup(), 3);
    // Down its column, below the band: the group stays open and the toolbar shown.
    const QPoint last = centre(bar.rect(27));
    bar.pointerMoved(last.x(), last.y(), false, false);
    EXPECT_EQ(bar.openGroup(), 3);
    EXPECT_EQ(bar.hovered(), 27);
    EXPECT_EQ(bar.hitTest(last.x(), last.y()), 27);
    // The clock opens nothing; another tab opens its own group.
    const QPoint clock = centre(bar.rect(6));
    bar.pointerMoved(clock.x(), clock.y(), false, false);
    EXPECT_EQ(bar.openGroup(), -1);
    const QPoint other = centre(bar.rect(8));
    bar.pointerMoved(other.x(), other.y(), false, false);
    EXPECT_EQ(bar.openGroup(), 8);
    // Out of the group's area and below the band: closed and hidden.
    bar.pointerMoved(100, 500, false, false);
    EXPECT_EQ(bar.openGroup(), -1);
    EXPECT_FALSE(bar.shown(false));
    EXPECT_EQ(bar.hovered(), -1);
}

TEST(ToolbarCommands, PointingOpensEachGroupAndAClickOnOneOfItsButtonsActs) {
    Window w;
    app::ChartWidget& chart = w.chart();
    Settings& s = w.data.config.settings;
    const fs::path barriers = w.folder.path() / "Barriers-two.gpx";
    {
        std::string error;
        const BarrierList two = {Barrier{{{0, 45}, {1, 45}}}, Barrier{{{2, 46}, {3, 46}, {3, 47}}}};
        ASSERT_TRUE(saveBarriers(barriers.string(), two, error));
    }
    chart.commands().chooseFile = [&](const app::FileRequest& r) {
        EXPECT_EQ(r.filter, "Barriers (*.gpx)"); // not "Route"
        return QString::fromStdString(barriers.string());
    };
    const std::size_t barriersBefore = w.data.barriers.barriers.size();
    const struct {
        int tab, button;
        std::function<bool()> acted;
    } cases[] = {
        {0, 11, [&] { return !s.winds.showArrows; }},
        {1, 17, [&] { return s.currents.showArrows; }},
        {2, 23, [&] { return s.map.showMapGrid; }},
        {3, 27, [&] { return s.waypoints.type == 1 && s.waypoints.show; }},
        {4, 28, [&] { return w.data.barriers.barriers.size() == barriersBefore + 2; }},
        {7, 35, [&] { return s.route.magnet; }},
        {8, 41, [&] { return s.routingDisplay.showPanels; }},
        {9, 44, [&] { return chart.helpShown(); }},
    };
    s.winds.showArrows = true;
    s.currents.showArrows = s.map.showMapGrid = s.route.magnet = false;
    s.routingDisplay.showPanels = false;
    s.waypoints.type = 0;
    chart.commands().refresh();
    for (const auto& c : cases) {
        const Toolbar& bar = chart.toolbar();
        QTest::mouseMove(&chart, centre(bar.rect(c.tab)));
        EXPECT_EQ(bar.openGroup(), c.tab);
        EXPECT_TRUE(bar.visible(c.button));
        // The button's pressed state follows its setting.
        QAction* a = chart.commands().action(c.button);
        const bool pressed = a->isChecked();
        QTest::mouseMove(&chart, centre(bar.rect(c.button)));
        EXPECT_EQ(bar.hovered(), c.button);
        QTest::mouseClick(&chart, Qt::LeftButton, {}, centre(bar.rect(c.button)));
        EXPECT_TRUE(c.acted()) << "button " << c.button;
        if (a->isCheckable()) {
            EXPECT_NE(a->isChecked(), pressed) << "button " << c.button;
        }
        EXPECT_EQ(bar.openGroup(), -1) << "a command closes the groups";
        if (chart.helpShown()) QTest::mouseClick(&chart, Qt::LeftButton, {}, QPoint(600, 500));
        // Leaving the group's area closes it.
        QTest::mouseMove(&chart, centre(bar.rect(c.tab)));
        QTest::mouseMove(&chart, QPoint(20, 600));
        EXPECT_EQ(bar.openGroup(), -1);
        EXPECT_FALSE(bar.shown(false));
    }
    EXPECT_FALSE(chart.helpShown()) << "a click hides the help";
}

TEST(WindowKeys, EveryKeyOfTheTableActsThroughItsCommand) {
    Window w([](app::AppData& d) {
        d.boat = {true, -3.0, 47.0, 0, 0};
        d.config.settings.com.showBoat = true;
    });
    app::ChartWidget& chart = w.chart();
    app::Commands& commands = chart.commands();
    const app::DisplayState& state = chart.display();
    const WindStore& wind = w.data.wind;
    const int last = static_cast<int>(wind.frames().size()) - 1;
    ASSERT_GT(last, 3);
    int firstMain = -1, secondMain = -1;
    for (int k = 1; k <= last && secondMain < 0; ++k)
        if (wind.frames()[static_cast<std::size_t>(k)].decoded)
            (firstMain < 0 ? firstMain : secondMain) = k;
    ASSERT_GT(secondMain, firstMain);
    const double minute = 1.0 / 1440;
    auto routeSize = [&] { return static_cast<int>(chart.resultRoute()->size()); };
    const auto moveAway = [&] { chart.mapView().pan(300, 200); };

    const struct {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int command;
        std::function<void()> before;
        std::function<bool()> check;
    } rows[] = {
        {"Right", Qt::Key_Right, {}, app::kNextRecord, {}, [&] { return state.record == 1; }},
        {"End", Qt::Key_End, {}, app::kLast, {}, [&] { return state.record == last; }},
        {"Left",
         Qt::Key_Left,
         {},
         app::kPreviousRecord,
         {},
         [&] { return state.record == last - 1; }},
        {"Home", Qt::Key_Home, {}, app::kFirst, {}, [&] { return state.record == 0; }},
        {"Up", Qt::Key_Up, {}, app::kNextMainRecord, {}, [&] { return state.record == firstMain; }},
        {"Up again",
         Qt::Key_Up,
         {},
         app::kNextMainRecord,
         {},
         [&] { return state.record == secondMain; }},
        {"Down",
         Qt::Key_Down,
         {},
         app::kPreviousMainRecord,
         {},
         [&] { return state.record == firstMain; }},
        {"Ctrl+Right",
         Qt::Key_Right,
         Qt::ControlModifier,
         app::kNextTenMinutes,
         {},
         [&] {
             return state.interpolated &&
                    std::abs(state.time - wind.frameTimes()[static_cast<std::size_t>(firstMain)] -
                             10 * minute) < minute / 10;
         }},
        {"Ctrl+Left",
         Qt::Key_Left,
         Qt::ControlModifier,
         app::kPreviousTenMinutes,
         {},
         [&] {
             return std::abs(state.time - wind.frameTimes()[static_cast<std::size_t>(firstMain)]) <
                    minute / 10;
         }},
        {"H", Qt::Key_H, {}, app::kHelp, {}, [&] { return chart.helpShown(); }},
        {"F1", Qt::Key_F1, {}, app::kHelp, {}, [&] { return !chart.helpShown(); }},
        {"P", Qt::Key_P, {}, app::kPolarView, {}, [&] { return chart.polarView(); }},
        {"H leaves polar view",
         Qt::Key_H,
         {},
         app::kHelp,
         {},
         [&] { return !chart.polarView() && chart.helpShown(); }},
        {"Escape hides help",
         Qt::Key_Escape,
         {},
         app::kEscape,
         {},
         [&] { return !chart.helpShown(); }},
        {"Escape leaves polar view first",
         Qt::Key_Escape,
         {},
         app::kEscape,
         [&] {
             chart.setPolarView(true);
             chart.setHelpShown(true);
         },
         [&] { return !chart.polarView() && chart.helpShown(); }},
        {"F3",
         Qt::Key_F3,
         {},
         app::kFrameRoute,
         moveAway,
         [&] { return chart.view().transX != 0; }},
        {"F4", Qt::Key_F4, {}, app::kFrameRouting, moveAway, [] { return true; }},
        {"F2",
         Qt::Key_F2,
         {},
         app::kCentreOnBoat,
         {},
         [&] {
             return std::abs(chart.view().transX + chart.view().scale * -3.0 -
                             chart.width() / 2.0) < 1;
         }},
        {"Tab",
         Qt::Key_Tab,
         {},
         app::kRoutingParameters,
         {},
         [&] { return !w.dialogs.empty() && w.dialogs.back() == app::kRoutingParameters; }},
        {"F10",
         Qt::Key_F10,
         {},
         app::kOptions,
         {},
         [&] { return !w.dialogs.empty() && w.dialogs.back() == app::kOptions; }},
        {"R",
         Qt::Key_R,
         {},
         app::kResults,
         {},
         [&] { return !w.dialogs.empty() && w.dialogs.back() == app::kResults; }},
        {"C", Qt::Key_C, {}, app::kSwitchCurrents, {}, [] { return true; }},
        {"F11", Qt::Key_F11, {}, app::kFullScreen, {}, [&] { return w.window->isFullScreen(); }},
        {"F11 again",
         Qt::Key_F11,
         {},
         app::kFullScreen,
         {},
         [&] { return !w.window->isFullScreen(); }},
        {"Space",
         Qt::Key_Space,
         {},
         app::kStartRouting,
         [&] { chart.setHelpShown(false); },
         [&] {
             w.waitForRouting();
             return chart.resultRoute() && routeSize() > 3;
         }},
        {"Page Down", Qt::Key_PageDown, {}, app::kNextStep, {}, [&] { return state.step == 1; }},
        {"Ctrl+Page Down",
         Qt::Key_PageDown,
         Qt::ControlModifier,
         app::kNextStep10,
         {},
         [&] { return state.step == std::min(11, routeSize() - 1); }},
        {"Page Up",
         Qt::Key_PageUp,
         {},
         app::kPreviousStep,
         {},
         [&] { return state.step == std::min(11, routeSize() - 1) - 1; }},
        {"Ctrl+Page Up",
         Qt::Key_PageUp,
         Qt::ControlModifier,
         app::kPreviousStep10,
         {},
         [&] { return state.step == 0; }},
        {"Shift+Page Down",
         Qt::Key_PageDown,
         Qt::ShiftModifier,
         app::kNextStep60,
         {},
         [&] { return state.step == std::min(60, routeSize() - 1); }},
        {"Shift+Page Up",
         Qt::Key_PageUp,
         Qt::ShiftModifier,
         app::kPreviousStep60,
         {},
         [&] { return state.step == 0; }},
        {"End with a result",
         Qt::Key_End,
         {},
         app::kLast,
         {},
         [&] { return state.step == routeSize() - 1; }},
        {"Home with a result", Qt::Key_Home, {}, app::kFirst, {}, [&] { return state.step == 0; }},
        {"Backspace",
         Qt::Key_Backspace,
         {},
         app::kRemoveRouting,
         {},
         [&] { return !chart.result() && state.step == -1; }},
        {"Delete",
         Qt::Key_Delete,
         {},
         app::kDeleteRoute,
         {},
         [&] { return w.data.route.waypoints.empty(); }},
    };
    for (const auto& row : rows) {
        if (row.before) row.before();
        commands.refresh();
        int fired = 0;
        auto connection = QObject::connect(commands.action(row.command), &QAction::triggered,
                                           [&fired] { ++fired; });
        const bool enabled = commands.action(row.command)->isEnabled();
        QTest::keyClick(&chart, row.key, row.modifiers);
        QObject::disconnect(connection);
        EXPECT_EQ(fired, enabled ? 1 : 0) << row.name;
        EXPECT_TRUE(row.check()) << row.name;
    }
}

TEST(WindowTitle, ConstantWindAndForecastForms) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    Settings& s = data.config.settings;
    s.polarName = "First.pol";
    s.routing.power = 90;
    s.routing.variation = 120;
    s.routing.currents = false;
    s.routing.uniqueWind = false;
    ASSERT_FALSE(data.wind.empty());
    const DateTime a = data.wind.startDate(), b = data.wind.endDate();
    char expected[256];
    std::snprintf(expected, sizeof expected,
                  "Navorel - %s: [%02d %s %02d:%02d - %02d %s %02d:%02d] - Intensity: 120%% - "
                  "without currents - Polar First (90%%)",
                  s.winds.grib.c_str(), a.day, data.texts.text(329 + a.month).c_str(), a.hour,
                  a.minute, b.day, data.texts.text(329 + b.month).c_str(), b.hour, b.minute);
    EXPECT_EQ(app::windowTitle(s, data.wind, data.texts), expected);
    s.routing.uniqueWind = true;
    s.routing.currents = true;
    EXPECT_EQ(app::windowTitle(s, data.wind, data.texts),
              "Navorel - Constant wind - with currents - Polar First (90%)");
}

TEST(WindowTitle, FollowsAGribOpenedFromTheToolbarCompressed) {
    Window w([](app::AppData& d) { d.config.settings.routing.uniqueWind = true; });
    EXPECT_NE(w.window->windowTitle().indexOf("Constant wind"), -1);
    const fs::path copy = w.folder.path() / "Other.grb";
    fs::copy_file(fs::path(NAVOREL_SOURCE_DIR) / "dist/Gribs/Demo.grb", copy);
    ASSERT_EQ(std::system(("bzip2 -f '" + copy.string() + "'").c_str()), 0);
    app::FileRequest asked;
    w.chart().commands().chooseFiles = [&](const app::FileRequest& r) {
        asked = r;
        return QStringList{QString::fromStdString(copy.string() + ".bz2")};
    };
    w.chart().commands().action(app::kOpenGrib)->trigger();
    // Both editions are offered, plain and compressed.
    for (const char* pattern : {"*.grb", "*.grib2", "*.bz2"})
        EXPECT_TRUE(asked.filter.contains(pattern)) << pattern;
    EXPECT_TRUE(w.messages.empty()) << w.messages.front().toStdString();
    // The archive is opened where it lies, kept, and opened again at the next start.
    EXPECT_EQ(w.data.config.settings.winds.grib, "Other.grb.bz2");
    EXPECT_TRUE(fs::exists(copy.string() + ".bz2"));
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_TRUE(w.window->windowTitle().startsWith("Navorel - Other.grb.bz2: ["))
        << w.window->windowTitle().toStdString();
    EXPECT_FALSE(w.data.config.settings.routing.uniqueWind);
}

TEST(WindowFiles, AFileThatCannotBeReadLeavesTheDataAsItWasAndIsNamed) {
    Window w;
    const fs::path bad = w.folder.path() / "broken.gpx";
    { std::ofstream(bad) << "<gpx><rte><rtept lat=\"x\""; }
    w.chart().commands().chooseFile = [&](const app::FileRequest&) {
        return QString::fromStdString(bad.string());
    };
    const std::vector<GeoPoint> route = w.data.route.waypoints;
    const std::size_t barriers = w.data.barriers.barriers.size();
    ASSERT_FALSE(route.empty());
    for (const int command : {app::kOpenRoute, app::kOpenBarriers, app::kOpenWaypoints}) {
        w.messages.clear();
        w.chart().commands().action(command)->trigger();
        ASSERT_EQ(w.messages.size(), 1u) << command;
        EXPECT_NE(w.messages[0].indexOf(QString::fromStdString(bad.string())), -1) << command;
    }
    EXPECT_EQ(w.data.route.waypoints.size(), route.size());
    EXPECT_EQ(w.data.barriers.barriers.size(), barriers);
}

TEST(WindowSounds, NoSoundIsMadeOrAskedForWithSoundsOff) {
    for (const bool on : {false, true}) {
        Window w([on](app::AppData& d) { d.config.settings.toolbar.sounds = on; });
        app::ChartWidget& chart = w.chart();
        const Toolbar& bar = chart.toolbar();
        QTest::mouseMove(&chart, centre(bar.rect(2)));
        QTest::mouseMove(&chart, centre(bar.rect(23)));
        QTest::mouseClick(&chart, Qt::LeftButton, {}, centre(bar.rect(23)));
        if (on) {
            EXPECT_EQ(chart.sounds().requests(), 3); // two hovers, one click
        } else {
            EXPECT_EQ(chart.sounds().requests(), 0);
            EXPECT_TRUE(chart.findChildren<QSoundEffect*>().isEmpty());
        }
    }
}

// Pictures to look at, written when NAVOREL_SCREENSHOTS names a folder: the toolbar with each
// group open (its last button pointed at) and the help overlay, at two window sizes.
TEST(WindowScreenshots, ToolbarGroupsAndHelp) {
    const char* out = std::getenv("NAVOREL_SCREENSHOTS");
    if (!out) GTEST_SKIP() << "NAVOREL_SCREENSHOTS not set";
    Window w;
    app::ChartWidget& chart = w.chart();
    for (const QSize size : {QSize(1280, 800), QSize(1920, 1080)}) {
        w.window->resize(size.width(), size.height() + 30);
        QCoreApplication::processEvents();
        const QString tag = QString("%1x%2").arg(chart.width()).arg(chart.height());
        for (const int tab : {0, 1, 2, 3, 4, 7, 8, 9}) {
            QTest::mouseMove(&chart, centre(chart.toolbar().rect(tab)));
            int lastButton = tab;
            for (int i = Toolbar::kTabs; i < Toolbar::kCount; ++i)
                if (Toolbar::groupOf(i) == tab) lastButton = i;
            QTest::mouseMove(&chart, centre(chart.toolbar().rect(lastButton)));
            chart.grab().save(QString("%1/toolbar-%2-group%3.png").arg(out, tag).arg(tab));
        }
        QTest::mouseMove(&chart, centre(chart.toolbar().rect(0)));
        chart.grab().save(QString("%1/toolbar-%2-tab-tooltip.png").arg(out, tag));
        QTest::mouseMove(&chart, QPoint(30, chart.height() - 30));
        chart.setHelpShown(true);
        chart.grab().save(QString("%1/help-%2.png").arg(out, tag));
        chart.setHelpShown(false);
    }
}

TEST(WindowCommands, ALanguageSwitchRelabelsEveryCommandInOnePass) {
    Window w;
    app::Commands& commands = w.chart().commands();
    std::string error;
    ASSERT_TRUE(w.data.texts.load(w.folder.str(), "Français", error)) << error;
    commands.relabel();
    const std::pair<int, int> labels[] = {{app::kOpenGrib, app::kOpenGrib},
                                          {app::kAbout, app::kAbout},
                                          {app::kEscape, 278},
                                          {app::kUndo, 512},
                                          {app::kRedo, 513}};
    for (const auto& [id, text] : labels) {
        EXPECT_FALSE(w.data.texts.text(text).empty()) << id;
        EXPECT_EQ(commands.action(id)->text().toStdString(), w.data.texts.text(text)) << id;
    }
    EXPECT_EQ(commands.action(app::kUndo)->text(), QString::fromUtf8("Annuler"));
    const std::vector<std::string> help = commands.helpLines();
    EXPECT_EQ(help.front(), w.data.texts.text(276));
    // Ctrl+Z and Ctrl+Y have their line among the keys, before the mouse's.
    const auto undo = std::find(help.begin(), help.end(), w.data.texts.text(514));
    ASSERT_NE(undo, help.end());
    EXPECT_EQ(*(undo + 1), w.data.texts.text(294));
}

TEST(WindowDisplayTime, TheWindIsDrawnAtATimeBetweenRecords) {
    Window w([](app::AppData& d) { d.config.settings.winds.showSurfaceGradient = true; });
    app::ChartWidget& chart = w.chart();
    app::DisplayState& state = chart.display();
    const std::vector<double>& times = w.data.wind.frameTimes();
    ASSERT_GT(times.size(), 1u);
    auto shown = [&] {
        chart.redrawChart();
        return chart.grab().toImage();
    };
    app::selectRecord(state, w.data.wind, 0);
    const QImage first = shown();
    app::selectRecord(state, w.data.wind, 1);
    const QImage second = shown();
    app::setDisplayTime(state, w.data.wind, (times[0] + times[1]) / 2);
    const QImage between = shown();
    EXPECT_NE(first, second);
    EXPECT_NE(between, first);
    EXPECT_NE(between, second);
}

TEST(WindowFiles, RemovedWaypointsStayRemovedAtTheNextRun) {
    Window w;
    const fs::path file = w.folder.path() / "Data" / "Waypoints.gpx";
    {
        WaypointSet set;
        addWaypoint(set, {-70.5, 41.5}, "A");
        std::string error;
        ASSERT_TRUE(saveWaypointSet(file.string(), set, error)) << error;
    }
    app::AppData again;
    std::string error;
    ASSERT_TRUE(app::startUp(w.folder.str(), again, error)) << error;
    ASSERT_EQ(again.waypoints.positions.size(), 1u);
    app::MainWindow window(again);
    window.chart().commands().action(app::kRemoveWaypoints)->trigger();
    std::vector<std::string> unsaved;
    app::saveAtExit(again, &window.chart().view(), unsaved);
    ASSERT_TRUE(unsaved.empty());
    app::AppData next;
    ASSERT_TRUE(app::startUp(w.folder.str(), next, error)) << error;
    EXPECT_TRUE(next.waypoints.positions.empty());
}

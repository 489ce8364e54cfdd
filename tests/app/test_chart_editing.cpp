// Editing on the chart with real mouse and key events on the main window: drawing, inserting,
// moving and deleting route points, the context menus, barriers, undo and redo, the routing
// of the edited data and the edited route kept at exit.
#include "app/chart_editing.h"
#include "app/commands.h"
#include "app/main_window.h"
#include "geo/gpx.h"
#include "program_folder.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QPainter>
#include <QTest>

#include <cmath>
#include <string>
#include <vector>

using namespace navorel;
using navorel::apptest::ProgramFolder;

namespace {

struct Window {
    ProgramFolder folder;
    app::AppData data;
    std::unique_ptr<app::MainWindow> window;
    std::vector<std::vector<std::string>> menus; // the texts of each menu shown ("-": separator)
    int choice = 0;                              // the command the next menu chooses; 0 closes it
    std::string shot;                            // a screenshot of the next menu goes there
    int withoutImage = 0;                        // menu items shown without an image

    Window() {
        std::string error;
        EXPECT_TRUE(app::startUp(folder.str(), data, error)) << error;
        window = std::make_unique<app::MainWindow>(data);
        window->resize(1280, 800);
        window->show();
        window->dataLoaded();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        // The Gulf of Maine, 250 pixels to the degree.
        chart().mapView().scale = 250;
        chart().mapView().centreOn(-68.8, 42.8, true);
        chart().redrawChart();
        chart().showMenu = [this](QMenu& menu, const QPoint& at) {
            std::vector<std::string> texts;
            for (QAction* a : menu.actions()) {
                texts.push_back(a->isSeparator() ? "-" : a->text().toStdString());
                if (!a->isSeparator() && a->icon().pixmap(16, 16).isNull()) ++withoutImage;
            }
            menus.push_back(texts);
            if (!shot.empty()) {
                QImage image = window->grab().toImage();
                QPainter painter(&image);
                menu.adjustSize();
                painter.drawPixmap(window->mapFromGlobal(at), menu.grab());
                painter.end();
                image.save(QString::fromStdString(shot));
                shot.clear();
            }
            for (QAction* a : menu.actions())
                if (choice && a->data().toInt() == choice) a->trigger();
            choice = 0;
        };
    }
    app::ChartWidget& chart() { return window->chart(); }
    // The language texts of `ids`; 0 for a separator.
    std::vector<std::string> texts(const std::vector<int>& ids) const {
        std::vector<std::string> out;
        for (const int id : ids) out.push_back(id ? data.texts.text(id) : "-");
        return out;
    }
    QPoint pixel(GeoPoint p) {
        double x, y;
        chart().view().project(p.lon, p.lat, x, y);
        return QPoint(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)));
    }
    void click(GeoPoint p) {
        QTest::mouseMove(&chart(), pixel(p));
        QTest::mouseClick(&chart(), Qt::LeftButton, {}, pixel(p));
    }
    void drag(GeoPoint from, GeoPoint to) {
        QTest::mouseMove(&chart(), pixel(from));
        QTest::mousePress(&chart(), Qt::LeftButton, {}, pixel(from));
        QTest::mouseMove(&chart(), pixel(to));
        QTest::mouseRelease(&chart(), Qt::LeftButton, {}, pixel(to));
    }
    // Right-clicks at p and chooses `command` in the menu; answers the menu's texts.
    std::vector<std::string> menu(GeoPoint p, int command) {
        choice = command;
        QTest::mouseMove(&chart(), pixel(p));
        QTest::mouseClick(&chart(), Qt::RightButton, {}, pixel(p));
        return menus.empty() ? std::vector<std::string>{} : menus.back();
    }
    void key(int key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(&chart(), Qt::Key(key), modifiers);
    }
    void save(const char* name) { window->grab().save(QString("/tmp/h14-") + name + ".png"); }
    void waitForRouting() {
        QElapsedTimer timer;
        timer.start();
        while (chart().routingRunning() && timer.elapsed() < 120000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
};

// Within a pixel or so of the expected position at 250 pixels to the degree.
::testing::AssertionResult near(GeoPoint a, GeoPoint b) {
    if (std::fabs(a.lon - b.lon) < 0.01 && std::fabs(a.lat - b.lat) < 0.01)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << a.lon << "," << a.lat << " is not " << b.lon << "," << b.lat;
}

const GeoPoint P1{-69.8f, 42.6f}, P2{-68.8f, 42.5f}, P3{-67.9f, 42.9f}, Sea{-68.0f, 42.0f};

} // namespace

TEST(ChartEditing, RouteIsDrawnEditedWithTheMenusUndoneAndKeptAtExit) {
    Window w;
    std::vector<GeoPoint>& route = w.data.route.waypoints;
    ASSERT_FALSE(route.empty()); // the shipped route goes with "New route"
    w.shot = "/tmp/h14-menu-chart.png";
    EXPECT_EQ(w.menu(Sea, app::kPopupNewRoute), w.texts({415, 0, 417, 406}));
    for (const GeoPoint& p : {P1, GeoPoint{P1.lon, P1.lat - 0.01f}, P2, P3}) w.click(p);
    QTest::mouseMove(&w.chart(), w.pixel({-67.5f, 43.2f}));
    w.save("append");
    w.key(Qt::Key_Escape);
    ASSERT_EQ(route.size(), 3u); // the click within a mile of P1 added nothing
    EXPECT_TRUE(near(route[0], P1) && near(route[1], P2) && near(route[2], P3));
    EXPECT_FALSE(w.chart().interaction().appending());

    // Insert a point into the first leg: it follows the mouse until the next click.
    w.shot = "/tmp/h14-menu-leg.png";
    const GeoPoint mid{(P1.lon + P2.lon) / 2, (P1.lat + P2.lat) / 2}, Q{-69.3f, 42.9f};
    EXPECT_EQ(w.menu(mid, app::kPopupInsertPoint), w.texts({401, 402, 407}));
    QTest::mouseMove(&w.chart(), w.pixel(Q));
    w.save("insert");
    QTest::mouseClick(&w.chart(), Qt::LeftButton, {}, w.pixel(Q));
    ASSERT_EQ(route.size(), 4u);
    EXPECT_TRUE(near(route[1], Q));
    QTest::mouseMove(&w.chart(), w.pixel(P2));
    EXPECT_EQ(w.chart().cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(&w.chart(), w.pixel(Sea));
    EXPECT_EQ(w.chart().cursor().shape(), Qt::ArrowCursor);

    // Move the last point; a leg longer than MaxLength is refused.
    const GeoPoint moved{-67.7f, 42.5f};
    w.drag(P3, moved);
    EXPECT_TRUE(near(route[3], moved));
    w.data.config.settings.route.maxLength = 80;
    w.drag(moved, {-66.0f, 43.5f});
    EXPECT_TRUE(near(route[3], moved));

    w.shot = "/tmp/h14-menu-point.png";
    EXPECT_EQ(w.menu(P1, app::kPopupReverseRoute), w.texts({401, 402, 0, 403, 405, 406, 427}));
    EXPECT_TRUE(near(route.front(), moved) && near(route.back(), P1));
    // Before, then after: one point is left, whose menu has neither and no separator.
    w.menu(P2, app::kPopupDeletePointsBefore);
    ASSERT_EQ(route.size(), 3u);
    EXPECT_TRUE(near(route.front(), P2));
    w.menu(P2, app::kPopupDeletePointsAfter);
    ASSERT_EQ(route.size(), 1u);
    EXPECT_EQ(w.menu(P2, 0), w.texts({401, 402, 405, 406, 427}));

    // Ctrl+Z takes back the cuts one at a time, Ctrl+Y puts one again.
    w.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(route.size(), 3u);
    w.key(Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(route.size(), 4u);
    EXPECT_TRUE(near(route.front(), moved));
    w.key(Qt::Key_Y, Qt::ControlModifier);
    ASSERT_EQ(route.size(), 3u);

    // The next start shows the route as it was left.
    const std::vector<GeoPoint> left = route;
    ASSERT_TRUE(w.window->saveForExit(false));
    app::AppData again;
    std::string error;
    ASSERT_TRUE(app::startUp(w.folder.str(), again, error)) << error;
    ASSERT_EQ(again.route.waypoints.size(), left.size());
    for (std::size_t i = 0; i < left.size(); ++i)
        EXPECT_TRUE(near(again.route.waypoints[i], left[i])) << i;
}

TEST(ChartEditing, AnInsertionIsToldAndEscapeOrTheRightButtonTakesItBack) {
    for (const bool escape : {true, false}) {
        Window w;
        std::vector<GeoPoint>& route = w.data.route.waypoints;
        w.menu(Sea, app::kPopupNewRoute);
        for (const GeoPoint& p : {P1, P2, P3}) w.click(p);
        w.key(Qt::Key_Escape);
        ASSERT_EQ(route.size(), 3u);
        w.window->refreshStatus();
        EXPECT_TRUE(w.window->modeHint().isEmpty());

        const GeoPoint mid{(P1.lon + P2.lon) / 2, (P1.lat + P2.lat) / 2}, Q{-69.3f, 42.9f};
        w.menu(mid, app::kPopupInsertPoint);
        QTest::mouseMove(&w.chart(), w.pixel(Q));
        ASSERT_EQ(route.size(), 4u);
        EXPECT_TRUE(near(route[1], Q));
        // The status bar says what the mode expects.
        w.window->refreshStatus();
        EXPECT_EQ(w.window->modeHint().toStdString(), w.data.texts.text(511));
        EXPECT_EQ(w.window->modeHint().toStdString(),
                  "Click to place the point \xE2\x80\x94 Escape cancels");
        if (escape)
            w.key(Qt::Key_Escape);
        else
            QTest::mouseClick(&w.chart(), Qt::RightButton, {}, w.pixel(Q));
        // The route as before, and no menu opened.
        ASSERT_EQ(route.size(), 3u) << (escape ? "Escape" : "right button");
        EXPECT_TRUE(near(route[0], P1) && near(route[1], P2) && near(route[2], P3));
        EXPECT_FALSE(w.chart().interaction().inserting());
        w.window->refreshStatus();
        EXPECT_TRUE(w.window->modeHint().isEmpty());
        // The insertion left no undo step: Ctrl+Z takes back the last point drawn.
        w.key(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(route.size(), 2u);
    }
}

TEST(ChartEditing, EveryMenuItemShowsAnImageOfTheProgramsOwnSet) {
    for (int command = app::kPopupInsertPoint; command <= app::kPopupRemoveAllBarriers; ++command)
        EXPECT_TRUE(QFile::exists(QStringLiteral(":/images/") + app::contextMenuImage(command)))
            << command;
    Window w;
    const GeoPoint mid{(P1.lon + P2.lon) / 2, (P1.lat + P2.lat) / 2};
    w.menu(Sea, app::kPopupNewRoute);
    for (const GeoPoint& p : {P1, P2}) w.click(p);
    w.key(Qt::Key_Escape);
    w.menu(Sea, app::kPopupNewBarrier);
    w.click({-68.2f, 42.2f});
    w.click({-68.0f, 42.3f});
    w.key(Qt::Key_Escape);
    for (const GeoPoint& p : {Sea, P1, mid, GeoPoint{-68.2f, 42.2f}}) w.menu(p, 0);
    ASSERT_EQ(w.menus.size(), 6u);
    EXPECT_EQ(w.withoutImage, 0);
}

TEST(ChartEditing, DrawnBarrierIsEditedAndTheRoutingOfTheNewRouteGoesRoundIt) {
    Window w;
    w.menu(Sea, app::kPopupNewRoute);
    const GeoPoint from{-69.4f, 42.6f}, to{-68.2f, 42.6f};
    w.click(from);
    w.click(to);
    w.key(Qt::Key_Escape);
    ASSERT_EQ(w.data.route.waypoints.size(), 2u);

    // A wall across the straight line, within the leg's search ellipse; its middle point is
    // drawn aside and moved into line.
    BarrierList& barriers = w.data.barriers.barriers;
    w.menu(Sea, app::kPopupNewBarrier);
    const GeoPoint b1{-68.8f, 42.45f}, b2{-68.6f, 42.6f}, b3{-68.8f, 42.75f},
        wallMid{-68.8f, 42.68f};
    for (const GeoPoint& p : {b1, b2, b3}) w.click(p);
    QTest::mouseMove(&w.chart(), w.pixel({-68.5f, 43.0f}));
    w.save("barrier");
    const std::size_t menusShown = w.menus.size();
    QTest::mouseClick(&w.chart(), Qt::RightButton, {}, w.pixel({-68.5f, 43.0f}));
    EXPECT_EQ(w.menus.size(), menusShown); // the right button ends the drawing, no menu
    EXPECT_FALSE(w.chart().interaction().drawingBarrier());
    ASSERT_EQ(barriers.size(), 1u);
    ASSERT_EQ(barriers[0].points.size(), 3u);
    w.drag(b2, wallMid);
    EXPECT_TRUE(near(barriers[0].points[1], wallMid));
    w.shot = "/tmp/h14-menu-vertex.png";
    EXPECT_EQ(w.menu(wallMid, app::kPopupDeleteBarrier),
              w.texts({408, 0, 409, 410, 411, 412, 413}));
    EXPECT_TRUE(barriers.empty());
    w.key(Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(barriers.size(), 1u);
    EXPECT_TRUE(near(barriers[0].points[1], wallMid));

    // Space routes the edited route; every track keeps clear of the wall, round one end.
    w.key(Qt::Key_Space);
    w.waitForRouting();
    ASSERT_NE(w.chart().result(), nullptr);
    const std::vector<IsochronePoint>& track = w.chart().result()->output.route;
    ASSERT_GT(track.size(), 2u);
    EXPECT_TRUE(near({track.back().lon, track.back().lat}, to));
    double farthest = 0;
    for (std::size_t i = 1; i < track.size(); ++i) {
        const GeoPoint a{track[i - 1].lon, track[i - 1].lat}, b{track[i].lon, track[i].lat};
        EXPECT_FALSE(w.data.crossings->segmentCrossesBarrier(a, b)) << i;
        farthest = std::max(farthest, std::fabs(track[i].lat - 42.6));
    }
    EXPECT_GT(farthest, 0.15);
    w.save("routing");
}

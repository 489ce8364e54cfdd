// The main window as a user meets it: its place and size from one run to the next, the
// status of a routing that did not arrive, and a save that fails when it closes.
#include "app/main_window.h"
#include "program_folder.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>

namespace fs = std::filesystem;
using namespace navorel;
using navorel::apptest::ProgramFolder;

namespace {

void waitWhileRunning(const app::ChartWidget& chart) {
    QElapsedTimer timer;
    timer.start();
    while (chart.routingRunning() && timer.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

// Text of the status bar's label that tells how the last routing ended.
QString statusText(app::MainWindow& window) {
    const QList<QLabel*> labels = window.statusBar()->findChildren<QLabel*>();
    return labels.isEmpty() ? QString() : labels.back()->text();
}

// Answers the message box that will open next by clicking the button `choose` picks; the
// box's text goes to `text`.
void answerNextBox(std::function<QAbstractButton*(QMessageBox&)> choose, QString* text) {
    QTimer::singleShot(0, [choose, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            answerNextBox(choose, text); // not open yet
            return;
        }
        if (text) *text = box->text();
        QTest::mouseClick(choose(*box), Qt::LeftButton);
    });
}

} // namespace

TEST(MainWindowPlace, SavedPlaceAndSizeComeBackTheSameOnTheNextRun) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    WindowSettings& w = data.config.settings.window;
    w.x = 30;
    w.y = 40;
    w.width = 500;
    w.height = 400;
    for (int run = 0; run < 3; ++run) {
        app::MainWindow window(data);
        window.placeAndShow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        // The window system puts a frame round the window: its outer size is larger.
        EXPECT_NE(window.frameGeometry().size(), window.size());
        window.keepGeometry();
        EXPECT_EQ(w.width, 500) << "run " << run;
        EXPECT_EQ(w.height, 400) << "run " << run;
        EXPECT_EQ(w.x, 30) << "run " << run;
        EXPECT_EQ(w.y, 40) << "run " << run;
    }
}

TEST(MainWindowRouting, StatusBarTellsARunThatDidNotArriveOrWasCancelled) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    app::MainWindow window(data);
    window.placeAndShow();
    window.dataLoaded();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    app::ChartWidget& chart = window.chart();

    // From the last forecast record the run stops after one step: not finished.
    QTest::keyClick(&chart, Qt::Key_End);
    QTest::keyClick(&chart, Qt::Key_Space);
    waitWhileRunning(chart);
    ASSERT_NE(chart.result(), nullptr);
    EXPECT_FALSE(chart.result()->output.arrived);
    EXPECT_EQ(statusText(window), "Routing not finished");

    // From the first record the demo arrives; Escape at once cancels it. Home goes to the
    // first record once Backspace has removed the result (with one it goes to the first step).
    QTest::keyClick(&chart, Qt::Key_Backspace);
    QTest::keyClick(&chart, Qt::Key_Home);
    QTest::keyClick(&chart, Qt::Key_Space);
    waitWhileRunning(chart);
    EXPECT_EQ(statusText(window), "Routing finished");
    QTest::keyClick(&chart, Qt::Key_Space);
    QTest::keyClick(&chart, Qt::Key_Escape);
    waitWhileRunning(chart);
    EXPECT_EQ(statusText(window), "Routing cancelled");
}

TEST(MainWindowClose, AFailedSaveIsShownWithRetryAndCountsAsUnsaved) {
    ProgramFolder folder;
    const fs::path route = folder.path() / "Data" / "Route.gpx";
    auto block = [&] { // a folder in the route file's place: the save cannot replace it
        fs::remove_all(route);
        fs::create_directories(route / "inside");
    };
    auto button = [](QMessageBox::StandardButton which) {
        return [which](QMessageBox& box) -> QAbstractButton* { return box.button(which); };
    };
    auto closeAnyway = [](QMessageBox& box) -> QAbstractButton* {
        for (QAbstractButton* b : box.buttons())
            if (b->text() == "Close anyway") return b;
        return nullptr;
    };
    const struct {
        const char* what;
        std::function<QAbstractButton*(QMessageBox&)> first; // the answer to the first box
        bool unblockFirst; // the folder goes away before the first answer
        bool closes, unsaved;
    } cases[] = {
        {"retry after the cause is gone", button(QMessageBox::Retry), true, true, false},
        {"close anyway", closeAnyway, false, true, true},
        {"stay open", button(QMessageBox::Cancel), false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        app::AppData data;
        std::string error;
        ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
        app::MainWindow window(data);
        window.placeAndShow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        block();
        QString shown;
        answerNextBox(
            [&](QMessageBox& box) {
                if (c.unblockFirst) fs::remove_all(route);
                return c.first(box);
            },
            &shown);
        window.close();
        EXPECT_TRUE(shown.contains("Route.gpx")) << shown.toStdString();
        EXPECT_EQ(window.isVisible(), !c.closes);
        EXPECT_EQ(window.exitSaveDone(), c.closes);
        EXPECT_EQ(!window.unsaved().empty(), c.unsaved);
        EXPECT_EQ(fs::is_regular_file(route), !c.unsaved);
        fs::remove_all(route);
    }
}

// The start-up's question about a forecast whose opening never came back: a Yes/No box
// captioned "Navorel" that names the file, No by default; only Yes opens it again.
TEST(StartupQuestion, AskingToReopenAForecastAnswersTheButtonClicked) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::loadConfiguration(folder.str(), data, error)) << error;
    const std::string path = "/home/me/Gribs/storm.grb";
    for (const QMessageBox::StandardButton answer : {QMessageBox::Yes, QMessageBox::No}) {
        QString caption, text;
        bool noIsDefault = false;
        answerNextBox(
            [&](QMessageBox& box) {
                caption = box.windowTitle();
                noIsDefault = box.defaultButton() == box.button(QMessageBox::No);
                return box.button(answer);
            },
            &text);
        EXPECT_EQ(app::askToReopenGrib(data.texts, path), answer == QMessageBox::Yes);
        EXPECT_EQ(caption, "Navorel");
        EXPECT_TRUE(noIsDefault);
        EXPECT_TRUE(text.contains(QString::fromStdString(path))) << text.toStdString();
        EXPECT_TRUE(text.startsWith(QString::fromStdString(data.texts.text(429))))
            << text.toStdString();
        EXPECT_FALSE(data.texts.text(429).empty());
    }
}

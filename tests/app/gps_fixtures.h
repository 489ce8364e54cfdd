#pragma once
// What the GPS tests share: a shown main window on a scratch program folder, waiting on the
// event loop, and RMC sentences with their checksums.
#include "app/main_window.h"
#include "program_folder.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

namespace navorel::apptest {

inline bool waitUntil(const std::function<bool()>& done, int ms = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

struct Window {
    ProgramFolder folder;
    app::AppData data;
    std::unique_ptr<app::MainWindow> window;

    Window() {
        std::string error;
        EXPECT_TRUE(app::startUp(folder.str(), data, error)) << error;
        window = std::make_unique<app::MainWindow>(data);
        window->resize(1024, 700);
        window->show();
        window->dataLoaded();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    app::ChartWidget& chart() { return window->chart(); }
};

// "$...*" completed with its checksum and CR LF.
inline std::string withChecksum(const std::string& body) {
    unsigned sum = 0;
    for (std::size_t i = 1; i + 1 < body.size(); ++i) sum ^= static_cast<unsigned char>(body[i]);
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X\r\n", sum);
    return body + hex;
}

// An RMC sentence at latitude 42 degrees and `minutes` north, 70 degrees 36' west.
inline std::string rmcAt(double minutes) {
    char body[128];
    std::snprintf(body, sizeof body, "$GPRMC,120000,A,42%07.4f,N,07036.000,W,6.50,135.0,150524,,*",
                  minutes);
    return withChecksum(body);
}

} // namespace navorel::apptest

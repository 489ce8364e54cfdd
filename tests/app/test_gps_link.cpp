// The window's GPS link under load and when its source misbehaves, over real loopback sockets:
// a flood of sentences reaches the window as the latest fix only, udp: binds every address or
// the one given, a TCP source that drops is tried again with growing waits, an old fix greys
// the boat and makes "Start from the boat" ask first, and the GPS page names the sources.
#include "app/commands.h"
#include "app/dialogs/options_dialog.h"
#include "app/gps_link.h"
#include "app/status_texts.h"
#include "core/datetime.h"
#include "gps_fixtures.h"

#include <QComboBox>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

using namespace navorel;
using navorel::apptest::rmcAt;
using navorel::apptest::waitUntil;
using navorel::apptest::Window;

namespace {

double latitudeAt(double minutes) {
    return 42.0 + minutes / 60.0;
}

// A free UDP port of the loopback.
quint16 freeUdpPort() {
    QUdpSocket probe;
    EXPECT_TRUE(probe.bind(QHostAddress::LocalHost, 0));
    return probe.localPort();
}

} // namespace

TEST(GpsLinkLoad, AFloodReachesTheWindowAsTheLatestFixOnly) {
    Window w;
    app::GpsLink& link = w.chart().gps();
    // A plain loopback server on a thread of its own, so that it writes while the window's
    // thread is held.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length), 0);
    constexpr int kSentences = 20000;
    std::atomic<bool> go{false};
    std::thread server([&] {
        const int client = ::accept(listener, nullptr, nullptr);
        while (!go) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::string all;
        for (int i = 0; i < kSentences; ++i) all += rmcAt((i % 5000) / 100.0);
        all += rmcAt(59.5); // the last word: 42 degrees 59.5'
        for (std::size_t done = 0; done < all.size();) {
            const ssize_t n = ::send(client, all.data() + done,
                                     std::min<std::size_t>(4096, all.size() - done), MSG_NOSIGNAL);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        ::close(client);
    });
    w.data.config.settings.com.device = "tcp:127.0.0.1:" + std::to_string(ntohs(a.sin_port));
    w.chart().openGps();
    ASSERT_TRUE(waitUntil([&] { return w.data.gpsOpen; })) << link.lastError().toStdString();
    int calls = 0;
    const auto chartHandler = link.onFix;
    link.onFix = [&](const GpsFix& fix) {
        ++calls;
        chartHandler(fix);
    };
    QTest::qWait(100);
    const int charts = w.chart().chartPaints(), overlays = w.chart().overlayPaints();
    // The window's thread is held while the whole flood comes in and is read.
    go = true;
    const auto start = std::chrono::steady_clock::now();
    while (link.fixesRead() < static_cast<std::size_t>(kSentences + 1) &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(20))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    // A call posted behind the flood runs in the same turn of the event loop as the fix.
    bool posted = false;
    QTimer::singleShot(0, w.window.get(), [&] { posted = true; });
    QCoreApplication::processEvents();
    EXPECT_TRUE(posted);
    EXPECT_EQ(link.fixesRead(), static_cast<std::size_t>(kSentences + 1));
    // One hand-over was waiting, whatever the number of sentences: it holds the latest fix.
    EXPECT_EQ(calls, 1);
    EXPECT_NEAR(w.data.boat.lat, latitudeAt(59.5), 1e-9);
    EXPECT_NEAR(w.data.boat.lon, -70.6, 1e-9);
    // The boat moves over the cached chart, which is not drawn again.
    QTest::qWait(100);
    EXPECT_EQ(w.chart().chartPaints(), charts);
    EXPECT_GT(w.chart().overlayPaints(), overlays);
    server.join();
    ::close(listener);
}

TEST(GpsLinkSources, UdpBindsEveryAddressOrTheOneGiven) {
    // The whole of 127/8 is this machine's loopback: 127.0.0.2 stands for a second interface.
    struct Case {
        const char* name;
        QString address;            // "" for udp:PORT
        bool fromFirst, fromSecond; // datagrams to 127.0.0.1 and to 127.0.0.2 come in
    };
    const Case cases[] = {
        {"every address", "", true, true},
        {"127.0.0.2 only", "127.0.0.2", false, true},
        {"127.0.0.1 only", "127.0.0.1", true, false},
    };
    Window w;
    app::GpsLink& link = w.chart().gps();
    std::vector<double> seen;
    const auto chartHandler = link.onFix;
    link.onFix = [&](const GpsFix& fix) {
        seen.push_back(fix.lat);
        chartHandler(fix);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const quint16 port = freeUdpPort();
        const QString source = c.address.isEmpty()
                                   ? QStringLiteral("udp:%1").arg(port)
                                   : QStringLiteral("udp:%1:%2").arg(c.address).arg(port);
        w.data.config.settings.com.device = source.toStdString();
        w.chart().openGps();
        ASSERT_TRUE(waitUntil([&] { return w.data.gpsOpen; })) << link.lastError().toStdString();
        seen.clear();
        QUdpSocket sender;
        const std::string first = rmcAt(10), second = rmcAt(20), end = rmcAt(30);
        sender.writeDatagram(first.data(), static_cast<qint64>(first.size()),
                             QHostAddress("127.0.0.1"), port);
        QTest::qWait(50);
        sender.writeDatagram(second.data(), static_cast<qint64>(second.size()),
                             QHostAddress("127.0.0.2"), port);
        QTest::qWait(50);
        // A last one the bound address surely gets, to know the others had their chance.
        sender.writeDatagram(end.data(), static_cast<qint64>(end.size()),
                             QHostAddress(c.address.isEmpty() ? "127.0.0.1" : c.address), port);
        ASSERT_TRUE(waitUntil([&] { return !seen.empty() && seen.back() == latitudeAt(30); }));
        const auto got = [&](double minutes) {
            return std::find(seen.begin(), seen.end(), latitudeAt(minutes)) != seen.end();
        };
        EXPECT_EQ(got(10), c.fromFirst);
        EXPECT_EQ(got(20), c.fromSecond);
        link.close();
        ASSERT_TRUE(waitUntil([&] { return !w.data.gpsOpen; }));
    }
    // A name that is no source is refused with a reason.
    w.data.config.settings.com.device = "udp:127.0.0.1:99999";
    w.chart().openGps();
    EXPECT_TRUE(waitUntil([&] { return !link.lastError().isEmpty(); }));
    EXPECT_TRUE(link.lastError().contains("udp:127.0.0.1:99999")) << link.lastError().toStdString();
}

TEST(GpsLinkSources, ATcpSourceThatDropsIsTriedAgainWithGrowingWaitsAndTheGpsPageSaysSo) {
    Window w;
    app::GpsLink& link = w.chart().gps();
    link.setRetryDelays(100, 400);
    std::vector<int> waits;
    const auto chartEvents = link.onEvent;
    link.onEvent = [&](int code) {
        if (code == app::kGpsRetrying) waits.push_back(link.retryDelayMs());
        chartEvents(code);
    };
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    const quint16 port = server.serverPort();
    w.data.config.settings.com.device = "tcp:127.0.0.1:" + std::to_string(port);
    w.chart().openGps();
    ASSERT_TRUE(waitUntil([&] { return server.hasPendingConnections(); }));
    QTcpSocket* client = server.nextPendingConnection();
    ASSERT_TRUE(waitUntil([&] { return w.data.gpsOpen; }));
    client->write(QByteArray::fromStdString(rmcAt(10)));
    ASSERT_TRUE(waitUntil([&] { return std::abs(w.data.boat.lat - latitudeAt(10)) < 1e-9; }));

    // The server goes: the connection drops, and every new attempt is refused.
    server.close();
    client->abort();
    ASSERT_TRUE(waitUntil([&] { return waits.size() >= 5; }));
    EXPECT_FALSE(w.data.gpsOpen);
    EXPECT_TRUE(link.isOn());
    EXPECT_EQ(std::vector<int>(waits.begin(), waits.begin() + 5),
              (std::vector<int>{100, 200, 400, 400, 400}));
    // The reason and the wait are in the status bar and on the GPS page, whose button now
    // stops the link.
    EXPECT_TRUE(waitUntil([&] { return w.window->statusPart(6).contains(link.lastError()); }));
    EXPECT_TRUE(w.window->statusPart(6).contains(QString::fromStdString(w.data.texts.text(477))));
    {
        app::OptionsDialog dialog(w.data, {});
        auto* status = dialog.findChild<QLabel*>(QStringLiteral("gpsStatus"));
        auto* button = dialog.findChild<QPushButton*>(QStringLiteral("gpsConnect"));
        ASSERT_TRUE(status && button);
        EXPECT_TRUE(status->text().contains(link.lastError())) << status->text().toStdString();
        EXPECT_TRUE(status->text().contains(QString::fromStdString(w.data.texts.text(477))));
        EXPECT_EQ(button->text().toStdString(), w.data.texts.text(118));
    }

    // It comes back on the same port: the link connects again by itself.
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, port));
    ASSERT_TRUE(waitUntil([&] { return server.hasPendingConnections(); }, 3000));
    client = server.nextPendingConnection();
    ASSERT_TRUE(waitUntil([&] { return w.data.gpsOpen; }));
    EXPECT_TRUE(link.lastError().isEmpty());
    client->write(QByteArray::fromStdString(rmcAt(20)));
    EXPECT_TRUE(waitUntil([&] { return std::abs(w.data.boat.lat - latitudeAt(20)) < 1e-9; }));

    // Dropped again, then switched off on the GPS page: no more attempts.
    client->abort();
    server.close();
    const std::size_t before = waits.size();
    ASSERT_TRUE(waitUntil([&] { return waits.size() > before; }));
    EXPECT_EQ(waits.back(), 100); // a connection that worked starts the waits again
    {
        app::OptionsDialog dialog(w.data, {});
        auto* button = dialog.findChild<QPushButton*>(QStringLiteral("gpsConnect"));
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_TRUE(waitUntil([&] { return !link.isOn(); }));
        EXPECT_EQ(button->text().toStdString(), w.data.texts.text(119));
    }
    const std::size_t stopped = waits.size();
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, port));
    QTest::qWait(600);
    EXPECT_FALSE(server.hasPendingConnections());
    EXPECT_EQ(waits.size(), stopped);
}

TEST(GpsBoat, AnOldFixGreysTheBoatAndMakesStartFromTheBoatAsk) {
    Window w;
    UserRoute& route = w.data.route;
    route.waypoints.resize(2); // a short run
    recompute(route, w.data.config.settings.routing, w.data.finestTests.get());
    w.data.config.settings.routing.fromBoat = true;
    w.data.config.settings.com.showBoat = true;
    app::Commands& commands = w.chart().commands();
    struct Case {
        const char* name;
        double ageSeconds;
        bool linkReading;
        bool answer; // to the question, if asked
        bool stale, asked, started;
    };
    const Case cases[] = {
        {"fresh fix", 5, true, false, false, false, true},
        {"old fix, routed anyway", 125, true, true, true, true, true},
        {"old fix, not routed", 125, true, false, true, true, false},
        {"link no longer reading", 5, false, false, true, true, false},
    };
    w.chart().mapView().centreOn(-70.6, 42.3, true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const double time = now().dayNumber;
        w.data.boat = {true, -70.6, 42.3, 6, 135, time - c.ageSeconds * kSecondInDays};
        w.data.gpsOpen = c.linkReading;
        // Drawn at its place: red when current, grey when old.
        const ChartScene scene = app::makeScene(w.data, app::displayWind(w.data), nullptr, nullptr);
        EXPECT_EQ(scene.boatStale, c.stale);
        EXPECT_NE(scene.boatNote.find(w.data.texts.text(480)), std::string::npos);
        EXPECT_NE(scene.boatNote.find(app::ageText(c.ageSeconds)), std::string::npos)
            << scene.boatNote;
        const QImage image =
            app::renderChartImage(w.data, w.chart().view(), app::displayWind(w.data), nullptr);
        double x, y;
        w.chart().view().project(-70.6, 42.3, x, y);
        const QColor hull = image.pixelColor(static_cast<int>(x), static_cast<int>(y));
        EXPECT_EQ(hull.red() == hull.green(), c.stale)
            << hull.red() << " " << hull.green() << " " << hull.blue();

        QString question;
        commands.ask = [&](const QString& text) {
            question = text;
            return c.answer;
        };
        commands.action(app::kStartRouting)->trigger();
        EXPECT_EQ(!question.isEmpty(), c.asked);
        if (c.asked) {
            EXPECT_TRUE(question.contains(QString::fromStdString(w.data.texts.text(481))));
            EXPECT_TRUE(question.contains(QString::fromStdString(app::ageText(c.ageSeconds))));
        }
        EXPECT_EQ(w.chart().routingRunning() || w.chart().result(), c.started);
        if (w.chart().routingRunning()) {
            ASSERT_TRUE(waitUntil([&] { return !w.chart().routingRunning(); }, 120000));
        }
        w.chart().clearResult();
    }
    // In the status bar, a boat with an old fix tells its age.
    w.data.gpsOpen = true;
    w.data.boat.receivedAt = now().dayNumber - 3 * 3600 * kSecondInDays;
    app::StatusPlace place;
    place.gpsOpen = true;
    place.now = now().dayNumber;
    const auto parts = app::statusTexts(w.data, w.chart().display(), place);
    EXPECT_NE(parts[6].find(w.data.texts.text(480) + " 3 h 00 min"), std::string::npos) << parts[6];
}

TEST(GpsPage, TheSourceFieldAndItsHelpNameTheNetworkSourcesInEitherLanguage) {
    Window w;
    for (const char* language : {"English", "Français"}) {
        SCOPED_TRACE(language);
        std::string error;
        ASSERT_TRUE(w.data.texts.load(w.folder.str(), language, error)) << error;
        app::OptionsDialog dialog(w.data, {});
        auto* source = dialog.findChild<QComboBox*>(QStringLiteral("gpsSource"));
        auto* help = dialog.findChild<QLabel*>(QStringLiteral("gpsSourceHelp"));
        ASSERT_TRUE(source && source->lineEdit() && help);
        const QString placeholder = source->lineEdit()->placeholderText();
        EXPECT_EQ(placeholder.toStdString(), w.data.texts.text(478));
        EXPECT_EQ(help->text().toStdString(), w.data.texts.text(479));
        for (const char* name : {"tcp:", "udp:PORT", "udp:"}) {
            EXPECT_TRUE(placeholder.contains(QLatin1String(name))) << name;
            EXPECT_TRUE(help->text().contains(QLatin1String(name))) << name;
        }
        // A source typed in goes to the settings the page edits.
        source->lineEdit()->selectAll();
        QTest::keyClicks(source->lineEdit(), QStringLiteral("udp:192.168.1.20:10110"));
        EXPECT_EQ(dialog.edited().com.device, "udp:192.168.1.20:10110");
    }
}

// The window's GPS link over a real pseudo-terminal and a real loopback TCP server: sentences
// split across writes move the boat, the status bar tells GPS On/Off, a source that goes away
// is reported in the status bar and a reconnect works; "Start from the boat" routes from the boat.
#include "app/gps_link.h"
#include "gps_fixtures.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

using namespace navorel;
using navorel::apptest::waitUntil;
using navorel::apptest::Window;
using navorel::apptest::withChecksum;

namespace {

// One end the test writes to and the source name the link opens.
class Feed {
  public:
    virtual ~Feed() = default;
    virtual QString source() = 0;
    // Called once the link is open.
    virtual bool accept() { return true; }
    virtual void write(const std::string& bytes) = 0;
    // The receiver goes away mid-stream.
    virtual void vanish() = 0;
};

class PtyFeed : public Feed {
  public:
    PtyFeed() { EXPECT_EQ(openpty(&master_, &slave_, name_, nullptr, nullptr), 0); }
    ~PtyFeed() override { vanish(); }
    QString source() override { return QString::fromLatin1(name_); }
    bool accept() override {
        // Only the link holds the device from here on.
        if (slave_ >= 0) ::close(slave_);
        slave_ = -1;
        return true;
    }
    void write(const std::string& bytes) override {
        EXPECT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void vanish() override {
        if (master_ >= 0) ::close(master_);
        if (slave_ >= 0) ::close(slave_);
        master_ = slave_ = -1;
    }

  private:
    int master_ = -1, slave_ = -1;
    char name_[256] = {};
};

class TcpFeed : public Feed {
  public:
    TcpFeed() { EXPECT_TRUE(server_.listen(QHostAddress::LocalHost, 0)); }
    QString source() override {
        return QStringLiteral("tcp:127.0.0.1:%1").arg(server_.serverPort());
    }
    bool accept() override {
        if (!waitUntil([this] { return server_.hasPendingConnections(); })) return false;
        client_ = server_.nextPendingConnection();
        return true;
    }
    void write(const std::string& bytes) override {
        client_->write(bytes.data(), static_cast<qint64>(bytes.size()));
        client_->waitForBytesWritten(1000);
    }
    void vanish() override {
        server_.close();
        if (client_) client_->abort();
    }

  private:
    QTcpServer server_;
    QTcpSocket* client_ = nullptr;
};

// RMC sentences with their checksums, off Boston.
const std::string kFirst = "$GNRMC,120000,A,4218.000,N,07036.000,W,6.50,135.0,150524,,*";
const std::string kSecond = "$GPRMC,120100,A,4212.000,N,07030.000,W,7.25,140.0,150524,,*";

} // namespace

TEST(GpsLink, SplitSentencesMoveTheBoatAndAVanishedSourceIsReportedAndReconnects) {
    using Make = std::function<std::unique_ptr<Feed>()>;
    const std::pair<const char*, Make> cases[] = {
        {"pty", [] { return std::unique_ptr<Feed>(new PtyFeed); }},
        {"tcp", [] { return std::unique_ptr<Feed>(new TcpFeed); }},
    };
    for (const auto& [name, make] : cases) {
        SCOPED_TRACE(name);
        Window w;
        app::GpsLink& link = w.chart().gps();
        EXPECT_EQ(w.window->statusPart(5), "GPS Off");
        for (int round = 0; round < 2; ++round) {
            SCOPED_TRACE(round);
            std::unique_ptr<Feed> feed = make();
            w.data.config.settings.com.device = feed->source().toStdString();
            w.chart().openGps();
            ASSERT_TRUE(waitUntil([&] { return w.data.gpsOpen; }))
                << link.lastError().toStdString();
            ASSERT_TRUE(feed->accept());
            EXPECT_EQ(w.window->statusPart(5), "GPS On");
            // Junk, then a sentence cut in two writes, then a second sentence in the same
            // write as the end of the first.
            const std::string first = withChecksum(round == 0 ? kFirst : kSecond);
            const std::string second = withChecksum(round == 0 ? kSecond : kFirst);
            feed->write("noise\r\n" + first.substr(0, 20));
            QTest::qWait(50);
            feed->write(first.substr(20) + second.substr(0, 30));
            ASSERT_TRUE(waitUntil([&] { return w.data.boat.valid; }));
            feed->write(second.substr(30));
            const double lat = round == 0 ? 42.2 : 42.3, lon = round == 0 ? -70.5 : -70.6;
            ASSERT_TRUE(waitUntil([&] { return std::abs(w.data.boat.lat - lat) < 1e-6; }));
            EXPECT_NEAR(w.data.boat.lon, lon, 1e-6);
            EXPECT_NEAR(w.data.boat.speed, round == 0 ? 7.25 : 6.5, 1e-6);
            EXPECT_TRUE(waitUntil([&] { return w.window->statusPart(6).contains("SOG:"); }));

            feed->vanish();
            ASSERT_TRUE(waitUntil([&] { return !w.data.gpsOpen; }));
            EXPECT_FALSE(link.lastError().isEmpty());
            EXPECT_TRUE(waitUntil([&] { return w.window->statusPart(5) == "GPS Off"; }));
            // The reason is in the status bar, not only on standard error.
            EXPECT_TRUE(w.window->statusPart(6).contains(link.lastError()))
                << w.window->statusPart(6).toStdString();
            w.data.boat.valid = false;
        }
    }
}

TEST(GpsLink, StartFromTheBoatRoutesFromTheBoatAndGivesTheFirstWaypointBack) {
    Window w;
    UserRoute& route = w.data.route;
    route.waypoints.resize(2); // a short run
    recompute(route, w.data.config.settings.routing, w.data.finestTests.get());
    const GeoPoint first = route.waypoints[0];
    w.data.config.settings.routing.fromBoat = true;
    w.data.boat = {true, -70.6, 42.3, 6, 135};
    ASSERT_TRUE(w.chart().startRouting());
    EXPECT_FLOAT_EQ(route.waypoints[0].lon, -70.6f);
    ASSERT_TRUE(waitUntil([&] { return !w.chart().routingRunning(); }, 120000));
    const std::vector<IsochronePoint>* result = w.chart().resultRoute();
    ASSERT_TRUE(result && !result->empty());
    EXPECT_FLOAT_EQ(result->front().parentLon, -70.6f);
    EXPECT_FLOAT_EQ(result->front().parentLat, 42.3f);
    EXPECT_EQ(route.waypoints[0].lon, first.lon);
    EXPECT_EQ(route.waypoints[0].lat, first.lat);
}

#include "app/gps_link.h"

#include "app/thread_handover.h"
#include "core/gps_source.h"
#include "core/texts.h"

#include <QNetworkDatagram>
#include <QNetworkProxy>
#include <QSerialPort>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>

namespace navorel::app {

namespace {

// The texts of the reasons (language table).
enum ReasonText : int {
    kNoSource = 469,
    kBadSource = 470,
    kCannotOpen = 471,
    kLineRefused = 472,
    kPortGone = 473,
    kConnectionClosed = 474,
    kConnectionFailed = 475,
    kCannotListen = 476,
};

} // namespace

// Lives on the link's thread and owns the transport there; talks to the link only through
// queued calls (and the fix hand-over).
class GpsWorker : public QObject {
  public:
    explicit GpsWorker(GpsLink* link) : link_(link), retryTimer_(new QTimer(this)) {
        retryTimer_->setSingleShot(true);
        connect(retryTimer_, &QTimer::timeout, this, [this] {
            if (retrying_) openTcp();
        });
    }

    void open(const QString& source, int baudRate, int parity) {
        stop();
        reader_.reset();
        retryMs_ = firstRetryMs_;
        std::string why;
        if (!parseGpsSource(source.toStdString(), name_, why))
            return report(kGpsEnded, source.isEmpty() ? GpsReason{kNoSource, {}, {}}
                                                      : GpsReason{kBadSource, source, {}});
        source_ = source;
        switch (name_.kind) {
        case GpsSourceName::Kind::Tcp:
            return openTcp();
        case GpsSourceName::Kind::Udp:
            return openUdp();
        case GpsSourceName::Kind::Device:
            return openSerial(baudRate, parity);
        }
    }

    void close() {
        if (stop()) report(kGpsEnded, {});
    }

    void setRetryDelays(int firstMs, int longestMs) {
        firstRetryMs_ = std::max(1, firstMs);
        longestRetryMs_ = std::max(firstRetryMs_, longestMs);
    }

  private:
    // Closes the transport and ends the retries; true when something was open or waiting.
    bool stop() {
        const bool was = closeTransport() || retrying_;
        retrying_ = false;
        retryTimer_->stop();
        return was;
    }

    void openSerial(int baudRate, int parity) {
        const QString& path = source_;
        auto* port = new QSerialPort(path, this);
        const QSerialPort::Parity parities[3] = {QSerialPort::NoParity, QSerialPort::OddParity,
                                                 QSerialPort::EvenParity};
        // Receive only: 8 data bits, one stop bit, no flow control of any kind.
        if (!port->open(QIODevice::ReadOnly)) {
            const QString why = port->errorString();
            delete port;
            return report(kGpsEnded, {kCannotOpen, path, why});
        }
        if (!port->setBaudRate(baudRate) || !port->setDataBits(QSerialPort::Data8) ||
            !port->setParity(parities[std::clamp(parity, 0, 2)]) ||
            !port->setStopBits(QSerialPort::OneStop) ||
            !port->setFlowControl(QSerialPort::NoFlowControl)) {
            const QString why = port->errorString();
            delete port;
            return report(kGpsEnded, {kLineRefused, path, why});
        }
        transport_ = port;
        connect(port, &QSerialPort::readyRead, this, [this, port] { readFrom(port); });
        connect(port, &QSerialPort::errorOccurred, this,
                [this, port](QSerialPort::SerialPortError e) {
                    if (e == QSerialPort::NoError || e == QSerialPort::TimeoutError ||
                        port != transport_)
                        return;
                    // The device unplugged, the other end of a pseudo-terminal closed: it is gone.
                    fail({kPortGone, port->portName(), port->errorString()});
                });
        report(kGpsStarted, {});
    }

    void openTcp() {
        auto* socket = new QTcpSocket(this);
        // A receiver on the boat's network is reached directly, never through a web proxy of
        // the system's settings.
        socket->setProxy(QNetworkProxy::NoProxy);
        transport_ = socket;
        connect(socket, &QTcpSocket::connected, this, [this] {
            retrying_ = false;
            retryMs_ = firstRetryMs_;
            report(kGpsStarted, {});
        });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] {
            if (socket != transport_) return;
            const GpsReason why =
                socket->error() == QAbstractSocket::RemoteHostClosedError
                    ? GpsReason{kConnectionClosed, source_, {}}
                    : GpsReason{kConnectionFailed, source_, socket->errorString()};
            closeTransport();
            retryLater(why);
        });
        reader_.reset(); // a new connection starts clean
        socket->connectToHost(QString::fromStdString(name_.host), static_cast<quint16>(name_.port),
                              QIODevice::ReadOnly);
    }

    // The link stays on: the next attempt comes after the current wait, which then doubles.
    void retryLater(const GpsReason& why) {
        retrying_ = true;
        report(kGpsRetrying, why, retryMs_);
        retryTimer_->start(retryMs_);
        retryMs_ = std::min(retryMs_ * 2, longestRetryMs_);
    }

    void openUdp() {
        auto* socket = new QUdpSocket(this);
        socket->setProxy(QNetworkProxy::NoProxy);
        // Without an address every one of this machine's is bound, so that the broadcasts of
        // the boat's network come in; with one, only datagrams sent to it.
        QHostAddress address(QHostAddress::AnyIPv4);
        if (!name_.host.empty() && !address.setAddress(QString::fromStdString(name_.host))) {
            delete socket;
            return report(kGpsEnded, {kBadSource, source_, {}});
        }
        if (!socket->bind(address, static_cast<quint16>(name_.port),
                          QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint)) {
            const QString why = socket->errorString();
            delete socket;
            return report(kGpsEnded, {kCannotListen, source_, why});
        }
        transport_ = socket;
        connect(socket, &QUdpSocket::readyRead, this, [this, socket] {
            while (socket->hasPendingDatagrams()) feed(socket->receiveDatagram().data());
        });
        report(kGpsStarted, {});
    }

    void readFrom(QIODevice* device) {
        if (device != transport_) return;
        feed(device->readAll());
    }

    void feed(const QByteArray& bytes) {
        if (bytes.isEmpty()) return;
        GpsFix latest;
        const std::size_t count = reader_.feed(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
            [&latest](const GpsFix& fix) { foldFix(latest, fix); });
        if (count > 0) link_->offerFix(latest, count);
    }

    void fail(const GpsReason& why) {
        if (closeTransport()) report(kGpsEnded, why);
    }

    // True when something was open.
    bool closeTransport() {
        if (!transport_) return false;
        QIODevice* t = transport_;
        transport_ = nullptr;
        t->disconnect(this);
        t->close();
        t->deleteLater();
        return true;
    }

    void report(int code, const GpsReason& why, int retryMs = 0) {
        handOver(link_);
        QMetaObject::invokeMethod(
            link_, [link = link_, code, why, retryMs] { link->deliverEvent(code, why, retryMs); },
            Qt::QueuedConnection);
    }

    GpsLink* link_;
    QTimer* retryTimer_;
    QIODevice* transport_ = nullptr;
    NmeaReader reader_;
    QString source_;
    GpsSourceName name_;
    bool retrying_ = false;
    int firstRetryMs_ = 1000, longestRetryMs_ = 30000, retryMs_ = 1000;
};

GpsLink::GpsLink(const TextProvider& texts, QObject* parent) : QObject(parent), texts_(texts) {
    thread_ = new QThread;
    thread_->setObjectName(QStringLiteral("GPS link"));
    worker_ = new GpsWorker(this);
    worker_->moveToThread(thread_);
    thread_->start();
}

GpsLink::~GpsLink() {
    // The transport is closed and freed on its own thread before the thread ends.
    QMetaObject::invokeMethod(
        worker_,
        [w = worker_] {
            w->close();
            delete w;
        },
        Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
    delete thread_;
}

void GpsLink::open(const QString& source, int baudRate, int parity) {
    source_ = source;
    reason_ = {};
    QMetaObject::invokeMethod(
        worker_, [w = worker_, source, baudRate, parity] { w->open(source, baudRate, parity); },
        Qt::QueuedConnection);
}

void GpsLink::close() {
    QMetaObject::invokeMethod(
        worker_, [w = worker_] { w->close(); }, Qt::QueuedConnection);
}

void GpsLink::setRetryDelays(int firstMs, int longestMs) {
    QMetaObject::invokeMethod(
        worker_, [w = worker_, firstMs, longestMs] { w->setRetryDelays(firstMs, longestMs); },
        Qt::QueuedConnection);
}

QString GpsLink::lastError() const {
    if (reason_.textId == 0) return {};
    QString text = QString::fromStdString(texts_.text(reason_.textId));
    if (!reason_.subject.isEmpty()) text += QLatin1Char(' ') + reason_.subject;
    if (!reason_.detail.isEmpty()) text += QStringLiteral(" (") + reason_.detail + QLatin1Char(')');
    return text;
}

void GpsLink::offerFix(const GpsFix& fix, std::size_t count) {
    fixesRead_.fetch_add(count);
    if (fix.values == 0) return;
    bool post = false;
    {
        const std::lock_guard<std::mutex> lock(fixMutex_);
        foldFix(latest_, fix);
        post = !handOverWaiting_;
        handOverWaiting_ = true;
    }
    if (post)
        QMetaObject::invokeMethod(
            this, [this] { deliverFix(); }, Qt::QueuedConnection);
}

void GpsLink::deliverFix() {
    GpsFix fix;
    {
        const std::lock_guard<std::mutex> lock(fixMutex_);
        fix = latest_;
        latest_ = GpsFix{};
        handOverWaiting_ = false;
    }
    if (fix.values == 0) return;
    ++fixesDelivered_;
    if (onFix) onFix(fix);
    if (onEvent) onEvent(kGpsRead);
}

void GpsLink::deliverEvent(int code, const GpsReason& reason, int retryMs) {
    takeOver(this);
    open_ = code == kGpsStarted;
    retrying_ = code == kGpsRetrying;
    retryMs_ = retrying_ ? retryMs : 0;
    reason_ = reason;
    if (onEvent) onEvent(code);
    if (onStateChanged) onStateChanged();
}

} // namespace navorel::app

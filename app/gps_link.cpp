#include "app/gps_link.h"

#include "app/thread_handover.h"

#include <QNetworkDatagram>
#include <QPointer>
#include <QSerialPort>
#include <QTcpSocket>
#include <QThread>
#include <QUdpSocket>

namespace navorel::app {

// Lives on the link's thread and owns the transport there; talks to the link only through
// queued calls.
class GpsWorker : public QObject {
  public:
    explicit GpsWorker(GpsLink* link) : link_(link) {}

    void open(const QString& source, int baudRate, int parity) {
        closeTransport();
        reader_.reset();
        if (source.isEmpty()) return report(kGpsEnded, QStringLiteral("No GPS source is set"));
        if (source.startsWith(QLatin1String("tcp:"))) return openTcp(source.mid(4));
        if (source.startsWith(QLatin1String("udp:"))) return openUdp(source.mid(4));
        openSerial(source, baudRate, parity);
    }

    void close() {
        if (closeTransport()) report(kGpsEnded, QString());
    }

  private:
    void openSerial(const QString& path, int baudRate, int parity) {
        auto* port = new QSerialPort(path, this);
        const QSerialPort::Parity parities[3] = {QSerialPort::NoParity, QSerialPort::OddParity,
                                                 QSerialPort::EvenParity};
        // Receive only: 8 data bits, one stop bit, no flow control of any kind.
        if (!port->open(QIODevice::ReadOnly)) {
            const QString why = port->errorString();
            delete port;
            return report(kGpsEnded, QStringLiteral("Cannot open %1: %2").arg(path, why));
        }
        if (!port->setBaudRate(baudRate) || !port->setDataBits(QSerialPort::Data8) ||
            !port->setParity(parities[std::clamp(parity, 0, 2)]) ||
            !port->setStopBits(QSerialPort::OneStop) ||
            !port->setFlowControl(QSerialPort::NoFlowControl)) {
            const QString why = port->errorString();
            delete port;
            return report(kGpsEnded,
                          QStringLiteral("%1 refuses the line settings: %2").arg(path, why));
        }
        transport_ = port;
        connect(port, &QSerialPort::readyRead, this, [this, port] { readFrom(port); });
        connect(port, &QSerialPort::errorOccurred, this,
                [this, port](QSerialPort::SerialPortError e) {
                    if (e == QSerialPort::NoError || e == QSerialPort::TimeoutError ||
                        port != transport_)
                        return;
                    // The device unplugged, the other end of a pseudo-terminal closed: it is gone.
                    fail(QStringLiteral("The GPS port %1 is gone: %2")
                             .arg(port->portName(), port->errorString()));
                });
        report(kGpsStarted, QString());
    }

    void openTcp(const QString& hostPort) {
        const int colon = hostPort.lastIndexOf(QLatin1Char(':'));
        bool ok = false;
        const int number = colon > 0 ? hostPort.mid(colon + 1).toInt(&ok) : 0;
        if (!ok || number < 1 || number > 65535)
            return report(kGpsEnded, QStringLiteral("'tcp:%1' is not tcp:HOST:PORT").arg(hostPort));
        auto* socket = new QTcpSocket(this);
        transport_ = socket;
        connect(socket, &QTcpSocket::connected, this, [this] { report(kGpsStarted, QString()); });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket, hostPort] {
            if (socket != transport_) return;
            fail(socket->error() == QAbstractSocket::RemoteHostClosedError
                     ? QStringLiteral("The GPS connection tcp:%1 was closed").arg(hostPort)
                     : QStringLiteral("tcp:%1: %2").arg(hostPort, socket->errorString()));
        });
        socket->connectToHost(hostPort.left(colon), static_cast<quint16>(number),
                              QIODevice::ReadOnly);
    }

    void openUdp(const QString& portText) {
        bool ok = false;
        const int number = portText.toInt(&ok);
        if (!ok || number < 1 || number > 65535)
            return report(kGpsEnded, QStringLiteral("'udp:%1' is not udp:PORT").arg(portText));
        auto* socket = new QUdpSocket(this);
        if (!socket->bind(QHostAddress::AnyIPv4, static_cast<quint16>(number),
                          QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint)) {
            const QString why = socket->errorString();
            delete socket;
            return report(kGpsEnded,
                          QStringLiteral("Cannot listen on udp:%1: %2").arg(portText, why));
        }
        transport_ = socket;
        connect(socket, &QUdpSocket::readyRead, this, [this, socket] {
            while (socket->hasPendingDatagrams()) feed(socket->receiveDatagram().data());
        });
        report(kGpsStarted, QString());
    }

    void readFrom(QIODevice* device) {
        if (device != transport_) return;
        feed(device->readAll());
    }

    void feed(const QByteArray& bytes) {
        if (bytes.isEmpty()) return;
        reader_.feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                     [this](const GpsFix& fix) {
                         handOver(link_);
                         QMetaObject::invokeMethod(
                             link_, [link = link_, fix] { link->deliverFix(fix); },
                             Qt::QueuedConnection);
                     });
    }

    void fail(const QString& message) {
        if (closeTransport()) report(kGpsEnded, message);
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

    void report(int code, const QString& message) {
        handOver(link_);
        QMetaObject::invokeMethod(
            link_, [link = link_, code, message] { link->deliverEvent(code, message); },
            Qt::QueuedConnection);
    }

    GpsLink* link_;
    QIODevice* transport_ = nullptr;
    NmeaReader reader_;
};

GpsLink::GpsLink(QObject* parent) : QObject(parent) {
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
    lastError_.clear();
    QMetaObject::invokeMethod(
        worker_, [w = worker_, source, baudRate, parity] { w->open(source, baudRate, parity); },
        Qt::QueuedConnection);
}

void GpsLink::close() {
    QMetaObject::invokeMethod(
        worker_, [w = worker_] { w->close(); }, Qt::QueuedConnection);
}

void GpsLink::deliverFix(const GpsFix& fix) {
    takeOver(this);
    if (onFix) onFix(fix);
    if (onEvent) onEvent(kGpsRead);
}

void GpsLink::deliverEvent(int code, const QString& message) {
    takeOver(this);
    open_ = code == kGpsStarted;
    lastError_ = message;
    if (onEvent) onEvent(code);
    if (onStateChanged) onStateChanged();
}

} // namespace navorel::app

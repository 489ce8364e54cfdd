#pragma once
// The GPS link of the window: one object whose transport lives on a thread of its own and
// reads NMEA 0183 from a serial device (a receiver, a pseudo-terminal), a TCP server
// ("tcp:HOST:PORT", a multiplexer or chart plotter) or UDP datagrams ("udp:PORT"). Each
// complete fix and each change of the connection is handed to the window thread through a
// queued call, where the callbacks run.
#include "core/nmea.h"

#include <QObject>
#include <QString>

#include <functional>

class QThread;

namespace navorel::app {

// Event codes of the link, as the callback receives them.
enum GpsEvent : int {
    kGpsStarted = 0, // the source is open and being read
    kGpsEnded = 1,   // the source is closed (asked for, failed to open, or gone)
    kGpsRead = 3,    // bytes came in
};

class GpsWorker;

class GpsLink : public QObject {
  public:
    explicit GpsLink(QObject* parent = nullptr);
    ~GpsLink() override;

    // Opens `source` (a device path, "tcp:HOST:PORT" or "udp:PORT") on the link's thread,
    // closing what was open. Parity: 0 none, 1 odd, 2 even; both are ignored by the network
    // sources. The outcome comes through onEvent.
    void open(const QString& source, int baudRate, int parity);
    void close();

    // The window's view of the link, updated as the events arrive.
    bool isOpen() const { return open_; }
    const QString& source() const { return source_; }
    // Why the link last closed on its own ("" after a plain close or while open).
    const QString& lastError() const { return lastError_; }

    // Called on the window thread.
    std::function<void(const GpsFix&)> onFix;
    std::function<void(int code)> onEvent;
    // A second listener of the opening and closing (the options page while it is shown).
    std::function<void()> onStateChanged;

  private:
    friend class GpsWorker;
    void deliverFix(const GpsFix& fix);
    void deliverEvent(int code, const QString& message);

    QThread* thread_ = nullptr;
    GpsWorker* worker_ = nullptr;
    bool open_ = false;
    QString source_;
    QString lastError_;
};

} // namespace navorel::app

#pragma once
// The GPS link of the window: one object whose transport lives on a thread of its own and
// reads NMEA 0183 from a serial device (a receiver, a pseudo-terminal), a TCP server
// ("tcp:HOST:PORT", a multiplexer or chart plotter) or UDP datagrams ("udp:PORT" on every
// address, "udp:ADDRESS:PORT" on one; core/gps_source.h). Each change of the connection is
// handed to the window thread through a queued call, where the callbacks run.
//
// Fixes are not queued one by one: the reader keeps the latest one (folded, core/nmea.h) and
// posts a single hand-over while none is waiting, so a source that sends thousands of
// sentences a second costs the window one call per turn of its event loop, whatever the rate.
//
// A TCP source that cannot be reached or drops is tried again while the link is on: after
// 1 s, then twice as long each time up to 30 s; a connection that comes back starts again
// from 1 s.
#include "core/nmea.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>

class QThread;

namespace navorel {
class TextProvider;
}

namespace navorel::app {

// Event codes of the link, as the callback receives them.
enum GpsEvent : int {
    kGpsStarted = 0,  // the source is open and being read
    kGpsEnded = 1,    // the source is closed (asked for, failed to open, or gone)
    kGpsRead = 3,     // a fix came in
    kGpsRetrying = 7, // a TCP source failed or dropped; the link tries again after a wait
};

// Why the link is not reading: a language text, the source it concerns and the system's own
// words, shown as "TEXT SUBJECT (DETAIL)".
struct GpsReason {
    int textId = 0; // 0: no reason (a plain close, or open)
    QString subject;
    QString detail;
};

class GpsWorker;

class GpsLink : public QObject {
  public:
    // `texts` words the reasons; it must outlive the link.
    explicit GpsLink(const TextProvider& texts, QObject* parent = nullptr);
    ~GpsLink() override;

    // Opens `source` (a device path, "tcp:HOST:PORT", "udp:PORT" or "udp:ADDRESS:PORT") on the
    // link's thread, closing what was open. Parity: 0 none, 1 odd, 2 even; both are ignored
    // by the network sources. The outcome comes through onEvent.
    void open(const QString& source, int baudRate, int parity);
    // Closes the source and stops any reconnection.
    void close();

    // The waits between the attempts to reach a TCP source: the first, doubled up to the
    // longest (milliseconds; 1000 and 30000 unless changed, e.g. by a test).
    void setRetryDelays(int firstMs, int longestMs);

    // The window's view of the link, updated as the events arrive.
    bool isOpen() const { return open_; }
    // Open, or waiting to reconnect: the Connect button then disconnects.
    bool isOn() const { return open_ || retrying_; }
    bool retrying() const { return retrying_; }
    // The wait before the next attempt while retrying (milliseconds).
    int retryDelayMs() const { return retryMs_; }
    const QString& source() const { return source_; }
    // Why the link last closed or failed on its own, in the current language ("" after a plain
    // close or while open).
    QString lastError() const;
    const GpsReason& reason() const { return reason_; }

    // The hand-over of the fixes: fixes the reader parsed, and calls of onFix. Under a flood
    // the second stays far below the first.
    std::size_t fixesRead() const { return fixesRead_.load(); }
    std::size_t fixesDelivered() const { return fixesDelivered_; }

    // Called on the window thread.
    std::function<void(const GpsFix&)> onFix;
    std::function<void(int code)> onEvent;
    // A second listener of the opening and closing (the options page while it is shown).
    std::function<void()> onStateChanged;

  private:
    friend class GpsWorker;
    // Reader thread: folds `fix`, the latest of `count` fixes, into the one waiting and posts
    // a hand-over unless one is waiting already.
    void offerFix(const GpsFix& fix, std::size_t count);
    void deliverFix();
    void deliverEvent(int code, const GpsReason& reason, int retryMs);

    const TextProvider& texts_;
    QThread* thread_ = nullptr;
    GpsWorker* worker_ = nullptr;
    bool open_ = false;
    bool retrying_ = false;
    int retryMs_ = 0;
    QString source_;
    GpsReason reason_;

    std::mutex fixMutex_;
    GpsFix latest_;                // guarded by fixMutex_; values 0 when none is waiting
    bool handOverWaiting_ = false; // guarded by fixMutex_
    std::atomic<std::size_t> fixesRead_{0};
    std::size_t fixesDelivered_ = 0;
};

} // namespace navorel::app

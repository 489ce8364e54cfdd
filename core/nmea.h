#pragma once
// The NMEA 0183 side of the GPS link: the RMC sentence parser, a reader that is fed the bytes
// of a serial port or network stream in whatever pieces they arrive and hands out every fix,
// and the boat record the reader thread writes and the user-interface thread reads.
//
// A sentence is "$" + talker (two characters) + type + "," + fields + "*hh" + CR LF, at most
// 82 characters. Every talker's RMC is taken ($GPRMC, $GNRMC, $GLRMC, $GARMC, $BDRMC, ...).
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace navorel {

// NMEA's longest sentence, "$" to the line feed included.
constexpr std::size_t kNmeaMaxSentence = 82;

// What one RMC sentence gave. The values are read in the order latitude, longitude, speed,
// course and the first one that does not read stops the rest: `values` counts those that did
// (1 latitude only ... 4 all four). A fix with `values` 0 is never handed out.
struct GpsFix {
    int values = 0;
    double lat = 0;    // degrees, north positive
    double lon = 0;    // degrees, east positive
    double speed = 0;  // speed over ground, knots
    double course = 0; // course over ground, degrees true
    bool hasTime = false;
    double time = 0; // UTC day number (core/datetime.h) of the fix when hasTime

    bool hasPosition() const { return values >= 2; }
    bool hasSpeed() const { return values >= 3; }
    bool hasCourse() const { return values >= 4; }
};

// Folds `later` into `held`, so that taking `held` once leaves the boat where taking the
// fixes one after the other would: the values `later` gives replace those of `held`, and the
// speed or course that only `held` has are kept. A `later` without a position changes nothing
// (the boat cannot be drawn from a latitude alone). An empty `held` (values 0) takes `later`.
void foldFix(GpsFix& held, const GpsFix& later);

// True when `sentence` (from "$" up to, not including, the line end) ends in "*hh" with the
// exclusive-or of the characters between "$" and "*" (hex digits in either case).
bool nmeaChecksumValid(std::string_view sentence);

// Reads one RMC sentence from any talker. Answers true when at least the latitude was read.
// Nothing is read from a sentence that is not RMC, lacks or fails its checksum, holds a
// character outside printable ASCII, or has a status other than "A" (V: the receiver has no
// fix). Latitude ddmm.mmmm with N/S and longitude dddmm.mmmm with E/W must read whole, with
// minutes below 60 and within 90 and 180 degrees; speed and course must read whole, speed not
// negative and course 0 to 360. The time (hhmmss[.ss]) and date (ddmmyy, years 80-99 are
// 1980-1999, the others 2000-2079) are optional: a fix without a readable pair has no time.
bool parseRmc(std::string_view sentence, GpsFix& fix);

// Counts of what a reader saw, for diagnostics.
struct NmeaReaderCounts {
    std::size_t sentences = 0;   // complete sentences examined
    std::size_t fixes = 0;       // fixes handed out
    std::size_t badChecksum = 0; // sentences dropped for a missing or wrong checksum
    std::size_t overlong = 0;    // lines dropped for being longer than a sentence can be
};

// Cuts a byte stream into sentences and parses each complete one. Bytes before a "$" are
// skipped; a sentence ends at CR or LF, or at the next "$" (then it must still pass its
// checksum). A line that grows past kNmeaMaxSentence without ending is dropped up to the next
// "$", so the buffer never holds more than one sentence.
class NmeaReader {
  public:
    using FixHandler = std::function<void(const GpsFix&)>;

    // Examines the bytes, calling onFix for every fix completed by them, in order. Answers the
    // number of fixes.
    std::size_t feed(std::string_view bytes, const FixHandler& onFix);
    // Forgets a partial sentence (a new connection starts clean).
    void reset();

    const NmeaReaderCounts& counts() const { return counts_; }

  private:
    void finishSentence(const FixHandler& onFix, std::size_t& fixes);

    std::string line_;
    bool inSentence_ = false;
    NmeaReaderCounts counts_;
};

// The boat of the application state: written by the reader thread, read by the user-interface
// thread without a lock. Each value is one 32-bit quantity stored whole, so a reader may
// combine a latitude and a longitude of two consecutive fixes; the fix time is the count of
// whole seconds since 1 January 1980.
struct GpsBoat {
    std::atomic<bool> connected{false};
    std::atomic<bool> hasFix{false}; // a position has come since start-up
    std::atomic<float> lat{0.0f};
    std::atomic<float> lon{0.0f};
    std::atomic<float> speed{0.0f};
    std::atomic<float> course{0.0f};
    std::atomic<std::uint32_t> seconds{0}; // 0 until a fix with a time

    // Stores the values the fix holds; the others keep what they were.
    void apply(const GpsFix& fix);
    // All values back to zero (start-up).
    void clear();
};

} // namespace navorel

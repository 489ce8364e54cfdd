#pragma once
// The wind store: the forecast of a GRIB file as a time-ordered list of hourly wind frames,
// each a grid of points with direction, speed and validity. Frames decoded from the file are
// joined by frames interpolated for every hour between two forecast steps, made on demand
// from the two decoded frames around them.
//
// A store is built whole by loadGrib and then only read; every per-frame geometry the
// sampler needs is computed at load, so any number of threads may sample one store at once.
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "core/datetime.h"
#include "core/geodesy.h"
#include "weather/color_table.h"
#include "weather/grib.h"
#include "weather/gust_field.h"

namespace navorel {

class GribDecoder;
class TextProvider;
struct GribRecord;
struct RoutingParameters;

// A point of a frame with its place.
struct WindPoint {
    float lon = 0;       // degrees, -180..180
    float lat = 0;       // degrees
    float direction = 0; // radians 0..2pi: the air's motion, counter-clockwise from east
    float speed = 0;     // m/s
    bool valid = false;  // false when u or v was missing in the file
};

// The wind of a point of a frame, without its place.
struct WindValue {
    float direction = 0; // radians 0..2pi: the air's motion, counter-clockwise from east
    float speed = 0;     // m/s
    bool valid = false;  // false when u or v was missing in the file
};

struct WindFrame {
    int year = 0, month = 0, day = 0, hour = 0; // reference date of the GRIB record
    int forecastHour = 0;
    bool decoded = false; // false for the frames interpolated between forecast steps
    int minute = 0;
    int nx = 0, ny = 0;
    // The places of the grid, as the record gives them: column i lies at longitude
    // lon1 + i * di brought into -180..180, row j at latitude lat1 + j * dj (degrees).
    float lon1 = 0, di = 0, lat1 = 0, dj = 0;
    // The wind of the nx x ny points, southernmost row first, west to east: the air's motion
    // (radians) and its speed (m/s). A point is valid where both are finite; a point missing in
    // the file holds direction 0 and speed NaN. Both empty for a frame made on demand: its
    // points are blended, when asked for, from the decoded frames `from` and `to` (indices in
    // the store) at `step` hours of their `span`, exactly as a stored frame would hold them.
    GribValues direction, speed;
    int from = -1, to = -1, step = 0, span = 0;
    double weightFrom = 0, weightTo = 0; // (span - step) / span and step / span
    bool onDemand() const { return from >= 0; }

    // Points stored (0 for a frame made on demand).
    std::size_t size() const { return speed.size(); }
    // The wind of stored point `index`.
    WindValue value(std::size_t index) const {
        const float d = direction[index], s = speed[index];
        WindValue w{d, s, std::isfinite(d) && std::isfinite(s)};
        // A point missing in the file reads as no wind at all.
        if (!w.valid && std::isnan(s) && !std::isnan(d)) w.speed = 0;
        return w;
    }
    // Longitude of column i (-180..180) and latitude of row j, degrees.
    float longitude(int i) const;
    float latitude(int j) const { return lat1 + static_cast<float>(j) * dj; }
    // Stored point `index` with its place.
    WindPoint point(std::size_t index) const { return placed(index, value(index)); }
    // The wind `w` at the place of point `index`.
    WindPoint placed(std::size_t index, const WindValue& w) const;
    // Stores `w` as point `index` (a point that is not valid as a missing one).
    void setValue(std::size_t index, const WindValue& w) {
        direction[index] = w.valid ? w.direction : 0.0f;
        speed[index] = w.valid ? w.speed : std::numeric_limits<float>::quiet_NaN();
    }
};

// The wind between F and G weighted `wf` and `wg`: speed and direction blended (the direction
// the short way round).
inline WindValue blendedWind(const WindValue& a, const WindValue& b, double wf, double wg) {
    WindValue out;
    out.valid = a.valid && b.valid;
    if (!out.valid) return out;
    out.speed = static_cast<float>(wf * a.speed + wg * b.speed);
    const double da = a.direction, db = b.direction;
    double d;
    // Across east (0 / 2pi) the smaller angle is taken one turn on, so 350 and 10
    // degrees blend through 0, not through 180.
    if (std::fabs(db - da) > kPi) {
        d = da < db ? wf * (da + kTwoPi) + wg * db : wf * da + wg * (db + kTwoPi);
    } else {
        d = wf * da + wg * db;
    }
    if (d < 0)
        d += kTwoPi;
    else if (d > kTwoPi)
        d -= kTwoPi;
    out.direction = static_cast<float>(d);
    return out;
}

// Memory of one stored point: its direction and speed.
inline constexpr std::size_t kStoredPointBytes = 2 * sizeof(float);

// Extent of one frame, as the sampler and the "Frame the grib" zoom read it.
struct FrameGeometry {
    int count = 0, nx = 0, ny = 0;
    float halfStepLon = 0, halfStepLat = 0; // half the west-east and south-north steps
    float lonSpan = 0, latSpan = 0;         // degrees; the longitude span adds 360 when wrapping
    bool wrap = false;                      // the grid crosses the 180 degree meridian
    float minLon = 0, maxLon = 0, minLat = 0, maxLat = 0;
};

// The grid of the first record of the file, for the information text.
struct GribGridSummary {
    int nx = 0, ny = 0;
    float lon1 = 0, lon2 = 0, lat1 = 0, lat2 = 0;
};

enum class GribLoadStatus {
    Ok,
    DecoderFailed, // the decoder's error text was given to its handler
    BadGrid,       // a record with nx < 2 or ny < 2, or no wind at all: language text 225
    TooLarge,      // the decoded frames would not fit in memory
    Bzip2Failed,   // the chosen .bz2 file could not be decompressed (it is kept)
    NoMessage,     // the file holds no GRIB message at all (empty, text, random bytes)
    // The wind of several ensemble members: one forecast takes one member, never a mix of
    // them (the file is read as a set of forecasts instead, weather/forecast_set.h).
    SeveralMembers,
};

// The reason given for a file without any GRIB message: "no GRIB message in PATH".
std::string noGribMessageText(const std::string& path);

// Language texts of the wind store.
constexpr int kTextGribBadGrid = 225;   // a record with fewer than two points a side
constexpr int kTextGribGrid = 229;      // label of the grid size in the information text
constexpr int kTextNoGribLoaded = 234;  // start-up without a GRIB: constant wind
constexpr int kTextOpenGribTitle = 236; // title of the open-file dialog

// Frames are interpolated between two forecast steps at most this many hours apart; a wider
// gap is left to the time interpolation of the sampler.
constexpr int kMaxExpandedStep = 48;

// The hours between decoded frames are stored while all the hourly frames hold no more points
// than this; by default none is, every hour between is made on demand from its two decoded
// frames (bit for bit what a stored frame would hold), so a forecast takes the memory of its
// records, not of every hour, and loads without computing hours nobody looks at.
constexpr std::size_t kStoredFramePoints = 0;

class WindStore {
  public:
    // Builds a new store from the GRIB file. On failure the store is left as it was.
    // `error` (when given) receives the decoder's error text.
    GribLoadStatus loadGrib(const std::string& path, const WindColorRamp& ramp,
                            std::string* error = nullptr);
    // The same from the bytes of a GRIB file.
    GribLoadStatus loadGribBuffer(const std::uint8_t* data, std::size_t size,
                                  const WindColorRamp& ramp, std::string* error = nullptr);
    // The same from records already decoded (in file order).
    GribLoadStatus loadRecords(const std::vector<GribRecord>& records, const WindColorRamp& ramp);
    // The same from records the store may spend: the frames take over their wind values, which
    // leaves the records without values (their headers stay), and need no memory of their own.
    GribLoadStatus loadRecords(std::vector<GribRecord>&& records, const WindColorRamp& ramp);
    // The store of start-up without a GRIB: no frames.
    void clear();

    bool empty() const { return frames_.empty(); }
    const std::vector<WindFrame>& frames() const { return frames_; }
    // Valid time of each frame as a day number, strictly increasing.
    const std::vector<double>& frameTimes() const { return times_; }
    const std::vector<DateTime>& frameDates() const { return dates_; }
    // The extent of frame k (0 <= k < frame count).
    const FrameGeometry& geometry(int k) const { return geometry_[static_cast<std::size_t>(k)]; }
    // The wind of point `index` of frame k, stored or made on demand.
    WindValue value(int k, std::size_t index) const {
        const WindFrame& f = frames_[static_cast<std::size_t>(k)];
        if (!f.onDemand()) return f.value(index);
        return blendedWind(frames_[static_cast<std::size_t>(f.from)].value(index),
                           frames_[static_cast<std::size_t>(f.to)].value(index), f.weightFrom,
                           f.weightTo);
    }
    // Point `index` of frame k with its place (a frame made on demand has the places of the
    // frame it starts from).
    WindPoint point(int k, std::size_t index) const {
        return frames_[static_cast<std::size_t>(k)].placed(index, value(k, index));
    }
    // Frame k with all its points: the stored frame, or one made into `scratch`.
    const WindFrame& wholeFrame(int k, WindFrame& scratch) const;
    // Points held in memory by the frames (kStoredPointBytes each).
    std::size_t storedPoints() const;
    // Stores every hourly frame while they hold at most `points` (the tests store them all with
    // SIZE_MAX to compare); kStoredFramePoints by default.
    void setStoredFramePoints(std::size_t points) { storedFramePoints_ = points; }

    // The frame the wind map shows; 0 after every load.
    int currentFrame() const { return current_; }
    void setCurrentFrame(int k);

    // Valid times of the first and the last frame decoded from the file.
    const DateTime& startDate() const { return start_; }
    const DateTime& endDate() const { return end_; }

    const GribGridSummary& firstRecord() const { return first_; }

    // Shifts every frame's reference hour to its hour as loaded minus `lagHours`, and
    // recomputes the frame times and dates and the start and end dates.
    void applyLag(int lagHours);

    const WindColorRamp& colorRamp() const { return ramp_; }
    void setColorRamp(const WindColorRamp& ramp) { ramp_ = ramp; }

    // "<name>\n\n<229> nx x ny\n\n<lon1> - <lon2>\n\n<lat1> - <lat2>\n", kept for the
    // information panel. Empty for an empty store.
    void rebuildInformationText(const std::string& displayName, const TextProvider& texts);
    const std::string& informationText() const { return info_; }

    // The forecast's 10 m gust; empty when the file carries none.
    const GustField& gusts() const { return gusts_; }

    // Count of decoded frames left out because their valid time repeated or went back.
    int droppedFrames() const { return dropped_; }

  private:
    // Decodes through `read` (a file or a buffer), sized from the headers first.
    using GribReader = std::function<bool(GribDecoder&, std::vector<GribRecord>&, std::string&,
                                          const GribHeaderCheck&)>;
    GribLoadStatus loadDecoded(const GribReader& read, const WindColorRamp& ramp,
                               std::string* error);

    // loadRecords; with `owned` (the same records, the store's to spend) each record's values
    // are freed once they are in the frames.
    GribLoadStatus buildFrames(const std::vector<GribRecord>& records,
                               std::vector<GribRecord>* owned, const WindColorRamp& ramp);
    void computeTimes();

    std::vector<WindFrame> frames_;
    std::size_t storedFramePoints_ = kStoredFramePoints;
    std::vector<int> loadedHours_;
    std::vector<double> times_;
    std::vector<DateTime> dates_;
    std::vector<FrameGeometry> geometry_;
    int current_ = 0;
    DateTime start_, end_;
    GribGridSummary first_;
    WindColorRamp ramp_;
    std::string info_;
    int dropped_ = 0;
    GustField gusts_;
};

// Fills the geometry of a frame of at least 2 x 2 points.
FrameGeometry frameGeometry(const WindFrame& frame);

// The GRIB display name of a path: the file name without folder, ".bz2" and last extension,
// followed by ".grb".
std::string gribDisplayName(const std::string& path);

// One line saying why a load failed ("the forecast is too large", the decoder's text, ...).
std::string gribLoadMessage(GribLoadStatus status, const std::string& decoderError);

// Opens a forecast by path, the one way every command loads a GRIB: a path whose extension is
// exactly "bz2" is decompressed first into a private temporary file (removed after the load;
// the archive and every file beside it stay as they are), at most kMaxGribFileBytes as a plain
// forecast, then the file is decoded into the store and the frames shifted by `lagHours`
// ([Winds] Lag). On failure the store is left as it was and `error` holds one line saying why.
GribLoadStatus openForecast(const std::string& path, WindStore& store, const WindColorRamp& ramp,
                            int lagHours, std::string& error);

// A global tenth-of-a-degree grid, the finest wind models give, has 6.5 million points; a
// forecast of one grid of this many (8.4 million) loads in about 70 MB. A larger grid makes a
// forecast "too large", so a few bytes of constant field never take more.
inline constexpr std::size_t kMaxGridPoints = std::size_t(1) << 23;

// The decoded records of a forecast file, plain or ".bz2" (decompressed into a temporary
// file; the user's file stays), without their values unless `withValues`. False with one line
// in `error`, also for a file that holds no GRIB message (noGribMessageText).
bool readForecastRecords(GribDecoder& decoder, const std::string& path,
                         std::vector<GribRecord>& records, std::string& error,
                         bool withValues = true);

// What the program does when the user opens a GRIB file: openForecast, which keeps a ".bz2"
// file and never writes beside it. On success the store is replaced, `displayName` set
// ("wind.grb" for wind.grb.bz2) and the information text rebuilt; the caller then switches the
// wind arrows on, frames the map and redraws. The constant wind is switched off here.
// `loadedPath` receives the path to open again at the next start (the chosen one); `error`
// the reason of a failure.
GribLoadStatus openGribFile(const std::string& path, WindStore& store, const WindColorRamp& ramp,
                            const TextProvider& texts, RoutingParameters& parameters,
                            std::string& displayName, std::string& loadedPath,
                            std::string* error = nullptr);

// First step of the start-up load: the file <gribFolder><displayName>. True when it loaded;
// otherwise the caller offers the open-file dialog and, when that gives nothing either,
// calls useConstantWind. A file that is there but cannot be loaded leaves "PATH: reason" in
// `error` for the user; a missing file leaves it empty.
bool loadGribAtStartup(const std::string& gribFolder, const std::string& displayName,
                       WindStore& store, const WindColorRamp& ramp, const TextProvider& texts,
                       RoutingParameters& parameters, std::string* error = nullptr);
// Start-up without a GRIB: an empty store and the constant wind switched on.
void useConstantWind(WindStore& store, RoutingParameters& parameters);

} // namespace navorel

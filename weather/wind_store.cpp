#include "weather/wind_store.h"

#include "core/position_text.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

#include <unistd.h>

#include "core/file_check.h"
#include "core/geodesy.h"
#include "core/texts.h"
#include "routing/routing_parameters.h"
#include "weather/bzip2_file.h"
#include "weather/field_store.h"
#include "weather/grib.h"

namespace navorel {
namespace {

// The decoder gives 9999 to missing points; anything above this is not a wind.
constexpr float kMissingAbove = 9900.0f;

// The decoded frames of a file must fit in memory (the hours between them are made on demand
// when storing them would take too much): 150 million points are about 3 GB.
constexpr std::size_t kMaxStorePoints = 150'000'000;

double bringInto2Pi(double a) {
    if (a < 0)
        a += kTwoPi;
    else if (a > kTwoPi)
        a -= kTwoPi;
    return a;
}

// The most points the hourly frames may hold: the store's own limit, and never more than a
// quarter of the machine's memory.
std::size_t storePointLimit() {
    std::size_t limit = kMaxStorePoints;
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages > 0 && pageSize > 0)
        limit = std::min<std::size_t>(limit, static_cast<std::size_t>(pages) *
                                                 static_cast<std::size_t>(pageSize) / 4 /
                                                 sizeof(WindPoint));
    return limit;
}

// The date fields of the frame `step` hours after F: F's forecast moved on, whatever the
// reference time of G, so the frame times keep increasing.
WindFrame frameAfter(const WindFrame& f, int step) {
    WindFrame e;
    e.year = f.year;
    e.month = f.month;
    e.day = f.day;
    e.hour = f.hour;
    e.forecastHour = f.forecastHour + step;
    e.decoded = false;
    e.minute = 0;
    e.nx = f.nx;
    e.ny = f.ny;
    return e;
}

// Interpolated frame between F and G at g hours of an N-hour step.
WindFrame expandedFrame(const WindFrame& f, const WindFrame& g, int step, int n) {
    WindFrame e = frameAfter(f, step);
    if (f.points.size() != g.points.size()) {
        e.nx = g.nx;
        e.ny = g.ny;
        e.points = g.points;
        return e;
    }
    e.points.reserve(f.points.size());
    for (std::size_t p = 0; p < f.points.size(); ++p)
        e.points.push_back(blendedWindPoint(f.points[p], g.points[p], step, n));
    return e;
}

// The points of a record, decoded or read without its values.
std::size_t recordPoints(const GribRecord& r) {
    return r.values.empty() ? r.valueCount : r.values.size();
}

// The decoded frames of a file in time order: the valid hour of each U record (the k-th makes
// decoded frame k) and the frames kept, a frame whose valid time repeats an earlier one (a
// second level, a repeated record) left out, the first in the file kept.
struct FramePlan {
    std::vector<long long> hours;
    std::vector<std::size_t> sizes;
    std::vector<std::size_t> kept;
    std::size_t hourlyPoints = 0; // the points of every hourly frame, were all stored
};

// Plans the frames of the records and checks that the hourly store fits, from the records
// alone: a file too large is refused before any frame is built or any value expanded.
GribLoadStatus planFrames(const std::vector<GribRecord>& records, FramePlan& plan) {
    // A file without any record, or without a U component, has no wind: it is refused like
    // a grid that is too small, and the store in place stays.
    if (records.empty()) return GribLoadStatus::BadGrid;
    for (const auto& r : records) {
        if (r.nx < 2 || r.ny < 2) return GribLoadStatus::BadGrid;
        if (recordPoints(r) != static_cast<std::size_t>(r.nx) * static_cast<std::size_t>(r.ny))
            return GribLoadStatus::BadGrid;
    }
    auto& hours = plan.hours;
    auto& sizes = plan.sizes;
    auto& kept = plan.kept;
    for (const auto& r : records) {
        if (!isBuiltinUgrd(r)) continue;
        hours.push_back(validHour(r.year, r.month, r.day, r.hour, r.forecast));
        sizes.push_back(recordPoints(r));
    }
    if (hours.empty()) return GribLoadStatus::BadGrid;
    for (const auto& r : records)
        if (recordPoints(r) > kMaxGridPoints) return GribLoadStatus::TooLarge;
    std::vector<std::size_t> order(hours.size());
    for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return hours[a] < hours[b]; });
    for (std::size_t k : order) {
        if (!kept.empty() && hours[k] == hours[kept.back()]) continue;
        kept.push_back(k);
    }
    // The decoded frames must fit; the hours between take no memory when made on demand.
    const std::size_t pointLimit = storePointLimit();
    std::size_t decodedPoints = 0;
    for (std::size_t size : sizes) {
        decodedPoints += size;
        if (decodedPoints > pointLimit) return GribLoadStatus::TooLarge;
    }
    for (std::size_t n = 0; n < kept.size(); ++n) {
        const std::size_t size = sizes[kept[n]];
        plan.hourlyPoints += size;
        if (n + 1 < kept.size()) {
            const long long step = hours[kept[n + 1]] - hours[kept[n]];
            if (step <= kMaxExpandedStep)
                plan.hourlyPoints +=
                    static_cast<std::size_t>(step - 1) * std::max(size, sizes[kept[n + 1]]);
        }
    }
    return GribLoadStatus::Ok;
}

bool sameTime(const WindFrame& f, const GribRecord& r) {
    return f.year == r.year && f.month == r.month && f.day == r.day && f.hour == r.hour &&
           f.forecastHour == r.forecast;
}

} // namespace

WindPoint blendedWindPoint(const WindPoint& a, const WindPoint& b, int step, int span) {
    const double wf = static_cast<double>(span - step) / span;
    const double wg = static_cast<double>(step) / span;
    WindPoint out;
    out.lon = a.lon;
    out.lat = a.lat;
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
    out.direction = static_cast<float>(bringInto2Pi(d));
    return out;
}

const WindFrame& WindStore::wholeFrame(int k, WindFrame& scratch) const {
    const WindFrame& f = frames_[static_cast<std::size_t>(k)];
    if (!f.onDemand()) return f;
    scratch = expandedFrame(frames_[static_cast<std::size_t>(f.from)],
                            frames_[static_cast<std::size_t>(f.to)], f.step, f.span);
    return scratch;
}

std::size_t WindStore::storedPoints() const {
    std::size_t n = 0;
    for (const WindFrame& f : frames_) n += f.points.size();
    return n;
}

FrameGeometry frameGeometry(const WindFrame& frame) {
    FrameGeometry g;
    const auto& p = frame.points;
    g.nx = frame.nx;
    g.ny = frame.ny;
    g.count = static_cast<int>(p.size());
    if (g.nx < 2 || g.ny < 2 || p.size() < static_cast<std::size_t>(g.nx) * g.ny) return g;
    const std::size_t nx = static_cast<std::size_t>(g.nx);
    g.halfStepLon = (p[1].lon - p[0].lon) * 0.5f;
    g.halfStepLat = (p[nx].lat - p[0].lat) * 0.5f;
    g.minLon = p[0].lon;
    g.maxLon = p[nx - 1].lon;
    g.minLat = p[0].lat;
    g.maxLat = p[p.size() - 1].lat;
    g.wrap = p[0].lon > p[nx - 1].lon;
    g.lonSpan = p[nx - 1].lon - p[0].lon + (g.wrap ? 360.0f : 0.0f);
    g.latSpan = p[p.size() - 1].lat - p[0].lat;
    return g;
}

GribLoadStatus WindStore::loadGrib(const std::string& path, const WindColorRamp& ramp,
                                   std::string* error) {
    return loadDecoded(
        [&path](GribDecoder& decoder, std::vector<GribRecord>& records, std::string& text,
                const GribHeaderCheck& check) {
            return decoder.readFile(path, records, text, check);
        },
        ramp, error);
}

GribLoadStatus WindStore::loadGribBuffer(const std::uint8_t* data, std::size_t size,
                                         const WindColorRamp& ramp, std::string* error) {
    return loadDecoded(
        [data, size](GribDecoder& decoder, std::vector<GribRecord>& records, std::string& text,
                     const GribHeaderCheck& check) {
            return decoder.readBuffer(data, size, records, text, check);
        },
        ramp, error);
}

GribLoadStatus WindStore::loadDecoded(const GribReader& read, const WindColorRamp& ramp,
                                      std::string* error) {
    // The store is sized from the headers of the file before the decoder expands any value.
    std::vector<GribRecord> records;
    std::string text;
    GribLoadStatus planned = GribLoadStatus::Ok;
    const auto check = [&planned](const std::vector<GribRecord>& headers) {
        // The decoder reads a file without any message to its end without complaint: no
        // record at all means it was no GRIB file.
        if (headers.empty()) {
            planned = GribLoadStatus::NoMessage;
            return false;
        }
        FramePlan plan;
        planned = planFrames(headers, plan);
        return planned == GribLoadStatus::Ok;
    };
    // The store keeps the wind alone: other edition-2 fields are listed, not expanded.
    GribDecoder& decoder = gribDecoder();
    decoder.setWindValuesOnly(true);
    const bool ok = read(decoder, records, text, check);
    decoder.setWindValuesOnly(false);
    if (!ok) {
        if (error) *error = text;
        if (text.empty()) return planned;
        return text.rfind(kGribTooLarge, 0) == 0 ? GribLoadStatus::TooLarge
                                                 : GribLoadStatus::DecoderFailed;
    }
    return buildFrames(records, &records, ramp);
}

GribLoadStatus WindStore::loadRecords(const std::vector<GribRecord>& records,
                                      const WindColorRamp& ramp) {
    return buildFrames(records, nullptr, ramp);
}

GribLoadStatus WindStore::buildFrames(const std::vector<GribRecord>& records,
                                      std::vector<GribRecord>* owned, const WindColorRamp& ramp) {
    FramePlan plan;
    const GribLoadStatus planned = planFrames(records, plan);
    if (planned != GribLoadStatus::Ok) return planned;
    const auto& hours = plan.hours;
    const auto& kept = plan.kept;
    // Values of records the store owns go as soon as they are in the frames.
    const auto release = [owned, &records](const GribRecord& r) {
        if (owned) GribValues().swap((*owned)[std::size_t(&r - records.data())].values);
    };

    try {
        // U frames in file order. Until the V values are paired, each point holds its u in
        // `speed` and its v in `direction`.
        std::vector<WindFrame> decoded;
        decoded.reserve(hours.size());
        std::vector<bool> paired;
        for (const auto& r : records) {
            if (!isBuiltinUgrd(r)) continue;
            // A U record given without its values has no wind to offer.
            if (r.values.size() != static_cast<std::size_t>(r.nx) * static_cast<std::size_t>(r.ny))
                return GribLoadStatus::BadGrid;
            WindFrame f;
            f.year = r.year;
            f.month = r.month;
            f.day = r.day;
            f.hour = r.hour;
            f.forecastHour = r.forecast;
            f.decoded = true;
            f.nx = r.nx;
            f.ny = r.ny;
            f.points.reserve(r.values.size());
            const float* u = r.values.data();
            for (int j = 0; j < r.ny; ++j) {
                const float lat = r.lat1 + static_cast<float>(j) * r.dj;
                for (int i = 0; i < r.nx; ++i) {
                    WindPoint p;
                    p.lat = lat;
                    p.lon = longitudeInto180(r.lon1 + static_cast<float>(i) * r.di);
                    p.speed = *u++;
                    f.points.push_back(p);
                }
            }
            decoded.push_back(std::move(f));
            paired.push_back(false);
            release(r);
        }

        for (const auto& r : records) {
            if (!isBuiltinVgrd(r)) continue;
            // The first U frame of the same time that has no V yet (a file with several
            // levels pairs each level in turn), else the first of the same time.
            std::size_t match = decoded.size();
            for (std::size_t k = 0; k < decoded.size(); ++k) {
                if (!sameTime(decoded[k], r)) continue;
                if (!paired[k]) {
                    match = k;
                    break;
                }
                if (match == decoded.size()) match = k;
            }
            if (match == decoded.size()) continue;
            paired[match] = true;
            auto& points = decoded[match].points;
            const std::size_t n = std::min(r.values.size(), points.size());
            for (std::size_t p = 0; p < n; ++p) points[p].direction = r.values[p];
            release(r);
        }

        for (auto& frame : decoded) {
            for (WindPoint& w : frame.points) {
                const float uu = w.speed, vv = w.direction;
                w.valid = !(uu > kMissingAbove || vv > kMissingAbove);
                if (!w.valid) {
                    w.speed = w.direction = 0;
                    continue;
                }
                w.direction = static_cast<float>(bringInto2Pi(std::atan2(vv, uu)));
                w.speed = std::sqrt(uu * uu + vv * vv);
                // A damaged file can decode to values that are no wind at all.
                w.valid = std::isfinite(w.direction) && std::isfinite(w.speed);
            }
        }

        const int dropped = static_cast<int>(decoded.size() - kept.size());

        // Hourly expansion between successive decoded frames: each decoded frame is moved into
        // place, the frames between it and the next one are made from the two.
        const auto expanded = [&](std::size_t n) -> long long {
            if (n + 1 >= kept.size()) return 0;
            const long long step = hours[kept[n + 1]] - hours[kept[n]];
            return step <= kMaxExpandedStep && step > 1 ? step - 1 : 0;
        };
        std::size_t total = 0;
        for (std::size_t n = 0; n < kept.size(); ++n)
            total += 1 + static_cast<std::size_t>(expanded(n));
        const bool onDemand = plan.hourlyPoints > storedFramePoints_;
        std::vector<WindFrame> frames;
        frames.reserve(total);
        for (std::size_t n = 0; n < kept.size(); ++n) {
            frames.push_back(std::move(decoded[kept[n]]));
            const long long between = expanded(n);
            if (between == 0) continue;
            const std::size_t at = frames.size() - 1;
            const WindFrame& g = decoded[kept[n + 1]];
            const int span = static_cast<int>(between + 1);
            const bool sameGrid = frames[at].points.size() == g.points.size();
            for (int s = 1; s <= between; ++s) {
                if (!onDemand || !sameGrid) {
                    frames.push_back(expandedFrame(frames[at], g, s, span));
                    continue;
                }
                WindFrame e = frameAfter(frames[at], s);
                e.from = static_cast<int>(at);
                e.to = static_cast<int>(at) + span;
                e.step = s;
                e.span = span;
                frames.push_back(std::move(e));
            }
        }
        decoded.clear();

        WindStore next;
        next.storedFramePoints_ = storedFramePoints_;
        next.frames_ = std::move(frames);
        next.loadedHours_.reserve(next.frames_.size());
        for (const auto& f : next.frames_) next.loadedHours_.push_back(f.hour);
        next.geometry_.reserve(next.frames_.size());
        // A frame made on demand has the points, so the extent, of the frame it starts from.
        for (const auto& f : next.frames_)
            next.geometry_.push_back(f.onDemand() ? next.geometry_[std::size_t(f.from)]
                                                  : frameGeometry(f));
        next.computeTimes();
        next.current_ = 0;
        next.ramp_ = ramp;
        const GribRecord& r0 = records.front();
        next.first_ = GribGridSummary{r0.nx, r0.ny, r0.lon1, r0.lon2, r0.lat1, r0.lat2};
        next.dropped_ = dropped;
        next.gusts_.build(records);
        *this = std::move(next);
    } catch (const std::bad_alloc&) {
        return GribLoadStatus::TooLarge;
    }
    return GribLoadStatus::Ok;
}

void WindStore::clear() {
    *this = WindStore{};
}

void WindStore::setCurrentFrame(int k) {
    if (frames_.empty()) {
        current_ = 0;
        return;
    }
    current_ = std::clamp(k, 0, static_cast<int>(frames_.size()) - 1);
}

void WindStore::computeTimes() {
    times_.clear();
    dates_.clear();
    times_.reserve(frames_.size());
    dates_.reserve(frames_.size());
    for (const auto& f : frames_) {
        const double t = dayNumber(f.day, f.month, f.year, f.hour + f.forecastHour, 0, 0);
        times_.push_back(t);
        dates_.push_back(fromDayNumber(t));
    }
    start_ = end_ = DateTime{};
    for (std::size_t k = 0; k < frames_.size(); ++k) {
        if (!frames_[k].decoded) continue;
        start_ = dates_[k];
        break;
    }
    for (std::size_t k = frames_.size(); k-- > 0;) {
        if (!frames_[k].decoded) continue;
        end_ = dates_[k];
        break;
    }
}

void WindStore::applyLag(int lagHours) {
    for (std::size_t k = 0; k < frames_.size(); ++k) frames_[k].hour = loadedHours_[k] - lagHours;
    computeTimes();
    gusts_.applyLag(lagHours);
}

void WindStore::rebuildInformationText(const std::string& displayName, const TextProvider& texts) {
    info_.clear();
    if (frames_.empty()) return;
    const std::string label = texts.text(kTextGribGrid);
    const std::string lon1 = formatLongitudeDms(first_.lon1),
                      lon2 = formatLongitudeDms(first_.lon2);
    const std::string lat1 = formatLatitudeDms(first_.lat1), lat2 = formatLatitudeDms(first_.lat2);
    const int size = std::snprintf(nullptr, 0, "%s\n\n%s %d x %d\n\n%s - %s\n\n%s - %s\n",
                                   displayName.c_str(), label.c_str(), first_.nx, first_.ny,
                                   lon1.c_str(), lon2.c_str(), lat1.c_str(), lat2.c_str());
    if (size <= 0) return;
    info_.resize(static_cast<std::size_t>(size) + 1);
    std::snprintf(info_.data(), info_.size(), "%s\n\n%s %d x %d\n\n%s - %s\n\n%s - %s\n",
                  displayName.c_str(), label.c_str(), first_.nx, first_.ny, lon1.c_str(),
                  lon2.c_str(), lat1.c_str(), lat2.c_str());
    info_.resize(static_cast<std::size_t>(size));
}

std::string gribDisplayName(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // An archive is named as the file it holds ("wind.grb.bz2" is "wind.grb").
    if (hasBzip2Extension(name)) name = bzip2OutputPath(name);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    return name + ".grb";
}

namespace {

// A temporary file removed when the load ends.
struct TemporaryFile {
    std::string path;
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!path.empty()) std::remove(path.c_str());
    }
};

// Why a ".bz2" forecast could not be decompressed, in one line.
std::string bzip2Message(Bzip2Status status) {
    switch (status) {
    case Bzip2Status::TooLarge:
        return std::string(kGribTooLarge) + " (it decompresses to more than " +
               std::to_string(kMaxGribFileBytes >> 20) + " MB)";
    case Bzip2Status::ReadFailed:
        return "the compressed file is damaged or incomplete";
    case Bzip2Status::StreamNotOpened:
        return "cannot read the compressed file";
    case Bzip2Status::OutputNotCreated:
    case Bzip2Status::WriteFailed:
        return "cannot decompress the file: no room for a temporary file";
    case Bzip2Status::Ok:
        break;
    }
    return {};
}

// The file to decode for `path`: a ".bz2" file is decompressed first into a private temporary
// file that `temporary` removes, never beside the archive, so no file of the user's is
// written or deleted whatever the archive holds. False with the reason in `error`.
bool unpackForecast(const std::string& path, TemporaryFile& temporary, std::string& decoded,
                    std::string& error) {
    decoded = path;
    if (!hasBzip2Extension(path)) return true;
    std::error_code ec;
    std::string pattern = (std::filesystem::temp_directory_path(ec) / "navorel-XXXXXX").string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        error = "cannot create a temporary file: " + std::string(std::strerror(errno));
        return false;
    }
    ::close(fd);
    temporary.path = decoded = pattern;
    const Bzip2Status unpacked = decompressBzip2To(path, decoded);
    if (unpacked == Bzip2Status::Ok) return true;
    error = bzip2Message(unpacked);
    return false;
}

} // namespace

bool readForecastRecords(GribDecoder& decoder, const std::string& path,
                         std::vector<GribRecord>& records, std::string& error, bool withValues) {
    TemporaryFile temporary;
    std::string decoded;
    if (!unpackForecast(path, temporary, decoded, error)) return false;
    const std::size_t before = records.size();
    if (withValues ? decoder.readFile(decoded, records, error)
                   : decoder.readFileHeaders(decoded, records, error)) {
        if (records.size() > before) return true;
        error = noGribMessageText(path);
        return false;
    }
    while (!error.empty() && error.back() == '\n') error.pop_back();
    return false;
}

std::string noGribMessageText(const std::string& path) {
    return "no GRIB message in " + path;
}

std::string gribLoadMessage(GribLoadStatus status, const std::string& decoderError) {
    switch (status) {
    case GribLoadStatus::Ok:
        return {};
    case GribLoadStatus::DecoderFailed: {
        std::string text = decoderError;
        while (!text.empty() && text.back() == '\n') text.pop_back();
        return text.empty() ? "cannot decode the GRIB file" : text;
    }
    case GribLoadStatus::BadGrid:
        return "no wind grid of at least 2 x 2 points";
    case GribLoadStatus::TooLarge: {
        // The decoder's own text says why when it refused the file.
        std::string text = decoderError;
        while (!text.empty() && text.back() == '\n') text.pop_back();
        return text.rfind(kGribTooLarge, 0) == 0 ? text : kGribTooLarge;
    }
    case GribLoadStatus::Bzip2Failed:
        return "cannot decompress the file";
    case GribLoadStatus::NoMessage:
        return "no GRIB message in the file";
    }
    return {};
}

GribLoadStatus openForecast(const std::string& path, WindStore& store, const WindColorRamp& ramp,
                            int lagHours, std::string& error) {
    std::string decoded;
    TemporaryFile temporary;
    if (!unpackForecast(path, temporary, decoded, error)) return GribLoadStatus::Bzip2Failed;
    std::string decoderError;
    const GribLoadStatus status = store.loadGrib(decoded, ramp, &decoderError);
    if (status != GribLoadStatus::Ok) {
        // The file named is the one the user gave (not a decompressed temporary one).
        error = status == GribLoadStatus::NoMessage ? noGribMessageText(path)
                                                    : gribLoadMessage(status, decoderError);
        return status;
    }
    error.clear();
    // The lag of the settings holds for every forecast loaded, not only after it changes.
    if (lagHours != 0) store.applyLag(lagHours);
    return status;
}

GribLoadStatus openGribFile(const std::string& path, WindStore& store, const WindColorRamp& ramp,
                            const TextProvider& texts, RoutingParameters& parameters,
                            std::string& displayName, std::string& loadedPath, std::string* error) {
    std::string text;
    const GribLoadStatus status = openForecast(path, store, ramp, parameters.lag, text);
    if (error) *error = text;
    if (status != GribLoadStatus::Ok) return status;
    loadedPath = path;
    parameters.uniqueWind = false;
    displayName = gribDisplayName(path);
    store.rebuildInformationText(displayName, texts);
    return status;
}

bool loadGribAtStartup(const std::string& gribFolder, const std::string& displayName,
                       WindStore& store, const WindColorRamp& ramp, const TextProvider& texts,
                       RoutingParameters& parameters, std::string* error) {
    const std::string path = gribFolder + displayName;
    std::string text;
    if (error) error->clear();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return false; // no message: the dialog follows
    if (openForecast(path, store, ramp, parameters.lag, text) != GribLoadStatus::Ok) {
        if (error) *error = path + ": " + text;
        return false;
    }
    parameters.uniqueWind = false;
    store.rebuildInformationText(gribDisplayName(path), texts);
    return true;
}

void useConstantWind(WindStore& store, RoutingParameters& parameters) {
    parameters.uniqueWind = true;
    store.clear();
}

} // namespace navorel

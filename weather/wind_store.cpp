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
#include "weather/wind_frames.h"

namespace navorel {

const WindFrame& WindStore::wholeFrame(int k, WindFrame& scratch) const {
    const WindFrame& f = frames_[static_cast<std::size_t>(k)];
    if (!f.onDemand()) return f;
    blendFrames(frames_[static_cast<std::size_t>(f.from)], frames_[static_cast<std::size_t>(f.to)],
                f.step, f.span, scratch);
    return scratch;
}

std::size_t WindStore::storedPoints() const {
    std::size_t n = 0;
    for (const WindFrame& f : frames_) n += f.size();
    return n;
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

GribLoadStatus WindStore::loadRecords(std::vector<GribRecord>&& records,
                                      const WindColorRamp& ramp) {
    return buildFrames(records, &records, ramp);
}

GribLoadStatus WindStore::buildFrames(const std::vector<GribRecord>& records,
                                      std::vector<GribRecord>* owned, const WindColorRamp& ramp) {
    FramePlan plan;
    const GribLoadStatus planned = planFrames(records, plan);
    if (planned != GribLoadStatus::Ok) return planned;
    try {
        std::vector<WindFrame> decoded;
        const GribLoadStatus built = decodedFrames(records, owned, decoded);
        if (built != GribLoadStatus::Ok) return built;
        const int dropped = static_cast<int>(decoded.size() - plan.kept.size());
        std::vector<WindFrame> frames =
            hourlyFrames(decoded, plan, plan.hourlyPoints <= storedFramePoints_);

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
    case GribLoadStatus::SeveralMembers:
        return "the file holds several ensemble members: one forecast is one member, so the "
               "file is read as a set of forecasts (one per member)";
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

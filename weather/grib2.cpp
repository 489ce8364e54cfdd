#include "weather/grib2.h"

#include "weather/grib2_packing.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>
#include <set>
#include <vector>

#include <eccodes.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace navorel {
namespace {

// ecCodes' own messages would go to the terminal; a damaged message is reported by the
// decoder in its own words instead.
void quietLog(const codes_context*, int, const char*) {}

// ecCodes ends the program when one of its own checks fails inside a damaged message; here the
// check becomes an exception that refuses the message instead.
struct EcCodesCheckFailed {};
[[noreturn]] void throwOnCheck(const char*) {
    throw EcCodesCheckFailed{};
}

codes_context* quietContext() {
    static codes_context* const context = [] {
        codes_context* c = codes_context_get_default();
        codes_context_set_logging_proc(c, quietLog);
        codes_grib_multi_support_off(c);
        codes_set_codes_assertion_failed_proc(throwOnCheck);
        return c;
    }();
    return context;
}

// Parameter names and descriptions live as long as the program, as the tables' texts do.
const char* internText(const std::string& text) {
    static std::mutex mutex;
    static std::set<std::string> texts;
    const std::lock_guard<std::mutex> lock(mutex);
    return texts.insert(text).first->c_str();
}

struct Handle {
    codes_handle* h = nullptr;
    ~Handle() {
        if (h) codes_handle_delete(h);
    }
};

bool getLong(codes_handle* h, const char* key, long& value) {
    return codes_get_long(h, key, &value) == CODES_SUCCESS && value != CODES_MISSING_LONG;
}

bool getDouble(codes_handle* h, const char* key, double& value) {
    return codes_get_double(h, key, &value) == CODES_SUCCESS && value != CODES_MISSING_DOUBLE &&
           std::isfinite(value);
}

std::string getString(codes_handle* h, const char* key) {
    char text[256];
    std::size_t length = sizeof text;
    if (codes_get_string(h, key, text, &length) != CODES_SUCCESS) return {};
    return std::string(text);
}

float normaliseLongitude(double lon) {
    lon = std::fmod(lon, 360.0);
    if (lon < -180) lon += 360;
    if (lon > 180) lon -= 360;
    return float(lon);
}

// Minutes of one forecast time unit (code table 4.4); 0 for a unit of no fixed length.
double unitMinutes(long unit) {
    switch (unit) {
    case 0:
        return 1;
    case 1:
        return 60;
    case 2:
        return 1440;
    case 10:
        return 180;
    case 11:
        return 360;
    case 12:
        return 720;
    case 13:
        return 1.0 / 60;
    default:
        return 0;
    }
}

// The decoded values of a field: plain memory, or memory shared with a child process that
// decodes into it.
class ValueBuffer {
  public:
    ValueBuffer() = default;
    ValueBuffer(const ValueBuffer&) = delete;
    ValueBuffer& operator=(const ValueBuffer&) = delete;
    ~ValueBuffer() {
        if (shared_) ::munmap(shared_, bytes_);
    }
    bool allocate(std::size_t count, bool shared) {
        if (!shared) {
            plain_.resize(count);
            return true;
        }
        bytes_ = std::max<std::size_t>(count, 1) * sizeof(double);
        void* p =
            ::mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) return false;
        shared_ = static_cast<double*>(p);
        return true;
    }
    double* data() { return shared_ ? shared_ : plain_.data(); }

  private:
    std::vector<double> plain_;
    double* shared_ = nullptr;
    std::size_t bytes_ = 0;
};

// JPEG 2000 and CCSDS values come out of OpenJPEG and libaec, from entropy-coded data that no
// check short of decoding it can vouch for (the packing's parameters are checked before). They
// are decoded in a child process writing into `values` (shared memory): a fault of a library
// on a damaged stream ends the child, not the program, and the message is refused as damaged.
// The child runs only ecCodes' decoding and leaves with _exit, touching nothing else.
int decodeInChild(codes_handle* h, double* values, std::size_t& count) {
    std::size_t* got = static_cast<std::size_t*>(::mmap(
        nullptr, sizeof(std::size_t), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    if (got == MAP_FAILED) return CODES_OUT_OF_MEMORY;
    const pid_t pid = ::fork();
    if (pid == 0) {
        // A failed ecCodes check throws: it must end the child here, never unwind into the
        // program's own code.
        try {
            std::size_t n = count;
            const int result = codes_get_double_array(h, "values", values, &n);
            *got = n;
            ::_exit(result == CODES_SUCCESS ? 0 : 1);
        } catch (...) {
            ::_exit(2);
        }
    }
    int status = 0;
    pid_t waited = -1;
    if (pid > 0) {
        do {
            waited = ::waitpid(pid, &status, 0);
        } while (waited < 0 && errno == EINTR);
    }
    const bool ok = waited == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    count = ok ? *got : 0;
    ::munmap(got, sizeof(std::size_t));
    return ok ? CODES_SUCCESS : CODES_DECODING_ERROR;
}

// No grid of a message is read beyond this many points (a global tenth-of-a-degree grid has
// 6.5 million).
constexpr long long kMaxGrib2Points = 1ll << 26;

} // namespace

std::uint64_t grib2MessageLength(const std::uint8_t* msg, std::size_t available) {
    if (available < 16) return 0;
    std::uint64_t length = 0;
    for (int k = 8; k < 16; ++k) length = (length << 8) | msg[k];
    return length;
}

bool splitGrib2Fields(const std::uint8_t* msg, std::size_t length,
                      std::vector<std::vector<std::uint8_t>>& fields, std::string& error) {
    fields.clear();
    if (length < 16 + 4) {
        error = "damaged edition-2 message (sections)";
        return false;
    }
    // The latest section of each number 1-7 (offset and length) as the walk goes.
    std::size_t at[8] = {}, len[8] = {};
    std::size_t bitmapAt = 0, bitmapLen = 0; // the last bitmap given in full
    std::vector<std::vector<std::size_t>> parts;
    const std::size_t end = length - 4;
    std::size_t pos = 16;
    while (pos < end) {
        if (end - pos < 5) break;
        const std::uint64_t n = (std::uint64_t(msg[pos]) << 24) |
                                (std::uint64_t(msg[pos + 1]) << 16) |
                                (std::uint64_t(msg[pos + 2]) << 8) | msg[pos + 3];
        const int number = msg[pos + 4];
        if (n < 5 || n > end - pos || number < 1 || number > 7) break;
        at[number] = pos;
        len[number] = std::size_t(n);
        if (number == 6 && n >= 6 && msg[pos + 5] == 0) {
            bitmapAt = pos;
            bitmapLen = std::size_t(n);
        }
        if (number == 7) {
            if (!len[1] || !len[3] || !len[4] || !len[5] || !len[6]) break;
            // A bitmap "as before" (254) is the last one given in full.
            const bool previous = len[6] >= 6 && msg[at[6] + 5] == 254;
            if (previous && !bitmapLen) break;
            std::vector<std::size_t> part = {at[1], len[1]};
            if (len[2]) part.insert(part.end(), {at[2], len[2]});
            part.insert(part.end(), {at[3], len[3], at[4], len[4], at[5], len[5]});
            part.insert(part.end(), {previous ? bitmapAt : at[6], previous ? bitmapLen : len[6]});
            part.insert(part.end(), {at[7], len[7]});
            parts.push_back(std::move(part));
            len[7] = 0;
        }
        pos += std::size_t(n);
    }
    if (pos != end || parts.empty()) {
        error = "damaged edition-2 message (sections)";
        return false;
    }
    if (parts.size() == 1) return true;
    for (const auto& part : parts) {
        std::vector<std::uint8_t> field(msg, msg + 16);
        for (std::size_t k = 0; k < part.size(); k += 2)
            field.insert(field.end(), msg + part[k], msg + part[k] + part[k + 1]);
        field.insert(field.end(), {'7', '7', '7', '7'});
        std::uint64_t total = field.size();
        for (int k = 15; k >= 8; --k, total >>= 8) field[std::size_t(k)] = std::uint8_t(total);
        fields.push_back(std::move(field));
    }
    return true;
}

const char* oceanFieldName(long discipline, long category, long number) {
    if (discipline != 10) return nullptr;
    if (category == 1 && number == 2) return "UOGRD";
    if (category == 1 && number == 3) return "VOGRD";
    if (category == 0 && number == 3) return "HTSGW";
    if (category == 0 && number == 4) return "WVDIR";
    if (category == 0 && number == 10) return "DIRPW";
    if (category == 0 && number == 11) return "PERPW";
    return nullptr;
}

namespace {

bool decodeMessage(const std::uint8_t* msg, std::size_t length, bool withValues, GribRecord& r,
                   std::string& error) {
    auto fail = [&error](const std::string& text) {
        error = text;
        return false;
    };
    if (length < 16 + 4 || std::memcmp(msg + length - 4, "7777", 4) != 0)
        return fail("damaged edition-2 message (no end section)");
    if (!checkGrib2Packing(msg, length, error)) return false;
    Handle handle;
    handle.h = codes_handle_new_from_message(quietContext(), msg, length);
    codes_handle* h = handle.h;
    if (!h) return fail("damaged edition-2 message");

    const std::string gridType = getString(h, "gridType");
    if (gridType.empty() || gridType == "unknown")
        return fail("damaged edition-2 message (grid type unknown)");
    if (gridType != "regular_ll")
        return fail("grid type " + gridType +
                    " is not read (regular latitude/longitude grids only)");
    long ni = 0, nj = 0, points = 0;
    if (!getLong(h, "Ni", ni) || !getLong(h, "Nj", nj) || !getLong(h, "numberOfDataPoints", points))
        return fail("damaged edition-2 message (grid size)");
    if (ni < 1 || nj < 1 || ni > kMaxGrib2Points || nj > kMaxGrib2Points ||
        ni * nj > kMaxGrib2Points || points != ni * nj)
        return fail("damaged edition-2 message (grid size)");
    long iNegative = 0, jPositive = 0, jConsecutive = 0, alternate = 0;
    getLong(h, "iScansNegatively", iNegative);
    getLong(h, "jScansPositively", jPositive);
    getLong(h, "jPointsAreConsecutive", jConsecutive);
    getLong(h, "alternativeRowScanning", alternate);
    if (alternate) return fail("grid with alternating row scanning is not read");

    double latFirst = 0, latLast = 0, lonFirst = 0, lonLast = 0;
    if (!getDouble(h, "latitudeOfFirstGridPointInDegrees", latFirst) ||
        !getDouble(h, "latitudeOfLastGridPointInDegrees", latLast) ||
        !getDouble(h, "longitudeOfFirstGridPointInDegrees", lonFirst) ||
        !getDouble(h, "longitudeOfLastGridPointInDegrees", lonLast))
        return fail("damaged edition-2 message (grid corners)");
    double di = 0, dj = 0;
    if (!getDouble(h, "iDirectionIncrementInDegrees", di)) {
        // No increment given: the span eastwards from the western column.
        double span = iNegative ? lonFirst - lonLast : lonLast - lonFirst;
        span = std::fmod(span, 360.0);
        if (span < 0) span += 360.0;
        di = ni > 1 ? span / double(ni - 1) : 0;
    }
    if (!getDouble(h, "jDirectionIncrementInDegrees", dj))
        dj = nj > 1 ? std::fabs(latLast - latFirst) / double(nj - 1) : 0;

    long discipline = -1, category = -1, number = -1, surface = -1, level = 0;
    getLong(h, "discipline", discipline);
    getLong(h, "parameterCategory", category);
    getLong(h, "parameterNumber", number);
    getLong(h, "typeOfFirstFixedSurface", surface);
    getLong(h, "level", level);
    // The wind components 10 m above the ground are the built-in UGRD and VGRD.
    const bool wind10m = discipline == 0 && category == 2 && surface == 103 && level == 10;
    if (wind10m && number == 2) {
        r.name = kGribUgrd;
    } else if (wind10m && number == 3) {
        r.name = kGribVgrd;
    } else if (discipline == 0 && category == 2 && number == 22 && (wind10m || surface == 1)) {
        r.name = kGribGust; // the 10 m gust (some centres file it at the ground surface)
    } else if (const char* ocean = oceanFieldName(discipline, category, number)) {
        r.name = internText(ocean); // named as the edition-1 tables name them
    } else {
        const std::string shortName = getString(h, "shortName");
        r.name = internText(shortName.empty() ? "unknown" : shortName);
    }
    const std::string name = getString(h, "name"), units = getString(h, "units");
    r.description = internText(name + " [" + units + "]");
    r.parameter = int(number);
    long centre = 0, subcentre = 0, tables = 0;
    getLong(h, "centre", centre);
    getLong(h, "subCentre", subcentre);
    getLong(h, "tablesVersion", tables);
    r.centre = int(centre);
    r.subcentre = int(subcentre);
    r.tableVersion = int(tables);
    r.levelType = int(surface);
    r.level = int(level);
    long process = 0, product = 0;
    getLong(h, "generatingProcessIdentifier", process);
    r.process = int(process);
    // Members of an ensemble, each on its own (templates 4.1 and 4.11); the derived forecasts
    // over a whole ensemble (4.2, 4.12) name no member and stay plain records.
    getLong(h, "productDefinitionTemplateNumber", product);
    long member = -1, members = 0;
    if ((product == 1 || product == 11) && getLong(h, "perturbationNumber", member) &&
        member >= 0) {
        getLong(h, "numberOfForecastsInEnsemble", members);
        r.member = int(member);
        r.ensembleSize = int(std::max(0l, members));
    }

    long date = 0, time = 0;
    if (!getLong(h, "dataDate", date) || !getLong(h, "dataTime", time) || date < 0 || time < 0)
        return fail("damaged edition-2 message (reference time)");
    r.year = int(date / 10000);
    r.month = int(date / 100 % 100);
    r.day = int(date % 100);
    r.hour = int(time / 100);
    r.minute = int(time % 100);
    if (r.month < 1 || r.month > 12 || r.day < 1 || r.day > 31 || r.hour > 24 || r.minute > 59)
        return fail("damaged edition-2 message (reference time)");
    // The forecast time in whole hours, whatever unit the message counts it in.
    long unit = 1, forecastTime = 0;
    getLong(h, "indicatorOfUnitOfTimeRange", unit);
    getLong(h, "forecastTime", forecastTime);
    const double minutes = unitMinutes(unit);
    if (minutes == 0) return fail("forecast time unit " + std::to_string(unit) + " is not read");
    const double hours = std::floor(double(forecastTime) * minutes / 60.0 + 1e-9);
    if (!(std::fabs(hours) <= 1e6)) return fail("damaged edition-2 message (forecast time)");
    r.forecast = int(hours);
    r.unit = "hr";

    // Extents: west to east and south to north whatever the scanning directions.
    const double lonWest = iNegative ? lonLast : lonFirst;
    const double lonEast = iNegative ? lonFirst : lonLast;
    r.lon1 = normaliseLongitude(lonWest);
    r.lon2 = normaliseLongitude(lonEast);
    r.lat1 = float(std::min(latFirst, latLast));
    r.lat2 = float(std::max(latFirst, latLast));
    r.di = float(std::fabs(di));
    r.dj = float(std::fabs(dj));
    r.nx = int(ni);
    r.ny = int(nj);
    r.valueCount = std::size_t(points);
    if (!withValues) return true;

    std::size_t count = std::size_t(points);
    long packing = 0, bits = 0;
    getLong(h, "dataRepresentationTemplateNumber", packing);
    getLong(h, "bitsPerValue", bits);
    const bool isolated = (packing == 40 || packing == 42) && bits > 0;
    ValueBuffer values;
    try {
        if (!values.allocate(count, isolated)) return fail("Ran out of memory");
        r.values.resize(count);
    } catch (const std::bad_alloc&) {
        return fail("Ran out of memory");
    }
    // Absent points come out as the decoder's missing value.
    codes_set_double(h, "missingValue", double(kGribMissing));
    const int got = isolated ? decodeInChild(h, values.data(), count)
                             : codes_get_double_array(h, "values", values.data(), &count);
    if (got != CODES_SUCCESS || count != std::size_t(points))
        return fail("damaged edition-2 message (values)");
    const std::size_t nx = std::size_t(ni), ny = std::size_t(nj);
    float* out = r.values.data();
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t fi = jConsecutive ? k / ny : k % nx;
        const std::size_t fj = jConsecutive ? k % ny : k / nx;
        const std::size_t col = iNegative ? nx - 1 - fi : fi;
        const std::size_t row = jPositive ? fj : ny - 1 - fj;
        const double v = values.data()[k];
        out[row * nx + col] =
            (v == double(kGribMissing) || !std::isfinite(v)) ? kGribMissing : float(v);
    }
    return true;
}

} // namespace

bool decodeGrib2Message(const std::uint8_t* msg, std::size_t length, bool withValues, GribRecord& r,
                        std::string& error) {
    try {
        return decodeMessage(msg, length, withValues, r, error);
    } catch (const EcCodesCheckFailed&) {
        r.values.clear();
        error = "damaged edition-2 message";
        return false;
    }
}

} // namespace navorel

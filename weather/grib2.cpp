#include "weather/grib2.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>
#include <set>
#include <vector>

#include <eccodes.h>

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

namespace {

std::uint64_t readBE(const std::uint8_t* p, int octets) {
    std::uint64_t v = 0;
    for (int k = 0; k < octets; ++k) v = (v << 8) | p[k];
    return v;
}

// `bits` (0..32) bits from bit `pos` of `data`, most significant first; the caller has checked
// that they lie inside the data.
std::uint32_t readBits(const std::uint8_t* data, std::uint64_t pos, int bits) {
    std::uint64_t v = 0;
    for (int k = 0; k < bits; ++k, ++pos) v = (v << 1) | ((data[pos >> 3] >> (7 - (pos & 7))) & 1);
    return std::uint32_t(v);
}

// The packed values of a one-field message must lie inside its data section before ecCodes
// unpacks them: its complex unpacking trusts the group counts and reads past the section (or
// stops the program) when they lie.
bool checkPacking(const std::uint8_t* msg, std::size_t length, std::string& error) {
    const std::uint8_t* sec[8] = {};
    std::size_t len[8] = {};
    for (std::size_t pos = 16; pos + 5 <= length - 4;) {
        const std::size_t n = std::size_t(readBE(msg + pos, 4));
        const int number = msg[pos + 4];
        if (n < 5 || n > length - 4 - pos || number < 1 || number > 7) break;
        sec[number] = msg + pos;
        len[number] = n;
        pos += n;
    }
    auto damaged = [&error](const char* what) {
        error = std::string("damaged edition-2 message (") + what + ")";
        return false;
    };
    if (!sec[3] || !sec[5] || !sec[6] || !sec[7] || len[3] < 14 || len[5] < 21 || len[6] < 6)
        return damaged("sections");
    const std::uint64_t points = readBE(sec[3] + 6, 4);
    const std::uint64_t packed = readBE(sec[5] + 5, 4);
    // The values packed are the points the bitmap keeps (all without a bitmap).
    std::uint64_t present = points;
    if (sec[6][5] == 0) {
        if ((len[6] - 6) * 8 < points) return damaged("bitmap");
        present = 0;
        const std::uint8_t* bitmap = sec[6] + 6;
        for (std::uint64_t i = 0; i < points; ++i) present += (bitmap[i >> 3] >> (7 - (i & 7))) & 1;
    } else if (sec[6][5] != 255) {
        return damaged("bitmap");
    }
    if (packed != present) return damaged("value count");
    const int templateNumber = int(readBE(sec[5] + 9, 2));
    const int bits = sec[5][19];
    const std::uint64_t dataBits = std::uint64_t(len[7] - 5) * 8;
    const std::uint8_t* data = sec[7] + 5;
    if (templateNumber == 0) {
        if (bits > 32 || packed * std::uint64_t(bits) > dataBits)
            return damaged("packed values pass the data section");
    } else if (templateNumber == 2 || templateNumber == 3) {
        if (len[5] < (templateNumber == 3 ? 49u : 47u)) return damaged("sections");
        const std::uint64_t groups = readBE(sec[5] + 31, 4);
        const int widthBits = sec[5][36], lengthBits = sec[5][46];
        const std::uint64_t widthReference = sec[5][35], lengthReference = readBE(sec[5] + 37, 4);
        const std::uint64_t lengthStep = sec[5][41], lastLength = readBE(sec[5] + 42, 4);
        if (bits > 32 || widthBits > 32 || lengthBits > 32 || groups > packed + 1)
            return damaged("packed values pass the data section");
        std::uint64_t pos = 0;
        if (templateNumber == 3) pos = 8 * std::uint64_t(sec[5][47] + 1) * sec[5][48];
        const auto octet = [](std::uint64_t p) { return (p + 7) / 8 * 8; };
        const std::uint64_t widthsAt = octet(pos + groups * std::uint64_t(bits));
        const std::uint64_t lengthsAt = octet(widthsAt + groups * std::uint64_t(widthBits));
        std::uint64_t valuesAt = octet(lengthsAt + groups * std::uint64_t(lengthBits));
        if (valuesAt > dataBits) return damaged("packed values pass the data section");
        std::uint64_t count = 0, valueBits = 0;
        for (std::uint64_t g = 0; g < groups; ++g) {
            const std::uint64_t width =
                widthReference + readBits(data, widthsAt + g * std::uint64_t(widthBits), widthBits);
            const std::uint64_t n =
                g + 1 == groups
                    ? lastLength
                    : lengthReference +
                          lengthStep *
                              readBits(data, lengthsAt + g * std::uint64_t(lengthBits), lengthBits);
            if (width > 32) return damaged("packed values pass the data section");
            count += n;
            if (count > packed) return damaged("value count");
            valueBits += n * width;
        }
        if (count != packed || valuesAt + valueBits > dataBits)
            return damaged("packed values pass the data section");
    }
    return true;
}

bool decodeMessage(const std::uint8_t* msg, std::size_t length, bool withValues, GribRecord& r,
                   std::string& error) {
    auto fail = [&error](const std::string& text) {
        error = text;
        return false;
    };
    if (length < 16 + 4 || std::memcmp(msg + length - 4, "7777", 4) != 0)
        return fail("damaged edition-2 message (no end section)");
    if (!checkPacking(msg, length, error)) return false;
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

    std::vector<double> values;
    std::size_t count = std::size_t(points);
    try {
        values.resize(count);
        r.values.resize(count);
    } catch (const std::bad_alloc&) {
        return fail("Ran out of memory");
    }
    // Absent points come out as the decoder's missing value.
    codes_set_double(h, "missingValue", double(kGribMissing));
    if (codes_get_double_array(h, "values", values.data(), &count) != CODES_SUCCESS ||
        count != std::size_t(points))
        return fail("damaged edition-2 message (values)");
    const std::size_t nx = std::size_t(ni), ny = std::size_t(nj);
    float* out = r.values.data();
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t fi = jConsecutive ? k / ny : k % nx;
        const std::size_t fj = jConsecutive ? k % ny : k / nx;
        const std::size_t col = iNegative ? nx - 1 - fi : fi;
        const std::size_t row = jPositive ? fj : ny - 1 - fj;
        const double v = values[k];
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

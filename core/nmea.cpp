#include "core/nmea.h"

#include "core/datetime.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace navorel {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A decimal number that fills the whole field ("" and "12x" do not read); finite only.
bool readNumber(std::string_view field, double& value) {
    if (field.empty()) return false;
    const char* end = field.data() + field.size();
    const auto [ptr, ec] = std::from_chars(field.data(), end, value, std::chars_format::fixed);
    return ec == std::errc() && ptr == end && std::isfinite(value);
}

// ddmm.mmmm (or dddmm.mmmm) as degrees; false for minutes of 60 or more or past `limit`.
bool readAngle(std::string_view field, double limit, double& degrees) {
    double v;
    if (!readNumber(field, v) || v < 0) return false;
    const double whole = std::floor(v);
    const double minutes = std::fmod(whole, 100.0) + (v - whole);
    if (minutes >= 60.0) return false;
    degrees = std::floor(whole / 100.0) + minutes / 60.0;
    return degrees <= limit;
}

// A run of exactly `count` digits as a number.
bool readDigits(std::string_view text, std::size_t count, int& value) {
    if (text.size() < count) return false;
    value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

// hhmmss[.sss] and ddmmyy as a day number.
bool readTime(std::string_view time, std::string_view date, double& day) {
    int h, mi, s, d, mo, y;
    if (!readDigits(time, 2, h) || !readDigits(time.substr(2), 2, mi) ||
        !readDigits(time.substr(4), 2, s) || date.size() != 6 || !readDigits(date, 2, d) ||
        !readDigits(date.substr(2), 2, mo) || !readDigits(date.substr(4), 2, y))
        return false;
    double fraction = 0;
    if (time.size() > 6) {
        if (time[6] != '.' || !readNumber(time.substr(6), fraction)) return false;
    }
    static const int monthDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int year = y >= 80 ? 1900 + y : 2000 + y;
    if (h > 23 || mi > 59 || s > 60 || mo < 1 || mo > 12 || d < 1 || d > monthDays[mo - 1] ||
        (mo == 2 && d == 29 && year % 4 != 0))
        return false;
    day = dayNumber(d, mo, year, h, mi, s) + fraction * kSecondInDays;
    return true;
}

} // namespace

bool nmeaChecksumValid(std::string_view sentence) {
    if (sentence.size() < 4 || sentence[0] != '$') return false;
    const std::size_t star = sentence.size() - 3;
    if (sentence[star] != '*') return false;
    const int high = hexDigit(sentence[star + 1]), low = hexDigit(sentence[star + 2]);
    if (high < 0 || low < 0) return false;
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(sentence[i]);
    return sum == static_cast<unsigned>(high * 16 + low);
}

bool parseRmc(std::string_view sentence, GpsFix& fix) {
    fix = GpsFix{};
    // "$" + two talker characters + "RMC,".
    if (sentence.size() < 7 || sentence[0] != '$' || sentence.substr(3, 4) != "RMC,") return false;
    for (const char c : sentence)
        if (c < 0x20 || c > 0x7e) return false;
    if (!nmeaChecksumValid(sentence)) return false;

    // Fields between "RMC," and "*hh", numbered from 1.
    const std::string_view body = sentence.substr(7, sentence.size() - 10);
    std::vector<std::string_view> fields{{}};
    std::size_t start = 0;
    for (std::size_t comma; (comma = body.find(',', start)) != std::string_view::npos;
         start = comma + 1)
        fields.push_back(body.substr(start, comma - start));
    fields.push_back(body.substr(start));
    const auto field = [&](std::size_t n) {
        return n < fields.size() ? fields[n] : std::string_view{};
    };

    if (field(2) != "A") return false; // V: no fix

    double lat;
    if (!readAngle(field(3), 90.0, lat) || (field(4) != "N" && field(4) != "S")) return false;
    fix.lat = field(4) == "S" ? -lat : lat;
    fix.values = 1;
    fix.hasTime = readTime(field(1), field(9), fix.time);

    double lon;
    if (!readAngle(field(5), 180.0, lon) || (field(6) != "E" && field(6) != "W")) return true;
    fix.lon = field(6) == "W" ? -lon : lon;
    fix.values = 2;

    if (!readNumber(field(7), fix.speed) || fix.speed < 0) return true;
    fix.values = 3;

    if (!readNumber(field(8), fix.course) || fix.course < 0 || fix.course > 360) return true;
    fix.values = 4;
    return true;
}

std::size_t NmeaReader::feed(std::string_view bytes, const FixHandler& onFix) {
    std::size_t fixes = 0;
    for (const char c : bytes) {
        if (c == '$') {
            // A new sentence begins; one still open ends here without its line end.
            if (inSentence_) finishSentence(onFix, fixes);
            line_.assign(1, c);
            inSentence_ = true;
        } else if (c == '\r' || c == '\n') {
            if (inSentence_) finishSentence(onFix, fixes);
            inSentence_ = false;
            line_.clear();
        } else if (inSentence_) {
            // The line end is two more characters.
            if (line_.size() + 2 >= kNmeaMaxSentence) {
                ++counts_.overlong;
                inSentence_ = false;
                line_.clear();
            } else {
                line_.push_back(c);
            }
        }
    }
    return fixes;
}

void NmeaReader::finishSentence(const FixHandler& onFix, std::size_t& fixes) {
    ++counts_.sentences;
    const std::string_view sentence = line_;
    if (!nmeaChecksumValid(sentence)) {
        ++counts_.badChecksum;
        return;
    }
    GpsFix fix;
    if (!parseRmc(sentence, fix)) return;
    ++counts_.fixes;
    ++fixes;
    if (onFix) onFix(fix);
}

void NmeaReader::reset() {
    line_.clear();
    inSentence_ = false;
}

void foldFix(GpsFix& held, const GpsFix& later) {
    if (!later.hasPosition()) return;
    if (later.values >= held.values) {
        held = later;
        return;
    }
    held.lat = later.lat;
    held.lon = later.lon;
    if (later.hasSpeed()) held.speed = later.speed;
    held.hasTime = later.hasTime;
    held.time = later.time;
}

void GpsBoat::apply(const GpsFix& fix) {
    if (fix.values >= 1) lat.store(static_cast<float>(fix.lat));
    if (fix.values >= 2) {
        lon.store(static_cast<float>(fix.lon));
        hasFix.store(true);
    }
    if (fix.values >= 3) speed.store(static_cast<float>(fix.speed));
    if (fix.values >= 4) course.store(static_cast<float>(fix.course));
    if (fix.hasTime && fix.time >= 0)
        seconds.store(static_cast<std::uint32_t>(std::floor(fix.time * 86400.0 + 1e-6)));
}

void GpsBoat::clear() {
    hasFix.store(false);
    lat.store(0.0f);
    lon.store(0.0f);
    speed.store(0.0f);
    course.store(0.0f);
    seconds.store(0);
}

} // namespace navorel

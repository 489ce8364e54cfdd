#include "core/position_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace navorel {

namespace {

const char* const kDegree = "\xC2\xB0";

struct Parts {
    int degrees, minutes, fraction;
};

// Whole degrees, whole minutes and a sub-unit of the minute (scale 10000 for
// ten-thousandths, 60 for seconds), all truncated toward zero, of the magnitude.
Parts split(double v, double scale) {
    double a = std::fabs(v);
    if (!(a <= 1e6)) a = 0; // not a position: no out-of-range conversion to int
    const double deg = std::trunc(a);
    const double min = (a - deg) * 60.0;
    const double wholeMin = std::trunc(min);
    return {static_cast<int>(deg), static_cast<int>(wholeMin),
            static_cast<int>(std::trunc((min - wholeMin) * scale))};
}

double frac(double x) {
    return x - std::trunc(x);
}

} // namespace

std::string formatPosition(double lat, double lon) {
    if (std::isfinite(lon)) {
        lon = std::fmod(lon, 360.0);
        if (lon >= 180.0) lon -= 360.0;
        if (lon < -180.0) lon += 360.0;
    }
    const Parts a = split(lat, 10000.0), o = split(lon, 10000.0);
    char buf[96];
    std::snprintf(buf, sizeof buf, "%02d%s%c %02d' %04d - %03d%s%c %02d' %04d", a.degrees, kDegree,
                  lat > 0 ? 'N' : 'S', a.minutes, a.fraction, o.degrees, kDegree,
                  lon >= 0 ? 'E' : 'W', o.minutes, o.fraction);
    return buf;
}

std::string formatLatitudeDms(double lat) {
    const Parts p = split(lat, 60.0);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02d%s%c %02d'%02d\"", p.degrees, kDegree, lat > 0 ? 'N' : 'S',
                  p.minutes, p.fraction);
    return buf;
}

std::string formatLongitudeDms(double lon) {
    const Parts p = split(lon, 60.0);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%03d%s%c %02d'%02d\"", p.degrees, kDegree, lon > 0 ? 'E' : 'W',
                  p.minutes, p.fraction);
    return buf;
}

const char* CoordinateText::latitudePattern(int formatLatLon) {
    switch (formatLatLon) {
    case 1:
        return "%H %02D %02M %02S";
    case 2:
        return "%2.8c";
    default:
        return "%H %02D %02.3m";
    }
}

const char* CoordinateText::longitudePattern(int formatLatLon) {
    switch (formatLatLon) {
    case 1:
        return "%H %03D %02M %02S";
    case 2:
        return "%3.8c";
    default:
        return "%H %03D %02.3m";
    }
}

void CoordinateText::setInvalid() {
    kind_ = Kind::Invalid;
    text_.clear();
    value_ = 0;
}

void CoordinateText::format(double value, Kind kind, const std::string& patternIn) {
    if (kind == Kind::Invalid || !(value >= -180.0 && value <= 180.0)) {
        setInvalid();
        return;
    }
    const std::string pattern =
        patternIn.empty() ? (kind == Kind::Latitude ? latitudePattern(0) : longitudePattern(0))
                          : patternIn;
    const double mag = std::fabs(value);
    std::string out;
    char buf[64];
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            out += pattern[i];
            continue;
        }
        // Flags, width and precision up to the conversion letter.
        std::size_t j = i + 1;
        std::string flags;
        while (j < pattern.size() && std::strchr("-+ 0#", pattern[j])) flags += pattern[j++];
        int width = 0, precision = -1;
        while (j < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[j])))
            width = width * 10 + (pattern[j++] - '0');
        if (j < pattern.size() && pattern[j] == '.') {
            precision = 0;
            ++j;
            while (j < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[j])))
                precision = precision * 10 + (pattern[j++] - '0');
        }
        if (j >= pattern.size() || !std::strchr("HDMSChdmsc%", pattern[j])) {
            out.append(pattern, i, j - i); // not a conversion: copied as it stands
            i = j - 1;
            continue;
        }
        const char letter = pattern[j];
        i = j;
        width = width > 40 ? 40 : width;
        precision = precision > 12 ? 12 : precision;
        auto integer = [&](long long v) {
            std::snprintf(buf, sizeof buf,
                          ("%" + flags + (width ? std::to_string(width) : "") + "lld").c_str(), v);
            out += buf;
        };
        auto real = [&](double v) {
            // The width counts the whole part, so that "%02.3m" pads the minutes to two digits.
            const int p = precision < 0 ? 6 : precision;
            const int total = width ? width + (p > 0 ? p + 1 : 0) + (v < 0 ? 1 : 0) : 0;
            std::snprintf(
                buf, sizeof buf,
                ("%" + flags + (total ? std::to_string(total) : "") + "." + std::to_string(p) + "f")
                    .c_str(),
                v);
            out += buf;
        };
        switch (letter) {
        case 'H':
        case 'h':
            if (kind == Kind::Latitude)
                out += value > 0 ? 'N' : 'S';
            else
                out += value >= 0 ? 'E' : 'W';
            break;
        case 'D':
            integer(static_cast<long long>(std::trunc(mag + 1e-8)));
            break;
        case 'C':
            integer(static_cast<long long>(std::trunc(value)));
            break;
        case 'M':
            integer(static_cast<long long>(std::trunc(frac(mag + 1e-8) * 60.0)));
            break;
        case 'S':
            integer(static_cast<long long>(std::trunc(frac(mag * 60.0 + 1e-8) * 60.0 + 0.5)));
            break;
        case 'd':
            real(mag);
            break;
        case 'c':
            real(value);
            break;
        case 'm':
            real(frac(mag + 1e-8) * 60.0);
            break;
        case 's':
            real(frac(mag * 60.0 + 1e-8) * 60.0);
            break;
        default:
            out += '%';
            break;
        }
    }
    kind_ = kind;
    text_ = out;
    value_ = value;
}

void CoordinateText::finish(double degrees, double minutes, double seconds, double sign,
                            Kind kind) {
    if (!(degrees >= 0 && degrees <= 180 && minutes >= 0 && minutes <= 60 && seconds >= 0 &&
          seconds <= 60) ||
        kind == Kind::Invalid) {
        setInvalid();
        return;
    }
    kind_ = kind;
    value_ = (degrees + minutes / 60.0 + seconds / 3600.0) * sign;
}

void CoordinateText::parse(const std::string& text, Kind kindIfNoLetter) {
    text_ = text;
    Kind kind = kindIfNoLetter;
    double sign = 1.0;
    const std::size_t letter = text.find_first_of("NSEW");
    if (letter != std::string::npos) {
        const char c = text[letter];
        kind = (c == 'N' || c == 'S') ? Kind::Latitude : Kind::Longitude;
        if (c == 'S' || c == 'W') sign = -1.0;
    } else {
        const std::size_t blank = text.find_first_of(" \t");
        if (blank != std::string::npos && blank + 1 < text.size() && text[blank + 1] == '-')
            sign = -1.0;
        // The decimal format writes a negative value as "-45.50000000", with no blank
        // before its sign.
        const std::size_t first = text.find_first_not_of(" \t");
        if (first != std::string::npos && text[first] == '-') sign = -1.0;
    }
    double numbers[3] = {0, 0, 0};
    std::size_t pos = 0;
    for (double& n : numbers) {
        pos = text.find_first_of("0123456789.", pos);
        if (pos == std::string::npos) break;
        const std::size_t end = text.find_first_not_of("0123456789.", pos);
        const std::string run =
            text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        n = std::strtod(run.c_str(), nullptr);
        pos = end == std::string::npos ? text.size() : end;
    }
    finish(numbers[0], numbers[1], numbers[2], sign, kind);
    if (!valid()) text_.clear();
}

void CoordinateText::parse(const std::string& text, const std::string& pattern,
                           Kind kindIfNoLetter) {
    text_ = text;
    Kind kind = kindIfNoLetter;
    double sign = 1.0;
    double whole[3] = {0, 0, 0}, decimal[3] = {0, 0, 0}, scale[3] = {0.1, 0.1, 0.1};
    const std::size_t n = pattern.size() < text.size() ? pattern.size() : text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char p = pattern[i], c = text[i];
        const char* unit = std::strchr("DMS", p);
        const char* unitDecimal = std::strchr("dms", p);
        const bool digit = c >= '0' && c <= '9';
        if (p == 'H' || p == 'h') {
            if (c == 'N' || c == 'S') kind = Kind::Latitude;
            if (c == 'E' || c == 'W') kind = Kind::Longitude;
            if (c == 'S' || c == 'W') sign = -1.0;
        } else if (p != '\0' && unit && digit) {
            const int k = static_cast<int>(unit - "DMS");
            whole[k] = whole[k] * 10 + (c - '0');
        } else if (p != '\0' && unitDecimal && digit) {
            const int k = static_cast<int>(unitDecimal - "dms");
            decimal[k] += (c - '0') * scale[k];
            scale[k] /= 10;
        }
    }
    finish(whole[0] + decimal[0], whole[1] + decimal[1], whole[2] + decimal[2], sign, kind);
    if (!valid()) text_.clear();
}

} // namespace navorel

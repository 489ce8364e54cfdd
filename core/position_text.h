#pragma once
// Positions as text: the status-bar format, the degree-minute-second format of the GRIB
// information, and the coordinate text of the waypoint dialog (format with a pattern, parse
// with or without one). Texts are UTF-8; the degree sign is U+00B0.
#include <string>

namespace navorel {

// "45°S 30' 0000 - 000°W 15' 0000": degrees, minutes and ten-thousandths of a minute.
std::string formatPosition(double lat, double lon);
// "46°N 30'00\"" and "070°W 15'00\"".
std::string formatLatitudeDms(double lat);
std::string formatLongitudeDms(double lon);

class CoordinateText {
public:
    enum class Kind { Invalid, Longitude, Latitude };

    // Formats value with a pattern made of text and conversions %H %D %M %S %C (whole
    // values) and %d %m %s %c (reals), with printf widths and precisions; for the reals the
    // width is that of the whole part ("%02.3m" gives "06.123"). An empty pattern formats
    // degrees and decimal minutes. A value outside -180..180 makes the object invalid.
    void format(double value, Kind kind, const std::string& pattern);

    // Reads hemisphere letter, degrees, minutes and seconds; kindIfNoLetter is the kind of a
    // text without N, S, E or W.
    void parse(const std::string& text, Kind kindIfNoLetter = Kind::Latitude);
    // Reads the text position by position against a pattern of D M S (whole digits),
    // d m s (decimal digits) and H (hemisphere letter).
    void parse(const std::string& text, const std::string& pattern,
               Kind kindIfNoLetter = Kind::Latitude);

    Kind kind() const { return kind_; }
    bool valid() const { return kind_ != Kind::Invalid; }
    const std::string& text() const { return text_; }
    double value() const { return value_; }

    // The patterns of the FormatLatLon setting (0, 1, 2).
    static const char* latitudePattern(int formatLatLon);
    static const char* longitudePattern(int formatLatLon);

private:
    void setInvalid();
    void finish(double degrees, double minutes, double seconds, double sign, Kind kind);

    Kind kind_ = Kind::Invalid;
    std::string text_;
    double value_ = 0;
};

} // namespace navorel

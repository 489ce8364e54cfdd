#pragma once
// Colour tables: the named colours the option dialogs offer and the wind colour scale from
// which the wind map's colour ramp is built. Colours are 0x00BBGGRR (red in the low byte).
// Both lists fall back to built-in defaults when their file is missing.
#include <cstdint>
#include <string>
#include <vector>

namespace navorel {

// 0x00BBGGRR helpers.
constexpr std::uint32_t rgbColor(int red, int green, int blue) {
    return static_cast<std::uint32_t>(red & 255) | static_cast<std::uint32_t>(green & 255) << 8 |
           static_cast<std::uint32_t>(blue & 255) << 16;
}
constexpr int redOf(std::uint32_t c) {
    return static_cast<int>(c & 255);
}
constexpr int greenOf(std::uint32_t c) {
    return static_cast<int>((c >> 8) & 255);
}
constexpr int blueOf(std::uint32_t c) {
    return static_cast<int>((c >> 16) & 255);
}

// A drawing colour, components 0..255.
struct OpaqueColor {
    std::uint8_t red = 0, green = 0, blue = 0, alpha = 255;
    bool operator==(const OpaqueColor&) const = default;
};
OpaqueColor toOpaque(std::uint32_t bgr);

struct NamedColor {
    std::string name;
    std::uint32_t color = 0; // 0x00BBGGRR
};

struct WindScale {
    std::vector<std::uint32_t> colors; // 0x00BBGGRR, weakest wind first
    int interval = 3;                  // ramp steps (knots) between two scale colours
};

// The wind map's colours, rebuilt with the wind store.
struct WindColorRamp {
    std::vector<OpaqueColor> scale; // the scale colours
    std::vector<OpaqueColor> ramp;  // interval x (scale colours - 1) entries, one per knot
    OpaqueColor sea;                // places without wind
    int interval = 3;
};

constexpr std::uint32_t kDefaultSeaColor = 0xF2D09D; // [Map] ColorSea
inline const char* const kDefaultWindScaleFile = "Winds10.txt";

// The 139 built-in named colours (black ... lightpink).
const std::vector<NamedColor>& builtinNamedColors();
// The built-in wind scale: 26 colours, interval 3.
WindScale builtinWindScale();

class ColorTable {
  public:
    // Reads <colorsFolder>/Common.txt ("name = red green blue" per line) or takes the built-in
    // list when the file cannot be opened. Lines without a name and three integers are skipped;
    // components are clipped to 0..255. Answers true when the file was read.
    bool loadNamedColors(const std::string& colorsFolder);
    // Reads <colorsFolder>/<fileName> ("RGB/r,g,b" and "INTERVAL/n" lines) or takes the
    // built-in scale when the file cannot be opened. Without an INTERVAL line the interval
    // in force before the load stays. Answers true when the file was read.
    bool loadWindScale(const std::string& colorsFolder, const std::string& fileName);

    const std::vector<NamedColor>& namedColors() const { return named_; }
    const WindScale& windScale() const { return scale_; }
    // The named colour of that name; false when there is none.
    bool findColor(const std::string& name, std::uint32_t& color) const;

  private:
    std::vector<NamedColor> named_;
    WindScale scale_ = builtinWindScale();
};

// The ramp: scale colour j at entry j x interval, the steps between blended per component
// with integer division; the last scale colour is not itself an entry. A scale of fewer
// than two colours or an interval below 1 gives an empty ramp.
WindColorRamp buildRamp(const WindScale& scale, std::uint32_t seaColor);

// The wind map's colour of a wind (knots, after the intensity factor): ramp entry floor(v)
// with one colour per knot, else scale colour floor(v / interval); both clipped to the
// table. The sea colour when `found` is false or the table is empty.
OpaqueColor windColor(const WindColorRamp& ramp, bool found, double knots, bool oneColorPerKnot);

} // namespace navorel

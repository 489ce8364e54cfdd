#include "weather/color_table.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "core/file_check.h"

namespace navorel {
namespace {

// Lines of the colour files are read up to this many characters; the rest of a longer line
// is ignored.
constexpr std::size_t kLineLimit = 49;

struct BuiltinColor {
    const char* name;
    int r, g, b;
};

// CSS named colours, ordered by hue the way the option dialogs list them.
constexpr BuiltinColor kBuiltinColors[] = {
    {"black", 0, 0, 0},
    {"dimgray", 105, 105, 105},
    {"gray", 128, 128, 128},
    {"darkgray", 169, 169, 169},
    {"silver", 192, 192, 192},
    {"lightgray", 211, 211, 211},
    {"gainsboro", 220, 220, 220},
    {"whitesmoke", 245, 245, 245},
    {"white", 255, 255, 255},
    {"rosybrown", 188, 143, 143},
    {"lightcoral", 240, 128, 128},
    {"indianred", 205, 92, 92},
    {"brown", 165, 42, 42},
    {"firebrick", 178, 34, 34},
    {"maroon", 128, 0, 0},
    {"darkred", 139, 0, 0},
    {"red", 255, 0, 0},
    {"mistyrose", 255, 228, 225},
    {"salmon", 250, 128, 114},
    {"tomato", 255, 99, 71},
    {"darksalmon", 233, 150, 122},
    {"coral", 255, 127, 80},
    {"lightsalmon", 255, 160, 122},
    {"orangered", 255, 69, 0},
    {"sienna", 160, 82, 45},
    {"seashell", 255, 245, 238},
    {"chocolate", 210, 105, 30},
    {"saddlebrown", 139, 69, 19},
    {"peachpuff", 255, 218, 185},
    {"sandybrown", 244, 164, 96},
    {"linen", 250, 240, 230},
    {"peru", 205, 133, 63},
    {"bisque", 255, 228, 196},
    {"darkorange", 255, 140, 0},
    {"antiquewhite", 250, 235, 215},
    {"tan", 210, 180, 140},
    {"burlywood", 222, 184, 135},
    {"navajowhite", 255, 222, 173},
    {"papayawhip", 255, 239, 213},
    {"blanchedalmond", 255, 235, 205},
    {"moccasin", 255, 228, 181},
    {"floralwhite", 255, 250, 240},
    {"oldlace", 253, 245, 230},
    {"wheat", 245, 222, 179},
    {"orange", 255, 165, 0},
    {"goldenrod", 218, 165, 32},
    {"darkgoldenrod", 184, 134, 11},
    {"cornsilk", 255, 248, 220},
    {"gold", 255, 215, 0},
    {"lemonchiffon", 255, 250, 205},
    {"khaki", 240, 230, 140},
    {"palegoldenrod", 238, 232, 170},
    {"darkkhaki", 189, 183, 107},
    {"ivory", 255, 255, 240},
    {"beige", 245, 245, 220},
    {"lightyellow", 255, 255, 224},
    {"lightgoldenrodyellow", 250, 250, 210},
    {"olive", 128, 128, 0},
    {"yellow", 255, 255, 0},
    {"olivedrab", 107, 142, 35},
    {"yellowgreen", 154, 205, 50},
    {"darkolivegreen", 85, 107, 47},
    {"greenyellow", 173, 255, 47},
    {"lawngreen", 124, 252, 0},
    {"chartreuse", 127, 255, 0},
    {"honeydew", 240, 255, 240},
    {"darkseagreen", 143, 188, 143},
    {"lightgreen", 144, 238, 144},
    {"palegreen", 152, 251, 152},
    {"forestgreen", 34, 139, 34},
    {"limegreen", 50, 205, 50},
    {"darkgreen", 0, 100, 0},
    {"green", 0, 128, 0},
    {"lime", 0, 255, 0},
    {"mediumseagreen", 60, 179, 113},
    {"seagreen", 46, 139, 87},
    {"mintcream", 245, 255, 250},
    {"springgreen", 0, 255, 127},
    {"mediumspringgreen", 0, 250, 154},
    {"mediumaquamarine", 102, 205, 170},
    {"aquamarine", 127, 255, 212},
    {"turquoise", 64, 224, 208},
    {"lightseagreen", 32, 178, 170},
    {"mediumturquoise", 72, 209, 204},
    {"azure", 240, 255, 255},
    {"lightcyan", 224, 255, 255},
    {"paleturquoise", 175, 238, 238},
    {"darkslategray", 47, 79, 79},
    {"teal", 0, 128, 128},
    {"darkcyan", 0, 139, 139},
    {"darkturquoise", 0, 206, 209},
    {"cyan", 0, 255, 255},
    {"aqua", 0, 255, 255},
    {"cadetblue", 95, 158, 160},
    {"powderblue", 176, 224, 230},
    {"lightblue", 173, 216, 230},
    {"deepskyblue", 0, 191, 255},
    {"skyblue", 135, 206, 235},
    {"lightskyblue", 135, 206, 250},
    {"aliceblue", 240, 248, 255},
    {"steelblue", 70, 130, 180},
    {"dodgerblue", 30, 144, 255},
    {"slategray", 112, 128, 144},
    {"lightslategray", 119, 136, 153},
    {"lightsteelblue", 176, 196, 222},
    {"cornflowerblue", 100, 149, 237},
    {"royalblue", 65, 105, 225},
    {"ghostwhite", 248, 248, 255},
    {"lavender", 230, 230, 250},
    {"midnightblue", 25, 25, 112},
    {"navy", 0, 0, 128},
    {"darkblue", 0, 0, 139},
    {"mediumblue", 0, 0, 205},
    {"blue", 0, 0, 255},
    {"darkslateblue", 72, 61, 139},
    {"slateblue", 106, 90, 205},
    {"mediumslateblue", 123, 104, 238},
    {"mediumpurple", 147, 112, 219},
    {"blueviolet", 138, 43, 226},
    {"indigo", 75, 0, 130},
    {"darkorchid", 153, 50, 204},
    {"darkviolet", 148, 0, 211},
    {"mediumorchid", 186, 85, 211},
    {"thistle", 216, 191, 216},
    {"plum", 221, 160, 221},
    {"violet", 238, 130, 238},
    {"purple", 128, 0, 128},
    {"darkmagenta", 139, 0, 139},
    {"fuchsia", 255, 0, 255},
    {"magenta", 255, 0, 255},
    {"orchid", 218, 112, 214},
    {"mediumvioletred", 199, 21, 133},
    {"deeppink", 255, 20, 147},
    {"hotpink", 255, 105, 180},
    {"lavenderblush", 255, 240, 245},
    {"palevioletred", 219, 112, 147},
    {"crimson", 220, 20, 60},
    {"pink", 255, 192, 203},
    {"lightpink", 255, 182, 193},
};

// Blue through green and yellow to red and purple: one colour every three knots.
constexpr int kBuiltinScale[26][3] = {
    {40, 140, 255}, {0, 175, 255},  {0, 220, 225},  {0, 247, 176},  {0, 234, 156},  {130, 240, 89},
    {240, 245, 3},  {255, 237, 0},  {255, 219, 0},  {255, 199, 0},  {255, 180, 0},  {255, 152, 0},
    {255, 126, 0},  {247, 120, 0},  {236, 120, 20}, {228, 113, 30}, {224, 97, 40},  {220, 81, 50},
    {213, 69, 60},  {205, 58, 70},  {190, 44, 80},  {180, 26, 90},  {170, 20, 100}, {150, 40, 120},
    {140, 50, 140}, {130, 60, 130},
};

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

int clip255(int v) {
    return std::clamp(v, 0, 255);
}

// Reads the next line, cut to the line limit; a carriage return before the line feed goes.
bool nextLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > kLineLimit) line.resize(kLineLimit);
    return true;
}

} // namespace

OpaqueColor toOpaque(std::uint32_t bgr) {
    return OpaqueColor{static_cast<std::uint8_t>(redOf(bgr)),
                       static_cast<std::uint8_t>(greenOf(bgr)),
                       static_cast<std::uint8_t>(blueOf(bgr)), 255};
}

const std::vector<NamedColor>& builtinNamedColors() {
    static const std::vector<NamedColor> colors = [] {
        std::vector<NamedColor> list;
        for (const auto& c : kBuiltinColors) list.push_back({c.name, rgbColor(c.r, c.g, c.b)});
        return list;
    }();
    return colors;
}

WindScale builtinWindScale() {
    WindScale scale;
    for (const auto& c : kBuiltinScale) scale.colors.push_back(rgbColor(c[0], c[1], c[2]));
    scale.interval = 3;
    return scale;
}

bool ColorTable::loadNamedColors(const std::string& colorsFolder) {
    named_.clear();
    std::string text, error;
    if (!readRegularFile(joinPath(colorsFolder, "Common.txt"), kMaxTextFileBytes, text, error)) {
        named_ = builtinNamedColors();
        return false;
    }
    std::istringstream in(text);
    std::string line;
    while (nextLine(in, line)) {
        char name[kLineLimit + 1];
        int r = 0, g = 0, b = 0;
        // The name field is bounded by the line length, so it cannot overflow.
        if (std::sscanf(line.c_str(), "%49s = %d %d %d", name, &r, &g, &b) != 4) continue;
        named_.push_back({name, rgbColor(clip255(r), clip255(g), clip255(b))});
    }
    return true;
}

bool ColorTable::loadWindScale(const std::string& colorsFolder, const std::string& fileName) {
    scale_.colors.clear();
    std::string text, error;
    if (fileName.empty() ||
        !readRegularFile(joinPath(colorsFolder, fileName), kMaxTextFileBytes, text, error)) {
        scale_ = builtinWindScale();
        return false;
    }
    std::istringstream in(text);
    std::string line;
    while (nextLine(in, line)) {
        int r = 0, g = 0, b = 0, interval = 0;
        if (std::sscanf(line.c_str(), "RGB/%d,%d,%d", &r, &g, &b) == 3)
            scale_.colors.push_back(rgbColor(clip255(r), clip255(g), clip255(b)));
        else if (std::sscanf(line.c_str(), "INTERVAL/%d", &interval) == 1)
            scale_.interval = interval;
    }
    return true;
}

bool ColorTable::findColor(const std::string& name, std::uint32_t& color) const {
    for (const auto& c : named_) {
        if (c.name == name) {
            color = c.color;
            return true;
        }
    }
    return false;
}

WindColorRamp buildRamp(const WindScale& scale, std::uint32_t seaColor) {
    WindColorRamp out;
    out.interval = scale.interval;
    for (auto c : scale.colors) out.scale.push_back(toOpaque(c));
    out.sea = toOpaque(seaColor);
    const int a = scale.interval;
    const std::size_t n = scale.colors.size();
    // A zero or negative interval would make no steps (and divide by zero below); a file can
    // say INTERVAL/0, so such a scale simply has no ramp.
    if (n < 2 || a < 1) return out;
    // An absurd interval from a file must not allocate without bound: one entry per knot
    // beyond a few thousand knots is of no use to anyone.
    if (static_cast<long long>(a) * static_cast<long long>(n - 1) > 100000) return out;
    out.ramp.reserve(static_cast<std::size_t>(a) * (n - 1));
    for (std::size_t j = 0; j + 1 < n; ++j) {
        const std::uint32_t c0 = scale.colors[j], c1 = scale.colors[j + 1];
        out.ramp.push_back(toOpaque(c0));
        for (int k = 1; k < a; ++k) {
            const auto step = [&](int v0, int v1) {
                return static_cast<std::uint8_t>(v0 + (v1 - v0) * k / a);
            };
            out.ramp.push_back(OpaqueColor{step(redOf(c0), redOf(c1)),
                                           step(greenOf(c0), greenOf(c1)),
                                           step(blueOf(c0), blueOf(c1)), 255});
        }
    }
    return out;
}

OpaqueColor windColor(const WindColorRamp& ramp, bool found, double knots, bool oneColorPerKnot) {
    const auto& table = oneColorPerKnot ? ramp.ramp : ramp.scale;
    if (!found || table.empty() || !(knots == knots)) return ramp.sea;
    double index = oneColorPerKnot ? knots : knots / (ramp.interval > 0 ? ramp.interval : 1);
    index = std::clamp(index, 0.0, static_cast<double>(table.size() - 1));
    return table[static_cast<std::size_t>(index)];
}

} // namespace navorel

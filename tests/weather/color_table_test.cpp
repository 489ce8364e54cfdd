#include "weather/color_table.h"

#include <gtest/gtest.h>

#include <fstream>

#include "wind_test_support.h"

using namespace navorel;
using navorel::windtest::ScratchFolder;

namespace {

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

OpaqueColor rgb(int r, int g, int b) {
    return OpaqueColor{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                       static_cast<std::uint8_t>(b), 255};
}

} // namespace

TEST(ColorTable, BuiltinNamedColorsWithoutCommonFile) {
    ScratchFolder folder;
    ColorTable table;
    EXPECT_FALSE(table.loadNamedColors(folder.path.string()));
    const auto& list = table.namedColors();
    ASSERT_EQ(list.size(), 139u);
    EXPECT_EQ(list.front().name, "black");
    EXPECT_EQ(list.back().name, "lightpink");
    std::uint32_t c = 0;
    ASSERT_TRUE(table.findColor("cadetblue", c));
    EXPECT_EQ(c, rgbColor(95, 158, 160));
    ASSERT_TRUE(table.findColor("linen", c));
    EXPECT_EQ(c, rgbColor(250, 240, 230));
    ASSERT_TRUE(table.findColor("darkturquoise", c));
    EXPECT_EQ(c, rgbColor(0, 206, 209));
    ASSERT_TRUE(table.findColor("dimgray", c));
    EXPECT_EQ(c, rgbColor(105, 105, 105));
    EXPECT_FALSE(table.findColor("snow", c));
    // Red sits in the low byte.
    ASSERT_TRUE(table.findColor("red", c));
    EXPECT_EQ(c, 0x0000FFu);
}

TEST(ColorTable, CommonFileKeepsOrderAndSkipsWhatItCannotRead) {
    ScratchFolder folder;
    writeFile(folder.file("Common.txt"), "sea = 10 20 30\r\n"
                                         "broken line\n"
                                         "half = 1 2\n"
                                         "bright = 300 -5 255\n"
                                         "land = 200 180 150\n");
    ColorTable table;
    EXPECT_TRUE(table.loadNamedColors(folder.path.string()));
    const auto& list = table.namedColors();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].name, "sea");
    EXPECT_EQ(list[0].color, rgbColor(10, 20, 30));
    EXPECT_EQ(list[1].name, "bright"); // components clipped to 0..255
    EXPECT_EQ(list[1].color, rgbColor(255, 0, 255));
    EXPECT_EQ(list[2].name, "land");
}

TEST(ColorTable, ShippedColourFilesMatchTheBuiltinLists) {
    const std::string colors = std::string(NAVOREL_SOURCE_DIR) + "/dist/Data/Colors";
    ColorTable table;
    ASSERT_TRUE(table.loadNamedColors(colors));
    ASSERT_EQ(table.namedColors().size(), builtinNamedColors().size());
    for (std::size_t i = 0; i < table.namedColors().size(); ++i) {
        EXPECT_EQ(table.namedColors()[i].name, builtinNamedColors()[i].name);
        EXPECT_EQ(table.namedColors()[i].color, builtinNamedColors()[i].color);
    }
    ASSERT_TRUE(table.loadWindScale(colors, "Wind26.txt"));
    EXPECT_EQ(table.windScale().colors, builtinWindScale().colors);
    EXPECT_EQ(table.windScale().interval, 3);
    ASSERT_TRUE(table.loadWindScale(colors, "Wind10.txt"));
    EXPECT_EQ(table.windScale().colors.size(), 10u);
    // The default setting names a file that is not shipped: the built-in scale.
    EXPECT_FALSE(table.loadWindScale(colors, kDefaultWindScaleFile));
    EXPECT_EQ(table.windScale().colors.size(), 26u);
}

TEST(ColorTable, WindScaleFileAndItsRamp) {
    ScratchFolder folder;
    writeFile(folder.file("Grey.txt"), "RGB/0,0,0\nsomething else\nRGB/255,255,255\nINTERVAL/5\n");
    ColorTable table;
    ASSERT_TRUE(table.loadWindScale(folder.path.string(), "Grey.txt"));
    EXPECT_EQ(table.windScale().interval, 5);
    const WindColorRamp ramp = buildRamp(table.windScale(), kDefaultSeaColor);
    ASSERT_EQ(ramp.ramp.size(), 5u);
    EXPECT_EQ(ramp.ramp[0], rgb(0, 0, 0));
    EXPECT_EQ(ramp.ramp[1], rgb(51, 51, 51));
    EXPECT_EQ(ramp.ramp[2], rgb(102, 102, 102));
    EXPECT_EQ(ramp.ramp[3], rgb(153, 153, 153));
    EXPECT_EQ(ramp.ramp[4], rgb(204, 204, 204));
    ASSERT_EQ(ramp.scale.size(), 2u);
    EXPECT_EQ(ramp.scale[1], rgb(255, 255, 255));
    // 0xF2D09D is red 0x9D, green 0xD0, blue 0xF2.
    EXPECT_EQ(ramp.sea, rgb(0x9D, 0xD0, 0xF2));

    // Falling values divide as integers, the fraction dropped.
    WindScale down{{rgbColor(255, 10, 0), rgbColor(0, 0, 0)}, 4};
    const WindColorRamp d = buildRamp(down, 0);
    ASSERT_EQ(d.ramp.size(), 4u);
    EXPECT_EQ(d.ramp[1], rgb(192, 8, 0)); // 255 - 255/4 = 255 - 63; 10 - 10/4 = 10 - 2
}

TEST(ColorTable, IntervalOfAScaleFileWithoutIntervalLine) {
    ScratchFolder folder;
    writeFile(folder.file("Five.txt"), "INTERVAL/5\nRGB/1,2,3\nRGB/4,5,6\n");
    writeFile(folder.file("NoInterval.txt"), "RGB/1,2,3\nRGB/4,5,6\n");
    ColorTable table;
    ASSERT_TRUE(table.loadWindScale(folder.path.string(), "NoInterval.txt"));
    EXPECT_EQ(table.windScale().interval, 3); // the built-in scale's interval stays
    ASSERT_TRUE(table.loadWindScale(folder.path.string(), "Five.txt"));
    ASSERT_TRUE(table.loadWindScale(folder.path.string(), "NoInterval.txt"));
    EXPECT_EQ(table.windScale().interval, 5);
}

TEST(ColorTable, RampSizesAndDegenerateScales) {
    EXPECT_EQ(buildRamp(builtinWindScale(), kDefaultSeaColor).ramp.size(), 75u);
    EXPECT_TRUE(buildRamp(WindScale{{rgbColor(1, 2, 3)}, 3}, 0).ramp.empty());
    EXPECT_TRUE(buildRamp(WindScale{{}, 3}, 0).ramp.empty());
    // INTERVAL/0 or a negative interval in a file: no ramp, no division by zero.
    EXPECT_TRUE(buildRamp(WindScale{{rgbColor(1, 2, 3), rgbColor(4, 5, 6)}, 0}, 0).ramp.empty());
    EXPECT_TRUE(buildRamp(WindScale{{rgbColor(1, 2, 3), rgbColor(4, 5, 6)}, -2}, 0).ramp.empty());
    // An absurd interval does not allocate millions of colours.
    EXPECT_TRUE(
        buildRamp(WindScale{{rgbColor(1, 2, 3), rgbColor(4, 5, 6)}, 2000000000}, 0).ramp.empty());
}

TEST(ColorTable, WindColourOfASpeed) {
    const WindColorRamp ramp = buildRamp(builtinWindScale(), kDefaultSeaColor);
    EXPECT_EQ(windColor(ramp, true, 0.4, true), ramp.ramp[0]);
    EXPECT_EQ(windColor(ramp, true, 7.9, true), ramp.ramp[7]);
    EXPECT_EQ(windColor(ramp, true, 500, true), ramp.ramp.back());
    EXPECT_EQ(windColor(ramp, true, -3, true), ramp.ramp.front());
    EXPECT_EQ(windColor(ramp, true, 7.9, false), ramp.scale[2]); // 7.9 / 3
    EXPECT_EQ(windColor(ramp, true, 500, false), ramp.scale.back());
    EXPECT_EQ(windColor(ramp, false, 7.9, true), ramp.sea);
}

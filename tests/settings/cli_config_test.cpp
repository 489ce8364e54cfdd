#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "test_folder.h"

using navorel::testing::TestFolder;

namespace {

struct Run {
    int status;
    std::string out;
};

Run cli(const std::string& arguments) {
    const std::string command = std::string(NAVOREL_CLI) + " " + arguments + " 2>/dev/null";
    Run run{-1, {}};
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) run.out += buffer;
    run.status = ::pclose(pipe);
    return run;
}

const std::string dist = std::string(NAVOREL_SOURCE_DIR) + "/dist";

} // namespace

TEST(CliConfig, PrintsTheShippedSettings) {
    // The desktop program may have logged into the shipped folder before; asking adds nothing.
    const std::string log = dist + "/Data/Log.txt";
    auto logSize = [&] {
        std::error_code ec;
        const auto size = std::filesystem::file_size(log, ec);
        return ec ? -1 : static_cast<long long>(size);
    };
    const long long before = logSize();
    EXPECT_EQ(cli("config --folder " + dist + " get Routing TimestepMax").out, "60\n");
    EXPECT_EQ(cli("config --folder " + dist + " get Map ColorLand").out, "9821695\n");
    EXPECT_EQ(cli("config --folder " + dist + " get map colorland").out, "9821695\n");
    EXPECT_EQ(cli("config --folder " + dist + " get Polar name").out, "Navorel40.pol\n");
    EXPECT_EQ(cli("config --folder " + dist + " get Routing RenderMode").out, "4\n");
    // Asking is not a start of the program: nothing is logged.
    EXPECT_EQ(logSize(), before);
}

TEST(CliConfig, MissingKeysShowTheirDefault) {
    TestFolder dir;
    dir.write("Config.ini", "[Map]\nZoom=\nTransX=abc\n");
    EXPECT_EQ(cli("config --folder " + dir.path() + " get Map Zoom").out, "1.2\n");
    EXPECT_EQ(cli("config --folder " + dir.path() + " get Map TransX").out, "0\n");
    EXPECT_EQ(cli("config --folder " + dir.path() + " get Folders Gribs").out,
              dir.path() + "/Gribs/\n");
    EXPECT_EQ(cli("config --folder " + dir.path() + " get Route MaxLength").out, "5000\n");
}

TEST(CliConfig, FailuresExitNonZero) {
    TestFolder dir;
    EXPECT_NE(cli("config --folder " + dir.path() + " get Map Zoom").status, 0); // no Config.ini
    dir.write("Config.ini", "[Map]\n");
    EXPECT_NE(cli("config --folder " + dir.path() + " get Map Nothing").status, 0);
    EXPECT_NE(cli("config --folder " + dir.path() + " set Map Zoom 2").status, 0);
    EXPECT_EQ(cli("config --folder " + dir.path() + " get Map Zoom").status, 0);
}

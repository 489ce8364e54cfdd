// navorel-cli tide and current on the demo data.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <sys/wait.h>

namespace {

int run(const std::string& arguments, std::string& out) {
    const std::string command = std::string(NAVOREL_CLI) + " " + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    out.clear();
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const std::string kFolder = std::string("--folder ") + NAVOREL_SOURCE_DIR + "/dist ";

} // namespace

TEST(tideCliTest, heightsAndExtremes) {
    std::string out;
    ASSERT_EQ(run("tide " + kFolder + "bost 2026-06-15T00:00 2026-06-16T00:00", out), 0);
    const std::regex height(R"(height 2026-06-1[56]T\d\d:\d0 -?\d+\.\d\d)");
    const std::regex high(R"(high 2026-06-15T\d\d:\d\d -?\d+\.\d\d \d+)");
    const std::regex low(R"(low 2026-06-15T\d\d:\d\d -?\d+\.\d\d)");
    int heights = 0, highs = 0, lows = 0;
    std::size_t start = 0;
    while (start < out.size()) {
        const std::size_t end = out.find('\n', start);
        const std::string line = out.substr(start, end - start);
        if (std::regex_match(line, height))
            ++heights;
        else if (std::regex_match(line, high))
            ++highs;
        else if (std::regex_match(line, low))
            ++lows;
        else
            ADD_FAILURE() << line;
        start = end + 1;
    }
    EXPECT_EQ(heights, 145); // every 10 minutes, both ends
    EXPECT_EQ(highs, 2);
    EXPECT_EQ(lows, 2);
}

TEST(tideCliTest, failuresExitNonZero) {
    std::string out;
    EXPECT_NE(run("tide " + kFolder + "NOWHERE 2026-06-15T00:00 2026-06-16T00:00", out), 0);
    EXPECT_NE(run("tide " + kFolder + "BOSTON 2026-06-15 tomorrow", out), 0);
    // "N" matches NANTUCKET, NEWPORT and NEW LONDON.
    EXPECT_NE(run("tide " + kFolder + "n 2026-06-15T00:00 2026-06-16T00:00", out), 0);
    EXPECT_NE(run("tide --folder /nonexistent BOSTON 2026-06-15T00:00 2026-06-16T00:00", out), 0);
    EXPECT_NE(run("current " + kFolder + "-70.25 41.5", out), 0);
}

TEST(tideCliTest, currentAtAPlace) {
    std::string out;
    ASSERT_EQ(run("current " + kFolder + "-70.25 41.5 2026-06-15T12:00", out), 0);
    EXPECT_TRUE(
        std::regex_match(out, std::regex(R"(direction \d+ speed \d+\.\d\d coefficient \d+\n)")))
        << out;
    ASSERT_EQ(run("current " + kFolder + "-68 43 2026-06-15T12:00", out), 0);
    EXPECT_EQ(out, "not found\n");
}

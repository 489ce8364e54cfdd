// navorel-cli tide and current on the demo data.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
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

// A line "<word> YYYY-MM-DDTHH:MM <metres>[ <coefficient>]" with the metres to two decimals.
bool eventLine(const std::string& line, const char* word, bool withCoefficient, std::string& when) {
    char kind[16], time[32], tail[8];
    double metres;
    int coefficient, decimals = 0;
    const int n = std::sscanf(line.c_str(), "%15s %31s %lf%n %d %7s", kind, time, &metres,
                              &decimals, &coefficient, tail);
    if (std::string(kind) != word || std::strlen(time) != 16 || time[10] != 'T') return false;
    const std::size_t dot = line.find('.');
    if (dot == std::string::npos || dot + 3 != static_cast<std::size_t>(decimals)) return false;
    when = time;
    return withCoefficient ? n == 4 : n == 3;
}

} // namespace

TEST(tideCliTest, heightsAndExtremes) {
    std::string out;
    ASSERT_EQ(run("tide " + kFolder + "bost 2026-06-15T00:00 2026-06-16T00:00", out), 0);
    int heights = 0, highs = 0, lows = 0;
    std::size_t start = 0;
    while (start < out.size()) {
        const std::size_t end = out.find('\n', start);
        const std::string line = out.substr(start, end - start);
        std::string when;
        if (eventLine(line, "height", false, when) && when[15] == '0' &&
            (when.rfind("2026-06-15", 0) == 0 || when.rfind("2026-06-16", 0) == 0))
            ++heights;
        else if (eventLine(line, "high", true, when) && when.rfind("2026-06-15", 0) == 0)
            ++highs;
        else if (eventLine(line, "low", false, when) && when.rfind("2026-06-15", 0) == 0)
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
    int direction, coefficient, used = 0;
    double speed;
    EXPECT_EQ(std::sscanf(out.c_str(), "direction %d speed %lf coefficient %d\n%n", &direction,
                          &speed, &coefficient, &used),
              3)
        << out;
    EXPECT_EQ(static_cast<std::size_t>(used), out.size()) << out;
    EXPECT_NE(out.find('.'), std::string::npos);
    ASSERT_EQ(run("current " + kFolder + "-68 43 2026-06-15T12:00", out), 0);
    EXPECT_EQ(out, "not found\n");
}

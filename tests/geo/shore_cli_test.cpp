// navorel-cli shore query / cross on a small program folder.
#include "geo/shoreline_store.h"
#include "shore_test_files.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <string>

using namespace shore_test;

namespace {

struct Run {
    int status;
    std::string out;
};

Run cli(const std::string& arguments) {
    const std::string command = std::string(NAVOREL_CLI) + " " + arguments + " 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    Run run{-1, ""};
    if (!pipe) return run;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) run.out += buffer;
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string programFolder() {
    static const std::string folder = [] {
        const std::string root = makeFolder("cli_program");
        const std::string gshhs = makeFolder("cli_program/Data/Gshhs");
        std::map<std::pair<int, int>, CellData> cells;
        cells[{355, 48}].land.push_back(box(355.2, 48.2, 355.8, 48.8)); // -4.8..-4.2
        writeFile(navorel::shorelineFileName(gshhs, 2), makeFile(cells).data);
        return root;
    }();
    return folder;
}

} // namespace

TEST(ShoreCli, QueryAndCross) {
    const std::string f = "--folder " + programFolder();
    EXPECT_EQ(cli("shore query " + f + " -- -4.5 48.5").out, "land\n");
    EXPECT_EQ(cli("shore query " + f + " --level 2 -- -4.9 48.5").out, "sea\n");
    EXPECT_EQ(cli("shore cross " + f + " -- -5.0 48.5 -4.5 48.5").out, "crosses\n");
    EXPECT_EQ(cli("shore cross " + f + " -- -5.0 48.1 -4.0 48.1").out, "clear\n");
    EXPECT_EQ(cli("shore cross " + f + " -- -5.0 48.1 -4.0 48.1").status, 0);
}

TEST(ShoreCli, FailuresExitNonZero) {
    const std::string f = "--folder " + programFolder();
    // No file at that level: an error, not "sea".
    EXPECT_NE(cli("shore query " + f + " --level 4 -- -4.5 48.5").status, 0);
    EXPECT_NE(cli("shore query " + f + " -- -4.5").status, 0);
    EXPECT_NE(cli("shore query " + f + " -- west 48.5").status, 0);
    EXPECT_NE(cli("shore cross " + f + " --level x -- 1 2 3 4").status, 0);
    EXPECT_NE(cli("shore build --level q --out /tmp").status, 0);
}

#include "settings/program_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "test_folder.h"

using namespace navorel;
using navorel::testing::readFile;
using navorel::testing::TestFolder;
namespace fs = std::filesystem;

namespace {

// A small shipped folder: settings, a forecast of some kilobytes, harmonics and a shoreline.
struct Shipped {
    TestFolder root;
    std::string dist = root.file("dist");
    std::string user = root.file("home/navorel");
    Shipped() {
        root.write("dist/Config.ini", "[Map]\nScale= 100\n");
        root.write("dist/Gribs/Demo.grb", std::string(8192, 'g'));
        root.write("dist/Data/Tides/Harmonics", "harmonics");
        root.write("dist/Data/Log.txt", "an old log");
        root.write("dist/Data/Gshhs/poly-i-1.dat", "shore");
    }
    std::string file(const std::string& name) const { return user + "/" + name; }
};

// Sets XDG_DATA_HOME for the test's life.
struct UserDataHome {
    std::string saved;
    bool had;
    explicit UserDataHome(const std::string& path) {
        const char* old = std::getenv("XDG_DATA_HOME");
        had = old != nullptr;
        if (old) saved = old;
        setenv("XDG_DATA_HOME", path.c_str(), 1);
    }
    ~UserDataHome() {
        if (had)
            setenv("XDG_DATA_HOME", saved.c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
    }
};

} // namespace

TEST(ProgramFolder, FirstRunFillsThePerUserFolderAndLaterRunsKeepAndRepairIt) {
    Shipped s;
    const UserDataHome home(s.root.file("home"));
    std::string folder, error;
    // The command line takes the shipped folder while the per-user one is not made.
    ASSERT_TRUE(resolveProgramFolder("", s.dist, false, folder, error)) << error;
    EXPECT_EQ(folder, s.dist);
    EXPECT_FALSE(fs::exists(s.user));

    ASSERT_TRUE(resolveProgramFolder("", s.dist, true, folder, error)) << error;
    EXPECT_EQ(folder, s.user);
    EXPECT_EQ(readFile(s.file("Gribs/Demo.grb")), std::string(8192, 'g'));
    EXPECT_TRUE(fs::is_symlink(s.file("Data/Gshhs/poly-i-1.dat")));
    EXPECT_FALSE(fs::exists(s.file("Data/Log.txt")));

    // The user's own settings stay; what a full disk left empty, or what is missing, comes
    // back; a shoreline built after the first run, or whose link broke, is linked.
    s.root.write("home/navorel/Config.ini", "[Map]\nScale= 7\n");
    s.root.write("home/navorel/Gribs/Demo.grb", "");
    fs::remove(s.file("Data/Tides/Harmonics"));
    fs::remove(s.file("Data/Gshhs/poly-i-1.dat"));
    fs::create_symlink(s.root.file("gone.dat"), s.file("Data/Gshhs/poly-i-1.dat"));
    s.root.write("dist/Data/Gshhs/poly-f-1.dat", "finest");
    ASSERT_TRUE(resolveProgramFolder("", s.dist, false, folder, error)) << error;
    EXPECT_EQ(folder, s.user);
    EXPECT_EQ(readFile(s.file("Config.ini")), "[Map]\nScale= 7\n");
    EXPECT_EQ(readFile(s.file("Gribs/Demo.grb")).size(), 8192u);
    EXPECT_EQ(readFile(s.file("Data/Tides/Harmonics")), "harmonics");
    EXPECT_EQ(readFile(s.file("Data/Gshhs/poly-i-1.dat")), "shore");
    EXPECT_EQ(readFile(s.file("Data/Gshhs/poly-f-1.dat")), "finest");

    ASSERT_TRUE(resolveProgramFolder("/given", "/nowhere", true, folder, error));
    EXPECT_EQ(folder, "/given");
}

TEST(ProgramFolder, AFailedCopyStopsThePreparationWithAMessageAndLeavesNoEmptyFile) {
    Shipped s;
    int copies = 0;
    const FileCopier failing = [&](const std::string&, const std::string& to, std::string& e) {
        ++copies;
        e = "cannot write " + to + ": No space left on device";
        return false;
    };
    std::string error;
    EXPECT_FALSE(prepareProgramFolder(s.user, s.dist, error, failing));
    EXPECT_EQ(copies, 1);
    EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);

    // A real copy on a disk that takes no more than 1 kB (a child process with a file size
    // limit): the preparation fails and no shipped file is left short or empty.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1024, 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string e;
        ::_exit(prepareProgramFolder(s.user, s.dist, e) ? 0 : (e.empty() ? 2 : 1));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1); // failed, with a message
    EXPECT_FALSE(fs::exists(s.file("Gribs/Demo.grb")));
    for (const auto& e : fs::recursive_directory_iterator(s.user)) {
        if (e.is_regular_file()) {
            EXPECT_GT(e.file_size(), 0u) << e.path();
        }
    }

    // The next start on a disk with room completes the folder.
    ASSERT_TRUE(prepareProgramFolder(s.user, s.dist, error)) << error;
    EXPECT_EQ(readFile(s.file("Gribs/Demo.grb")).size(), 8192u);
    for (const auto& e : fs::recursive_directory_iterator(s.user))
        EXPECT_EQ(e.path().filename().string().find(".Demo.grb."), std::string::npos);
}

#include "core/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <vector>

using namespace navorel;
namespace fs = std::filesystem;

namespace {
std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}
} // namespace

TEST(AtomicFile, ReplacesWholeKeepsModeAndLinksAndFailsCleanly) {
    const fs::path dir =
        fs::temp_directory_path() / ("navorel_atomic_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path file = dir / "a.txt";
    std::string error;
    ASSERT_TRUE(replaceFileContents(file.string(), "first\n", error)) << error;
    ::chmod(file.c_str(), 0600);
    ASSERT_TRUE(replaceFileContents(file.string(), "second\n", error)) << error;
    EXPECT_EQ(slurp(file), "second\n");
    struct stat st {};
    ::stat(file.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // Through a symbolic link the target is replaced and the link stays.
    const fs::path link = dir / "link.txt";
    fs::create_symlink(file, link);
    ASSERT_TRUE(replaceFileContents(link.string(), "third\n", error)) << error;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(slurp(file), "third\n");

    // A folder that is a regular file: the failure is reported and nothing else changes.
    EXPECT_FALSE(replaceFileContents((file / "x.txt").string(), "x", error));
    EXPECT_NE(error.find("cannot write"), std::string::npos);
    EXPECT_EQ(slurp(file), "third\n");
    int entries = 0;
    for (const auto& e : fs::directory_iterator(dir)) entries += e.path() != dir ? 1 : 0;
    EXPECT_EQ(entries, 2); // no temporary file left behind
    fs::remove_all(dir);
}

TEST(AtomicFile, TemporaryNamesAreRecognisedExactly) {
    const auto barriers = [](std::string_view name) { return name == "Barriers.gpx"; };
    const struct {
        const char* name;
        bool ours;
    } cases[] = {
        {".Barriers.gpx.a1B2c3", true},
        {".Barriers.gpx.ZZZZZZ", true},
        {".Barriers.gpx.a1B2c", false},   // five random characters
        {".Barriers.gpx.a1B2c3d", false}, // seven
        {".Barriers.gpx.a1B_c3", false},  // not mkstemp's alphabet
        {"Barriers.gpx.a1B2c3", false},   // not hidden
        {".Barriers.gpxXa1B2c3", false},  // no dot before the random part
        {".Other.gpx.a1B2c3", false},     // another file's
        {".Barriers.gpx.a1B2c3.old", false},
        {"..a1B2c3", false},
        {".a1B2c3", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isWriterTemporary(c.name, barriers), c.ours) << c.name;
}

// A save killed half-way leaves its temporary; the next start removes it once it is stale,
// and never anything that is not unmistakably such a temporary.
TEST(AtomicFile, StaleTemporariesOfAKilledSaveAreRemovedAndNothingElse) {
    const fs::path dir =
        fs::temp_directory_path() / ("navorel_atomic_stale_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path target = dir / "Barriers.gpx";
    std::ofstream(target) << "the user's barriers\n";

    // The writer killed while it writes: a file size limit stops it with SIGXFSZ half-way.
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        replaceFileContents(target.string(), std::string(1 << 20, 'x'), error);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ);
    std::vector<fs::path> left;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path() != target) left.push_back(e.path());
    ASSERT_EQ(left.size(), 1u);
    const auto ours = [](std::string_view name) { return name == "Barriers.gpx"; };
    EXPECT_TRUE(isWriterTemporary(left[0].filename().string(), ours)) << left[0];

    // Fresh, it may be a save at work: kept.
    EXPECT_EQ(removeStaleTemporaries(dir.string(), ours, std::chrono::minutes(5)), 0);
    EXPECT_TRUE(fs::exists(left[0]));

    // Beside it, old files that only look like temporaries.
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    const auto make = [&](const char* name) {
        std::ofstream(dir / name) << "keep";
        fs::last_write_time(dir / name, old);
        return dir / name;
    };
    const fs::path stale = make(".Barriers.gpx.Qw3rTy");
    const fs::path keep[] = {make(".Notes.txt.Qw3rTy"), make(".Barriers.gpx.Qw3rT"),
                             make("Barriers.gpx.Qw3rTy"), make(".Barriers.gpx.Qw3rTy.old")};
    fs::create_directory(dir / ".Barriers.gpx.F0lder");
    fs::create_symlink(target, dir / ".Barriers.gpx.L1nked");
    const fs::path linked = make("shared");
    fs::create_hard_link(linked, dir / ".Barriers.gpx.H4rdLk");
    fs::last_write_time(linked, old);

    EXPECT_EQ(removeStaleTemporaries(dir.string(), ours, std::chrono::seconds(0)), 2);
    EXPECT_FALSE(fs::exists(left[0]));
    EXPECT_FALSE(fs::exists(stale));
    for (const fs::path& p : keep) EXPECT_TRUE(fs::exists(p)) << p;
    EXPECT_TRUE(fs::is_directory(dir / ".Barriers.gpx.F0lder"));
    EXPECT_TRUE(fs::is_symlink(dir / ".Barriers.gpx.L1nked"));
    EXPECT_TRUE(fs::exists(dir / ".Barriers.gpx.H4rdLk"));
    EXPECT_EQ(slurp(target), "the user's barriers\n");
    fs::remove_all(dir);
}

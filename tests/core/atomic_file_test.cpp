#include "core/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/stat.h>

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

#include "weather/bzip2_file.h"

#include <bzlib.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "wind_test_support.h"

using namespace navorel;
using navorel::windtest::ScratchFolder;

namespace {

std::string compress(const std::string& data) {
    std::string out(data.size() + data.size() / 100 + 700, '\0');
    unsigned int size = static_cast<unsigned int>(out.size());
    EXPECT_EQ(BZ2_bzBuffToBuffCompress(out.data(), &size, const_cast<char*>(data.data()),
                                       static_cast<unsigned int>(data.size()), 9, 0, 0),
              BZ_OK);
    out.resize(size);
    return out;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string sample(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += static_cast<char>((i * 7919 + i / 13) % 251);
    return s;
}

std::size_t filesIn(const ScratchFolder& folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder.path)) ++n;
    return n;
}

} // namespace

TEST(Bzip2File, PathsAndExtension) {
    EXPECT_EQ(bzip2OutputPath("/gribs/wind.grb.bz2"), "/gribs/wind.grb");
    EXPECT_TRUE(hasBzip2Extension("/gribs/wind.grb.bz2"));
    EXPECT_FALSE(hasBzip2Extension("/gribs/wind.grb.BZ2"));
    EXPECT_FALSE(hasBzip2Extension("/gribs/wind.bz2x"));
    EXPECT_FALSE(hasBzip2Extension("bz2"));
}

TEST(Bzip2File, DecompressesBesideAndDeletesOnlyWhenAsked) {
    ScratchFolder folder;
    const std::string data = sample(100000); // several 4096-byte blocks
    const std::string chosen = folder.file("wind.grb.bz2");
    writeFile(chosen, compress(data));
    std::string out;
    ASSERT_EQ(decompressBzip2(chosen, false, out), Bzip2Status::Ok);
    EXPECT_EQ(out, folder.file("wind.grb"));
    EXPECT_EQ(readFile(out), data);
    EXPECT_TRUE(std::filesystem::exists(chosen));
    // An existing output is replaced; with deletion the .bz2 goes.
    writeFile(out, "old");
    ASSERT_EQ(decompressBzip2(chosen, true, out), Bzip2Status::Ok);
    EXPECT_EQ(readFile(out), data);
    EXPECT_FALSE(std::filesystem::exists(chosen));
    EXPECT_EQ(filesIn(folder), 1u); // no temporary file left
}

TEST(Bzip2File, StreamsOneAfterAnother) {
    ScratchFolder folder;
    const std::string a = sample(7000), b = "second part";
    const std::string chosen = folder.file("two.grb.bz2");
    writeFile(chosen, compress(a) + compress(b));
    std::string out;
    ASSERT_EQ(decompressBzip2(chosen, false, out), Bzip2Status::Ok);
    EXPECT_EQ(readFile(out), a + b);
    // Bytes after the last stream that are not a stream are ignored.
    writeFile(chosen, compress(a) + "this is not bzip2 data at all");
    ASSERT_EQ(decompressBzip2(chosen, false, out), Bzip2Status::Ok);
    EXPECT_EQ(readFile(out), a);
}

TEST(Bzip2File, FailuresKeepTheCompressedFile) {
    ScratchFolder folder;
    const std::string packed = compress(sample(50000));
    const std::string truncated = folder.file("cut.grb.bz2");
    writeFile(truncated, packed.substr(0, packed.size() / 2));
    const std::string corrupt = folder.file("corrupt.grb.bz2");
    std::string damaged = packed;
    damaged[damaged.size() / 2] ^= 0x55;
    writeFile(corrupt, damaged);
    const std::string plain = folder.file("plain.grb.bz2");
    writeFile(plain, "GRIB not compressed");
    std::string out;
    for (const std::string& path : {truncated, corrupt, plain}) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(decompressBzip2(path, true, out), Bzip2Status::ReadFailed) << path;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "bz2 read error [" + path + "]\n");
        EXPECT_TRUE(std::filesystem::exists(path));
        EXPECT_FALSE(std::filesystem::exists(out)) << out;
    }
    EXPECT_EQ(filesIn(folder), 3u);
}

TEST(Bzip2File, MessagesOfTheTwoOpenFailures) {
    ScratchFolder folder;
    std::string out;
    testing::internal::CaptureStdout();
    EXPECT_EQ(decompressBzip2(folder.file("none.grb.bz2"), true, out),
              Bzip2Status::StreamNotOpened);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "can't bz2openstream\n");
    EXPECT_EQ(filesIn(folder), 0u);

    const std::string elsewhere = folder.file("no-folder/wind.grb.bz2");
    testing::internal::CaptureStdout();
    EXPECT_EQ(decompressBzip2(elsewhere, true, out), Bzip2Status::OutputNotCreated);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "can't open [" + folder.file("no-folder/wind.grb") + "]\n");
}

// An archive that expands past the limit (a few hundred bytes can make gigabytes) stops there:
// nothing is left, and the archive stays.
TEST(Bzip2File, ExpansionStopsAtTheLimit) {
    ScratchFolder folder;
    const std::string path = folder.file("bomb.grb.bz2");
    writeFile(path, compress(std::string(300000, '\0')));
    const std::string out = folder.file("out.grb");
    for (const std::uint64_t limit : {299999ull, 300000ull}) {
        SCOPED_TRACE(limit);
        const Bzip2Status status = decompressBzip2To(path, out, limit);
        EXPECT_EQ(status, limit < 300000 ? Bzip2Status::TooLarge : Bzip2Status::Ok);
        EXPECT_EQ(std::filesystem::exists(out), status == Bzip2Status::Ok);
        EXPECT_EQ(filesIn(folder), status == Bzip2Status::Ok ? 2u : 1u);
        std::filesystem::remove(out);
    }
}

// Files the GRIB reading must refuse with one line, before anything is expanded or handed to a
// decoding library that would corrupt its memory: damaged JPEG 2000 and CCSDS packings, files
// whose values would expand far past their size, files without any GRIB message.
#include "weather/grib.h"
#include "weather/wind_store.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <utility>
#include <vector>

#include "wind_test_support.h"

namespace navorel {
namespace {

using windtest::constantGribMessage;
using windtest::ramp;
using windtest::ScratchFolder;

const std::string kDir = std::string(NAVOREL_TEST_DATA) + "/grib/";
const std::string kDist = std::string(NAVOREL_SOURCE_DIR) + "/dist";

std::vector<std::uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Offset of section `number` of a one-field edition-2 message.
std::size_t sectionAt(const std::vector<std::uint8_t>& m, int number) {
    for (std::size_t pos = 16; pos + 5 < m.size();) {
        if (m[pos + 4] == number) return pos;
        pos += (std::size_t(m[pos]) << 24) | (std::size_t(m[pos + 1]) << 16) |
               (std::size_t(m[pos + 2]) << 8) | m[pos + 3];
    }
    return 0;
}

// The message with `bytes` written `offset` octets into its section `number`.
std::vector<std::uint8_t> edited(const std::string& name, int number, std::size_t offset,
                                 std::vector<std::uint8_t> bytes) {
    std::vector<std::uint8_t> m = fileBytes(kDir + name);
    const std::size_t at = sectionAt(m, number) + offset;
    std::copy(bytes.begin(), bytes.end(), m.begin() + std::ptrdiff_t(at));
    return m;
}

struct Decoding {
    GribDecoder decoder;
    std::vector<GribRecord> records;
    std::string error;
    Decoding() {
        decoder.setNoteHandler([](const std::string&) {});
        decoder.setUserTablePath("");
    }
    bool bytes(const std::vector<std::uint8_t>& data) {
        return decoder.readBuffer(data.data(), data.size(), records, error);
    }
};

// Runs navorel-cli with `args`; its standard error in `err`, its exit code returned.
int runCli(const std::string& args, std::string& err) {
    err.clear();
    FILE* p = popen((std::string(NAVOREL_CLI) + " " + args + " 2>&1 >/dev/null").c_str(), "r");
    if (!p) return -1;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, p)) err += buffer;
    const int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Packing parameters that make libaec or OpenJPEG (through ecCodes) write outside their
// buffers, and packings that are not read at all: refused before ecCodes unpacks anything.
TEST(GribRefusal, DamagedPackingsAreRefusedBeforeDecoding) {
    const std::string damaged = "record 1: damaged edition-2 message ";
    // SIZ marker of the JPEG 2000 codestream: from octet 5 of the data section.
    constexpr std::size_t siz = 5;
    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::string error;
    } cases[] = {
        {"CCSDS block size 0", fileBytes(kDir + "g2_ccsds_block0.grb2"),
         damaged + "(CCSDS block size)"},
        {"CCSDS interval 0", fileBytes(kDir + "g2_ccsds_interval0.grb2"),
         damaged + "(CCSDS reference sample interval)"},
        {"JPEG 2000 image wider than the grid", fileBytes(kDir + "g2_jpeg_size.grb2"),
         damaged + "(JPEG 2000 image size differs from the value count)"},
        {"CCSDS block size 12", edited("g2_ccsds.grb2", 5, 22, {12}),
         damaged + "(CCSDS block size)"},
        {"CCSDS interval 4097", edited("g2_ccsds.grb2", 5, 23, {0x10, 0x01}),
         damaged + "(CCSDS reference sample interval)"},
        {"CCSDS rules not enforced", edited("g2_ccsds.grb2", 5, 21, {0x4e}),
         damaged + "(CCSDS options)"},
        {"CCSDS 33 bits", edited("g2_ccsds.grb2", 5, 19, {33}), damaged + "(bits per value)"},
        {"JPEG 2000 image shorter than the grid",
         edited("g2_jpeg.grb2", 7, siz + 12, {0, 0, 0, 10}),
         damaged + "(JPEG 2000 image size differs from the value count)"},
        {"JPEG 2000 signed samples", edited("g2_jpeg.grb2", 7, siz + 42, {0x97}),
         damaged + "(JPEG 2000 image samples)"},
        {"JPEG 2000 two components", edited("g2_jpeg.grb2", 7, siz + 40, {0, 2}),
         damaged + "(JPEG 2000 image is not one component)"},
        {"JPEG 2000 without codestream", edited("g2_jpeg.grb2", 7, siz, {0, 0}),
         damaged + "(JPEG 2000 codestream)"},
        // Sound parameters, damaged stream: OpenJPEG fails (in the child process decoding it).
        {"JPEG 2000 tiles zeroed",
         edited("g2_jpeg.grb2", 7, siz + 45, std::vector<std::uint8_t>(64)), damaged + "(values)"},
        {"PNG packing", edited("g2_simple.grb2", 5, 9, {0, 41}),
         "record 1: packing 5.41 is not read (simple, complex, JPEG 2000 and CCSDS packings "
         "only)"},
        {"IEEE packing", edited("g2_simple.grb2", 5, 9, {0, 4}), "record 1: packing 5.4 is not"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Decoding d;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(d.bytes(c.bytes));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(d.error.rfind(c.error, 0), 0u) << d.error;
        EXPECT_EQ(d.error.find('\n'), d.error.size() - 1) << d.error;
        EXPECT_TRUE(d.records.empty());
    }
    // The checks leave good packings alone, constant fields (0 bits, no codestream) included.
    for (const auto& good :
         {fileBytes(kDir + "g2_ccsds.grb2"), fileBytes(kDir + "g2_jpeg.grb2"),
          edited("g2_ccsds.grb2", 5, 19, {0}), edited("g2_jpeg.grb2", 5, 19, {0})}) {
        Decoding d;
        ASSERT_TRUE(d.bytes(good)) << d.error;
        ASSERT_EQ(d.records.size(), 1u);
        EXPECT_EQ(d.records[0].values.size(), d.records[0].valueCount);
    }
}

// Streams damaged behind sound parameters go to OpenJPEG and libaec, which are trusted only
// in a child process: each field decodes or is refused in one line, and the reading goes on.
TEST(GribRefusal, DamagedStreamsDecodeOrAreRefused) {
    std::uint32_t seed = 99;
    const auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    const std::vector<std::uint8_t> simple = fileBytes(kDir + "g2_simple.grb2");
    for (const auto& [name, from] : {std::pair<const char*, std::size_t>{"g2_jpeg.grb2", 5 + 45},
                                     std::pair<const char*, std::size_t>{"g2_ccsds.grb2", 5}}) {
        const std::vector<std::uint8_t> good = fileBytes(kDir + name);
        const std::size_t data = sectionAt(good, 7) + from, end = good.size() - 4;
        int refused = 0;
        for (int variant = 0; variant < 40; ++variant) {
            std::vector<std::uint8_t> bytes = simple;
            bytes.insert(bytes.end(), good.begin(), good.end());
            for (int k = 0; k < 1 + variant % 6; ++k)
                bytes[simple.size() + data + (next() >> 8) % (end - data)] = std::uint8_t(next());
            Decoding d;
            SCOPED_TRACE(std::string(name) + " variant " + std::to_string(variant));
            if (!d.bytes(bytes)) {
                ++refused;
                EXPECT_EQ(d.error.rfind("record 2: damaged edition-2 message", 0), 0u) << d.error;
                EXPECT_EQ(d.error.find('\n'), d.error.size() - 1) << d.error;
            }
            ASSERT_EQ(d.records.size(), d.error.empty() ? 2u : 1u);
            for (const GribRecord& r : d.records) EXPECT_EQ(r.values.size(), r.valueCount);
        }
        // libaec decodes any bytes to some values; OpenJPEG finds damaged tiles.
        if (std::string(name) == "g2_jpeg.grb2") {
            EXPECT_GT(refused, 0);
        }
    }
}

// The command line on the damaged files: exit 1 with one line naming the reason, no crash
// (and, in the sanitizer build, no report).
TEST(GribRefusal, CommandsRefuseDamagedPackingsInOneLine) {
    for (const char* name :
         {"g2_ccsds_block0.grb2", "g2_ccsds_interval0.grb2", "g2_jpeg_size.grb2"}) {
        const std::string path = kDir + name;
        for (const std::string& command :
             {"grib wind " + path + " 0 45 2024-06-01T09:00", "grib dump --json " + path,
              "route --folder " + kDist + " --grib " + path}) {
            SCOPED_TRACE(command);
            std::string err;
            EXPECT_EQ(runCli(command, err), 1);
            EXPECT_EQ(
                err.rfind("navorel-cli: " + path + ": record 1: damaged edition-2 message (", 0),
                0u)
                << err;
            EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
        }
    }
}

// A few kilobytes of constant fields that claim 17 wind pairs of the largest grid the store
// takes (1.1 GB of values) are refused from their size before any value is expanded, in both
// editions; a small constant forecast, up to a wind pair of that grid, still loads.
TEST(GribRefusal, FilesThatExpandFarPastTheirSizeAreRefused) {
    for (const char* name : {"bomb_17pairs.grb", "bomb_17pairs.grb2"}) {
        SCOPED_TRACE(name);
        const std::string path = kDir + name;
        const std::uint64_t size = fileBytes(path).size();
        Decoding d;
        EXPECT_FALSE(d.decoder.readFile(path, d.records, d.error));
        EXPECT_EQ(d.error, gribExpansionRefusal(34ull * 2896 * 2896, size) + "\n");
        EXPECT_EQ(d.error.rfind("the forecast is too large: 1087 MB of values from a file of ", 0),
                  0u);
        EXPECT_EQ(d.decoder.expandedValueCount(), 0u);
        EXPECT_TRUE(d.records.empty());

        WindStore store;
        std::string error;
        EXPECT_EQ(openForecast(path, store, ramp(), 0, error), GribLoadStatus::TooLarge);
        EXPECT_EQ(error, gribExpansionRefusal(34ull * 2896 * 2896, size));
    }
    ScratchFolder scratch;
    const std::string path = scratch.file("constant.grb");
    for (int records : {2, 3}) {
        std::vector<std::uint8_t> bytes;
        for (int k = 0; k < records; ++k) {
            const auto m = constantGribMessage(33 + k % 2, 3 * (k / 2), 2896, 2896);
            bytes.insert(bytes.end(), m.begin(), m.end());
        }
        writeFile(path, bytes);
        SCOPED_TRACE(records);
        Decoding d;
        EXPECT_EQ(d.decoder.readFile(path, d.records, d.error), records == 2) << d.error;
        EXPECT_EQ(d.decoder.expandedValueCount(), records == 2 ? 2ull * 2896 * 2896 : 0u);
    }
    // The forecasts shipped and tested with still load, and every test file decoded against
    // ecCodes still decodes.
    for (const std::string& file :
         {std::string(NAVOREL_SOURCE_DIR) + "/dist/Gribs/Demo.grb", windtest::windData("steps.grb"),
          kDir + "wind_junk.grb", kDir + "g2_multi.grb2", kDir + "g2_ccsds.grb2"}) {
        WindStore store;
        std::string error;
        EXPECT_EQ(openForecast(file, store, ramp(), 0, error), GribLoadStatus::Ok)
            << file << ": " << error;
    }
    int decoded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kDir)) {
        const std::string file = entry.path().string();
        if (entry.path().extension() != ".values") continue;
        Decoding d;
        const std::string grib = file.substr(0, file.size() - 7);
        EXPECT_TRUE(d.decoder.readFile(grib, d.records, d.error)) << grib << ": " << d.error;
        ++decoded;
    }
    EXPECT_GE(decoded, 15);
}

// A file without any GRIB message, opened as a forecast or listed, is said to be one, not
// refused for the size of its grids; a GRIB message cut short keeps its own reason.
TEST(GribRefusal, FilesWithoutGribMessage) {
    ScratchFolder scratch;
    std::vector<std::uint8_t> random(4096);
    std::uint32_t seed = 12345;
    for (auto& b : random) b = std::uint8_t((seed = seed * 1103515245u + 12345u) >> 24);
    const std::string text = "This is not a forecast.\nGRIB files start with GRIB.\n";
    const std::vector<std::uint8_t> u = fileBytes(kDir + "wind_u.grb");
    const std::vector<std::uint8_t> u2 = fileBytes(kDir + "g2_simple.grb2");
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        GribLoadStatus status;
        std::string error; // empty: "no GRIB message in PATH"
    } cases[] = {
        {"empty.grb", {}, GribLoadStatus::NoMessage, ""},
        {"random.grb", random, GribLoadStatus::NoMessage, ""},
        {"text.grb", std::vector<std::uint8_t>(text.begin(), text.end()), GribLoadStatus::NoMessage,
         ""},
        // Too short for the indicator and the sections that must follow "GRIB".
        {"head.grb", std::vector<std::uint8_t>(u.begin(), u.begin() + 30),
         GribLoadStatus::NoMessage, ""},
        {"half.grb", std::vector<std::uint8_t>(u.begin(), u.begin() + 200),
         GribLoadStatus::DecoderFailed, "error, could not read to end of a record"},
        {"half.grb2", std::vector<std::uint8_t>(u2.begin(), u2.begin() + 400),
         GribLoadStatus::DecoderFailed, "record 1: truncated edition-2 message"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = scratch.file(c.name);
        writeFile(path, c.bytes);
        const std::string expected = c.error.empty() ? "no GRIB message in " + path : c.error;
        WindStore store;
        std::string error;
        EXPECT_EQ(openForecast(path, store, ramp(), 0, error), c.status);
        EXPECT_EQ(error, expected);
        EXPECT_TRUE(store.empty());

        Decoding d;
        error.clear();
        EXPECT_FALSE(readForecastRecords(d.decoder, path, d.records, error, false));
        EXPECT_EQ(error, expected);

        const std::string line =
            "navorel-cli: " + (c.error.empty() ? expected : path + ": " + expected) + "\n";
        for (const std::string& command :
             {"grib dump " + path, "grib wind " + path + " 0 45 2024-06-01T09:00",
              "route --folder " + kDist + " --grib " + path}) {
            std::string err;
            EXPECT_EQ(runCli(command, err), 1) << command;
            EXPECT_EQ(err, line) << command;
        }
    }
}

} // namespace
} // namespace navorel

// Every reader refuses an input that is not a regular file (a FIFO that would block the open,
// a device that never ends, a folder) at once, and every writer refuses to replace one.
#include "core/atomic_file.h"
#include "core/file_check.h"
#include "geo/gpx.h"
#include "geo/shoreline_store.h"
#include "routing/polar.h"
#include "settings/ini_file.h"
#include "settings/language_table.h"
#include "weather/bzip2_file.h"
#include "weather/grib.h"
#include "weather/tide_harmonics.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>

#include <sys/stat.h>
#include <unistd.h>

using namespace navorel;
namespace fs = std::filesystem;

namespace {

struct Scratch {
    fs::path dir = fs::temp_directory_path() / ("navorel-file-check-" + std::to_string(::getpid()));
    Scratch() {
        fs::remove_all(dir);
        fs::create_directories(dir / "folder");
    }
    ~Scratch() { fs::remove_all(dir); }
};

// A reader stuck on its input ends the test program instead of the whole test run.
struct Watchdog {
    Watchdog() { ::alarm(20); }
    ~Watchdog() { ::alarm(0); }
};

} // namespace

TEST(FileCheck, EveryReaderRefusesWhatIsNotARegularFile) {
    Scratch s;
    const Watchdog watchdog;
    // The shoreline store reads "poly-<level>-1.dat" in its folder: a FIFO of that name.
    const fs::path shoreFolder = s.dir / "Gshhs";
    fs::create_directories(shoreFolder);
    ASSERT_EQ(::mkfifo(shorelineFileName(shoreFolder.string(), 0).c_str(), 0600), 0);
    const fs::path fifo = s.dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path bz2Fifo = s.dir / "wind.grb.bz2";
    ASSERT_EQ(::mkfifo(bz2Fifo.c_str(), 0600), 0);

    using Reader = std::function<bool(const std::string&)>;
    const std::vector<std::pair<const char*, Reader>> readers = {
        {"grib",
         [](const std::string& p) {
             std::vector<GribRecord> records;
             std::string error;
             GribDecoder decoder;
             decoder.setNoteHandler([](const std::string&) {});
             return decoder.readFile(p, records, error);
         }},
        {"polar",
         [](const std::string& p) {
             Polar polar;
             std::string error;
             return loadPolar(p, polar, error);
         }},
        {"ini",
         [](const std::string& p) {
             IniFile ini;
             std::string error;
             return ini.load(p, error);
         }},
        {"language",
         [](const std::string& p) {
             LanguageTable texts;
             std::string error;
             return texts.loadFile(p, error);
         }},
        {"gpx",
         [](const std::string& p) {
             std::vector<GeoPoint> points;
             std::string error;
             return loadUserRoute(p, points, error);
         }},
    };
    for (const auto& [name, read] : readers) {
        for (const std::string& path :
             {fifo.string(), std::string("/dev/zero"), (s.dir / "folder").string()}) {
            EXPECT_FALSE(read(path)) << name << " read " << path;
        }
    }
    // A .bz2 forecast that is a FIFO is not opened as a stream.
    std::string out;
    EXPECT_EQ(decompressBzip2(bz2Fifo.string(), false, out), Bzip2Status::StreamNotOpened);
    ShorelineStore shore(shoreFolder.string() + "/");
    EXPECT_FALSE(shore.openLevel(0));
    // The tide folder whose Harmonics file is a FIFO.
    fs::create_directories(s.dir / "Tides");
    ASSERT_EQ(::mkfifo((s.dir / "Tides" / "Harmonics").c_str(), 0600), 0);
    TideHarmonics tides;
    EXPECT_FALSE(tides.load((s.dir / "Tides").string()));

    // The refusal names the file and says why.
    std::string error;
    EXPECT_LT(openRegularFile(fifo.string(), 1 << 20, error), 0);
    EXPECT_EQ(error, fifo.string() + ": not a regular file");
}

TEST(FileCheck, WritersRefuseToReplaceWhatIsNotARegularFile) {
    Scratch s;
    const fs::path fifo = s.dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string error;
    for (const fs::path& target : {fifo, s.dir / "folder"}) {
        EXPECT_FALSE(replaceFileContents(target.string(), "data", error)) << target;
        EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_directory(s.dir / "folder"));
}

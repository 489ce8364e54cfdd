// Loading a GRIB edition-2 forecast as sailors download it: a 0.25 degree global 10 m wind for
// 5 days every 3 hours (41 steps of 10u and 10v, CCSDS packing), made with ecCodes at run time
// (not kept in the repository), beside ecCodes' own grib_get_data on the same file. Each run
// is a child process, so its time and peak memory are its own.
#include "weather/color_table.h"
#include "weather/grib.h"
#include "weather/wind_store.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string kFile = "/tmp/navorel_bench_global_wind_5d.grb2";

bool makeFile() {
    static const bool made = [] {
        if (std::ifstream(kFile).good()) return true;
        const std::string script =
            "/usr/bin/python3 - <<'PY'\n"
            "import eccodes, numpy as np\n"
            "out = open('" +
            kFile +
            ".part', 'wb')\n"
            "j, i = np.mgrid[0:721, 0:1440]\n"
            "for step in range(0, 121, 3):\n"
            "    for par in (2, 3):\n"
            "        h = eccodes.codes_grib_new_from_samples('regular_ll_sfc_grib2')\n"
            "        for k, v in [('discipline', 0), ('parameterCategory', 2),\n"
            "                     ('parameterNumber', par), ('typeOfFirstFixedSurface', 103),\n"
            "                     ('scaleFactorOfFirstFixedSurface', 0),\n"
            "                     ('scaledValueOfFirstFixedSurface', 10),\n"
            "                     ('dataDate', 20260601), ('dataTime', 0),\n"
            "                     ('forecastTime', step), ('Ni', 1440), ('Nj', 721),\n"
            "                     ('latitudeOfFirstGridPointInDegrees', 90.0),\n"
            "                     ('latitudeOfLastGridPointInDegrees', -90.0),\n"
            "                     ('longitudeOfFirstGridPointInDegrees', 0.0),\n"
            "                     ('longitudeOfLastGridPointInDegrees', 359.75),\n"
            "                     ('iDirectionIncrementInDegrees', 0.25),\n"
            "                     ('jDirectionIncrementInDegrees', 0.25)]:\n"
            "            eccodes.codes_set(h, k, v)\n"
            "        eccodes.codes_set(h, 'bitsPerValue', 12)\n"
            "        eccodes.codes_set_values(h, (15 * np.sin(i / 40.0 + par + step / 20.0)\n"
            "                                     * np.cos(j / 30.0)).ravel())\n"
            "        eccodes.codes_set(h, 'packingType', 'grid_ccsds')\n"
            "        out.write(eccodes.codes_get_message(h))\n"
            "        eccodes.codes_release(h)\n"
            "out.close()\n"
            "PY\n"
            "mv " +
            kFile + ".part " + kFile;
        return std::system(script.c_str()) == 0;
    }();
    return made;
}

// Runs `work` in a child process: wall time in seconds and peak resident memory in MB, or a
// negative time when the child failed.
std::pair<double, double> inChild(const std::function<bool()>& work) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(work() ? 0 : 1);
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return {-1.0, 0.0};
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {seconds, double(usage.ru_maxrss) / 1024.0};
}

void report(benchmark::State& state, const std::function<bool()>& work) {
    if (!makeFile()) {
        state.SkipWithError("cannot make the GRIB file (python3-eccodes)");
        return;
    }
    double peak = 0;
    for (auto _ : state) {
        const auto [seconds, mb] = inChild(work);
        if (seconds < 0) {
            state.SkipWithError("the run failed");
            return;
        }
        state.SetIterationTime(seconds);
        peak = std::max(peak, mb);
    }
    state.counters["peak_MB"] = peak;
    std::ifstream in(kFile, std::ios::binary | std::ios::ate);
    state.counters["file_MB"] = double(in.tellg()) / (1024.0 * 1024.0);
}

// The records as the wind store reads them: headers first, then the wind's values.
void BM_grib2GlobalWind5DaysRecords(benchmark::State& state) {
    report(state, [] {
        navorel::GribDecoder decoder;
        decoder.setWindValuesOnly(true);
        std::vector<navorel::GribRecord> records;
        std::string error;
        return decoder.readFile(kFile, records, error) && records.size() == 82;
    });
}
BENCHMARK(BM_grib2GlobalWind5DaysRecords)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The whole load: records, then the hourly wind frames (121 frames of a million points).
void BM_grib2GlobalWind5DaysStore(benchmark::State& state) {
    report(state, [] {
        navorel::WindStore store;
        std::string error;
        return store.loadGrib(kFile, navorel::WindColorRamp{}, &error) ==
                   navorel::GribLoadStatus::Ok &&
               store.frames().size() == 121;
    });
}
BENCHMARK(BM_grib2GlobalWind5DaysStore)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// ecCodes' grib_get_data on the same file, its output thrown away.
void BM_grib2GlobalWind5DaysGribGetData(benchmark::State& state) {
    if (std::system("command -v grib_get_data >/dev/null") != 0) {
        state.SkipWithError("grib_get_data not available");
        return;
    }
    report(state, [] {
        const std::string command = "exec grib_get_data " + kFile + " >/dev/null";
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        return false;
    });
}
BENCHMARK(BM_grib2GlobalWind5DaysGribGetData)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

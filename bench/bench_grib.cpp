// GRIB-1 decoding throughput on a 0.25 degree global U/V file made with ecCodes at run time
// (not kept in the repository), beside ecCodes' library and its grib_get_data on the same file.
// Larger files: /usr/bin/python3 bench/make-global-grib.py /tmp/g.grb 1 15 (12 messages,
// 18.7 MB) or ... 1 240 (10 days, 250 MB), then NAVOREL_BENCH_GRIB=/tmp/g.grb
// navorel-bench --benchmark_filter=Versus.
#include "weather/grib.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include <eccodes.h>

#include "routing/routing_parameters.h"
#include "weather/color_table.h"
#include "weather/wind_sampler.h"
#include "weather/wind_store.h"

namespace {

const std::string kFile = "/tmp/navorel_bench_global_wind.grb";

bool makeFile() {
    static const bool made = [] {
        if (std::ifstream(kFile).good()) return true;
        const std::string script =
            "/usr/bin/python3 - <<'PY'\n"
            "import eccodes, numpy as np\n"
            "out = open('" +
            kFile +
            "', 'wb')\n"
            "for par in (33, 34):\n"
            "    h = eccodes.codes_grib_new_from_samples('GRIB1')\n"
            "    for k, v in [('centre', 7), ('table2Version', 2), ('indicatorOfParameter', par),\n"
            "                 ('indicatorOfTypeOfLevel', 105), ('level', 10), ('Ni', 1440),\n"
            "                 ('Nj', 721), ('latitudeOfFirstGridPointInDegrees', 90.0),\n"
            "                 ('latitudeOfLastGridPointInDegrees', -90.0),\n"
            "                 ('longitudeOfFirstGridPointInDegrees', 0.0),\n"
            "                 ('longitudeOfLastGridPointInDegrees', 359.75),\n"
            "                 ('iDirectionIncrementInDegrees', 0.25),\n"
            "                 ('jDirectionIncrementInDegrees', 0.25)]:\n"
            "        eccodes.codes_set(h, k, v)\n"
            "    eccodes.codes_set(h, 'changeDecimalPrecision', 1)\n"
            "    j, i = np.mgrid[0:721, 0:1440]\n"
            "    eccodes.codes_set_values(h, (15 * np.sin(i / 40.0 + par) * np.cos(j / "
            "30.0)).ravel())\n"
            "    out.write(eccodes.codes_get_message(h))\n"
            "    eccodes.codes_release(h)\n"
            "PY";
        return std::system(script.c_str()) == 0;
    }();
    return made;
}

void BM_decodeGlobalWind(benchmark::State& state) {
    if (!makeFile()) {
        state.SkipWithError("cannot make the GRIB file (python3-eccodes)");
        return;
    }
    std::ifstream in(kFile, std::ios::binary);
    const std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
    navorel::GribDecoder decoder;
    std::size_t values = 0;
    for (auto _ : state) {
        std::vector<navorel::GribRecord> records;
        std::string error;
        if (!decoder.readBuffer(bytes.data(), bytes.size(), records, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        for (const auto& r : records) values += r.values.size();
        benchmark::DoNotOptimize(records.data());
    }
    state.counters["values/s"] = benchmark::Counter(double(values), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_decodeGlobalWind)->Unit(benchmark::kMillisecond);

void BM_decodeGlobalWindFromFile(benchmark::State& state) {
    if (!makeFile()) {
        state.SkipWithError("cannot make the GRIB file (python3-eccodes)");
        return;
    }
    std::size_t values = 0;
    for (auto _ : state) {
        std::vector<navorel::GribRecord> records;
        std::string error;
        navorel::GribDecoder decoder;
        if (!decoder.readFile(kFile, records, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        for (const auto& r : records) values += r.values.size();
    }
    state.counters["values/s"] = benchmark::Counter(double(values), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_decodeGlobalWindFromFile)->Unit(benchmark::kMillisecond);

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// Every value of every message through ecCodes' library: false when a message fails. With
// `keep`, each message's values stay in memory as floats until the file is read, as they do
// with our decoder; without, they go into one buffer used again for every message.
bool ecCodesDecode(const std::string& path, bool keep, std::size_t& values) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::vector<double> buffer;
    std::vector<std::vector<float>> kept;
    int err = 0;
    bool ok = true;
    while (codes_handle* h = codes_handle_new_from_file(nullptr, f, PRODUCT_GRIB, &err)) {
        std::size_t n = 0;
        ok = ok && codes_get_size(h, "values", &n) == CODES_SUCCESS;
        buffer.resize(n);
        ok = ok && codes_get_double_array(h, "values", buffer.data(), &n) == CODES_SUCCESS;
        if (keep) kept.emplace_back(buffer.begin(), buffer.begin() + std::ptrdiff_t(n));
        values += n;
        codes_handle_delete(h);
    }
    std::fclose(f);
    benchmark::DoNotOptimize(kept.data());
    return ok && err == CODES_SUCCESS;
}

// Our decoder and ecCodes' library on the same file, one after the other in every iteration.
// The counters give each one's processor time per file: ecCodes decoding every message into
// one buffer (eccodes_ms) and keeping every message's values as floats (eccodes_kept_ms), as
// our decoder does; `ratio` is ours / eccodes_ms, `ratio_kept` ours / eccodes_kept_ms. The file
// is NAVOREL_BENCH_GRIB when set (bench/make-global-grib.py makes global forecasts), else the
// two-message global file.
void BM_decodeVersusEcCodes(benchmark::State& state) {
    const char* env = std::getenv("NAVOREL_BENCH_GRIB");
    if (!env && !makeFile()) {
        state.SkipWithError("cannot make the GRIB file (python3-eccodes)");
        return;
    }
    const std::string path = env ? env : kFile;
    double ours = 0, theirs = 0, theirsKept = 0;
    std::size_t ourValues = 0, theirValues = 0, keptValues = 0;
    for (auto _ : state) {
        double t0 = threadSeconds();
        {
            std::vector<navorel::GribRecord> records;
            std::string error;
            navorel::GribDecoder decoder;
            if (!decoder.readFile(path, records, error)) {
                state.SkipWithError(error.c_str());
                return;
            }
            for (const auto& r : records) ourValues += r.values.size();
        }
        const double t1 = threadSeconds();
        ours += t1 - t0;
        if (!ecCodesDecode(path, false, theirValues)) {
            state.SkipWithError("ecCodes cannot decode the file");
            return;
        }
        const double t2 = threadSeconds();
        theirs += t2 - t1;
        if (!ecCodesDecode(path, true, keptValues)) {
            state.SkipWithError("ecCodes cannot decode the file");
            return;
        }
        theirsKept += threadSeconds() - t2;
    }
    if (ourValues != theirValues || ourValues != keptValues)
        state.SkipWithError("the decoders give different value counts");
    const double n = double(state.iterations());
    state.counters["navorel_ms"] = 1000.0 * ours / n;
    state.counters["eccodes_ms"] = 1000.0 * theirs / n;
    state.counters["eccodes_kept_ms"] = 1000.0 * theirsKept / n;
    state.counters["ratio"] = theirs > 0 ? ours / theirs : 0.0;
    state.counters["ratio_kept"] = theirsKept > 0 ? ours / theirsKept : 0.0;
}
BENCHMARK(BM_decodeVersusEcCodes)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The whole load of a forecast as the program opens it (decode, store, first sample) beside
// ecCodes' decoding of every value of the same file into one buffer, one after the other in
// every iteration, in processor time: navorel_ms, eccodes_ms and `ratio` = navorel / ecCodes.
// `stored_MB` is the memory the store's frames hold. The file is NAVOREL_BENCH_GRIB when set,
// else the 8-step 0.25 degree global GRIB-1 of bench/make-global-grib.py (0 to 21 hours).
void BM_loadVersusEcCodes(benchmark::State& state) {
    const char* env = std::getenv("NAVOREL_BENCH_GRIB");
    std::string path = env ? env : "/tmp/navorel_bench_global_8steps.grb";
    if (!env && !std::ifstream(path).good()) {
        const std::string make =
            "/usr/bin/python3 " NAVOREL_SOURCE_DIR "/bench/make-global-grib.py " + path + " 1 21";
        if (std::system(make.c_str()) != 0) {
            state.SkipWithError("cannot make the GRIB file (python3-eccodes)");
            return;
        }
    }
    const navorel::WindColorRamp ramp =
        navorel::buildRamp(navorel::builtinWindScale(), navorel::kDefaultSeaColor);
    const navorel::RoutingParameters parameters;
    double ours = 0, theirs = 0, stored = 0;
    std::size_t theirValues = 0;
    for (auto _ : state) {
        const double t0 = threadSeconds();
        {
            navorel::WindStore store;
            if (store.loadGrib(path, ramp) != navorel::GribLoadStatus::Ok) {
                state.SkipWithError("the forecast does not load");
                return;
            }
            const auto sample =
                navorel::windAt(store, parameters, 10.3f, 45.7f, store.frameTimes().front());
            benchmark::DoNotOptimize(sample);
            stored = double(store.storedPoints() * navorel::kStoredPointBytes) / (1 << 20);
        }
        const double t1 = threadSeconds();
        ours += t1 - t0;
        if (!ecCodesDecode(path, false, theirValues)) {
            state.SkipWithError("ecCodes cannot decode the file");
            return;
        }
        theirs += threadSeconds() - t1;
    }
    const double n = double(state.iterations());
    state.counters["navorel_ms"] = 1000.0 * ours / n;
    state.counters["eccodes_ms"] = 1000.0 * theirs / n;
    state.counters["ratio"] = theirs > 0 ? ours / theirs : 0.0;
    state.counters["stored_MB"] = stored;
}
BENCHMARK(BM_loadVersusEcCodes)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// ecCodes' grib_get_data on the same file, output thrown away (whole process, manual time).
void BM_ecCodesGribGetData(benchmark::State& state) {
    if (!makeFile() || std::system("command -v grib_get_data >/dev/null") != 0) {
        state.SkipWithError("grib_get_data not available");
        return;
    }
    const std::string command = "grib_get_data " + kFile + " >/dev/null";
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("grib_get_data failed");
            return;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    state.counters["values/s"] = benchmark::Counter(2.0 * 1440 * 721 * double(state.iterations()),
                                                    benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ecCodesGribGetData)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

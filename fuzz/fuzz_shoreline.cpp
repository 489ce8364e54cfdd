// Feeds arbitrary bytes to the shoreline polygon reader and runs the land tests on what it
// reads. The first byte chooses how the bytes become a file: odd, they are the whole file
// (header and cell index included); even, they are the data of every cell behind a sound
// header and an index whose words all point at them.
#include "geo/crossing.h"
#include "geo/shoreline_store.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

void putInt32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

const std::string& folder() {
    static const std::string f = [] {
        std::string name = "/tmp/navorel_fuzz_shoreline_" + std::to_string(getpid()) + "/";
        std::string command = "mkdir -p " + name;
        if (std::system(command.c_str()) != 0) std::abort();
        return name;
    }();
    return f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::vector<std::uint8_t> file;
    if (data[0] & 1) {
        file.assign(data + 1, data + size);
    } else {
        const std::uint32_t header[12] = {0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        for (std::uint32_t w : header) putInt32(file, w);
        const std::uint32_t cellData = 48 + 4 * 360 * 180;
        for (int i = 0; i < 360 * 180; ++i) putInt32(file, cellData);
        file.insert(file.end(), data + 1, data + size);
    }
    const std::string path = navorel::shorelineFileName(folder(), 0);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (!file.empty()) std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);

    navorel::ShorelineStore store(folder());
    if (!store.openLevel(0)) return 0;
    using navorel::GeoPoint;
    // Moves kept short so each run reads a handful of cells.
    const GeoPoint moves[][2] = {
        {{0.5f, 0.5f}, {0.2f, 0.9f}},      {{-0.5f, 0.3f}, {0.7f, 0.6f}},
        {{0.0f, 0.0f}, {0.0f, 1.0f}},      {{179.5f, 10.2f}, {-179.5f, 10.7f}},
        {{-0.5f, -89.9f}, {0.5f, -89.1f}}, {{3.0f, 3.0f}, {3.0f, 3.0f}}};
    for (const auto& m : moves) {
        navorel::segmentCrossesLand(store, m[0], m[1]);
        navorel::pointOnLand(store, m[0]);
        navorel::pointOnLand(store, m[1]);
    }
    for (int x : {0, 1, 359, 180})
        for (int y : {-90, 0, 10, 89}) store.cellAt(x, y);
    return 0;
}

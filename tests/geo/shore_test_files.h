#pragma once
// Writes small polygon files byte by byte for the shoreline tests, independently of the
// converter, so the reader is checked against the layout itself.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace shore_test {

struct Ring {
    std::vector<std::pair<double, double>> points; // degrees, file longitudes 0..360
};

struct CellData {
    std::vector<Ring> land, lakes;
    std::vector<Ring> extra; // a third block the reader must ignore
};

class Bytes {
  public:
    void int32(std::int32_t v) {
        for (int i = 0; i < 4; ++i)
            data.push_back(static_cast<unsigned char>(std::uint32_t(v) >> (8 * i)));
    }
    void real(double v) {
        std::uint64_t u;
        std::memcpy(&u, &v, 8);
        for (int i = 0; i < 8; ++i) data.push_back(static_cast<unsigned char>(u >> (8 * i)));
    }
    void setInt32(std::size_t at, std::int32_t v) {
        ASSERT_LE(at + 4, data.size());
        for (int i = 0; i < 4; ++i)
            data[at + i] = static_cast<unsigned char>(std::uint32_t(v) >> (8 * i));
    }
    std::vector<unsigned char> data;
};

inline void putBlock(Bytes& b, const std::vector<Ring>& rings) {
    b.int32(static_cast<std::int32_t>(rings.size()));
    for (const Ring& r : rings) {
        b.int32(7); // the unused word
        b.int32(static_cast<std::int32_t>(r.points.size()));
        for (auto [x, y] : r.points) {
            b.real(x * 1e6);
            b.real(y * 1e6);
        }
    }
}

// The file of one-degree cells holding `cells` (key: lonIndex, latIndex); every other cell
// points at one shared empty record. cellOffsets receives where each given cell's data starts.
inline Bytes makeFile(const std::map<std::pair<int, int>, CellData>& cells,
                      std::map<std::pair<int, int>, std::size_t>* cellOffsets = nullptr) {
    Bytes b;
    const std::int32_t header[12] = {0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (std::int32_t w : header) b.int32(w);
    const std::size_t indexAt = b.data.size();
    for (int i = 0; i < 360 * 180; ++i) b.int32(0);
    const std::int32_t empty = static_cast<std::int32_t>(b.data.size());
    b.int32(0);
    b.int32(0);
    for (int i = 0; i < 360 * 180; ++i) b.setInt32(indexAt + 4 * i, empty);
    for (const auto& [key, cell] : cells) {
        const std::size_t at = b.data.size();
        b.setInt32(indexAt + 4 * (key.first * 180 + key.second + 90),
                   static_cast<std::int32_t>(at));
        if (cellOffsets) (*cellOffsets)[key] = at;
        putBlock(b, cell.land);
        putBlock(b, cell.lakes);
        if (!cell.extra.empty()) putBlock(b, cell.extra);
    }
    return b;
}

// A folder under the test temporary directory, one per process: ctest runs the tests of
// this program side by side, and they must not rewrite each other's files.
// Removed again when the process ends.
inline std::string makeFolder(const std::string& name) {
    struct RemoveAtExit {
        std::string root; // ends with '/'
        ~RemoveAtExit() {
            std::error_code ec;
            std::filesystem::remove_all(std::filesystem::path(root).parent_path(), ec);
        }
    };
    static const RemoveAtExit process{testing::TempDir() + "navorel_shore_" +
                                      std::to_string(getpid()) + "/"};
    const std::string folder = process.root + name + "/";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) ADD_FAILURE() << "cannot create " << folder;
    return folder;
}

inline void writeFile(const std::string& path, const std::vector<unsigned char>& data) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    if (!data.empty()) std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
}

// A square ring from (x0, y0) to (x1, y1), counter-clockwise.
inline Ring box(double x0, double y0, double x1, double y1) {
    return Ring{{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}};
}

} // namespace shore_test

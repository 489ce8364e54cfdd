#include "geo/shoreline_store.h"

#include "core/file_check.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>

namespace navorel {

namespace {

std::int32_t readInt32(const unsigned char* p) {
    const std::uint32_t v = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                            std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
    return static_cast<std::int32_t>(v);
}

double readDouble(const unsigned char* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
    return std::bit_cast<double>(v);
}

// Stored millionths of a degree to degrees: narrowed to float, scaled in double, narrowed
// again. False for a value that does not fit a float (a corrupt file).
bool convertVertex(double stored, float& out) {
    if (!(std::fabs(stored) <= FLT_MAX)) return false;
    out = static_cast<float>(static_cast<double>(static_cast<float>(stored)) * 1e-6);
    return true;
}

void buildLandBlocks(ShorelineCell& cell) {
    cell.landBlocks.clear();
    constexpr std::uint32_t kPerBlock = ShorelineEdgeBlock::kEdgesPerBlock;
    for (std::uint32_t c = 0; c < cell.land.size(); ++c) {
        const std::vector<GeoPoint>& v = cell.land[c].vertices;
        const std::uint32_t n = static_cast<std::uint32_t>(v.size());
        for (std::uint32_t first = 0; first < n; first += kPerBlock) {
            ShorelineEdgeBlock b{};
            b.contour = c;
            b.firstEdge = first;
            b.edgeCount = std::min(kPerBlock, n - first);
            b.minLon = b.maxLon = v[first].lon;
            b.minLat = b.maxLat = v[first].lat;
            for (std::uint32_t k = 0; k < b.edgeCount; ++k) {
                const GeoPoint a = v[first + k];
                const GeoPoint e = v[first + k + 1 < n ? first + k + 1 : 0];
                b.minLon = std::min({b.minLon, a.lon, e.lon});
                b.maxLon = std::max({b.maxLon, a.lon, e.lon});
                b.minLat = std::min({b.minLat, a.lat, e.lat});
                b.maxLat = std::max({b.maxLat, a.lat, e.lat});
                if (isBorderEdge(cell, a, e)) b.borderMask |= 1u << k;
            }
            const std::uint32_t all = b.edgeCount == 32 ? ~0u : (1u << b.edgeCount) - 1u;
            if (b.borderMask != all) cell.landBlocks.push_back(b);
        }
    }
    cell.landGroups.clear();
    constexpr std::uint32_t kPerGroup = ShorelineBlockGroup::kBlocksPerGroup;
    const std::uint32_t blocks = static_cast<std::uint32_t>(cell.landBlocks.size());
    for (std::uint32_t first = 0; first < blocks; first += kPerGroup) {
        ShorelineBlockGroup g{};
        g.firstBlock = first;
        g.blockCount = std::min(kPerGroup, blocks - first);
        const ShorelineEdgeBlock& b0 = cell.landBlocks[first];
        g.minLon = b0.minLon;
        g.minLat = b0.minLat;
        g.maxLon = b0.maxLon;
        g.maxLat = b0.maxLat;
        for (std::uint32_t k = 1; k < g.blockCount; ++k) {
            const ShorelineEdgeBlock& b = cell.landBlocks[first + k];
            g.minLon = std::min(g.minLon, b.minLon);
            g.minLat = std::min(g.minLat, b.minLat);
            g.maxLon = std::max(g.maxLon, b.maxLon);
            g.maxLat = std::max(g.maxLat, b.maxLat);
        }
        cell.landGroups.push_back(g);
    }
}

const ShorelineCell& emptyCell() {
    static const ShorelineCell cell;
    return cell;
}

} // namespace

bool isBorderEdge(const ShorelineCell& cell, GeoPoint a, GeoPoint b) {
    if (a.lon == b.lon && (a.lon == cell.west || a.lon == cell.west + cell.width)) return true;
    if (a.lat == b.lat && (a.lat == cell.south || a.lat == cell.south + cell.height)) return true;
    return false;
}

char shorelineLevelLetter(int level) {
    static const char letters[] = {'c', 'l', 'i', 'h', 'f'};
    return letters[std::clamp(level, 0, 4)];
}

std::string shorelineLevelStatusText(int level) {
    std::string marks = "0 . . . .";
    const int l = std::clamp(level, 0, 4);
    marks[0] = '.';
    marks[static_cast<std::size_t>(2 * l)] = static_cast<char>('0' + l);
    return "Gshhs [" + marks + "]";
}

std::string shorelineFileName(const std::string& folder, int level) {
    std::string name = folder;
    if (!name.empty() && name.back() != '/' && name.back() != '\\') name += '/';
    name += "poly-";
    name += shorelineLevelLetter(level);
    name += "-1.dat";
    return name;
}

std::vector<ShorelineCellIndex> visibleShorelineCells(double west, double east, double south,
                                                      double north) {
    std::vector<ShorelineCellIndex> out;
    if (!std::isfinite(west) || !std::isfinite(east) || !std::isfinite(south) ||
        !std::isfinite(north))
        return out;
    const long long i0 = static_cast<long long>(std::floor(std::clamp(west, -1e6, 1e6)));
    long long i1 = static_cast<long long>(std::ceil(std::clamp(east, -1e6, 1e6)));
    const long long j0 = static_cast<long long>(std::floor(std::clamp(south, -1e6, 1e6)));
    long long j1 = static_cast<long long>(std::ceil(std::clamp(north, -1e6, 1e6)));
    if (i1 <= i0) i1 = i0 + 1;
    if (j1 <= j0) j1 = j0 + 1;
    i1 = std::min(i1, i0 + 360); // a view wider than the globe shows each cell once
    for (long long i = i0; i < i1; ++i)
        for (long long j = std::max(j0, -90LL); j < std::min(j1, 90LL); ++j)
            out.push_back({wrapLonIndex(static_cast<int>(i % 360)), static_cast<int>(j)});
    return out;
}

ShorelineStore::ShorelineStore(std::string folder)
    : folder_(std::move(folder)), cells_(new std::atomic<const ShorelineCell*>[kCellCount]) {
    for (int i = 0; i < kCellCount; ++i) cells_[i].store(nullptr, std::memory_order_relaxed);
}

ShorelineStore::~ShorelineStore() {
    discardCells();
    if (file_) std::fclose(file_);
}

void ShorelineStore::discardCells() {
    for (int i = 0; i < kCellCount; ++i) {
        delete cells_[i].exchange(nullptr, std::memory_order_acq_rel);
    }
}

bool ShorelineStore::openLevel(int level) {
    if (level == level_ && file_) return true;
    level_ = level;
    const std::string name = shorelineFileName(folder_, level);
    if (file_) std::fclose(file_);
    std::string refused; // a missing or unusable level reads as no shoreline
    file_ = openRegularStream(name, kMaxShorelineBytes, refused);
    header_ = ShorelineFileHeader{};
    fileSize_ = 0;
    if (file_) {
        unsigned char bytes[48];
        bool ok = std::fseek(file_, 0, SEEK_END) == 0;
        fileSize_ = ok ? std::ftell(file_) : -1;
        ok = ok && fileSize_ >= 48 && std::fseek(file_, 0, SEEK_SET) == 0 &&
             std::fread(bytes, 1, 48, file_) == 48;
        if (ok) {
            for (int i = 0; i < 12; ++i) header_.words[i] = readInt32(bytes + 4 * i);
            const int w = header_.cellWidth(), h = header_.cellHeight();
            ok = w > 0 && h > 0 && w <= 360 && h <= 180 && 360 % w == 0 && 180 % h == 0;
        }
        if (!ok) {
            std::fclose(file_);
            file_ = nullptr;
            fileSize_ = 0;
        }
    }
    discardCells();
    return file_ != nullptr;
}

int ShorelineStore::loadedCellCount() const {
    int n = 0;
    for (int i = 0; i < kCellCount; ++i)
        if (cells_[i].load(std::memory_order_acquire)) ++n;
    return n;
}

const ShorelineCell& ShorelineStore::cellAt(int lonIndex, int latIndex) const {
    if (latIndex < -90 || latIndex > 89 || !file_) return emptyCell();
    const int x = wrapLonIndex(lonIndex);
    std::atomic<const ShorelineCell*>& slot = cells_[x * 180 + latIndex + 90];
    if (const ShorelineCell* cell = slot.load(std::memory_order_acquire)) return *cell;

    std::lock_guard<std::mutex> lock(readMutex_);
    if (const ShorelineCell* cell = slot.load(std::memory_order_acquire)) return *cell;
    auto cell = std::make_unique<ShorelineCell>();
    cell->lonIndex = x;
    cell->latIndex = latIndex;
    const int w = header_.cellWidth(), h = header_.cellHeight();
    cell->west = static_cast<float>(x / w * w);
    cell->south = static_cast<float>((latIndex + 90) / h * h - 90);
    cell->width = static_cast<float>(w);
    cell->height = static_cast<float>(h);
    if (!readCell(*cell)) {
        cell->land.clear();
        cell->lakes.clear();
    }
    buildLandBlocks(*cell);
    const ShorelineCell* published = cell.release();
    slot.store(published, std::memory_order_release);
    return *published;
}

bool ShorelineStore::readCell(ShorelineCell& cell) const {
    const int w = header_.cellWidth(), h = header_.cellHeight();
    const long long word =
        static_cast<long long>(cell.lonIndex / w) * (180 / h) + (cell.latIndex + 90) / h;
    const long long at = 48 + 4 * word;
    unsigned char bytes[4];
    if (at + 4 > fileSize_ || std::fseek(file_, static_cast<long>(at), SEEK_SET) != 0 ||
        std::fread(bytes, 1, 4, file_) != 4)
        return false;
    const std::int32_t offset = readInt32(bytes);
    if (offset < 0 || offset > fileSize_ - 8 || std::fseek(file_, offset, SEEK_SET) != 0)
        return false;
    return readBlock(cell.land) && readBlock(cell.lakes);
}

bool ShorelineStore::readBlock(std::vector<ShorelineContour>& contours) const {
    contours.clear();
    unsigned char bytes[8];
    if (std::fread(bytes, 1, 4, file_) != 4) return false;
    const std::int32_t count = readInt32(bytes);
    long long position = std::ftell(file_);
    // Each contour takes at least its two words: a count larger than the rest of the file
    // allows is corrupt, and is refused before anything is allocated for it.
    if (count < 0 || position < 0 || count > (fileSize_ - position) / 8) return false;
    contours.reserve(static_cast<std::size_t>(count));
    for (std::int32_t c = 0; c < count; ++c) {
        if (std::fread(bytes, 1, 8, file_) != 8) return false;
        const std::int32_t n = readInt32(bytes + 4);
        position += 8;
        if (n < 0 || n > (fileSize_ - position) / 16) return false;
        const std::size_t size = static_cast<std::size_t>(n) * 16;
        readBuffer_.resize(size);
        if (size && std::fread(readBuffer_.data(), 1, size, file_) != size) return false;
        position += static_cast<long long>(size);
        ShorelineContour contour;
        contour.vertices.resize(static_cast<std::size_t>(n));
        for (std::int32_t k = 0; k < n; ++k) {
            GeoPoint& p = contour.vertices[static_cast<std::size_t>(k)];
            if (!convertVertex(readDouble(readBuffer_.data() + 16 * k), p.lon) ||
                !convertVertex(readDouble(readBuffer_.data() + 16 * k + 8), p.lat))
                return false;
        }
        contours.push_back(std::move(contour));
    }
    return true;
}

} // namespace navorel

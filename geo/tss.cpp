#include "geo/tss.h"

#include "core/atomic_file.h"
#include "geo/crossing.h"
#include "geo/gpx.h"

#include <pugixml.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace navorel {

namespace {

struct StringWriter : pugi::xml_writer {
    std::string text;
    void write(const void* data, std::size_t size) override {
        text.append(static_cast<const char*>(data), size);
    }
};

// Selection files are a few lines; anything larger is not one.
constexpr std::uintmax_t kMaxSelectionBytes = 1024 * 1024;

} // namespace

std::string zoneNameOfFile(std::string_view fileName) {
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || fileName.substr(dot + 1) != "gpx") return {};
    return std::string(fileName.substr(0, dot));
}

std::string tssSelectionXml(const std::vector<std::string>& selectedNames) {
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("tss");
    for (const std::string& name : selectedNames)
        root.append_child("file").append_attribute("name").set_value(name.c_str());
    StringWriter writer;
    doc.save(writer, "\t", pugi::format_default, pugi::encoding_utf8);
    return std::move(writer.text);
}

std::vector<std::string> parseTssSelection(std::string_view xml, bool& ok) {
    std::vector<std::string> names;
    pugi::xml_document doc;
    ok = static_cast<bool>(doc.load_buffer(xml.data(), xml.size()));
    if (!ok) return names;
    for (pugi::xml_node file : doc.child("tss").children("file"))
        names.emplace_back(file.attribute("name").value());
    return names;
}

void TssStore::listZones() {
    std::vector<std::string> found;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError)) continue;
        std::string name = zoneNameOfFile(it->path().filename().string());
        if (!name.empty()) found.push_back(std::move(name));
    }
    std::sort(found.begin(), found.end());
    std::vector<bool> flags(found.size(), false);
    for (std::size_t i = 0; i < found.size(); ++i)
        for (std::size_t k = 0; k < names.size() && k < selected.size(); ++k)
            if (names[k] == found[i]) flags[i] = selected[k];
    names = std::move(found);
    selected = std::move(flags);
}

void TssStore::readSelection() {
    selected.assign(names.size(), false);
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(selectionFile, ec);
    if (ec || size > kMaxSelectionBytes) return;
    std::ifstream in(selectionFile, std::ios::binary);
    const std::string xml((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    bool ok = false;
    for (const std::string& wanted : parseTssSelection(xml, ok))
        for (std::size_t i = 0; i < names.size(); ++i)
            if (names[i] == wanted) selected[i] = true;
}

bool TssStore::writeSelection(std::string& error) const {
    std::vector<std::string> chosen;
    for (std::size_t i = 0; i < names.size() && i < selected.size(); ++i)
        if (selected[i]) chosen.push_back(names[i]);
    return replaceFileContents(selectionFile, tssSelectionXml(chosen), error);
}

void TssStore::reloadOutlines() {
    outlines.clear();
    kinds.clear();
    loadErrors.clear();
    std::size_t points = 0;
    for (std::size_t i = 0; i < names.size() && i < selected.size(); ++i) {
        if (!selected[i]) continue;
        ZoneOutlines zone;
        std::vector<std::string> zoneKinds;
        std::string error;
        const std::string path = folder + names[i] + ".gpx";
        if (!loadZoneOutlines(path, zone, zoneKinds, error)) {
            // A missing file is a zone removed since the listing: nothing to say.
            std::error_code ec;
            if (fs::exists(path, ec)) loadErrors.push_back(error);
            continue;
        }
        std::size_t zonePoints = 0;
        for (const auto& outline : zone) zonePoints += outline.size();
        if (points + zonePoints > kMaxSelectedZonePoints) {
            loadErrors.push_back(path + ": not loaded, the selected zones would hold more than " +
                                 std::to_string(kMaxSelectedZonePoints) + " points");
            continue;
        }
        points += zonePoints;
        for (auto& outline : zone) outlines.push_back(std::move(outline));
        for (auto& kind : zoneKinds) kinds.push_back(std::move(kind));
    }
    std::vector<bool> use(outlines.size());
    for (std::size_t k = 0; k < outlines.size(); ++k) use[k] = zoneKindAvoided(kinds[k]);
    avoided.build(outlines, use);
}

void TssStore::initZones(const std::string& zoneFolder, const std::string& selectionPath) {
    folder = zoneFolder;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    selectionFile = selectionPath;
    names.clear();
    selected.clear();
    outlines.clear();
    kinds.clear();
    loadErrors.clear();
    avoided.clear();
    listZones();
    if (names.empty()) return;
    readSelection();
    reloadOutlines();
}

std::vector<ZonePageEntry> openZonePage(TssStore& store) {
    store.listZones();
    std::vector<ZonePageEntry> entries;
    for (std::size_t i = 0; i < store.names.size(); ++i)
        entries.push_back({store.names[i], i < store.selected.size() && store.selected[i]});
    return entries;
}

void selectAllZones(TssStore& store, std::vector<ZonePageEntry>& entries) {
    store.selected.assign(store.names.size(), true);
    for (ZonePageEntry& e : entries) e.selected = true;
}

void selectNoZones(TssStore& store, std::vector<ZonePageEntry>& entries) {
    store.selected.assign(store.names.size(), false);
    for (ZonePageEntry& e : entries) e.selected = false;
}

bool updateZoneSelection(TssStore& store, const std::vector<ZonePageEntry>& entries,
                         std::string& error) {
    store.selected.assign(store.names.size(), false);
    for (std::size_t i = 0; i < entries.size() && i < store.names.size(); ++i)
        store.selected[i] = entries[i].selected && entries[i].name == store.names[i];
    const bool written = store.writeSelection(error);
    store.reloadOutlines();
    for (const std::string& refused : store.loadErrors)
        error += (error.empty() ? "" : "\n") + refused;
    return written && store.loadErrors.empty();
}

bool zoneKindAvoided(std::string_view kind) {
    static constexpr std::string_view open[] = {"traffic lane", "precautionary area",
                                                "separation line", "inshore traffic zone",
                                                "area to be avoided"};
    return std::find(std::begin(open), std::end(open), kind) == std::end(open);
}

bool segmentCrossesZones(const ZoneOutlines& outlines, GeoPoint from, GeoPoint to) {
    const float minLon = std::min(from.lon, to.lon), maxLon = std::max(from.lon, to.lon);
    const float minLat = std::min(from.lat, to.lat), maxLat = std::max(from.lat, to.lat);
    for (const auto& outline : outlines) {
        const std::size_t n = outline.size();
        if (n < 2) continue;
        for (std::size_t i = 0; i < n; ++i) {
            const GeoPoint a = outline[i], b = outline[(i + 1) % n];
            if (std::max(a.lon, b.lon) < minLon || std::min(a.lon, b.lon) > maxLon ||
                std::max(a.lat, b.lat) < minLat || std::min(a.lat, b.lat) > maxLat)
                continue;
            if (moveCrossesEdge(from, to, a, b)) return true;
        }
    }
    return false;
}

} // namespace navorel

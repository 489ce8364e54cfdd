#pragma once
// Traffic separation schemes: one GPX file per zone in Data/Tss/ (every `rte` one closed
// outline), the user's choice of zones in Data/Tss.xml, and the outlines of the chosen zones
// merged for drawing and, when [Routing] AvoidTss is on, for the routing's crossing test.
//
// An `rte` may state its kind in its own `type` child ("separation zone", "traffic lane",
// "precautionary area", ...). Every outline is drawn; the routing keeps out of separation
// zones and of outlines whose kind is not stated (a zone file made by hand), while lanes,
// precautionary areas and the other named kinds stay open to it.
//
// Tss.xml: root `tss`, one `file` element per selected zone with the zone name (the file
// name without ".gpx") in its `name` attribute, tab-indented, in zone order.
#include "core/geodesy.h"
#include "geo/tss_index.h"

#include <string>
#include <string_view>
#include <vector>

namespace navorel {

using ZoneOutlines = std::vector<std::vector<GeoPoint>>;

class TssStore {
  public:
    // The outlines of every selected zone, in zone order and within a zone in file order.
    ZoneOutlines outlines;
    // The kind of each outline (the `rte`'s `type`, empty when the file states none).
    std::vector<std::string> kinds;
    // The outlines the routing keeps out of, filed for its crossing test.
    ZoneCrossingIndex avoided;
    // Why zone files were refused at the last load ("Data/Tss/Big.gpx: ..."), one per file.
    std::vector<std::string> loadErrors;
    std::string folder;        // ends with '/'
    std::string selectionFile; // Data/Tss.xml
    // Zone names (file names without ".gpx") in byte order, so that a sorted list shows
    // entry i as zone i; selected[i] belongs to names[i].
    std::vector<std::string> names;
    std::vector<bool> selected;

    std::size_t zoneCount() const { return names.size(); }

    // Rebuilds the names from the folder: regular files whose extension is exactly "gpx"
    // (case-sensitive), cut at their last period. Zones that stay keep their flag, new ones
    // start unselected.
    void listZones();
    // The flags from the selection file; a missing or malformed file selects nothing. Names
    // matching no zone are ignored.
    void readSelection();
    // Writes the selection file from the flags; false with a message when it cannot.
    bool writeSelection(std::string& error) const;
    // Empties the outlines and loads every selected zone's file; unreadable files add nothing
    // (and a message to loadErrors), nor do files once the selection holds kMaxSelectedZonePoints.
    void reloadOutlines();
    // Start-up: set the paths, list the zones, read the selection and load the outlines.
    void initZones(const std::string& zoneFolder, const std::string& selectionPath);
};

// The zone name of a folder entry, or an empty string when the entry is not a zone file.
std::string zoneNameOfFile(std::string_view fileName);

// The selection document for the given names, and the names a document selects (empty on a
// malformed document).
std::string tssSelectionXml(const std::vector<std::string>& selectedNames);
std::vector<std::string> parseTssSelection(std::string_view xml, bool& ok);

// --- The options page "TSS selected:" --------------------------------------------------------

// The list the page shows when created: it re-lists the folder; entry i is zone i, selected
// when the zone is.
struct ZonePageEntry {
    std::string name;
    bool selected = false;
};
std::vector<ZonePageEntry> openZonePage(TssStore& store);
// "All" and "None": every flag set or cleared (and every entry with it); nothing is saved.
void selectAllZones(TssStore& store, std::vector<ZonePageEntry>& entries);
void selectNoZones(TssStore& store, std::vector<ZonePageEntry>& entries);
// "Update": the flags from the entries (entry i for zone i), the selection file written and
// the outlines reloaded. False with a message when the file could not be written or a zone
// file was refused; the outlines are reloaded anyway.
bool updateZoneSelection(TssStore& store, const std::vector<ZonePageEntry>& entries,
                         std::string& error);

// Does the routing keep out of an outline of this kind? Yes for "separation zone" and for an
// outline without a stated kind; no for the kinds a boat may sail in: "traffic lane",
// "precautionary area", "separation line", "inshore traffic zone" and "area to be avoided".
// Any other text counts as not stated.
bool zoneKindAvoided(std::string_view kind);

// All the selected zones together may hold this many points: four full zone files.
constexpr std::size_t kMaxSelectedZonePoints = 1000000;

// Does the move from -> to cross an edge of a zone outline (closing edge included)? Every
// edge is tested; the routing uses the store's index, which answers alike.
bool segmentCrossesZones(const ZoneOutlines& outlines, GeoPoint from, GeoPoint to);

} // namespace navorel

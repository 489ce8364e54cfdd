#pragma once
// A set of forecasts: several models and the members of ensembles, each read into a wind store
// of its own with a label ("GFS", "ECMWF", "member 12"). Members are read apart, never mixed:
// the records of a file are grouped by model (centre and generating process) and member, and
// each group makes one store. The members of one ensemble share their grid and their steps; a
// member that lacks a step or lies on another grid is left out, and a note names it.
#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "weather/grib_crop.h"
#include "weather/wind_store.h"

namespace navorel {

// The most forecasts a set holds: more are refused whole (a file of a thousand tiny members is
// not a thousand routings).
inline constexpr std::size_t kMaxForecastSources = 256;

struct ForecastSource {
    std::string label; // "GFS", "ECMWF", "member 12", "GFS member 12" among several models
    std::string model; // "GFS", "ECMWF", ... or the file's display name
    std::string file;  // the path it was read from
    int centre = 0, process = 0;
    int member = -1; // the ensemble member (0 the control); -1 for a plain forecast
    std::unique_ptr<WindStore> store;
};

// The members chosen: all, or ranges of member numbers ("0-10", "0,3,5-7"). Plain forecasts
// are always kept.
struct MemberSelection {
    std::vector<std::pair<int, int>> ranges; // inclusive; empty: every member
    bool contains(int member) const;
};

// "all", "N", "N-M" and lists of them separated by commas. False with one line in `error`.
bool parseMemberSelection(const std::string& text, MemberSelection& selection, std::string& error);

struct ForecastSetOptions {
    GribBox box;             // every record is cropped to it while it is read
    MemberSelection members; // the members kept
    int lagHours = 0;        // [Winds] Lag, applied to every store
    std::size_t maxSources = kMaxForecastSources;
};

// The model of a centre and generating process: "GFS" (NCEP), "ECMWF", "GEM" (Canada), "UKMO",
// "ICON" (DWD), "ARPEGE" (Meteo-France); empty for another centre.
std::string modelName(int centre, int process);

class ForecastSet {
  public:
    // Reads every file (plain or ".bz2") into one store per model and member, in the order of
    // the files, plain forecasts of a file before its members, members by number. On failure
    // (a file that cannot be read, no forecast left, more than maxSources) the set is left as
    // it was and `error` holds one line; nothing is loaded half.
    bool load(const std::vector<std::string>& paths, const ForecastSetOptions& options,
              const WindColorRamp& ramp, std::string& error);

    bool empty() const { return sources_.empty(); }
    std::size_t size() const { return sources_.size(); }
    const std::vector<ForecastSource>& sources() const { return sources_; }
    // What was left out and why, one line each ("ens.grib2: member 3 left out: it lacks the
    // step of 2026-06-01 06:00").
    const std::vector<std::string>& notes() const { return notes_; }
    // Wind points held by every store.
    std::size_t storedPoints() const;

  private:
    std::vector<ForecastSource> sources_;
    std::vector<std::string> notes_;
};

} // namespace navorel

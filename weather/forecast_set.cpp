#include "weather/forecast_set.h"

#include "core/datetime.h"
#include "weather/grib.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <tuple>

namespace navorel {

bool MemberSelection::contains(int member) const {
    if (ranges.empty()) return true;
    for (const auto& [first, last] : ranges)
        if (member >= first && member <= last) return true;
    return false;
}

bool parseMemberSelection(const std::string& text, MemberSelection& selection, std::string& error) {
    MemberSelection parsed;
    auto refuse = [&]() {
        error = "--members takes all, a member number or ranges such as 0-10,15 (members 0 to "
                "255), not '" +
                text + "'";
        return false;
    };
    if (text == "all") {
        selection = parsed;
        return true;
    }
    if (text.empty()) return refuse();
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t comma = std::min(text.find(',', at), text.size());
        const std::string part = text.substr(at, comma - at);
        const std::size_t dash = part.find('-');
        auto number = [](const std::string& s, int& n) {
            if (s.empty() || s.size() > 3 || s.find_first_not_of("0123456789") != std::string::npos)
                return false;
            n = std::atoi(s.c_str());
            return n <= 255;
        };
        int first = 0, last = 0;
        if (dash == std::string::npos) {
            if (!number(part, first)) return refuse();
            last = first;
        } else if (!number(part.substr(0, dash), first) || !number(part.substr(dash + 1), last) ||
                   last < first) {
            return refuse();
        }
        parsed.ranges.emplace_back(first, last);
        at = comma + 1;
    }
    selection = parsed;
    return true;
}

std::string modelName(int centre, int /*process*/) {
    switch (centre) {
    case 7:
        return "GFS";
    case 98:
        return "ECMWF";
    case 54:
        return "GEM";
    case 74:
        return "UKMO";
    case 78:
        return "ICON";
    case 85:
        return "ARPEGE";
    default:
        return {};
    }
}

std::size_t ForecastSet::storedPoints() const {
    std::size_t n = 0;
    for (const ForecastSource& s : sources_) n += s.store->storedPoints();
    return n;
}

namespace {

// Whole hours since 1 January 1980 of a record's valid time.
long long validHour(const GribRecord& r) {
    return std::llround(dayNumber(r.day, r.month, r.year, 0, 0, 0) * 24.0) + r.hour + r.forecast;
}

std::string hourText(long long hour) {
    const DateTime t = fromDayNumber(double(hour) / 24.0);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute);
    return text;
}

// One model's member (or plain forecast) in a file: its records, in file order.
struct Group {
    int centre = 0, process = 0, member = -1;
    std::vector<GribRecord> records;
    std::string leftOut; // why the group is not kept; empty when it is
};

// What the wind store pairs: the hours of the U and the V records, and the grid of the first.
struct Shape {
    std::vector<long long> u, v;
    int nx = 0, ny = 0;
    float lon1 = 0, lat1 = 0, di = 0, dj = 0;
    bool repeats = false;
};

Shape shapeOf(const Group& g) {
    Shape s;
    bool first = true;
    for (const GribRecord& r : g.records) {
        const bool u = isBuiltinUgrd(r), v = isBuiltinVgrd(r);
        if (!u && !v) continue;
        (u ? s.u : s.v).push_back(validHour(r));
        if (first) {
            s.nx = r.nx;
            s.ny = r.ny;
            s.lon1 = r.lon1;
            s.lat1 = r.lat1;
            s.di = r.di;
            s.dj = r.dj;
            first = false;
        }
    }
    for (auto* hours : {&s.u, &s.v}) {
        std::sort(hours->begin(), hours->end());
        s.repeats = s.repeats || std::adjacent_find(hours->begin(), hours->end()) != hours->end();
    }
    return s;
}

bool sameGrid(const Shape& a, const Shape& b) {
    return a.nx == b.nx && a.ny == b.ny && a.lon1 == b.lon1 && a.lat1 == b.lat1 && a.di == b.di &&
           a.dj == b.dj;
}

// Why a member of an ensemble whose reference member has `ref` does not fit; empty when it
// does.
std::string misfit(const Shape& s, const Shape& ref) {
    if (s.repeats) return "it repeats a step";
    if (!sameGrid(s, ref)) return "its grid differs";
    if (s.u != s.v) return "a step lacks one of the wind components";
    for (long long h : ref.u)
        if (!std::binary_search(s.u.begin(), s.u.end(), h))
            return "it lacks the step of " + hourText(h);
    if (s.u != ref.u) return "its steps differ";
    return {};
}

// Groups the wind records of one file by model and member, plain forecasts first (in the
// order they first appear), then members by number.
std::vector<Group> groupRecords(std::vector<GribRecord>& records) {
    std::map<std::tuple<int, int, int>, std::size_t> index;
    std::vector<Group> groups;
    for (GribRecord& r : records) {
        if (!keptByWindStore(r)) continue;
        const auto key = std::make_tuple(r.centre, r.process, r.member);
        auto found = index.find(key);
        if (found == index.end()) {
            found = index.emplace(key, groups.size()).first;
            groups.push_back(Group{r.centre, r.process, r.member, {}, {}});
        }
        groups[found->second].records.push_back(std::move(r));
    }
    records.clear();
    // Plain forecasts first, then each model's members by number, models in file order.
    std::map<std::pair<int, int>, std::size_t> modelOrder;
    for (const Group& g : groups)
        modelOrder.emplace(std::make_pair(g.centre, g.process), modelOrder.size());
    const auto key = [&modelOrder](const Group& g) {
        return std::make_tuple(g.member >= 0, modelOrder[{g.centre, g.process}], g.member);
    };
    std::stable_sort(groups.begin(), groups.end(),
                     [&key](const Group& a, const Group& b) { return key(a) < key(b); });
    return groups;
}

// Marks the members of each ensemble of the file that do not fit it. The reference member is
// the one with the most steps (the control on a tie, else the lowest number).
void checkMembers(std::vector<Group>& groups, const std::string& file,
                  std::vector<std::string>& notes) {
    std::map<std::pair<int, int>, std::vector<Group*>> ensembles;
    for (Group& g : groups)
        if (g.member >= 0) ensembles[{g.centre, g.process}].push_back(&g);
    for (auto& [model, members] : ensembles) {
        std::vector<Shape> shapes;
        for (Group* g : members) shapes.push_back(shapeOf(*g));
        std::size_t ref = 0;
        for (std::size_t k = 1; k < members.size(); ++k)
            if (shapes[k].u.size() > shapes[ref].u.size()) ref = k;
        if (members.front()->member != 0)
            notes.push_back(file + ": the ensemble has no control member (0)");
        for (std::size_t k = 0; k < members.size(); ++k) {
            const std::string why = k == ref
                                        ? (shapes[k].repeats ? "it repeats a step" : std::string())
                                        : misfit(shapes[k], shapes[ref]);
            if (why.empty()) continue;
            members[k]->leftOut = why;
        }
    }
}

} // namespace

bool ForecastSet::load(const std::vector<std::string>& paths, const ForecastSetOptions& options,
                       const WindColorRamp& ramp, std::string& error) {
    std::vector<ForecastSource> sources;
    std::vector<std::string> notes;
    std::vector<std::pair<Group, std::string>> kept; // a group and its file
    if (paths.empty()) {
        error = "no forecast file given";
        return false;
    }
    GribDecoder decoder;
    decoder.setWindValuesOnly(true);
    decoder.setCropBox(options.box);
    for (const std::string& path : paths) {
        std::vector<GribRecord> records;
        std::string text;
        if (!readForecastRecords(decoder, path, records, text)) {
            error = text.rfind("no GRIB message", 0) == 0 ? text : path + ": " + text;
            return false;
        }
        std::vector<Group> groups = groupRecords(records);
        if (groups.empty()) {
            error = path + ": " + gribLoadMessage(GribLoadStatus::BadGrid, {});
            return false;
        }
        checkMembers(groups, path, notes);
        for (Group& g : groups) {
            if (g.member >= 0 && !options.members.contains(g.member)) continue;
            if (!g.leftOut.empty()) {
                notes.push_back(path + ": member " + std::to_string(g.member) +
                                " left out: " + g.leftOut);
                continue;
            }
            kept.emplace_back(std::move(g), path);
        }
    }
    auto summary = [&notes]() {
        if (notes.empty()) return std::string();
        std::string s = ": " + notes.front();
        if (notes.size() > 1) s += " (and " + std::to_string(notes.size() - 1) + " more)";
        return s;
    };
    if (kept.empty()) {
        error = "no forecast to route in the files" + summary();
        return false;
    }
    if (kept.size() > options.maxSources) {
        error = std::to_string(kept.size()) + " forecasts in the files: at most " +
                std::to_string(options.maxSources) + " are read at once";
        return false;
    }

    // Labels: the model's name, the member's number; both when the set holds several models.
    std::set<std::string> models;
    for (const auto& [g, file] : kept) {
        std::string model = modelName(g.centre, g.process);
        if (model.empty()) model = gribDisplayName(file);
        models.insert(model);
    }
    for (auto& [g, file] : kept) {
        ForecastSource s;
        s.model = modelName(g.centre, g.process);
        if (s.model.empty()) s.model = gribDisplayName(file);
        s.file = file;
        s.centre = g.centre;
        s.process = g.process;
        s.member = g.member;
        if (g.member < 0)
            s.label = s.model;
        else
            s.label = (models.size() > 1 ? s.model + " " : std::string()) + "member " +
                      std::to_string(g.member);
        s.store = std::make_unique<WindStore>();
        const GribLoadStatus status = s.store->loadRecords(std::move(g.records), ramp);
        g.records.clear();
        if (status != GribLoadStatus::Ok) {
            notes.push_back(file + ": " + s.label + " left out: " + gribLoadMessage(status, {}));
            continue;
        }
        if (options.lagHours != 0) s.store->applyLag(options.lagHours);
        sources.push_back(std::move(s));
    }
    if (sources.empty()) {
        error = "no forecast to route in the files" + summary();
        return false;
    }
    // Two plain forecasts of one model (two files of the same centre) are told apart by file.
    std::map<std::string, int> uses;
    for (const ForecastSource& s : sources) ++uses[s.label];
    for (ForecastSource& s : sources)
        if (uses[s.label] > 1) s.label += " (" + gribDisplayName(s.file) + ")";
    sources_ = std::move(sources);
    notes_ = std::move(notes);
    error.clear();
    return true;
}

} // namespace navorel

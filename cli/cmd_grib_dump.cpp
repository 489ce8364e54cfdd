// navorel-cli grib dump FILE [--json]: the decoded records of a GRIB file.
#include "cli/commands.h"
#include "weather/forecast_set.h"
#include "weather/grib.h"
#include "weather/wind_store.h"

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace navorel::cli {
namespace {

std::string jsonText(const char* text) {
    std::string out = "\"";
    for (const char* p = text; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

void printJson(const std::vector<GribRecord>& records) {
    std::printf("{\"records\":[");
    for (std::size_t k = 0; k < records.size(); ++k) {
        const GribRecord& r = records[k];
        std::printf("%s{\"index\":%d,\"name\":%s,\"year\":%d,\"month\":%d,\"day\":%d,\"hour\":%d,"
                    "\"minute\":%d,\"forecast\":%d,\"unit\":%s,\"nx\":%d,\"ny\":%d,"
                    "\"lon1\":%.9g,\"lon2\":%.9g,\"di\":%.9g,\"lat1\":%.9g,\"lat2\":%.9g,"
                    "\"dj\":%.9g",
                    k ? "," : "", r.index, jsonText(r.name).c_str(), r.year, r.month, r.day, r.hour,
                    r.minute, r.forecast, jsonText(r.unit).c_str(), r.nx, r.ny, r.lon1, r.lon2,
                    r.di, r.lat1, r.lat2, r.dj);
        // Ensemble records name their member (0 the control) and the ensemble's size.
        if (r.member >= 0) std::printf(",\"member\":%d,\"members\":%d", r.member, r.ensembleSize);
        std::printf(",\"values\":[");
        for (std::size_t i = 0; i < r.values.size(); ++i)
            std::printf(i ? ",%.9g" : "%.9g", r.values[i]);
        std::printf("]}");
    }
    std::printf("]}\n");
}

// "GFS members 0-20 (21), ECMWF": the models of the wind records, each with its members as
// ranges; empty for a file of one plain forecast.
std::string forecastsListed(const std::vector<GribRecord>& records) {
    std::map<std::string, std::set<int>> models;
    std::vector<std::string> order;
    for (const GribRecord& r : records) {
        if (!keptByWindStore(r)) continue;
        std::string model = modelName(r.centre, r.process);
        if (model.empty()) model = "centre " + std::to_string(r.centre);
        if (!models.count(model)) order.push_back(model);
        models[model].insert(r.member);
    }
    bool several = order.size() > 1;
    for (const auto& [model, members] : models) several = several || *members.rbegin() >= 0;
    if (!several) return {};
    std::string out;
    for (const std::string& model : order) {
        if (!out.empty()) out += ", ";
        out += model;
        std::vector<std::pair<int, int>> ranges;
        int count = 0;
        for (int m : models[model]) {
            if (m < 0) continue;
            ++count;
            if (!ranges.empty() && ranges.back().second == m - 1)
                ranges.back().second = m;
            else
                ranges.emplace_back(m, m);
        }
        if (ranges.empty()) continue;
        out += " members ";
        for (std::size_t k = 0; k < ranges.size(); ++k) {
            if (k) out += ',';
            out += std::to_string(ranges[k].first);
            if (ranges[k].second != ranges[k].first) out += '-' + std::to_string(ranges[k].second);
        }
        out += " (" + std::to_string(count) + ")";
    }
    return out;
}

// One line for a file that cannot be listed: "FILE: reason", or "no GRIB message in FILE".
int failFile(const std::string& path, const std::string& error) {
    return fail(error == noGribMessageText(path) ? error : path + ": " + error);
}

int gribDumpCommand(const Args& arguments) {
    Args args = arguments;
    const bool json = takeFlag(args, "--json");
    if (args.size() != 1) return fail("usage: navorel-cli grib dump FILE [--json]");
    GribDecoder decoder;
    std::vector<GribRecord> records;
    std::string error;
    // The listing needs no values: a file of any size is listed in little memory. The values
    // are printed only when no grid is larger than any forecast the program loads.
    if (!readForecastRecords(decoder, args[0], records, error, false))
        return failFile(args[0], error);
    if (json) {
        for (const GribRecord& r : records)
            if (r.valueCount > kMaxGridPoints) return fail(args[0] + ": " + kGribTooLarge);
        records.clear();
        GribDecoder values;
        if (!readForecastRecords(values, args[0], records, error, true))
            return failFile(args[0], error);
        printJson(records);
        return 0;
    }
    for (const GribRecord& r : records) {
        std::printf("%d %s %04d-%02d-%02d %02dh forecast %d %s nx %d ny %d lon %.9g %.9g di %.9g "
                    "lat %.9g %.9g dj %.9g",
                    r.index, r.name, r.year, r.month, r.day, r.hour, r.forecast, r.unit, r.nx, r.ny,
                    r.lon1, r.lon2, r.di, r.lat1, r.lat2, r.dj);
        if (r.member >= 0) std::printf(" member %d of %d", r.member, r.ensembleSize);
        std::printf("\n");
    }
    // The models and members of a file that holds more than one forecast.
    const std::string forecasts = forecastsListed(records);
    if (!forecasts.empty()) std::printf("forecasts: %s\n", forecasts.c_str());
    return 0;
}

const CommandRegistrar reg("grib dump", "grib dump FILE [--json]", gribDumpCommand);

} // namespace
} // namespace navorel::cli

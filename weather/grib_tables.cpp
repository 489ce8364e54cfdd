#include "weather/grib_tables.h"

#include <cstdlib>
#include <cstring>
#include <set>

namespace navorel {

const GribParameter* findGribTable(GribTableFamily family, int version) {
    for (const GribParameterTable& t : kGribBuiltinTables)
        if (t.family == family && t.version == version) return t.entries;
    return nullptr;
}

const char* gribTimeUnitName(int code) {
    switch (code) {
    case 0:
        return "min";
    case 1:
        return "hr";
    case 2:
        return "d";
    case 3:
        return "mon";
    case 4:
        return "yr";
    case 5:
        return "decade";
    case 6:
        return "normal";
    case 7:
        return "century";
    case 10:
        return " x3 hours";
    case 11:
        return " x6 hours";
    case 12:
        return " x12 hours";
    case 13:
        return "x15 min";
    case 14:
        return "x30 min";
    case 254:
        return " sec";
    default:
        return "??";
    }
}

namespace {

// Texts of user-table entries live as long as the program: a record keeps pointing at the
// name it was given even after the table was reloaded for another key.
const char* keepText(const std::string& text) {
    static std::set<std::string> texts;
    return texts.insert(text).first->c_str();
}

// The leading integer of a line, as scanf reads it; false when there is none.
bool leadingInt(const char* line, int& value) {
    return std::sscanf(line, "%d", &value) == 1;
}

bool keyMatches(int stored, int wanted) {
    return stored == -1 || stored == wanted;
}

} // namespace

GribUserTable::~GribUserTable() {
    if (file_) std::fclose(file_);
}

void GribUserTable::setPath(const std::string& path) {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    path_ = path;
    pathChosen_ = true;
    status_ = Status::NotInitialised;
}

bool GribUserTable::load(int centre, int subcentre, int version, const Note& note) {
    if (status_ == Status::NotInitialised) {
        for (int i = 0; i < 256; ++i) entries_[i] = GribParameter{nullptr, nullptr};
        if (!pathChosen_) {
            const char* env = std::getenv("GRIBTAB");
            if (!env) env = std::getenv("gribtab");
            path_ = env ? env : "gribtab";
        }
        status_ = Status::Ready;
    }
    if (status_ == Status::NoFile) return false;
    if ((status_ == Status::Loaded || status_ == Status::NotFound) && keyMatches(key_[0], centre) &&
        keyMatches(key_[1], subcentre) && keyMatches(key_[2], version))
        return status_ == Status::Loaded;

    if (!file_) {
        if (!path_.empty()) file_ = std::fopen(path_.c_str(), "r");
        if (!file_) {
            status_ = Status::NoFile;
            return false;
        }
    }
    std::rewind(file_);
    key_[0] = centre;
    key_[1] = subcentre;
    key_[2] = version;

    char line[300];
    bool found = false;
    while (std::fgets(line, 299, file_)) {
        int lead;
        if (!leadingInt(line, lead) || lead != -1) continue;
        int minus, c, s, v;
        if (std::sscanf(line, "%d:%d:%d:%d", &minus, &c, &s, &v) != 4) {
            if (note)
                note("illegal gribtab center/subcenter/ptable line: " + std::string(line) + "\n");
            continue;
        }
        if (keyMatches(c, centre) && keyMatches(s, subcentre) && keyMatches(v, version)) {
            key_[0] = c;
            key_[1] = s;
            key_[2] = v;
            found = true;
            break;
        }
    }
    if (!found) {
        status_ = Status::NotFound;
        return false;
    }

    for (int i = 0; i < 256; ++i) entries_[i] = GribParameter{nullptr, nullptr};
    while (std::fgets(line, 299, file_)) {
        int number;
        if (!leadingInt(line, number)) number = 0;
        if (number == -1) break;
        const char* first = std::strchr(line, ':');
        if (!first) continue;
        const char* second = std::strchr(first + 1, ':');
        if (!second) {
            if (note) note("illegal gribtab line:" + std::string(line) + "\n");
            continue;
        }
        if (number < 0 || number > 255) continue; // no such parameter number
        std::string description(second + 1);
        if (!description.empty() && description.back() == '\n') description.pop_back();
        entries_[number].name = keepText(std::string(first + 1, second));
        entries_[number].description = keepText(description);
    }
    for (int i = 0; i < 256; ++i) {
        if (!entries_[i].name) {
            entries_[i].name = keepText("var" + std::to_string(i));
            entries_[i].description = "undefined";
        }
    }
    status_ = Status::Loaded;
    return true;
}

const GribParameter* chooseGribTable(const GribPdsKey& key, GribUserTable& user, bool once[2],
                                     const GribUserTable::Note& note) {
    const int centre = key.centre, sub = key.subcentre, version = key.version;
    if (centre == 7 && version <= 3) {
        if (sub == 1) return findGribTable(GribTableFamily::NcepReanalysis, 2);
        if (sub == 14) return findGribTable(GribTableFamily::NcepSubcentre14, 2);
        if (sub != 0 || (key.process != 80 && key.process != 180) || (version != 1 && version != 2))
            return findGribTable(GribTableFamily::NcepOperational, 2);
        if (!once[0] && note)
            note("Using NCEP reanalysis table, see -ncep_opn, -ncep_rean options\n");
        once[0] = true;
        return findGribTable(GribTableFamily::NcepReanalysis, 2);
    }
    if (centre == 7) {
        if (version == 132) return findGribTable(GribTableFamily::NcepReanalysis, 2);
        if (const GribParameter* t = findGribTable(GribTableFamily::Ncep, version)) return t;
    } else if (centre == 98) {
        if (const GribParameter* t = findGribTable(GribTableFamily::Ecmwf, version)) return t;
    } else if (centre == 78 || centre == 146) {
        if (const GribParameter* t = findGribTable(GribTableFamily::Dwd, version)) return t;
    } else if (centre == 46 && version == 254) {
        return findGribTable(GribTableFamily::Cptec, 254);
    }
    if (user.load(centre, sub, version, note)) return user.entries();
    if (version > 3 || key.parameter > 127) {
        if (!once[1] && note) {
            char text[120];
            std::snprintf(text, sizeof text,
                          "\nUndefined parameter table (center %d-%d table %d), using NCEP-opn\n",
                          centre, sub, version);
            note(text);
        }
        once[1] = true;
    }
    return findGribTable(GribTableFamily::NcepOperational, 2);
}

} // namespace navorel

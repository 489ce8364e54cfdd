#pragma once
// The built-in GRIB-1 parameter tables, the user parameter table read from a "gribtab" file,
// the time-unit names and the choice of a table for a message.
#include <cstdio>
#include <functional>
#include <string>

namespace navorel {

struct GribParameter {
    const char* name;        // abbreviation ("UGRD", "10U", "var255")
    const char* description; // with the unit in square brackets, "undefined" for no parameter
};

enum class GribTableFamily {
    NcepOperational,
    NcepReanalysis,
    NcepSubcentre14,
    Ncep,
    Ecmwf,
    Dwd,
    Cptec
};

struct GribParameterTable {
    GribTableFamily family;
    int version;
    const GribParameter* entries; // 256 entries, indexed by parameter number
};

inline constexpr int kGribBuiltinTableCount = 39;
extern const GribParameterTable kGribBuiltinTables[kGribBuiltinTableCount];

// The built-in table of a family and version; nullptr when there is none.
const GribParameter* findGribTable(GribTableFamily family, int version);

// Name of a forecast time unit (PDS octet 18): "min", "hr", ... and "??" for unknown codes.
const char* gribTimeUnitName(int code);

// The user parameter table: a text file of headers "-1:centre:subcentre:version" (-1 for any),
// each followed by entry lines "number:abbreviation:description". The file is opened once and
// kept open; texts of loaded entries stay valid for the life of the program.
class GribUserTable {
  public:
    using Note = std::function<void(const std::string&)>;
    GribUserTable() = default;
    ~GribUserTable();
    GribUserTable(const GribUserTable&) = delete;
    GribUserTable& operator=(const GribUserTable&) = delete;

    // Chooses the file; without a call the file is found from GRIBTAB, gribtab or "gribtab".
    void setPath(const std::string& path);
    // True when the table now holds a table for the key.
    bool load(int centre, int subcentre, int version, const Note& note);
    const GribParameter* entries() const { return entries_; }

  private:
    enum class Status { NotInitialised, Ready, Loaded, NotFound, NoFile };
    Status status_ = Status::NotInitialised;
    bool pathChosen_ = false;
    std::string path_;
    std::FILE* file_ = nullptr;
    int key_[3] = {0, 0, 0};
    GribParameter entries_[256] = {};
};

struct GribPdsKey {
    int centre = 0, subcentre = 0, version = 0, process = 0, parameter = 0;
};

// Picks the parameter table for a message; never none. The notes are given through `note`
// once per `onceFlags` owner (two flags: the NCEP choice and the undefined-table note).
const GribParameter* chooseGribTable(const GribPdsKey& key, GribUserTable& user, bool onceFlags[2],
                                     const GribUserTable::Note& note);

} // namespace navorel

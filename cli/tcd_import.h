#pragma once
// Harmonic constants from a TCD file (libtcd): tide stations for our Harmonics file, and
// full predictions of tidal-current stations for building current atlases. Only the CLI
// links libtcd; the engine never sees it.
#include <array>
#include <string>
#include <vector>

namespace navorel::cli {

// One constituent of a station: speed in degrees per hour, amplitude in the station's units,
// Greenwich phase lag in degrees.
struct TcdConstituent {
    std::string name;
    double speed = 0, amplitude = 0, phase = 0;
    int index = 0; // constituent number in the TCD file
};

struct TcdStation {
    int record = -1;
    bool reference = true;
    std::string name;
    double lat = 0, lon = 0;
    std::string units; // "feet", "meters", "knots", "knots^2"
    double datum = 0;  // in `units`
    std::vector<TcdConstituent> constituents;
    double floodDirection = -1, ebbDirection = -1; // degrees; -1 when not given
    // Offset stations: their reference record, time offsets in hours and speed factors.
    int referenceRecord = -1;
    double floodTime = 0, ebbTime = 0, floodSlack = 0, ebbSlack = 0;
    bool haveFloodSlack = false, haveEbbSlack = false;
    double floodFactor = 1, ebbFactor = 1;
};

// Opens the TCD file (once per process); false with a message when it cannot.
bool openTcd(const std::string& path, std::string& error);
// The station named exactly `name`, or false.
bool readTcdStation(const std::string& name, TcdStation& station, std::string& error);
bool readTcdRecord(int record, TcdStation& station, std::string& error);
// Names of every station whose name contains `text`.
std::vector<std::string> findTcdStations(const std::string& text);

// Predicted level (or signed current speed, flood positive) of a reference station at a day
// number, with the node factors and equilibrium arguments of the TCD file for that year.
class TcdPredictor {
  public:
    explicit TcdPredictor(const TcdStation& station);
    double value(double dayNumber) const;

  private:
    const TcdStation& station_;
    mutable int year_ = -1;
    mutable double yearStart_ = 0;
    mutable std::vector<double> factor_, argument_;
};

// Equilibrium argument (degrees) and node factor of a constituent for a calendar year.
double tcdEquilibrium(int constituent, int year);
double tcdNodeFactor(int constituent, int year);

} // namespace navorel::cli

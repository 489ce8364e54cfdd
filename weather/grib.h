#pragma once
// GRIB files decoded into plain records: one GribRecord per message, with the parameter name
// (edition 1: from the parameter tables; edition 2: ecCodes' short name, the 10 m wind as
// UGRD/VGRD), the reference date, the forecast time, the grid and the unpacked values (rows
// south to north, west to east within a row). Edition-1 messages are decoded here, edition-2
// messages through ecCodes; a file may mix them.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace navorel {

// The value given to points that the bitmap marks as absent.
inline constexpr float kGribMissing = 9999.0f;

// The one shared text of the built-in tables for the wind components. A record names a
// built-in wind component when its `name` pointer is one of these (a user table's "UGRD"
// is another text and does not count).
extern const char kGribUgrd[];
extern const char kGribVgrd[];
// The built-in text of the edition-2 10 m wind gust (discipline 0, category 2, parameter 22).
extern const char kGribGust[];

// The text of the refusal of a file whose values would not fit in memory.
extern const char kGribTooLarge[];
// The most values the decoder expands from one file by default: a quarter of the machine's
// memory in floats.
std::uint64_t defaultGribValueLimit();

// A file whose values, as floats, would take more than kGribMaxExpansion times its own size is
// refused before any value is expanded. Real packings stay well below: a smooth analytic 0.25
// degree global wind expands 79 times in lossless JPEG 2000 at 12 bits per value, 28 times in
// CCSDS, 6 in complex packing, 2 to 3 in simple packing (real model output, less smooth, less),
// while a few bytes of constant fields (0 bits per value) can claim gigabytes. Up to
// kGribExpansionFloor values (a wind pair of the largest grid the wind store takes) always
// pass, so a small constant test forecast still loads.
inline constexpr std::uint64_t kGribMaxExpansion = 256;
inline constexpr std::uint64_t kGribExpansionFloor = std::uint64_t(1) << 24;
// The refusal of such a file: kGribTooLarge, then the sizes ("... 1140 MB of values from a
// file of 6 kB").
std::string gribExpansionRefusal(std::uint64_t values, std::uint64_t fileBytes);

// Allocates without zeroing what it constructs without a value: a decoded array is written
// once, by the decoder, not first filled with zeros.
template <class T> struct UninitialisedAllocator : std::allocator<T> {
    template <class U> struct rebind { using other = UninitialisedAllocator<U>; };
    UninitialisedAllocator() = default;
    template <class U> UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    template <class U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <class U, class... Args> void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// The values of a record.
using GribValues = std::vector<float, UninitialisedAllocator<float>>;

struct GribRecord {
    int index = 0;         // 1 for the first message decoded from the file, then 2, 3...
    const char* name = ""; // parameter abbreviation; a table's own text (never freed)
    int year = 0;          // (century - 1) * 100 + year of century
    int month = 0, day = 0, hour = 0, minute = 0;
    int forecast = 0;           // forecast time (hours in practice)
    const char* unit = "";      // name of the forecast time unit ("hr", "min", ...)
    float lon1 = 0, lon2 = 0;   // degrees, in [-180, 180]
    float di = 0;               // degrees, 0 when the grid gives no increments
    float lat1 = 0, lat2 = 0;   // degrees, lat1 <= lat2 after the rows were put south first
    float dj = 0;               // degrees, >= 0 after the rows were put south first
    int nx = 0, ny = 0;         // points along a row and rows (-1 for the unknown one)
    GribValues values;          // south row first, west to east; kGribMissing where absent
    std::size_t valueCount = 0; // values the message decodes to, also when only headers were read

    // Further facts of the message, for listings.
    const char* description = ""; // parameter description with its unit in brackets
    int parameter = 0;            // parameter number (PDS octet 9)
    int centre = 0, subcentre = 0, tableVersion = 0;
    int levelType = 0, level = 0; // PDS octet 10 and octets 11-12
    int process = 0;              // generating process (edition 1: PDS octet 6)
    // The ensemble member of an edition-2 message of an ensemble (product templates 4.1 and
    // 4.11): its perturbation number, 0 for the control; -1 for a forecast of no ensemble.
    int member = -1;
    int ensembleSize = 0; // members of the ensemble the message names; 0 without one
};

// True when the record's name is the built-in "UGRD" / "VGRD" text.
inline bool isBuiltinUgrd(const GribRecord& r) {
    return r.name == kGribUgrd;
}
inline bool isBuiltinVgrd(const GribRecord& r) {
    return r.name == kGribVgrd;
}
inline bool isBuiltinGust(const GribRecord& r) {
    return r.name == kGribGust;
}
// The records whose values the wind store keeps: the wind components and the gust.
inline bool keptByWindStore(const GribRecord& r) {
    return isBuiltinUgrd(r) || isBuiltinVgrd(r) || isBuiltinGust(r);
}

// True for the names of the ocean fields read as currents and waves: UOGRD, VOGRD, HTSGW,
// WVDIR, DIRPW, PERPW.
bool isOceanFieldName(const char* name);

// Receives the texts the user must see (the desktop program shows them in a "Grib Error"
// message box). `fatal` is false only for the note about a constant record without grid.
using GribErrorHandler = std::function<void(const std::string& text, bool fatal)>;
// Receives the diagnostic notes (by default they go to standard error).
using GribNoteHandler = std::function<void(const std::string& text)>;
// Told after each message whose values were expanded: messages done and messages in all.
using GribProgress = std::function<void(std::size_t done, std::size_t total)>;
// Looks at the records of a file read without their values (valueCount set) before any value
// is expanded; false refuses the file.
using GribHeaderCheck = std::function<bool(const std::vector<GribRecord>& headers)>;

struct GribDecoderState;
class GribByteSource;
struct GribBox;

// A decoder with the state that lives from one file to the next: the once-only notes and
// the user parameter table. Not for use from several threads at once.
class GribDecoder {
  public:
    GribDecoder();
    ~GribDecoder();
    GribDecoder(const GribDecoder&) = delete;
    GribDecoder& operator=(const GribDecoder&) = delete;

    void setErrorHandler(GribErrorHandler handler);
    void setNoteHandler(GribNoteHandler handler);
    // The user parameter table file; without a call it is the environment variable GRIBTAB,
    // else gribtab, else the file "gribtab" in the working directory. An empty path: none.
    void setUserTablePath(const std::string& path);

    // Appends one record per message of the file. False on a fatal error, whose
    // text is in `error` and was given to the error handler; records decoded before it stay.
    // True at the end of the file, also when it holds no message.
    // The headers of every message are read first: `check` (when given) sees them, and a file
    // it refuses gives false with an empty `error` and no record; a file whose values pass the
    // value limit, or whose values would expand past kGribMaxExpansion times its size, is
    // refused with kGribTooLarge. Only then are the values expanded.
    bool readFile(const std::string& path, std::vector<GribRecord>& records, std::string& error,
                  const GribHeaderCheck& check = {});
    // The same over bytes in memory.
    bool readBuffer(const std::uint8_t* data, std::size_t size, std::vector<GribRecord>& records,
                    std::string& error, const GribHeaderCheck& check = {});
    // Appends the records of the file without values (valueCount set): every section but the
    // values is checked as readFile does, with the same notes and errors.
    bool readFileHeaders(const std::string& path, std::vector<GribRecord>& records,
                         std::string& error);

    // The most values one file may decode to, counted over all its records before any is
    // expanded; a file beyond it fails with kGribTooLarge.
    void setValueLimit(std::uint64_t values);

    // With true, the values of edition-2 messages other than the wind components and the gust
    // are not expanded (their records keep valueCount and no values): memory follows the wind
    // kept.
    void setWindValuesOnly(bool windOnly);
    // Every record read from now on is cropped to the box as its message is decoded, headers
    // and values alike (cropGribRecord); an unbounded box, the default, keeps whole grids.
    void setCropBox(const GribBox& box);
    const GribBox& cropBox() const;
    // Called while the values are expanded; none by default.
    void setProgress(GribProgress progress);

    // Count of edition-2 messages read so far.
    int edition2Count() const;
    // Values expanded so far, over every file this decoder read.
    std::uint64_t expandedValueCount() const;

  private:
    bool read(const std::string& path, std::vector<GribRecord>& records, std::string& error,
              const GribHeaderCheck& check, bool headersOnly);
    bool decode(GribByteSource& src, std::vector<GribRecord>& records, std::string& error,
                const GribHeaderCheck& check, bool headersOnly);

    std::unique_ptr<GribDecoderState> state_;
};

// The program-wide decoder: its notes are given once per program run.
GribDecoder& gribDecoder();

// Reads a file with the program-wide decoder.
bool decodeGribFile(const std::string& path, std::vector<GribRecord>& records, std::string& error);
// Reads bytes in memory with the program-wide decoder.
bool decodeGribBuffer(const std::uint8_t* data, std::size_t size, std::vector<GribRecord>& records,
                      std::string& error);
// Sets the program-wide decoder's error handler (the desktop program's message box).
void setGribErrorHandler(GribErrorHandler handler);

} // namespace navorel

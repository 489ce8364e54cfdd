#include "weather/grib.h"

#include "weather/grib2.h"
#include "weather/grib_crop.h"
#include "weather/grib_tables.h"

#include "core/file_check.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include <sys/mman.h>
#include <unistd.h>

namespace navorel {

struct GribDecoderState {
    GribErrorHandler onError;
    GribNoteHandler onNote;
    GribUserTable userTable;
    int edition2Count = 0;
    bool windValuesOnly = false;
    GribProgress progress;
    std::uint64_t valueLimit = defaultGribValueLimit();
    std::uint64_t expandedValues = 0;
    bool tableNotes[2] = {false, false}; // the NCEP choice and the undefined-table notes
    GribBox crop;                        // records are cut to it as each message is read
};

namespace {

// A point count above this is refused even when the message could describe it (a constant
// field of 65535 x 65535 points would otherwise ask for 17 GB).
constexpr std::int64_t kMaxPoints = std::int64_t(1) << 26;

} // namespace

const char kGribTooLarge[] = "the forecast is too large";

std::uint64_t defaultGribValueLimit() {
    // A quarter of the machine's memory in floats; 2^26 values when the memory is unknown.
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return std::uint64_t(kMaxPoints);
    return std::uint64_t(pages) * std::uint64_t(pageSize) / 4 / sizeof(float);
}

namespace {

// A byte count as a short text: "6 kB", "1140 MB".
std::string byteText(std::uint64_t bytes) {
    if (bytes < 10 * 1024) return std::to_string(bytes) + " bytes";
    if (bytes < 10 * 1024 * 1024) return std::to_string(bytes / 1024) + " kB";
    return std::to_string(bytes / (1024 * 1024)) + " MB";
}

} // namespace

std::string gribExpansionRefusal(std::uint64_t values, std::uint64_t fileBytes) {
    return std::string(kGribTooLarge) + ": " + byteText(values * sizeof(float)) +
           " of values from a file of " + byteText(fileBytes) + ", more than " +
           std::to_string(kGribMaxExpansion) + " times its size";
}

namespace {

const char* const kCannotOpen = "Could not open grib file\n";
const char* const kNoMemory = "Not enough memory\n";
const char* const kOutOfMemory = "Ran out of memory\n";
const char* const kCannotRead = "error, could not read to end of a record\n";
const char* const kInconsistent = "Len of grib message is inconsistent\n";
const char* const kNoEndSection = "Missing end section\n";
const char* const kPointsDoNotFit = "Number of data points does not fit the message\n";
const char* const kTruncated = "truncated edition-2 message";
const char* const kMissingGds =
    "Missing GDS, constant record ..cannot determine number of data points\n";

unsigned be16(const std::uint8_t* p) {
    return (unsigned(p[0]) << 8) | p[1];
}
unsigned be24(const std::uint8_t* p) {
    return (unsigned(p[0]) << 16) | (unsigned(p[1]) << 8) | p[2];
}
// Sign-and-magnitude integers: the top bit of the first octet is the sign.
int signed16(const std::uint8_t* p) {
    const int m = int(be16(p) & 0x7fff);
    return (p[0] & 0x80) ? -m : m;
}
int signed24(const std::uint8_t* p) {
    const int m = int(be24(p) & 0x7fffff);
    return (p[0] & 0x80) ? -m : m;
}

// x to the power n by repeated squaring.
double intPower(double x, int n) {
    if (n < 0) return 1.0 / intPower(x, -n);
    double result = 1.0;
    while (n) {
        if (n & 1) result *= x;
        x *= x;
        n >>= 1;
    }
    return result;
}

// IBM single precision: sign, exponent of 16 biased by 64, 24-bit fraction.
double ibmFloat(const std::uint8_t* p) {
    const unsigned fraction = be24(p + 1);
    if (fraction == 0) return 0.0;
    const int exponent = int(p[0] & 0x7f) - 64;
    const double value = fraction * intPower(2.0, -24) * intPower(16.0, exponent);
    return (p[0] & 0x80) ? -value : value;
}

float normaliseLongitude(double lon) {
    while (lon < -180) lon += 360;
    while (lon > 180) lon -= 360;
    return float(lon);
}

// Eight bytes from `p` as a big-endian number.
inline std::uint64_t load64(const std::uint8_t* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap64(w);
    return w;
}

// Reads packed unsigned fields of `bits` (1..32) bits, most significant bit first. The caller
// has checked that the fields read lie inside the `bytes` bytes.
class BitReader {
  public:
    BitReader(const std::uint8_t* data, std::size_t bytes, int bits)
        : data_(data), bits_(bits), fastEnd_(bytes >= 8 ? (std::uint64_t(bytes) - 7) * 8 : 0),
          bytes_(bytes) {}

    std::uint32_t next() {
        const std::uint64_t pos = pos_;
        pos_ += std::uint64_t(bits_);
        // A field starting at bit `pos` spans at most 39 bits from its byte: one 8-byte load
        // holds it while 8 bytes remain.
        const std::uint64_t window = pos < fastEnd_ ? load64(data_ + (pos >> 3)) : tail(pos >> 3);
        return std::uint32_t((window << (pos & 7)) >> (64 - bits_));
    }

    // n fields as value = reference + field x step, written to out[0..n); with `table`, the
    // value of field x is table[x] (computed the same way beforehand).
    void unpack(std::size_t n, double reference, double step, float* out, const float* table) {
        std::size_t k = 0;
        if (table) {
            // The common widths with the field count of a load fixed.
            switch (bits_) {
            case 8:
                k = lookUp<8>(n, out, table);
                break;
            case 10:
                k = lookUp<10>(n, out, table);
                break;
            case 12:
                k = lookUp<12>(n, out, table);
                break;
            case 16:
                k = lookUp<16>(n, out, table);
                break;
            default:
                break;
            }
            for (; k < n; ++k) out[k] = table[next()];
            return;
        }
        for (std::uint64_t pos = pos_; k < n && pos < fastEnd_; ++k, pos += std::uint64_t(bits_))
            out[k] = float(
                reference +
                std::uint32_t((load64(data_ + (pos >> 3)) << (pos & 7)) >> (64 - bits_)) * step);
        pos_ += std::uint64_t(bits_) * k;
        for (; k < n; ++k) out[k] = float(reference + next() * step);
    }

  private:
    // Fields of `Bits` bits by table: one load holds at least 57 bits after its first field's
    // offset, so as many whole fields are taken from it. Returns the fields done; the last
    // ones, near the end of the data, are left to the caller.
    template <int Bits> std::size_t lookUp(std::size_t n, float* out, const float* table) {
        constexpr int kPerLoad = 57 / Bits;
        std::size_t k = 0;
        std::uint64_t pos = pos_;
        for (; k + kPerLoad <= n && pos < fastEnd_; k += kPerLoad, pos += kPerLoad * Bits) {
            const std::uint64_t w = load64(data_ + (pos >> 3)) << (pos & 7);
            for (int f = 0; f < kPerLoad; ++f)
                out[k + std::size_t(f)] = table[(w << (f * Bits)) >> (64 - Bits)];
        }
        pos_ = pos;
        return k;
    }

    // The last bytes, padded with zeros.
    std::uint64_t tail(std::size_t byte) const {
        std::uint64_t window = 0;
        for (std::size_t k = 0; k < 8; ++k)
            window = (window << 8) | (byte + k < bytes_ ? data_[byte + k] : 0u);
        return window;
    }

    const std::uint8_t* data_;
    int bits_;
    std::uint64_t fastEnd_;
    std::size_t bytes_;
    std::uint64_t pos_ = 0;
};

// Asks the system for the pages of a large new array in one call rather than one fault per
// page (a global grid has a thousand); where it cannot, the pages come as they are touched.
void populate(void* data, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    const std::uintptr_t page = std::uintptr_t(::sysconf(_SC_PAGE_SIZE));
    if (bytes < 64 * page) return;
    const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(page - 1);
    if (end <= begin) return;
#ifdef MADV_HUGEPAGE
    // An array of 2 MB or more asks for huge pages, which the system gives where whole ones
    // fit: half the page faults of a global grid, and a 0.25 degree forecast of 8 steps loads
    // in a tenth less time. Smaller arrays may lie in the heap among others and stay as they are.
    if (bytes >= (std::size_t(2) << 20))
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
    ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#else
    (void)data;
    (void)bytes;
#endif
}

struct Sections {
    const std::uint8_t* pds = nullptr;
    const std::uint8_t* gds = nullptr;
    const std::uint8_t* bms = nullptr;
    const std::uint8_t* bds = nullptr;
    std::size_t pdsLen = 0, gdsLen = 0, bmsLen = 0, bdsLen = 0;
};

struct PointCount {
    std::int64_t count = 0;
    std::int64_t nx = 0, ny = 0;
    std::vector<int> rowLengths; // thinned grids: points of each row in file order
};

} // namespace

// The bytes of a GRIB file as the reader walks it: a buffer in memory, or a file read a
// message at a time, so that memory follows the largest message, not the file.
class GribByteSource {
  public:
    virtual ~GribByteSource() = default;
    std::uint64_t size() const { return size_; }
    // `length` bytes from `offset` (the caller keeps them inside the size), valid until the
    // next call; nullptr when they cannot be had, with the reason in failure().
    virtual const std::uint8_t* view(std::uint64_t offset, std::size_t length) = 0;
    const char* failure() const { return failure_; }

  protected:
    std::uint64_t size_ = 0;
    const char* failure_ = kCannotRead;
};

namespace {

class MemorySource final : public GribByteSource {
  public:
    MemorySource(const std::uint8_t* data, std::size_t size) : data_(data) { size_ = size; }
    const std::uint8_t* view(std::uint64_t offset, std::size_t) override { return data_ + offset; }

  private:
    const std::uint8_t* data_;
};

// Reads ahead by at least this much, so that the search through small messages or gaps does
// not read a few bytes at a time.
constexpr std::size_t kReadAhead = std::size_t(1) << 16;

class FileSource final : public GribByteSource {
  public:
    FileSource(int fd, std::uint64_t size) : fd_(fd) { size_ = size; }
    ~FileSource() override { ::close(fd_); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    const std::uint8_t* view(std::uint64_t offset, std::size_t length) override {
        if (offset >= start_ && offset + length <= start_ + held_)
            return buffer_.data() + (offset - start_);
        const std::size_t want =
            std::size_t(std::min<std::uint64_t>(std::max(length, kReadAhead), size_ - offset));
        if (buffer_.size() < want) {
            try {
                buffer_.resize(want);
            } catch (const std::bad_alloc&) {
                failure_ = buffer_.empty() ? kNoMemory : kOutOfMemory;
                return nullptr;
            }
        }
        held_ = 0;
        start_ = offset;
        while (held_ < want) {
            const ssize_t got =
                ::pread(fd_, buffer_.data() + held_, want - held_, off_t(offset + held_));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                held_ = 0;
                failure_ = kCannotRead;
                return nullptr;
            }
            held_ += std::size_t(got);
        }
        return buffer_.data();
    }

  private:
    int fd_;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t start_ = 0;
    std::size_t held_ = 0;
};

// A section length of three octets at `at`; 0 beyond the end or when it cannot be read.
std::size_t lengthAt(GribByteSource& src, std::uint64_t at) {
    if (at + 3 > src.size()) return 0;
    const std::uint8_t* p = src.view(at, 3);
    return p ? be24(p) : 0;
}

// The octets of the edition-1 message at `start` up to 20 past the start of its BDS, or the
// whole `length` when the sections do not lie inside it.
std::size_t headLength(GribByteSource& src, std::uint64_t start, std::int64_t length) {
    const std::uint64_t whole = std::uint64_t(std::max<std::int64_t>(length, 0));
    const std::uint8_t* head = src.view(start, 16);
    if (!head) return std::size_t(whole);
    const int flags = head[15];
    std::uint64_t at = 8;
    const std::size_t pdsLen = lengthAt(src, start + at);
    if (pdsLen == 0) return std::size_t(whole);
    at += pdsLen;
    for (const int flag : {0x80, 0x40}) {
        if (!(flags & flag)) continue;
        const std::size_t len = at < whole ? lengthAt(src, start + at) : 0;
        if (len == 0) return std::size_t(whole);
        at += len;
    }
    return std::size_t(std::min(whole, at + 20));
}

// The search for the next message moves through the file in blocks of this size.
constexpr std::uint64_t kSearchBlock = 1 << 16;

// The first "GRIB" of edition 1 or 2 at a position in [from, limit) (limit is 36 bytes or more
// before the end), or `limit` when there is none. False when the bytes cannot be read.
bool findMessage(GribByteSource& src, std::uint64_t from, std::uint64_t limit,
                 std::uint64_t& start) {
    start = limit;
    for (std::uint64_t pos = from; pos < limit;) {
        const std::uint64_t end = std::min(limit, pos + kSearchBlock);
        // Eight bytes past the block let the edition of a "GRIB" at its last position be read.
        const std::uint8_t* block = src.view(pos, std::size_t(end - pos + 8));
        if (!block) return false;
        for (std::uint64_t j = pos; j < end; ++j) {
            const void* hit = std::memchr(block + (j - pos), 'G', std::size_t(end - j));
            if (!hit) break;
            j = pos + std::uint64_t(static_cast<const std::uint8_t*>(hit) - block);
            const std::uint8_t* at = block + (j - pos);
            if (std::memcmp(at, "GRIB", 4) != 0) continue;
            if (at[7] == 1 || at[7] == 2) {
                start = j;
                return true;
            }
        }
        pos = end;
    }
    return true;
}

} // namespace

// Reads a file in two passes. The header pass appends one record without values per message
// and gives the notes and errors; the value pass then walks the same messages again, quietly,
// and fills in the values of the first `count` records from `base` on.
class GribMessageReader {
  public:
    // The header pass.
    GribMessageReader(GribDecoderState& state, std::vector<GribRecord>& records, std::string& error)
        : state_(state), records_(records), error_(error) {}
    // The value pass over records [base, base + count).
    GribMessageReader(GribDecoderState& state, std::vector<GribRecord>& records, std::string& error,
                      std::size_t base, std::size_t count)
        : state_(state), records_(records), error_(error), expand_(true), base_(base),
          count_(count) {}

    bool run(GribByteSource& src);

  private:
    bool fatal(const std::string& text) {
        error_ = text;
        if (state_.onError) state_.onError(text, true);
        return false;
    }
    // Notes were given by the header pass.
    void note(const std::string& text) {
        if (!expand_ && state_.onNote) state_.onNote(text);
    }
    std::int64_t messageLength(GribByteSource& src, std::uint64_t start, bool& large,
                               std::int64_t& largeBdsLen);
    bool decodeMessage(const std::uint8_t* msg, std::size_t length, const std::uint8_t* end4,
                       bool large, std::int64_t largeBdsLen, int index);
    bool countPoints(const Sections& s, PointCount& pc);
    bool decodeEdition2(const std::uint8_t* msg, std::size_t length, int& index);
    bool decodeEdition2Field(const std::uint8_t* msg, std::size_t length, int index);
    static std::string recordError(int index, const std::string& text) {
        return "record " + std::to_string(index) + ": " + text + "\n";
    }

    GribDecoderState& state_;
    std::vector<GribRecord>& records_;
    std::string& error_;
    bool expand_ = false;
    std::size_t base_ = 0, count_ = 0;
};

std::int64_t GribMessageReader::messageLength(GribByteSource& src, std::uint64_t start, bool& large,
                                              std::int64_t& largeBdsLen) {
    large = false;
    const std::uint64_t size = src.size();
    if (start + 16 > size) return 0;
    const std::uint8_t* head = src.view(start, 16);
    if (!head) return 0;
    const unsigned stored = be24(head + 4);
    if (!(stored & 0x800000)) return stored;
    const int centre = head[12];
    if (centre == 7 || centre == 54) return stored;
    const int flags = head[15];
    std::uint64_t at = start + 8;
    const std::size_t pdsLen = lengthAt(src, at);
    if (pdsLen == 0) return 0;
    at += pdsLen;
    std::size_t gdsLen = 0, bmsLen = 0;
    if (flags & 0x80) {
        gdsLen = lengthAt(src, at);
        if (gdsLen == 0) return 0;
        at += gdsLen;
    }
    if (flags & 0x40) {
        bmsLen = lengthAt(src, at);
        if (bmsLen == 0) return 0;
        at += bmsLen;
    }
    const std::size_t bdsLen = lengthAt(src, at);
    if (bdsLen == 0) return 0;
    if (bdsLen >= 120) return stored;
    const std::int64_t total = std::int64_t(stored & 0x7fffff) * 120 - std::int64_t(bdsLen) + 4;
    large = true;
    largeBdsLen = total - std::int64_t(bmsLen + gdsLen + pdsLen) - 12;
    return total > 0 ? total : 0;
}

bool GribMessageReader::run(GribByteSource& src) {
    const std::uint64_t size = src.size();
    std::uint64_t search = 0;
    int index = 1;
    for (;;) {
        if (expand_ && std::size_t(index) > count_) return true;
        // A message is looked for only where at least 36 more bytes follow "GRIB".
        if (size <= 36) return true;
        const std::uint64_t limit = size - 36;
        std::uint64_t start = limit;
        if (!findMessage(src, search, limit, start)) return fatal(src.failure());
        if (start >= limit) return true;
        const std::uint8_t* head = src.view(start, 16);
        if (!head) return fatal(src.failure());

        if (head[7] == 2) {
            // Edition 2: the length is the 64-bit count of octets 9-16.
            const std::uint64_t length = grib2MessageLength(head, 16);
            if (length > size - start || length < 16) return fatal(recordError(index, kTruncated));
            const std::uint8_t* msg = src.view(start, std::size_t(length));
            if (!msg) return fatal(src.failure());
            if (!expand_) ++state_.edition2Count;
            if (!decodeEdition2(msg, std::size_t(length), index)) return false;
            search = start + length;
            continue;
        }

        bool large = false;
        std::int64_t largeBdsLen = 0;
        const std::int64_t length = messageLength(src, start, large, largeBdsLen);
        if (std::uint64_t(length) > size - start) return fatal(kCannotRead);
        // The header pass reads the sections before the packed values and the end section.
        std::uint8_t end4[4] = {0, 0, 0, 0};
        const std::size_t headBytes =
            expand_ ? std::size_t(length) : headLength(src, start, length);
        if (headBytes < std::size_t(length)) {
            const std::uint8_t* tail = src.view(start + std::uint64_t(length) - 4, 4);
            if (!tail) return fatal(src.failure());
            std::memcpy(end4, tail, 4);
        }
        const std::uint8_t* msg = src.view(start, headBytes);
        if (!msg) return fatal(src.failure());
        if (headBytes == std::size_t(length) && length >= 4) std::memcpy(end4, msg + length - 4, 4);
        if (!decodeMessage(msg, std::size_t(length), end4, large, largeBdsLen, index)) return false;
        if (expand_ && state_.progress) state_.progress(std::size_t(index), count_);
        ++index;
        // A message of no length cannot move the search on: look again one byte further.
        search = start + (length > 0 ? std::uint64_t(length) : 1);
    }
}

bool GribMessageReader::countPoints(const Sections& s, PointCount& pc) {
    const std::uint8_t* bds = s.bds;
    const int flags = bds[3];
    const int bits = bds[10];
    const std::int64_t bdsLen = std::int64_t(s.bdsLen);

    auto bdsValueCount = [&]() -> std::int64_t {
        if (!(flags & 0xc0)) {
            if (bits == 0) return 0;
            const std::int64_t n = ((flags & 0x10) ? bdsLen - 3 : bdsLen) * 8 - 88 - (flags & 15);
            return n > 0 ? n / bits : 0;
        }
        if ((flags & 0x40) && !(flags & 0x80)) return s.bdsLen >= 20 ? be16(bds + 18) : 0;
        return 0;
    };

    if (s.gds) {
        const std::uint8_t* gds = s.gds;
        const int type = gds[5];
        const unsigned ni = be16(gds + 6), nj = be16(gds + 8);
        pc.nx = ni;
        pc.ny = nj;
        pc.count = std::int64_t(ni) * nj;
        if ((type == 0 || type == 4) && ni == 65535) {
            // Thinned grid: the row lengths follow the vertical coordinates, if any.
            pc.nx = -1;
            const int pvpl = gds[4];
            if (pvpl == 255 || pvpl == 0) return fatal(kPointsDoNotFit);
            const std::size_t listAt = std::size_t(pvpl) + 4 * std::size_t(gds[3]) - 1;
            if (listAt + 2 * std::size_t(nj) > s.gdsLen) return fatal(kPointsDoNotFit);
            pc.count = 0;
            pc.rowLengths.resize(nj);
            for (unsigned r = 0; r < nj; ++r) {
                pc.rowLengths[r] = int(be16(gds + listAt + 2 * r));
                pc.count += pc.rowLengths[r];
            }
        } else if (type == 50) {
            if (!(flags & 0x40)) {
                if (bits == 0) {
                    pc.count = 1;
                } else {
                    const std::int64_t n = bdsLen * 8 - (flags & 15) - 120;
                    if (n < 0) return fatal(kInconsistent);
                    if (n % bits) note("inconsistent harmonic BDS\n");
                    pc.count = n / bits + 1;
                }
                pc.nx = pc.count;
                pc.ny = 1;
            } else {
                pc.nx = bdsValueCount();
                pc.ny = -1;
            }
        } else if (type == 192) {
            const std::int64_t n = signed24(gds + 13), m = signed24(gds + 10);
            // 24-bit counts can multiply past 64 bits: check the size before the product.
            const double size =
                static_cast<double>(n + 1) * static_cast<double>(m) * static_cast<double>(n + 1);
            if (!(size >= 0 && size <= static_cast<double>(kMaxPoints)))
                return fatal(kPointsDoNotFit);
            pc.count = (n + 1) * m * (n + 1);
            pc.nx = pc.count;
            pc.ny = 1;
        }
    } else {
        if (s.bms) {
            pc.count = be16(s.bms + 4) == 0 ? std::int64_t(s.bmsLen) * 8 - s.bms[3] - 48 : 0;
        } else if (bits != 0) {
            pc.count = bdsValueCount();
        } else {
            error_ = kMissingGds;
            if (!expand_ && state_.onError) state_.onError(kMissingGds, false);
            pc.count = 1;
        }
        pc.nx = pc.ny = pc.count;
    }
    if (pc.count < 0 || pc.count > kMaxPoints) return fatal(kPointsDoNotFit);
    return true;
}

// `end4` holds the last four octets of the message. The header pass gives only the octets up to
// 20 past the start of the BDS in `msg`, which is all it reads.
bool GribMessageReader::decodeMessage(const std::uint8_t* msg, std::size_t length,
                                      const std::uint8_t* end4, bool large,
                                      std::int64_t largeBdsLen, int index) {
    // Sections: PDS from octet 9, then GDS and BMS as the PDS flags say, then the BDS, which
    // must end 4 octets before the end of the message.
    Sections s;
    if (length < 8 + 28 + 4) return fatal(kInconsistent);
    const std::size_t bodyEnd = length - 4;
    std::size_t at = 8;
    s.pds = msg + at;
    s.pdsLen = be24(s.pds);
    if (s.pdsLen < 28 || s.pdsLen > bodyEnd - at) return fatal(kInconsistent);
    at += s.pdsLen;
    const int pdsFlags = s.pds[7];
    if (pdsFlags & 0x80) {
        if (at + 3 > bodyEnd) return fatal(kInconsistent);
        s.gds = msg + at;
        s.gdsLen = be24(s.gds);
        if (s.gdsLen < 28 || s.gdsLen > bodyEnd - at) return fatal(kInconsistent);
        at += s.gdsLen;
    }
    if (pdsFlags & 0x40) {
        if (at + 3 > bodyEnd) return fatal(kInconsistent);
        s.bms = msg + at;
        s.bmsLen = be24(s.bms);
        if (s.bmsLen < 6 || s.bmsLen > bodyEnd - at) return fatal(kInconsistent);
        at += s.bmsLen;
    }
    if (at + 3 > bodyEnd) return fatal(kInconsistent);
    s.bds = msg + at;
    if (large) {
        if (largeBdsLen < 0) return fatal(kInconsistent);
        s.bdsLen = std::size_t(largeBdsLen);
    } else {
        s.bdsLen = be24(s.bds);
    }
    if (s.bdsLen < 11 || s.bdsLen != bodyEnd - at) return fatal(kInconsistent);
    if (std::memcmp(end4, "7777", 4) != 0) return fatal(kNoEndSection);

    PointCount pc;
    if (!countPoints(s, pc)) return false;

    const std::uint8_t* bds = s.bds;
    const int bdsFlags = bds[3];
    if (bdsFlags & 0x40) {
        char text[80];
        std::snprintf(text, sizeof text, "*** Cannot decode complex packed fields n=%lld***\n",
                      static_cast<long long>(pc.count));
        return fatal(text);
    }

    // Every packed field and bitmap bit must lie inside its section.
    const std::size_t count = std::size_t(pc.count);
    const int bits = bds[10];
    const bool harmonic = bdsFlags & 0x80;
    const std::uint8_t* bitmap = nullptr;
    std::size_t present = count;
    if (s.bms) {
        if (count > (s.bmsLen - 6) * 8) return fatal(kPointsDoNotFit);
        bitmap = s.bms + 6;
        present = 0;
        for (std::size_t i = 0; i < count / 8; ++i)
            present += std::size_t(std::popcount(bitmap[i]));
        for (std::size_t i = count / 8 * 8; i < count; ++i)
            present += (bitmap[i >> 3] >> (7 - (i & 7))) & 1;
    }
    const std::size_t dataAt = harmonic ? 15 : 11;
    if (s.bdsLen < dataAt) return fatal(kInconsistent);
    const std::size_t dataBytes = s.bdsLen - dataAt;
    const std::size_t packed = (harmonic && present > 0) ? present - 1 : present;
    if (bits > 32 || std::uint64_t(packed) * std::uint64_t(bits) > std::uint64_t(dataBytes) * 8)
        return fatal(kPointsDoNotFit);

    GribRecord r;
    const std::uint8_t* pds = s.pds;
    r.index = index;
    r.centre = pds[4];
    r.tableVersion = pds[3];
    r.subcentre = pds[25];
    r.parameter = pds[8];
    r.process = pds[5];
    r.levelType = pds[9];
    r.level = int(be16(pds + 10));
    GribPdsKey key;
    key.centre = r.centre;
    key.subcentre = r.subcentre;
    key.version = r.tableVersion;
    key.process = pds[5];
    key.parameter = r.parameter;
    const GribParameter* table = chooseGribTable(key, state_.userTable, state_.tableNotes,
                                                 [this](const std::string& t) { note(t); });
    r.name = table[r.parameter].name;
    r.description = table[r.parameter].description;
    r.year = (int(pds[24]) - 1) * 100 + pds[12];
    r.month = pds[13];
    r.day = pds[14];
    r.hour = pds[15];
    r.minute = pds[16];
    const int unit = pds[17];
    r.unit = gribTimeUnitName(unit);
    const int p1 = pds[18], p2 = pds[19];
    r.forecast = p1 * 256 + p2;
    // The wind's and the ocean fields' forecast hour is P1 alone when P2 is 0 (P1 x 256 + P2
    // would put an ocean forecast of hour 6 at hour 1536).
    if ((r.name == kGribUgrd || r.name == kGribVgrd || isOceanFieldName(r.name)) && p2 == 0)
        r.forecast = p1;
    if (unit == 0) r.forecast /= 60;

    if (s.gds) {
        const std::uint8_t* gds = s.gds;
        r.lat1 = float(signed24(gds + 10) * 0.001);
        r.lon1 = normaliseLongitude(signed24(gds + 13) * 0.001);
        r.lat2 = float(signed24(gds + 17) * 0.001);
        r.lon2 = normaliseLongitude(signed24(gds + 20) * 0.001);
        if (gds[16] & 0x80) {
            r.di = float(signed16(gds + 23) * 0.001);
            r.dj = float(signed16(gds + 25) * 0.001);
        }
    }
    r.nx = int(pc.nx);
    r.ny = int(pc.ny);
    r.valueCount = count;
    // Rows go south first: when the first latitude is not below the last one, the rows are
    // reversed (within a row the order stays west to east).
    const bool northFirst = r.lat1 >= r.lat2;
    if (northFirst) {
        std::swap(r.lat1, r.lat2);
        if (r.dj < 0) r.dj = -r.dj;
    }
    if (!expand_) {
        cropGribRecord(r, state_.crop);
        records_.push_back(std::move(r));
        return true;
    }

    // Unpacking: value = R * 10^-D + X * (2^E * 10^-D).
    const int decimalScale = signed16(pds + 26);
    const int binaryScale = signed16(bds + 4);
    const double tenToMinusD = intPower(10.0, -decimalScale);
    const double reference = ibmFloat(bds + 6) * tenToMinusD;
    const double step = intPower(2.0, binaryScale) * tenToMinusD;
    try {
        r.values.reserve(count);
        populate(r.values.data(), count * sizeof(float));
        r.values.resize(count);
    } catch (const std::bad_alloc&) {
        return fatal(kOutOfMemory);
    }
    state_.expandedValues += count;
    float* out = r.values.data();
    BitReader reader(bds + dataAt, dataBytes, bits);
    bool first = harmonic;
    const double firstValue = harmonic ? ibmFloat(bds + 11) : 0.0;
    // A regular grid stored north first is unpacked row by row into its place south first.
    const bool regular =
        pc.rowLengths.empty() && pc.nx > 0 && pc.ny > 1 && std::size_t(pc.nx * pc.ny) == count;
    bool reversed = false;
    if (!bitmap && !harmonic) {
        if (bits == 0) {
            std::fill(out, out + count, float(reference));
        } else {
            // Narrow fields in large numbers: each of the 2^bits values is computed once.
            std::vector<float> table;
            if (bits <= 16 && count >= (std::size_t(4) << bits)) {
                table.resize(std::size_t(1) << bits);
                for (std::size_t x = 0; x < table.size(); ++x)
                    table[x] = float(reference + std::uint32_t(x) * step);
            }
            const float* lookup = table.empty() ? nullptr : table.data();
            if (northFirst && regular) {
                const std::size_t nx = std::size_t(pc.nx), ny = std::size_t(pc.ny);
                for (std::size_t row = ny; row-- > 0;)
                    reader.unpack(nx, reference, step, out + row * nx, lookup);
                reversed = true;
            } else {
                reader.unpack(count, reference, step, out, lookup);
            }
        }
    } else {
        for (std::size_t i = 0; i < count; ++i) {
            if (bitmap && !((bitmap[i >> 3] >> (7 - (i & 7))) & 1)) {
                out[i] = kGribMissing;
            } else if (first) {
                out[i] = float(firstValue);
                first = false;
            } else {
                out[i] = float(reference + (bits ? reader.next() * step : 0.0));
            }
        }
    }

    if (northFirst && !reversed) {
        if (!pc.rowLengths.empty()) {
            GribValues reordered;
            reordered.reserve(count);
            std::size_t end = count;
            for (std::size_t row = pc.rowLengths.size(); row-- > 0;) {
                const std::size_t len = std::size_t(pc.rowLengths[row]);
                reordered.insert(reordered.end(), r.values.begin() + std::ptrdiff_t(end - len),
                                 r.values.begin() + std::ptrdiff_t(end));
                end -= len;
            }
            r.values = std::move(reordered);
        } else if (regular) {
            const std::size_t nx = std::size_t(pc.nx), ny = std::size_t(pc.ny);
            for (std::size_t a = 0, b = ny - 1; a < b; ++a, --b)
                std::swap_ranges(out + a * nx, out + (a + 1) * nx, out + b * nx);
        }
    }
    cropGribRecord(r, state_.crop);
    records_[base_ + std::size_t(index) - 1] = std::move(r);
    return true;
}

// One record per field of the message (several when it repeats its sections); `index` moves
// past them.
bool GribMessageReader::decodeEdition2(const std::uint8_t* msg, std::size_t length, int& index) {
    std::vector<std::vector<std::uint8_t>> fields;
    std::string text;
    if (!splitGrib2Fields(msg, length, fields, text)) return fatal(recordError(index, text));
    if (fields.empty()) fields.emplace_back(); // one field: the message itself
    for (const auto& field : fields) {
        // The header pass may have stopped inside the message: only its records are filled.
        if (expand_ && std::size_t(index) > count_) return true;
        const bool whole = field.empty();
        if (!decodeEdition2Field(whole ? msg : field.data(), whole ? length : field.size(), index))
            return false;
        if (expand_ && state_.progress) state_.progress(std::size_t(index), count_);
        ++index;
    }
    return true;
}

bool GribMessageReader::decodeEdition2Field(const std::uint8_t* msg, std::size_t length,
                                            int index) {
    GribRecord r;
    r.index = index;
    std::string text;
    if (!expand_) {
        if (!decodeGrib2Message(msg, length, false, r, text))
            return fatal(recordError(index, text));
        cropGribRecord(r, state_.crop);
        records_.push_back(std::move(r));
        return true;
    }
    // Only the wind components' and the gust's values are expanded when the caller keeps
    // nothing else.
    GribRecord& kept = records_[base_ + std::size_t(index) - 1];
    const bool wanted = !state_.windValuesOnly || keptByWindStore(kept);
    if (!wanted) return true;
    if (!decodeGrib2Message(msg, length, true, r, text)) return fatal(recordError(index, text));
    state_.expandedValues += r.values.size();
    cropGribRecord(r, state_.crop);
    kept = std::move(r);
    return true;
}

// ---------------------------------------------------------------------------------------

bool isOceanFieldName(const char* name) {
    if (!name) return false;
    for (const char* ocean : {"UOGRD", "VOGRD", "HTSGW", "WVDIR", "DIRPW", "PERPW"})
        if (std::strcmp(name, ocean) == 0) return true;
    return false;
}

GribDecoder::GribDecoder() : state_(std::make_unique<GribDecoderState>()) {
    state_->onNote = [](const std::string& text) { std::fputs(text.c_str(), stderr); };
}

GribDecoder::~GribDecoder() = default;

void GribDecoder::setErrorHandler(GribErrorHandler handler) {
    state_->onError = std::move(handler);
}
void GribDecoder::setNoteHandler(GribNoteHandler handler) {
    state_->onNote = std::move(handler);
}
void GribDecoder::setUserTablePath(const std::string& path) {
    state_->userTable.setPath(path);
}
void GribDecoder::setValueLimit(std::uint64_t values) {
    state_->valueLimit = values;
}
void GribDecoder::setWindValuesOnly(bool windOnly) {
    state_->windValuesOnly = windOnly;
}
void GribDecoder::setCropBox(const GribBox& box) {
    state_->crop = box;
}
const GribBox& GribDecoder::cropBox() const {
    return state_->crop;
}
void GribDecoder::setProgress(GribProgress progress) {
    state_->progress = std::move(progress);
}
int GribDecoder::edition2Count() const {
    return state_->edition2Count;
}

std::uint64_t GribDecoder::expandedValueCount() const {
    return state_->expandedValues;
}

bool GribDecoder::readBuffer(const std::uint8_t* data, std::size_t size,
                             std::vector<GribRecord>& records, std::string& error,
                             const GribHeaderCheck& check) {
    MemorySource src(data, size);
    return decode(src, records, error, check, false);
}

bool GribDecoder::readFile(const std::string& path, std::vector<GribRecord>& records,
                           std::string& error, const GribHeaderCheck& check) {
    return read(path, records, error, check, false);
}

bool GribDecoder::readFileHeaders(const std::string& path, std::vector<GribRecord>& records,
                                  std::string& error) {
    return read(path, records, error, {}, true);
}

bool GribDecoder::decode(GribByteSource& src, std::vector<GribRecord>& records, std::string& error,
                         const GribHeaderCheck& check, bool headersOnly) {
    error.clear();
    const std::size_t base = records.size();
    bool ok = GribMessageReader(*state_, records, error).run(src);
    if (ok) error.clear(); // only a fatal error is reported back
    if (headersOnly) return ok;

    // Nothing is expanded before the whole file is known to fit: a few bytes of constant
    // fields must not become gigabytes. After a fatal error the records before it are
    // expanded, as a file read to its end would have been.
    const std::size_t count = records.size() - base;
    auto drop = [&](std::size_t from) {
        records.erase(records.begin() + std::ptrdiff_t(from), records.end());
    };
    if (check) {
        const std::vector<GribRecord> headers(records.begin() + std::ptrdiff_t(base),
                                              records.end());
        if (!check(headers)) {
            drop(base);
            return false;
        }
    }
    std::uint64_t values = 0;
    for (std::size_t k = base; k < records.size(); ++k) values += records[k].valueCount;
    const bool expands =
        values > kGribExpansionFloor && values * sizeof(float) / kGribMaxExpansion > src.size();
    if (values > state_->valueLimit || expands) {
        drop(base);
        if (!ok) return false;
        error = (values > state_->valueLimit ? std::string(kGribTooLarge)
                                             : gribExpansionRefusal(values, src.size())) +
                "\n";
        if (state_->onError) state_->onError(error, true);
        return false;
    }
    std::string expandError;
    if (!GribMessageReader(*state_, records, expandError, base, count).run(src)) {
        // Only memory or reading the file again can fail here; the records left without
        // values go.
        std::size_t filled = base;
        while (filled < records.size() &&
               (records[filled].values.size() == records[filled].valueCount ||
                (state_->windValuesOnly && !keptByWindStore(records[filled]))))
            ++filled;
        drop(filled);
        error = expandError;
        return false;
    }
    return ok;
}

bool GribDecoder::read(const std::string& path, std::vector<GribRecord>& records,
                       std::string& error, const GribHeaderCheck& check, bool headersOnly) {
    auto failWith = [&](const std::string& text) {
        error = text;
        if (state_->onError) state_->onError(text, true);
        return false;
    };
    // A FIFO, a device or a folder is refused before anything is read from it.
    std::string refused;
    FileProblem problem = FileProblem::None;
    std::uint64_t size = 0;
    const int fd = openRegularFile(path, kMaxGribFileBytes, refused, &size, &problem);
    if (fd < 0) {
        if (problem == FileProblem::CannotOpen) return failWith(kCannotOpen);
        // "PATH: reason": the reason alone, as the caller names the file.
        return failWith(refused.substr(std::min(refused.size(), path.size() + 2)) + "\n");
    }
    // The file is read a message at a time, in both passes.
    FileSource src(fd, size);
    return decode(src, records, error, check, headersOnly);
}

GribDecoder& gribDecoder() {
    static GribDecoder decoder;
    return decoder;
}

bool decodeGribFile(const std::string& path, std::vector<GribRecord>& records, std::string& error) {
    return gribDecoder().readFile(path, records, error);
}

bool decodeGribBuffer(const std::uint8_t* data, std::size_t size, std::vector<GribRecord>& records,
                      std::string& error) {
    return gribDecoder().readBuffer(data, size, records, error);
}

void setGribErrorHandler(GribErrorHandler handler) {
    gribDecoder().setErrorHandler(std::move(handler));
}

} // namespace navorel

#include "weather/wind_frames.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/datetime.h"
#include "core/geodesy.h"
#include "weather/field_store.h"

namespace navorel {
namespace {

// The decoder gives 9999 to missing points; anything above this is not a wind.
constexpr float kMissingAbove = 9900.0f;

// The decoded frames of a file must fit in memory (the hours between them are made on demand
// when storing them would take too much): 150 million points are about 1.2 GB.
constexpr std::size_t kMaxStorePoints = 150'000'000;

double bringInto2Pi(double a) {
    if (a < 0)
        a += kTwoPi;
    else if (a > kTwoPi)
        a -= kTwoPi;
    return a;
}

// The most points the decoded frames may hold: the store's own limit, and never more than a
// quarter of the machine's memory.
std::size_t storePointLimit() {
    std::size_t limit = kMaxStorePoints;
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages > 0 && pageSize > 0)
        limit = std::min<std::size_t>(limit, static_cast<std::size_t>(pages) *
                                                 static_cast<std::size_t>(pageSize) / 4 /
                                                 kStoredPointBytes);
    return limit;
}

// The points of a record, decoded or read without its values.
std::size_t recordPoints(const GribRecord& r) {
    return r.values.empty() ? r.valueCount : r.values.size();
}

bool sameTime(const GribRecord& a, const GribRecord& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
           a.forecast == b.forecast;
}

// The date fields of the frame `step` hours after F: F's forecast moved on, whatever the
// reference time of G, so the frame times keep increasing.
WindFrame frameAfter(const WindFrame& f, int step) {
    WindFrame e;
    e.year = f.year;
    e.month = f.month;
    e.day = f.day;
    e.hour = f.hour;
    e.forecastHour = f.forecastHour + step;
    e.decoded = false;
    e.minute = 0;
    e.nx = f.nx;
    e.ny = f.ny;
    e.lon1 = f.lon1;
    e.di = f.di;
    e.lat1 = f.lat1;
    e.dj = f.dj;
    return e;
}

// The direction of the air's motion from its components, radians 0..2pi.
float motionDirection(float u, float v) {
    return static_cast<float>(bringInto2Pi(std::atan2(v, u)));
}

#if defined(__SSE2__)
__m128 floats(std::uint32_t bits) {
    return _mm_castsi128_ps(_mm_set1_epi32(static_cast<int>(bits)));
}

__m128 select(__m128 mask, __m128 a, __m128 b) {
    return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b));
}

// motionDirection of four points at once. The C library's single-precision atan2 (the classic
// fdlibm one) is followed operation by operation, on its constants, in its order, so every
// bit agrees with it: |v / u| is brought near 0 by one of five reductions, a polynomial gives
// its arctangent, the quadrant follows from the signs. Only where both components are normal
// numbers (not 0 and finite), u is not 1 and their ratio lies within 2^-20..2^20, so that the
// library takes that path too; the other lanes are set in `others` (bit k for lane k).
[[gnu::always_inline]] inline __m128 motionDirections(__m128 u, __m128 v, int& others) {
    const __m128i absBits = _mm_set1_epi32(0x7fffffff);
    const __m128i au = _mm_and_si128(_mm_castps_si128(u), absBits);
    const __m128i av = _mm_and_si128(_mm_castps_si128(v), absBits);
    const __m128i smallest = _mm_set1_epi32(0x007fffff), largest = _mm_set1_epi32(0x7f800000);
    const __m128i ratio = _mm_sub_epi32(av, au);
    __m128i usable = _mm_and_si128(_mm_cmpgt_epi32(au, smallest), _mm_cmplt_epi32(au, largest));
    usable = _mm_and_si128(usable, _mm_cmpgt_epi32(av, smallest));
    usable = _mm_and_si128(usable, _mm_cmplt_epi32(av, largest));
    usable =
        _mm_andnot_si128(_mm_cmpeq_epi32(_mm_castps_si128(u), _mm_set1_epi32(0x3f800000)), usable);
    usable = _mm_and_si128(usable, _mm_cmpgt_epi32(ratio, _mm_set1_epi32(-(20 << 23))));
    usable = _mm_and_si128(usable, _mm_cmplt_epi32(ratio, _mm_set1_epi32(20 << 23)));
    others = ~_mm_movemask_ps(_mm_castsi128_ps(usable)) & 0xf;

    // arctan(r), r = |v / u| > 0.
    const __m128 r = _mm_and_ps(_mm_div_ps(v, u), _mm_castsi128_ps(absBits));
    const __m128i ir = _mm_castps_si128(r);
    const __m128 reduced = _mm_castsi128_ps(_mm_cmpgt_epi32(ir, _mm_set1_epi32(0x3edfffff)));
    const __m128 above11 = _mm_castsi128_ps(_mm_cmpgt_epi32(ir, _mm_set1_epi32(0x3f2fffff)));
    const __m128 above19 = _mm_castsi128_ps(_mm_cmpgt_epi32(ir, _mm_set1_epi32(0x3f97ffff)));
    const __m128 above39 = _mm_castsi128_ps(_mm_cmpgt_epi32(ir, _mm_set1_epi32(0x401bffff)));
    const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f), two = _mm_set1_ps(2.0f);
    const __m128 oneHalf = _mm_set1_ps(1.5f);
    // Reduced argument (a r - b) / (a + b r): r itself below 7/16; (2r - 1) / (2 + r) below
    // 11/16; (r - 1) / (1 + r) below 19/16; (r - 1.5) / (1 + 1.5 r) below 39/16; -1 / r above.
    const __m128 a = select(above39, zero, select(above11, one, select(reduced, two, one)));
    const __m128 b = select(above39, one, select(above19, oneHalf, select(reduced, one, zero)));
    const __m128 x = _mm_div_ps(_mm_sub_ps(_mm_mul_ps(a, r), b), _mm_add_ps(a, _mm_mul_ps(b, r)));
    const __m128 z = _mm_mul_ps(x, x), w = _mm_mul_ps(z, z);
    const auto term = [w](__m128 sum, std::uint32_t k) {
        return _mm_add_ps(_mm_mul_ps(sum, w), floats(k));
    };
    __m128 odd = _mm_mul_ps(floats(0x3c8569d7), w);
    odd = _mm_add_ps(odd, floats(0x3d4bda59));
    odd = term(term(term(odd, 0x3d886b35), 0x3dba2e6e), 0x3e124925);
    odd = _mm_mul_ps(term(odd, 0x3eaaaaab), z);
    __m128 even = _mm_mul_ps(floats(0xbd15a221), w);
    even = _mm_add_ps(even, floats(0xbd6ef16b));
    even = term(term(term(even, 0xbd9d8795), 0xbde38e38), 0xbe4ccccd);
    even = _mm_mul_ps(even, w);
    const __m128 xs = _mm_mul_ps(_mm_add_ps(odd, even), x);
    // arctan of the reduction's point: 0.5, 1, 1.5 or infinity, high and low parts.
    const __m128 hi = select(above19, select(above39, floats(0x3fc90fda), floats(0x3f7b985e)),
                             select(above11, floats(0x3f490fda), floats(0x3eed6338)));
    const __m128 lo = select(above19, select(above39, floats(0x33a22168), floats(0x33140fb4)),
                             select(above11, floats(0x33222168), floats(0x31ac3769)));
    const __m128 atanR =
        select(reduced, _mm_sub_ps(hi, _mm_sub_ps(_mm_sub_ps(xs, lo), x)), _mm_sub_ps(x, xs));

    // The quadrant: u > 0 keeps the sign of v; u < 0 measures from pi.
    const __m128 pi = floats(0x40490fdb);
    const __m128 fromPi = _mm_add_ps(atanR, floats(0x33bbbd2e));
    const __m128 signV = _mm_and_ps(v, floats(0x80000000u));
    const __m128 westward = _mm_cmplt_ps(u, zero), southward = _mm_cmplt_ps(v, zero);
    const __m128 angle =
        select(westward, select(southward, _mm_sub_ps(fromPi, pi), _mm_sub_ps(pi, fromPi)),
               _mm_xor_ps(atanR, signV));

    // Into 0..2pi, in double precision as for one point.
    const __m128d twoPi = _mm_set1_pd(kTwoPi), zeroD = _mm_setzero_pd();
    __m128d low = _mm_cvtps_pd(angle), high = _mm_cvtps_pd(_mm_movehl_ps(angle, angle));
    low = _mm_add_pd(low, _mm_and_pd(_mm_cmplt_pd(low, zeroD), twoPi));
    high = _mm_add_pd(high, _mm_and_pd(_mm_cmplt_pd(high, zeroD), twoPi));
    return _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high));
}

// Whether this C library's atan2 is the one motionDirections follows (another library, say
// a correctly rounded one, differs in the last bit now and then): checked once on winds of
// every direction and strength, the library's own answer is kept otherwise.
bool libraryAtan2Followed() {
    static const bool followed = [] {
        for (int k = 0; k < 4096; k += 4) {
            alignas(16) float u[4], v[4], d[4];
            for (int lane = 0; lane < 4; ++lane) {
                const int m = k + lane;
                u[lane] = static_cast<float>((m * 37) % 4001 - 2000) * 0.0137f;
                v[lane] = static_cast<float>((m * 91) % 3989 - 1994) * 0.0211f;
            }
            int others = 0;
            _mm_store_ps(d, motionDirections(_mm_load_ps(u), _mm_load_ps(v), others));
            for (int lane = 0; lane < 4; ++lane) {
                if (others & (1 << lane)) continue;
                const float expected = motionDirection(u[lane], v[lane]);
                if (std::memcmp(&expected, &d[lane], sizeof expected) != 0) return false;
            }
        }
        return true;
    }();
    return followed;
}
#endif

} // namespace

void windFromComponents(const float* u, const float* v, std::size_t n, float* direction,
                        float* speed) {
    const float lacking = std::numeric_limits<float>::quiet_NaN();
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128 missingAbove = _mm_set1_ps(kMissingAbove), nan = _mm_set1_ps(lacking);
    // Four points at a time where this library's atan2 is the one followed, else one by one.
    for (const std::size_t groups = libraryAtan2Followed() ? n / 4 * 4 : 0; i < groups; i += 4) {
        const __m128 a = _mm_loadu_ps(u + i), b = _mm_loadu_ps(v + i);
        // The processor's square root is the correctly rounded one std::sqrt gives.
        const __m128 s = _mm_sqrt_ps(_mm_add_ps(_mm_mul_ps(a, a), _mm_mul_ps(b, b)));
        int others = 0;
        __m128 d = motionDirections(a, b, others);
        if (others != 0) {
            // From the components as loaded: `direction` may be `u` itself.
            alignas(16) float a4[4], b4[4], d4[4];
            _mm_store_ps(a4, a);
            _mm_store_ps(b4, b);
            _mm_store_ps(d4, d);
            for (int k = 0; k < 4; ++k)
                if (others & (1 << k)) d4[k] = motionDirection(a4[k], b4[k]);
            d = _mm_load_ps(d4);
        }
        const __m128 missing =
            _mm_or_ps(_mm_cmpgt_ps(a, missingAbove), _mm_cmpgt_ps(b, missingAbove));
        _mm_storeu_ps(direction + i, _mm_andnot_ps(missing, d));
        _mm_storeu_ps(speed + i, select(missing, nan, s));
    }
#endif
    for (; i < n; ++i) {
        const float uu = u[i], vv = v[i];
        if (uu > kMissingAbove || vv > kMissingAbove) {
            direction[i] = 0;
            speed[i] = lacking;
            continue;
        }
        direction[i] = motionDirection(uu, vv);
        speed[i] = std::sqrt(uu * uu + vv * vv);
    }
}

float WindFrame::longitude(int i) const {
    return longitudeInto180(lon1 + static_cast<float>(i) * di);
}

WindPoint WindFrame::placed(std::size_t index, const WindValue& w) const {
    const std::size_t columns = static_cast<std::size_t>(nx);
    return WindPoint{longitude(static_cast<int>(index % columns)),
                     latitude(static_cast<int>(index / columns)), w.direction, w.speed, w.valid};
}

namespace {

// The V values of a frame of n points into `merged`: each V record paired with it in file order
// writes over the ones before it as far as its values go; points no V reaches have v = 0.
void mergedV(const std::vector<const GribRecord*>& vs, std::size_t n, GribValues& merged) {
    merged.assign(n, 0.0f);
    for (const GribRecord* r : vs)
        std::copy_n(r->values.begin(), std::min(r->values.size(), n), merged.begin());
}

// The frame of a U record and its V records. `ownU` and `ownV` (when given) are the values of
// the U record and of its one V record, the caller's to spend: the frame takes them over and
// turns them into direction and speed where they lie, so its points take no memory of their
// own. Otherwise the frame's arrays are made for it.
WindFrame decodedFrame(const GribRecord& r, const std::vector<const GribRecord*>& vs,
                       GribValues* ownU, GribValues* ownV) {
    WindFrame f;
    f.year = r.year;
    f.month = r.month;
    f.day = r.day;
    f.hour = r.hour;
    f.forecastHour = r.forecast;
    f.decoded = true;
    f.nx = r.nx;
    f.ny = r.ny;
    f.lon1 = r.lon1;
    f.di = r.di;
    f.lat1 = r.lat1;
    f.dj = r.dj;
    const std::size_t n = r.values.size();
    // Read before the values move: the buffer moves with them.
    const float* u = r.values.data();
    const float* v = nullptr;
    if (ownV && ownV->size() >= n) {
        f.speed = std::move(*ownV);
        f.speed.resize(n);
        v = f.speed.data();
    } else if (vs.size() == 1 && vs.front()->values.size() >= n) {
        v = vs.front()->values.data();
        f.speed.resize(n);
    } else {
        mergedV(vs, n, f.speed);
        v = f.speed.data();
    }
    if (ownU)
        f.direction = std::move(*ownU);
    else
        f.direction.resize(n);
    windFromComponents(u, v, n, f.direction.data(), f.speed.data());
    return f;
}

} // namespace

void blendFrames(const WindFrame& f, const WindFrame& g, int step, int span, WindFrame& out) {
    // The arrays of `out` are used again.
    GribValues direction = std::move(out.direction), speed = std::move(out.speed);
    out = frameAfter(f, step);
    if (f.size() != g.size()) {
        out.nx = g.nx;
        out.ny = g.ny;
        out.lon1 = g.lon1;
        out.di = g.di;
        out.lat1 = g.lat1;
        out.dj = g.dj;
        direction = g.direction;
        speed = g.speed;
        out.direction = std::move(direction);
        out.speed = std::move(speed);
        return;
    }
    const double wf = static_cast<double>(span - step) / span;
    const double wg = static_cast<double>(step) / span;
    const std::size_t n = f.size();
    direction.resize(n);
    speed.resize(n);
    out.direction = std::move(direction);
    out.speed = std::move(speed);
    for (std::size_t p = 0; p < n; ++p)
        out.setValue(p, blendedWind(f.value(p), g.value(p), wf, wg));
}

FrameGeometry frameGeometry(const WindFrame& frame) {
    FrameGeometry g;
    g.nx = frame.nx;
    g.ny = frame.ny;
    g.count = static_cast<int>(frame.size());
    if (g.nx < 2 || g.ny < 2 || frame.size() < static_cast<std::size_t>(g.nx) * g.ny) return g;
    const float west = frame.longitude(0), east = frame.longitude(g.nx - 1);
    const float south = frame.latitude(0), north = frame.latitude((g.count - 1) / g.nx);
    g.halfStepLon = (frame.longitude(1) - west) * 0.5f;
    g.halfStepLat = (frame.latitude(1) - south) * 0.5f;
    g.minLon = west;
    g.maxLon = east;
    g.minLat = south;
    g.maxLat = north;
    g.wrap = west > east;
    g.lonSpan = east - west + (g.wrap ? 360.0f : 0.0f);
    g.latSpan = north - south;
    return g;
}

GribLoadStatus planFrames(const std::vector<GribRecord>& records, FramePlan& plan) {
    // A file without any record, or without a U component, has no wind: it is refused like
    // a grid that is too small, and the store in place stays.
    if (records.empty()) return GribLoadStatus::BadGrid;
    for (const auto& r : records) {
        if (r.nx < 2 || r.ny < 2) return GribLoadStatus::BadGrid;
        if (recordPoints(r) != static_cast<std::size_t>(r.nx) * static_cast<std::size_t>(r.ny))
            return GribLoadStatus::BadGrid;
    }
    auto& hours = plan.hours;
    auto& sizes = plan.sizes;
    auto& kept = plan.kept;
    for (const auto& r : records) {
        if (!isBuiltinUgrd(r)) continue;
        hours.push_back(validHour(r.year, r.month, r.day, r.hour, r.forecast));
        sizes.push_back(recordPoints(r));
    }
    if (hours.empty()) return GribLoadStatus::BadGrid;
    // The members of an ensemble share their times: paired by time, their components would
    // mix into one wind that no member forecast.
    int member = -2;
    for (const auto& r : records) {
        if (!isBuiltinUgrd(r)) continue;
        if (member != -2 && r.member != member) return GribLoadStatus::SeveralMembers;
        member = r.member;
    }
    for (const auto& r : records)
        if (recordPoints(r) > kMaxGridPoints) return GribLoadStatus::TooLarge;
    std::vector<std::size_t> order(hours.size());
    for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return hours[a] < hours[b]; });
    for (std::size_t k : order) {
        if (!kept.empty() && hours[k] == hours[kept.back()]) continue;
        kept.push_back(k);
    }
    // The decoded frames must fit; the hours between take no memory when made on demand.
    const std::size_t pointLimit = storePointLimit();
    std::size_t decodedPoints = 0;
    for (std::size_t size : sizes) {
        decodedPoints += size;
        if (decodedPoints > pointLimit) return GribLoadStatus::TooLarge;
    }
    for (std::size_t n = 0; n < kept.size(); ++n) {
        const std::size_t size = sizes[kept[n]];
        plan.hourlyPoints += size;
        if (n + 1 < kept.size()) {
            const long long step = hours[kept[n + 1]] - hours[kept[n]];
            if (step <= kMaxExpandedStep)
                plan.hourlyPoints +=
                    static_cast<std::size_t>(step - 1) * std::max(size, sizes[kept[n + 1]]);
        }
    }
    return GribLoadStatus::Ok;
}

GribLoadStatus decodedFrames(const std::vector<GribRecord>& records, std::vector<GribRecord>* owned,
                             std::vector<WindFrame>& decoded) {
    // The U records in file order, each making one frame.
    std::vector<std::size_t> us;
    for (std::size_t k = 0; k < records.size(); ++k) {
        const GribRecord& r = records[k];
        if (!isBuiltinUgrd(r)) continue;
        // A U record given without its values has no wind to offer.
        if (r.values.size() != static_cast<std::size_t>(r.nx) * static_cast<std::size_t>(r.ny))
            return GribLoadStatus::BadGrid;
        us.push_back(k);
    }
    // Each V record goes to the first U frame of the same time that has no V yet (a file with
    // several levels pairs each level in turn), else to the first of the same time.
    std::vector<std::vector<const GribRecord*>> vs(us.size());
    for (const GribRecord& r : records) {
        if (!isBuiltinVgrd(r)) continue;
        std::size_t match = us.size();
        for (std::size_t k = 0; k < us.size(); ++k) {
            if (!sameTime(records[us[k]], r)) continue;
            if (vs[k].empty()) {
                match = k;
                break;
            }
            if (match == us.size()) match = k;
        }
        if (match != us.size()) vs[match].push_back(&r);
    }
    // Values of records the caller gives away go as soon as their frame is built.
    const auto release = [owned, &records](const GribRecord& r) {
        if (owned) GribValues().swap((*owned)[std::size_t(&r - records.data())].values);
    };
    decoded.clear();
    decoded.reserve(us.size());
    for (std::size_t k = 0; k < us.size(); ++k) {
        const GribRecord& r = records[us[k]];
        GribValues* ownU = owned ? &(*owned)[us[k]].values : nullptr;
        GribValues* ownV = owned && vs[k].size() == 1
                               ? &(*owned)[std::size_t(vs[k].front() - records.data())].values
                               : nullptr;
        decoded.push_back(decodedFrame(r, vs[k], ownU, ownV));
        for (const GribRecord* v : vs[k]) release(*v);
        release(r);
    }
    return GribLoadStatus::Ok;
}

std::vector<WindFrame> hourlyFrames(std::vector<WindFrame>& decoded, const FramePlan& plan,
                                    bool stored) {
    const auto& hours = plan.hours;
    const auto& kept = plan.kept;
    // The hours made between kept frame n and the next.
    const auto between = [&](std::size_t n) -> int {
        if (n + 1 >= kept.size()) return 0;
        const long long step = hours[kept[n + 1]] - hours[kept[n]];
        return step <= kMaxExpandedStep && step > 1 ? static_cast<int>(step - 1) : 0;
    };
    std::size_t total = 0;
    for (std::size_t n = 0; n < kept.size(); ++n) total += 1 + static_cast<std::size_t>(between(n));
    std::vector<WindFrame> frames;
    frames.reserve(total);
    for (std::size_t n = 0; n < kept.size(); ++n) {
        frames.push_back(std::move(decoded[kept[n]]));
        const int count = between(n);
        if (count == 0) continue;
        const std::size_t at = frames.size() - 1;
        const WindFrame& g = decoded[kept[n + 1]];
        const int span = count + 1;
        const bool sameGrid = frames[at].size() == g.size();
        for (int s = 1; s <= count; ++s) {
            if (stored || !sameGrid) {
                WindFrame e;
                blendFrames(frames[at], g, s, span, e);
                frames.push_back(std::move(e));
                continue;
            }
            WindFrame e = frameAfter(frames[at], s);
            e.from = static_cast<int>(at);
            e.to = static_cast<int>(at) + span;
            e.step = s;
            e.span = span;
            e.weightFrom = static_cast<double>(span - s) / span;
            e.weightTo = static_cast<double>(s) / span;
            frames.push_back(std::move(e));
        }
    }
    decoded.clear();
    return frames;
}

} // namespace navorel

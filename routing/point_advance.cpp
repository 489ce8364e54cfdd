#include "routing/point_advance.h"

#include "core/geodesy.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

namespace navorel {

namespace {

// A velocity of `speed` towards `direction` (degrees true) as east and north components:
// the mathematical angle of direction d is 450 - d.
inline void toVector(double direction, double speed, double& east, double& north) {
    const double a = (450.0 - direction) * kDegToRad;
    east = std::cos(a) * speed;
    north = std::sin(a) * speed;
}

// The direction (degrees true, 0..360) a velocity points to.
inline double directionOf(double east, double north) {
    return normalise360(std::atan2(east, north) * kRadToDeg);
}

// The true wind angle of a heading. Headings are folded as given, but a heading of a fan that
// runs below 0 or past 360 can lie more than a turn from the wind and would fold to a
// negative angle (heading -85 in wind from 350 gave -75 and a close-hauled boat instead of a
// reach at 75): such a heading is folded again once brought into 0..360.
inline double windAngle(double heading, double twd) {
    const double a = foldAngle(heading, twd);
    return a < 0.0 ? foldAngle(normalise360(heading), twd) : a;
}

// Sea state: slower with the wind from ahead of the commanded heading, faster (or slower)
// with it from behind. `windFrom` is the wind source direction before the stream.
inline double seaStateSpeed(const RoutingParameters& p, double speed, double windFrom,
                            double commanded) {
    const double f = std::cos(normalise360(windFrom - commanded) * kDegToRad);
    if (f > 0.0) return speed * (100.0 - (100.0 - p.seaStateUp) * f) / 100.0;
    if (f < 0.0) return speed * ((100.0 - p.seaStateDown) * f + 100.0) / 100.0;
    return speed;
}

// The sea-state factor: from the wave table where the waves are known (the angle between
// where they come from and the commanded heading, 0 for seas dead ahead), else the fixed
// percentages.
inline double seaSpeed(const RoutingInputs& in, const AdvanceEnvironment& env, double speed,
                       double commanded) {
    if (env.waveFound)
        return speed * wavePercent(*in.waveTable, env.waveHeight, env.waveFrom - commanded) / 100.0;
    return seaStateSpeed(*in.params, speed, env.windDir, commanded);
}

// The polar speed (knots) and heading of the boat asked to steer `commanded`: a wind angle
// tighter than the best upwind or deeper than the best downwind angle is replaced by it, on
// the tack whose plain heading difference to `commanded` is the smaller (or, for the other
// tack, the larger; on a tie the plus side, and the minus side for the other tack).
inline float sailEstimate(const Polar& polar, float twsKnots, double commanded, double steer,
                          double twd, bool otherTack, float& twa, double& heading) {
    twa = static_cast<float>(windAngle(steer, twd));
    bool adjusted = false;
    const float speed = sailingSpeed(polar, twsKnots, twa, adjusted);
    heading = steer;
    if (adjusted) {
        const double minus = twd - twa;
        const double plus = twd + twa;
        const double dMinus = std::fabs(minus - commanded);
        const double dPlus = std::fabs(plus - commanded);
        double chosen;
        if (!otherTack)
            chosen = dMinus < dPlus ? minus : plus;
        else
            chosen = dMinus > dPlus ? minus : (dMinus < dPlus ? plus : minus);
        heading = normalise360(chosen);
    }
    return speed;
}

// The ground speed along `track` (degrees) that a water speed `speed` gives against the
// stream (direction k, speed L): the larger root of g^2 + b g + (L^2 - V^2) = 0. False when
// no ground speed solves it (the stream is too strong across the track) or the boat does not
// move through the water (the water track would be 0/0).
inline bool counterGroundSpeed(double track, double speed, double k, double L, double& g) {
    if (!(speed > 0.0)) return false;
    const double cosDelta = std::cos(std::fabs(track - k) * kDegToRad);
    const double b = -2.0 * L * cosDelta;
    const double D = b * b - 4.0 * (L * L - speed * speed);
    if (D > 0.0) {
        const double r = std::sqrt(D);
        const double g1 = (r - b) / 2.0, g2 = (-b - r) / 2.0;
        g = g1 > g2 ? g1 : g2;
        return true;
    }
    if (D == 0.0) {
        g = L * cosDelta;
        return true;
    }
    return false;
}

inline bool sameBits(float a, float b) {
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

// Time arithmetic derives the calendar fields again; all headings tried from one parent share
// the same arrival time, so the last one is kept.
inline DateTime advancedTime(const DateTime& from, double seconds) {
    struct Cache {
        double from = std::nan("");
        double seconds = 0;
        DateTime result;
    };
    thread_local Cache cache;
    if (cache.from == from.dayNumber && cache.seconds == seconds) return cache.result;
    DateTime t = from;
    advance(t, seconds);
    cache.from = from.dayNumber;
    cache.seconds = seconds;
    cache.result = t;
    return t;
}

} // namespace

AdvanceEnvironment sampleEnvironment(const RoutingInputs& in, const IsochronePoint& parent) {
    const RoutingParameters& p = *in.params;
    AdvanceEnvironment env;
    if (p.currents && in.current) {
        const CurrentSample c =
            in.current->currentAt(parent.lon, parent.lat, parent.time.dayNumber);
        if (c.found) {
            env.currentDir = c.direction;
            env.currentSpeed = c.speed * kKnotToMs;
            toVector(env.currentDir, env.currentSpeed, env.cE, env.cN);
        }
    }
    const WindSample w = in.wind->windAt(parent.lon, parent.lat, parent.time.dayNumber);
    double wE = 0, wN = 0;
    if (w.found) {
        env.windFound = true;
        env.windDir = w.direction;
        env.windSpeed = p.variation * kKnotPercentToMs * w.speed;
        // The air moves towards the opposite of where it comes from.
        toVector(env.windDir + 180.0, env.windSpeed, wE, wN);
    }
    env.vE = wE - env.cE;
    env.vN = wN - env.cN;
    env.tws = static_cast<float>(std::sqrt(env.vE * env.vE + env.vN * env.vN));
    env.twd = static_cast<float>(normalise360(std::atan2(env.vE, env.vN) * kRadToDeg + 180.0));
    if (p.seaState && in.waves && in.waveTable && env.windFound) {
        const WaveSample s = in.waves->waveAt(parent.lon, parent.lat, parent.time.dayNumber);
        if (s.found) {
            env.waveFound = true;
            env.waveHeight = s.height;
            env.waveFrom = s.hasDirection ? s.direction : env.windDir;
        }
    }
    env.start = rhumbStart(GeoPoint{parent.lon, parent.lat});
    return env;
}

IsochronePoint advanceFrom(const RoutingInputs& in, const AdvanceEnvironment& env,
                           const IsochronePoint& P, GeoPoint target, std::optional<double> heading,
                           double s, bool otherTack) {
    return advanceFrom(in, env, P, trigPoint(target), heading, s, otherTack);
}

IsochronePoint advanceFrom(const RoutingInputs& in, const AdvanceEnvironment& env,
                           const IsochronePoint& P, const TrigPoint& target,
                           std::optional<double> heading, double s, bool otherTack,
                           TrigPoint* reached) {
    if (in.advanceCalls) ++*in.advanceCalls;
    const RoutingParameters& p = *in.params;
    const GeoPoint from{P.lon, P.lat};
    const double hc = heading ? *heading : trigBearing(trigPoint(from), target);

    IsochronePoint r;
    r.commandedHeading = static_cast<float>(hc);
    r.currentDir = static_cast<float>(env.currentDir);
    r.currentSpeed = static_cast<float>(env.currentSpeed);

    const bool canMotor = p.engine && !p.noRoutingOutside;
    if (!env.windFound && !canMotor) {
        // Outside the wind and not allowed to motor: no move.
        r.valid = 0;
        r.lon = r.parentLon = P.lon;
        r.lat = r.parentLat = P.lat;
        r.time = r.parentTime = P.time;
        r.awaSide = 0;
        r.totalDistance = P.totalDistance;
        r.fuel = P.fuel;
        r.engineSeconds = P.engineSeconds;
        r.parent = P.index;
        const TrigPoint here = trigPoint(from);
        r.distToTarget = static_cast<float>(trigDistance(here, target));
        if (reached) *reached = here;
        return r;
    }

    const double power = static_cast<double>(p.powerInForce); // Power, or a scanned value
    const float twsKnots = static_cast<float>(env.tws * kMsToKnot);
    double H = hc; // heading through the water
    float twa = 0;
    double bE = 0, bN = 0; // water track, m/s
    double gE = 0, gN = 0; // ground track, m/s
    double V = 0;          // boat speed through the water, m/s
    bool engine = !env.windFound;

    if (env.windFound) {
        float speed;
        if (!p.counterCurrent) {
            speed = sailEstimate(*in.polar, twsKnots, hc, hc, env.twd, otherTack, twa, H);
        } else {
            // Steer the heading whose water track, with the stream, makes good the estimate's
            // heading over ground.
            double H1;
            const float s1 = sailEstimate(*in.polar, twsKnots, hc, hc, env.twd, otherTack, twa, H1);
            double V1 = power / 100.0 * s1 * kKnotToMs;
            if (p.seaState) V1 = seaSpeed(in, env, V1, hc);
            double g;
            H = H1;
            if (counterGroundSpeed(H1, V1, env.currentDir, env.currentSpeed, g)) {
                double e1, n1;
                toVector(H1, V1, e1, n1);
                H = directionOf(g * e1 / V1 - env.cE, g * n1 / V1 - env.cN);
            }
            speed = sailEstimate(*in.polar, twsKnots, hc, H, env.twd, otherTack, twa, H);
        }
        V = power / 100.0 * speed * kKnotToMs;
        if (p.seaState) V = seaSpeed(in, env, V, hc);
        if (p.engine && p.lowSpeed * kKnotToMs > V) {
            engine = true;
        } else {
            toVector(H, V, bE, bN);
            gE = bE + env.cE;
            gN = bN + env.cN;
        }
    }

    if (engine) {
        V = p.engineSpeed * kKnotToMs;
        if (env.windFound && p.seaState) V = seaSpeed(in, env, V, hc);
        toVector(hc, V, bE, bN);
        double g;
        if (p.counterCurrent && counterGroundSpeed(hc, V, env.currentDir, env.currentSpeed, g)) {
            const double wE = g * bE / V - env.cE, wN = g * bN / V - env.cN;
            toVector(hc, g, gE, gN);
            bE = wE;
            bN = wN;
        } else {
            gE = bE + env.cE;
            gN = bN + env.cN;
        }
        H = directionOf(bE, bN);
        twa = static_cast<float>(windAngle(H, env.twd));
    }

    r.valid = 1;
    r.engine = engine ? 1 : 0;
    r.windDir = static_cast<float>(env.windDir);
    r.windSpeed = static_cast<float>(env.windSpeed);
    r.twd = env.twd;
    r.tws = env.tws;
    r.twa = twa;
    r.boatSpeed = static_cast<float>(V);
    r.heading = static_cast<float>(H);
    r.currentDot = static_cast<float>(bE * env.cE + bN * env.cN);

    r.sog = static_cast<float>(std::sqrt(gE * gE + gN * gN));
    r.cog = static_cast<float>(directionOf(gE, gN));
    r.stepDistance = static_cast<float>(r.sog * s);

    // Apparent wind: the air's motion relative to the boat.
    const double aE = env.vE - bE, aN = env.vN - bN;
    r.aws = static_cast<float>(std::sqrt(aE * aE + aN * aN));
    const double m = directionOf(aE, aN);
    const double x = normalise360(H - m - 180.0);
    if (x > 180.0) {
        r.awa = static_cast<float>(360.0 - x);
        r.awaSide = 0;
    } else {
        r.awa = static_cast<float>(x);
        r.awaSide = 1;
    }
    // A change of side under sail is a tack or a gybe. A departure has no side yet (-1).
    if (!engine && P.awaSide >= 0 && r.awaSide != P.awaSide) {
        r.stepDistance = static_cast<float>(r.stepDistance - tackLoss(p, r.sog));
        // A tack longer than the step must not move the boat backwards.
        if (r.stepDistance < 0.0f) r.stepDistance = 0.0f;
    }

    // The parent's Mercator term is shared by its fan, when the environment is the parent's
    // (an environment built by hand has no term: 0, which no start but a pole's gives, and
    // the plain form gives the pole's own answer).
    const bool ownStart = sameBits(env.start.at.lon, P.lon) && sameBits(env.start.at.lat, P.lat) &&
                          env.start.tanTerm != 0.0;
    const GeoPoint to = ownStart ? rhumbMove(env.start, r.cog, r.stepDistance)
                                 : rhumbDestination(from, r.cog, r.stepDistance);
    r.lon = to.lon;
    r.lat = to.lat;
    const TrigPoint here = trigPoint(to);
    r.distToTarget = static_cast<float>(trigDistance(here, target));
    if (reached) *reached = here;

    r.time = advancedTime(P.time, s);
    r.parentTime = P.time;
    r.parentLon = P.lon;
    r.parentLat = P.lat;
    r.stepSeconds = s;
    r.totalDistance = P.totalDistance + r.stepDistance;
    if (engine) {
        r.fuel = static_cast<float>(P.fuel + s / 3600.0 * p.engineConsumption);
        r.engineSeconds = static_cast<float>(P.engineSeconds + s);
    } else {
        r.fuel = P.fuel;
        r.engineSeconds = P.engineSeconds;
    }
    r.parent = P.index;
    r.arrived = 0;
    return r;
}

IsochronePoint advancePoint(const RoutingInputs& in, const IsochronePoint& parent, GeoPoint target,
                            std::optional<double> heading, double stepSeconds, bool otherTack) {
    return advanceFrom(in, sampleEnvironment(in, parent), parent, target, heading, stepSeconds,
                       otherTack);
}

double tackLossPlain(const RoutingParameters& params, double v) {
    const int D = params.tackDuration;
    if (D <= 0) return 0.0;
    const double h = (1.0 - params.tackLossSpeed / 100.0) * v;
    double sum = 0.0;
    for (int i = 0; i < D; ++i) sum += h + (v - h) * ((1.0 + std::cos(i * kPi / D)) / 2.0);
    return D * v - sum;
}

double tackLoss(const RoutingParameters& params, double v) {
    const int D = params.tackDuration;
    if (D <= 0) return 0.0;
    constexpr int kMaxCached = 7200;
    if (D > kMaxCached) return tackLossPlain(params, v);
    // The half-cosine weights of the last duration, summed in the same order as the plain
    // form, so that both give the same digits.
    thread_local std::vector<double> weights;
    thread_local int weightsFor = 0;
    if (weightsFor != D) {
        weights.resize(static_cast<std::size_t>(D));
        for (int i = 0; i < D; ++i) weights[i] = (1.0 + std::cos(i * kPi / D)) / 2.0;
        weightsFor = D;
    }
    const double h = (1.0 - params.tackLossSpeed / 100.0) * v;
    double sum = 0.0;
    for (int i = 0; i < D; ++i) sum += h + (v - h) * weights[i];
    return D * v - sum;
}

bool windWithinLimits(const RoutingInputs& in, const IsochronePoint& p) {
    const RoutingParameters& params = *in.params;
    const double knots = p.tws * kMsToKnot;
    if (knots > params.windMax || knots < params.windMin) return false;
    if (params.windMaxUpwind > 0 && p.twa < 60 && knots > params.windMaxUpwind) return false;
    if (params.windMaxDownwind > 0 && p.twa > 150 && knots > params.windMaxDownwind) return false;
    if (params.gustMax > 0 && in.wind) {
        float gust = 0;
        if (in.wind->gustAt(p.parentLon, p.parentLat, p.parentTime.dayNumber, gust) &&
            gust * (params.variation / 100.0) > params.gustMax)
            return false;
    }
    if (params.waveMax > 0 && in.waves) {
        const WaveSample w = in.waves->waveAt(p.parentLon, p.parentLat, p.parentTime.dayNumber);
        if (w.found && w.height > params.waveMax) return false;
    }
    return true;
}

bool pointAcceptable(const RoutingInputs& in, const IsochronePoint& p) {
    if (!p.valid) return false;
    const RoutingParameters& params = *in.params;
    // The cheap wind test first; the outcome does not depend on the order.
    bool ok = windWithinLimits(in, p);
    if (ok && in.crossings) {
        const GeoPoint a{p.parentLon, p.parentLat}, b{p.lon, p.lat};
        if (params.avoidCoasts && in.crossings->segmentCrossesLand(a, b))
            ok = false;
        else if (params.avoidBarriers && in.crossings->segmentCrossesBarrier(a, b))
            ok = false;
        else if (params.avoidTss && in.crossings->segmentCrossesZone(a, b))
            ok = false;
    }
    if (!ok) setRunStatus(in, kStatusRejected);
    return ok;
}

namespace {

// Puts the totals of a point that ran `distance` metres in `seconds` from `base`.
void shortenStep(const RoutingParameters& p, IsochronePoint& q, const IsochronePoint& base,
                 double distance, double seconds) {
    q.time = base.time;
    advance(q.time, seconds);
    q.stepSeconds = seconds;
    q.stepDistance = static_cast<float>(distance);
    q.totalDistance = static_cast<float>(base.totalDistance + distance);
    if (q.engine) {
        q.fuel = static_cast<float>(base.fuel + seconds / 3600.0 * p.engineConsumption);
        q.engineSeconds = static_cast<float>(base.engineSeconds + seconds);
    } else {
        // Under sail the totals are those of the point the run starts from (for the run after
        // a tack point, the tack point's, which may have motored).
        q.fuel = base.fuel;
        q.engineSeconds = base.engineSeconds;
    }
}

// The last run of a leg: `b` ran `distance` metres from `a` and ends on the target. Both points
// are answered when the arrival passes the check.
LegFinish arriveAt(const RoutingInputs& in, const IsochronePoint& a, IsochronePoint b,
                   GeoPoint target, double distance) {
    LegFinish out;
    shortenStep(*in.params, b, a, distance, distance / b.sog);
    b.lon = target.lon;
    b.lat = target.lat;
    b.distToTarget = 0.0f;
    b.arrived = 1;
    if (pointAcceptable(in, b)) {
        out.points[0] = a;
        out.points[1] = b;
        out.count = 2;
    }
    return out;
}

} // namespace

LegFinish finishLeg(const RoutingInputs& in, const IsochronePoint& P, GeoPoint T, double s,
                    bool otherTackFirst, double maxMiss) {
    const RoutingParameters& params = *in.params;
    LegFinish out;
    const GeoPoint from{P.lon, P.lat};
    IsochronePoint A = advancePoint(in, P, T, std::nullopt, s, otherTackFirst);
    if (params.avoidCoasts && in.crossings &&
        in.crossings->segmentCrossesLand(from, GeoPoint{A.lon, A.lat}))
        return out;

    const double beta = greatCircleBearing(from, T);
    // Within one degree of the bearing, across north too (359.5 and 0.2 are 0.7 apart).
    const double off = std::fabs(A.cog - beta);
    bool straight = off < 1.0 || off > 359.0;
    if (straight && maxMiss >= 0.0 && !A.engine && in.polar) {
        // A boat held off by a best-VMG angle does not point at the target: its run passes
        // beside it, by more than `maxMiss` from afar, and the target is reached by a tack.
        float twa = static_cast<float>(windAngle(A.commandedHeading, A.twd));
        bool adjusted = false;
        sailingSpeed(*in.polar, static_cast<float>(A.tws * kMsToKnot), twa, adjusted);
        const double miss =
            greatCircleDistance(from, T) * std::sin(std::min(off, 360.0 - off) * kDegToRad);
        if (adjusted && miss > maxMiss) straight = false;
    }
    if (straight) {
        // Straight run to the target.
        if (!(A.sog > 0.0f)) return out; // no way over ground: the target is never reached
        const double d = greatCircleDistance(from, T);
        const double t = d / A.sog;
        shortenStep(params, A, P, d, t);
        const GeoPoint end = rhumbDestination(from, A.cog, d);
        A.lon = end.lon;
        A.lat = end.lat;
        A.distToTarget = static_cast<float>(greatCircleDistance(end, T));
        A.arrived = 1;
        if (pointAcceptable(in, A)) {
            out.points[0] = A;
            out.count = 1;
        }
        return out;
    }

    IsochronePoint B = advancePoint(in, P, T, std::nullopt, s, !otherTackFirst);
    GeoPoint I;
    if (greatCircleIntersection(from, A.cog, T, std::fmod(B.cog + 180.0, 360.0), I)) {
        // To the tack point on this tack, then to the target on the other.
        if (!(A.sog > 0.0f)) return out;
        const double d1 = greatCircleDistance(from, I);
        shortenStep(params, A, P, d1, d1 / A.sog);
        A.lon = I.lon;
        A.lat = I.lat;
        A.distToTarget = static_cast<float>(greatCircleDistance(I, T));
        if (!pointAcceptable(in, A)) return out;
        if (!(B.sog > 0.0f)) return out;
        const double d2 = greatCircleDistance(I, T);
        B.parentTime = A.time;
        B.parentLon = I.lon;
        B.parentLat = I.lat;
        return arriveAt(in, A, B, T, d2);
    }

    // No tack point: a quarter of the way back when the step overshot, then on to the target.
    const double gamma = greatCircleBearing(GeoPoint{A.lon, A.lat}, T);
    if (std::cos((gamma - A.cog) * kDegToRad) < 0.0) {
        if (!(A.sog > 0.0f)) return out;
        const double shorter = A.distToTarget * 0.25 / A.sog;
        A = advancePoint(in, P, T, std::nullopt, shorter, false);
    }
    if (!pointAcceptable(in, A)) return out;
    B = advancePoint(in, A, T, std::nullopt, s, false);
    if (!(B.sog > 0.0f)) return out;
    return arriveAt(in, A, B, T, greatCircleDistance(GeoPoint{A.lon, A.lat}, T));
}

} // namespace navorel

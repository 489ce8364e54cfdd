#pragma once
// One move of the boat: from a point, on a heading (or towards the target), for one time step,
// with every modifier of the boat's speed and course (wind intensity, effectiveness, best-VMG
// angles, sea state, engine, streams, tack and gybe loss). Also the exact arrival at a
// waypoint from a point less than one step away, and the check of a finished point.
#include "core/geodesy.h"
#include "routing/isochrone_point.h"
#include "routing/routing_inputs.h"

#include <optional>

namespace navorel {

// The wind and stream at a parent point: the same for every heading tried from it. Sampling
// it once per parent and advancing on many headings gives exactly what advancePoint gives.
struct AdvanceEnvironment {
    bool windFound = false;
    double windDir = 0;      // comes from, degrees
    double windSpeed = 0;    // m/s after the intensity percentage
    double currentDir = 0;   // flows towards, degrees
    double currentSpeed = 0; // m/s
    double cE = 0, cN = 0;   // stream vector, m/s
    double vE = 0, vN = 0;   // wind over the water, moving-towards vector, m/s
    float tws = 0;           // m/s
    float twd = 0;           // comes from, degrees
    // The waves when the sea-state factor comes from a wave forecast (SeaState on, a wave
    // source and a wave table given, and a wave at the parent): height and where they come
    // from (the wind's direction when the forecast gives none).
    bool waveFound = false;
    double waveHeight = 0; // m
    double waveFrom = 0;   // degrees
    RhumbStart start;      // the parent's position, where every move of its fan starts
};

// Samples the wind and the stream at the parent's position and time.
AdvanceEnvironment sampleEnvironment(const RoutingInputs& in, const IsochronePoint& parent);

// Moves the boat from `parent` for `stepSeconds`: on `heading` (degrees, used as given) or,
// without one, on the great-circle bearing to `target`. With `otherTack`, a heading replaced
// by a best-VMG angle takes the other tack. Outside the wind, without the engine allowed, the
// answer has valid = 0. Allocates nothing.
IsochronePoint advancePoint(const RoutingInputs& in, const IsochronePoint& parent, GeoPoint target,
                            std::optional<double> heading, double stepSeconds, bool otherTack);
// The same with the parent's wind and stream already sampled.
IsochronePoint advanceFrom(const RoutingInputs& in, const AdvanceEnvironment& env,
                           const IsochronePoint& parent, GeoPoint target,
                           std::optional<double> heading, double stepSeconds, bool otherTack);
// The same towards a target whose latitude's sine and cosine are computed once for the leg;
// `reached`, when given, receives those of the position reached (of the parent for a point
// that does not move), for the tests that follow the move.
IsochronePoint advanceFrom(const RoutingInputs& in, const AdvanceEnvironment& env,
                           const IsochronePoint& parent, const TrigPoint& target,
                           std::optional<double> heading, double stepSeconds, bool otherTack,
                           TrigPoint* reached = nullptr);

// Distance in metres lost by one tack or gybe at `speed` m/s: the speed follows half a cosine
// down to (100 - TackLossSpeed) % and back over TackDuration one-second samples.
double tackLoss(const RoutingParameters& params, double speed);
// The same summed with the cosines computed afresh (the reference for tests).
double tackLossPlain(const RoutingParameters& params, double speed);

// The wind test of a finished point: true wind within WindMin..WindMax knots and within the
// comfort limits that are set (a limit of 0 is none): WindMaxUpwind at a true wind angle under
// 60 degrees, WindMaxDownwind over 150, and GustMax against the gust where the wind source
// carries one (sampled, like the wind, at the start of the step, with the wind intensity);
// and the significant wave height at the start of the step within WaveMax metres, where a
// wave source is given and has a wave there.
bool windWithinLimits(const RoutingInputs& in, const IsochronePoint& p);

// The check of a finished point: valid, not across land or a barrier (when avoided), the wind
// within its limits (windWithinLimits). A valid point that fails sets the run status to 1.
bool pointAcceptable(const RoutingInputs& in, const IsochronePoint& p);

// At most two points, and how many of them are set.
struct LegFinish {
    IsochronePoint points[2];
    int count = 0;
};

// The exact arrival at `target` from `from` when it lies within a step: a straight run, a run
// to a tack point and on to the target, or a short run and a final one. Answers no point when
// one of them fails the check, or when the boat does not move over ground. The first run is
// on the tack nearer the target's bearing by plain heading difference; with `otherTackFirst`
// on the other one. With `maxMiss` (metres, negative for none) a boat whose heading a best-VMG
// angle replaced runs straight only when its run passes that close to the target; else it
// tacks onto it.
LegFinish finishLeg(const RoutingInputs& in, const IsochronePoint& from, GeoPoint target,
                    double stepSeconds, bool otherTackFirst = false, double maxMiss = -1.0);

} // namespace navorel

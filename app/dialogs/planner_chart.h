#pragma once
// The planner's picture: duration (or arrival time) against departure time, one point per
// departure coloured by a comfort measure from green (best) to red, the best departure by
// each measure ringed, departures that do not arrive in grey, and the arrivals by night shaded
// (the hours of darkness at the destination, from its sunrise and sunset).
#include "routing/departure_planner.h"

#include <QColor>
#include <QPointF>
#include <QString>

class QChart;

namespace navorel {
class TextProvider;
}

namespace navorel::app {

struct PlannerPicture {
    bool arrivalAxis = false;                    // arrival time instead of duration upwards
    PlanMeasure colourBy = PlanMeasure::MaxWind; // the comfort measure of the colours
};

// The colour of a value between the best and the worst of its measure: green to yellow to
// red. NaN or an empty range gives green.
QColor comfortColour(double value, double best, double worst);

// Fills `chart` (emptied first) with the plan.
void drawPlan(QChart& chart, const DeparturePlan& plan, GeoPoint destination,
              const PlannerPicture& picture, const TextProvider& texts);

// The departure whose point lies nearest to `value` (the chart's x in milliseconds since
// 1970, y in hours or in milliseconds), -1 for an empty plan.
int departureNear(const DeparturePlan& plan, QPointF value, const PlannerPicture& picture);

// The text of a departure for the window's information line.
QString departureText(const DeparturePlan& plan, int index, const TextProvider& texts);

// Milliseconds since 1970 of a day number, as the chart's time axes count.
double chartTime(double day);

} // namespace navorel::app

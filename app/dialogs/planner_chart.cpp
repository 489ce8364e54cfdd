#include "app/dialogs/planner_chart.h"

#include "app/dialogs/planner_texts.h"
#include "core/sun.h"

#include <QAreaSeries>
#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QTimeZone>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace navorel::app {

namespace {

constexpr double kMsPerDay = 86400000.0;
constexpr double kDay1970 = -3652.0; // day number of 1 January 1970

// The measure of the colours: the best is the lowest.
struct Range {
    double best = 0, worst = 0;
};

Range measureRange(const DeparturePlan& plan, PlanMeasure which) {
    Range r{INFINITY, -INFINITY};
    for (const Departure& d : plan.departures) {
        if (!d.arrives()) continue;
        const double v = measureValue(*d.shown(), which);
        r.best = std::min(r.best, v);
        r.worst = std::max(r.worst, v);
    }
    if (!std::isfinite(r.best)) r = {0, 0};
    return r;
}

QString when(double day) {
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(chartTime(day)), QTimeZone::utc())
        .toString("dd/MM hh:mm");
}

QString hours(double h) {
    const long long minutes = std::llround(h * 60);
    return QString("%1h%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

// "Fastest: 03/06 21:00 (21h28) - Most comfortable: 01/06 00:00 (12.6 kt)".
QString bestSummary(const DeparturePlan& plan, const PlannerPicture& picture,
                    const TextProvider& texts) {
    const int fastest = plan.best[static_cast<int>(PlanMeasure::Duration)];
    if (fastest < 0) return plannerText(texts, kPlannerDoesNotArrive);
    const Departure& f = plan.departures[static_cast<std::size_t>(fastest)];
    QString text = QString("%1: %2 (%3)")
                       .arg(plannerText(texts, kPlannerFastest), when(f.departure.dayNumber),
                            hours(f.shown()->durationHours));
    const int comfort = plan.best[static_cast<int>(picture.colourBy)];
    if (comfort >= 0 && picture.colourBy != PlanMeasure::Duration) {
        const Departure& c = plan.departures[static_cast<std::size_t>(comfort)];
        const double v = measureValue(*c.shown(), picture.colourBy);
        const QString value =
            picture.colourBy == PlanMeasure::MaxWind       ? QString::number(v, 'f', 1) + " kt"
            : picture.colourBy == PlanMeasure::UpwindShare ? QString::number(v, 'f', 0) + " %"
                                                           : QString::number(v, 'f', 1) + " h";
        text +=
            QString("   -   %1: %2 (%3)")
                .arg(plannerText(texts, kPlannerBestComfort), when(c.departure.dayNumber), value);
    }
    return text;
}

double yOf(const RunMeasures& m, const PlannerPicture& picture) {
    return picture.arrivalAxis ? chartTime(m.arrival) : m.durationHours;
}

} // namespace

double chartTime(double day) {
    return (day - kDay1970) * kMsPerDay;
}

QColor comfortColour(double value, double best, double worst) {
    double f = worst > best ? (value - best) / (worst - best) : 0.0;
    if (!std::isfinite(f)) f = 0;
    f = std::clamp(f, 0.0, 1.0);
    // Green (0.33 hue) through yellow to red (0 hue).
    return QColor::fromHslF(static_cast<float>((1.0 - f) / 3.0), 0.85f, 0.45f);
}

void drawPlan(QChart& chart, const DeparturePlan& plan, GeoPoint destination,
              const PlannerPicture& picture, const TextProvider& texts) {
    chart.removeAllSeries();
    chart.setTitle({});
    for (QAbstractAxis* axis : chart.axes()) {
        chart.removeAxis(axis);
        delete axis;
    }
    if (plan.departures.empty()) return;

    auto* xAxis = new QDateTimeAxis;
    xAxis->setFormat("dd/MM hh:mm");
    xAxis->setTitleText(plannerText(texts, kPlannerDeparture));
    QAbstractAxis* yAxis = nullptr;
    if (picture.arrivalAxis) {
        auto* a = new QDateTimeAxis;
        a->setFormat("dd/MM hh:mm");
        yAxis = a;
    } else {
        yAxis = new QValueAxis;
    }
    yAxis->setTitleText(
        plannerText(texts, picture.arrivalAxis ? kPlannerArrivalAxis : kPlannerDurationAxis));
    chart.addAxis(xAxis, Qt::AlignBottom);
    chart.addAxis(yAxis, Qt::AlignLeft);

    // The extent of the points, with a margin.
    double x0 = INFINITY, x1 = -INFINITY, y0 = INFINITY, y1 = -INFINITY;
    for (const Departure& d : plan.departures) {
        const double x = chartTime(d.departure.dayNumber);
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
        if (const RunMeasures* m = d.shown(); m && m->arrival > 0) {
            y0 = std::min(y0, yOf(*m, picture));
            y1 = std::max(y1, yOf(*m, picture));
        }
    }
    if (!std::isfinite(y0)) y0 = y1 = 0;
    // Ticks at midnight and noon (UTC), or every 6 hours over a short span, with room for
    // the rings of the first and last departures.
    const double tick = (x1 - x0) <= 2 * kMsPerDay ? kMsPerDay / 4 : kMsPerDay / 2;
    x0 = std::floor((x0 - 2 * 3600000.0) / tick) * tick;
    x1 = std::ceil((x1 + 2 * 3600000.0) / tick) * tick;
    const int xTicks = static_cast<int>(std::llround((x1 - x0) / tick)) + 1;
    if (picture.arrivalAxis) {
        y0 = std::floor(y0 / kMsPerDay * 4) * kMsPerDay / 4;
        y1 = std::ceil(y1 / kMsPerDay * 4) * kMsPerDay / 4;
        if (y1 <= y0) y1 = y0 + kMsPerDay / 4;
    } else {
        y0 = std::max(0.0, std::floor(y0 - 1));
        y1 = std::ceil(y1 + 1);
    }

    // Night at the destination: the arrival times with the sun down, as bands. Against the
    // duration an arrival at night is a departure + duration inside a night, a band between
    // two lines of slope -1.
    const double firstDay =
        std::floor(std::min(x0, picture.arrivalAxis ? y0 : x0) / kMsPerDay + kDay1970) - 1;
    const double lastDay =
        std::ceil((picture.arrivalAxis ? y1 : x1 + y1 * 3600000.0) / kMsPerDay + kDay1970) + 1;
    bool firstBand = true;
    for (double day = firstDay; day <= lastDay; day += 1) {
        const SunTimes today = sunTimes(destination.lon, destination.lat, day);
        const SunTimes tomorrow = sunTimes(destination.lon, destination.lat, day + 1);
        double nightStart = 0, nightEnd = 0;
        if (today.kind == SunTimes::Kind::AlwaysDown) {
            nightStart = day;
            nightEnd = day + 1;
        } else if (today.kind == SunTimes::Kind::RisesAndSets &&
                   tomorrow.kind == SunTimes::Kind::RisesAndSets) {
            nightStart = today.sunset;
            nightEnd = tomorrow.sunrise;
        } else {
            continue;
        }
        const double s = chartTime(nightStart), e = chartTime(nightEnd);
        auto* lower = new QLineSeries;
        auto* upper = new QLineSeries;
        if (picture.arrivalAxis) {
            lower->append(x0, s);
            lower->append(x1, s);
            upper->append(x0, e);
            upper->append(x1, e);
        } else {
            lower->append(x0, (s - x0) / 3600000.0);
            lower->append(x1, (s - x1) / 3600000.0);
            upper->append(x0, (e - x0) / 3600000.0);
            upper->append(x1, (e - x1) / 3600000.0);
        }
        auto* band = new QAreaSeries(upper, lower);
        // The area does not own its edges: they go with it when the chart drops its series.
        upper->setParent(band);
        lower->setParent(band);
        band->setName(plannerText(texts, kPlannerNightArrival));
        band->setColor(QColor(40, 50, 90, 45));
        band->setBorderColor(Qt::transparent);
        chart.addSeries(band);
        band->attachAxis(xAxis);
        band->attachAxis(yAxis);
        if (!firstBand)
            for (QLegendMarker* marker : chart.legend()->markers(band)) marker->setVisible(false);
        firstBand = false;
    }

    const Range range = measureRange(plan, picture.colourBy);
    auto* arriving = new QScatterSeries;
    arriving->setName(plannerText(texts, kPlannerArrives));
    arriving->setMarkerSize(13);
    arriving->setBorderColor(QColor(60, 60, 60));
    auto* failing = new QScatterSeries;
    failing->setName(plannerText(texts, kPlannerDoesNotArrive));
    failing->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    failing->setMarkerSize(9);
    failing->setColor(QColor(170, 170, 170));
    failing->setBorderColor(QColor(110, 110, 110));
    for (const Departure& d : plan.departures) {
        const RunMeasures* m = d.shown();
        if (!m || m->arrival <= 0) continue;
        const double x = chartTime(d.departure.dayNumber);
        if (d.arrives()) {
            arriving->append(x, yOf(*m, picture));
            arriving->setPointConfiguration(
                arriving->count() - 1, QXYSeries::PointConfiguration::Color,
                comfortColour(measureValue(*m, picture.colourBy), range.best, range.worst));
        } else {
            failing->append(x, yOf(*m, picture));
        }
    }
    for (QScatterSeries* s : {failing, arriving}) {
        chart.addSeries(s);
        s->attachAxis(xAxis);
        s->attachAxis(yAxis);
    }

    // The best departures, ringed: the fastest and the best of the measure coloured.
    struct Best {
        PlanMeasure which;
        QColor colour;
        double size;
        int text;
    };
    const Best marks[] = {
        {PlanMeasure::Duration, QColor(20, 60, 200), 26, kPlannerFastest},
        {picture.colourBy, QColor(0, 130, 60), 34, kPlannerBestComfort},
    };
    for (const Best& b : marks) {
        if (b.which == PlanMeasure::Duration && &b != &marks[0]) continue;
        const int k = plan.best[static_cast<int>(b.which)];
        if (k < 0) continue;
        const Departure& d = plan.departures[static_cast<std::size_t>(k)];
        auto* ring = new QScatterSeries;
        ring->setName(plannerText(texts, b.text));
        ring->setMarkerSize(b.size);
        ring->setColor(Qt::transparent);
        QPen pen(b.colour);
        pen.setWidth(3);
        ring->setPen(pen);
        ring->append(chartTime(d.departure.dayNumber), yOf(*d.shown(), picture));
        chart.addSeries(ring);
        for (QLegendMarker* marker : chart.legend()->markers(ring)) marker->setBrush(b.colour);
        ring->attachAxis(xAxis);
        ring->attachAxis(yAxis);
    }
    xAxis->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(x0), QTimeZone::utc()),
                    QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(x1), QTimeZone::utc()));
    xAxis->setTickCount(std::min(xTicks, 25));
    if (picture.arrivalAxis) {
        auto* a = static_cast<QDateTimeAxis*>(yAxis);
        a->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(y0), QTimeZone::utc()),
                    QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(y1), QTimeZone::utc()));
        a->setTickCount(std::clamp(static_cast<int>((y1 - y0) / (kMsPerDay / 4)) + 1, 3, 13));
    } else {
        auto* a = static_cast<QValueAxis*>(yAxis);
        a->setRange(y0, y1);
        a->setTickType(QValueAxis::TicksDynamic);
        a->setTickAnchor(0);
        a->setTickInterval(y1 - y0 > 24 ? 4 : y1 - y0 > 8 ? 2 : 1);
        a->setLabelFormat("%d h");
    }
    // The answer first, in the title: the fastest departure and the best of the colours.
    chart.setTitle(bestSummary(plan, picture, texts));
    QFont title = chart.titleFont();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.25);
    chart.setTitleFont(title);
}

int departureNear(const DeparturePlan& plan, QPointF value, const PlannerPicture& picture) {
    int best = -1;
    double bestDistance = INFINITY;
    for (std::size_t k = 0; k < plan.departures.size(); ++k) {
        const Departure& d = plan.departures[k];
        double distance = std::fabs(chartTime(d.departure.dayNumber) - value.x());
        // Departures are hours apart: the nearest in time, then in the vertical.
        if (const RunMeasures* m = d.shown(); m && m->arrival > 0)
            distance +=
                std::fabs(yOf(*m, picture) - value.y()) * (picture.arrivalAxis ? 1e-3 : 1.0);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<int>(k);
        }
    }
    return best;
}

QString departureText(const DeparturePlan& plan, int index, const TextProvider& texts) {
    if (index < 0 || index >= static_cast<int>(plan.departures.size())) return {};
    const Departure& d = plan.departures[static_cast<std::size_t>(index)];
    const RunMeasures* m = d.shown();
    auto when = [](double day) {
        return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(chartTime(day)), QTimeZone::utc())
            .toString("dd/MM hh:mm");
    };
    QString text = plannerText(texts, kPlannerDeparture) + " " + when(d.departure.dayNumber);
    if (!m || !d.arrives()) return text + " - " + plannerText(texts, kPlannerDoesNotArrive);
    const long long minutes = std::llround(m->durationHours * 60);
    text += QString(" - %1 %2 (%3h%4) - %5 %6 kt - %7 % %8 - %9 h %10")
                .arg(plannerText(texts, kPlannerArrival), when(m->arrival))
                .arg(minutes / 60)
                .arg(minutes % 60, 2, 10, QLatin1Char('0'))
                .arg(plannerText(texts, kPlannerMaxWind))
                .arg(m->maxWindKnots, 0, 'f', 1)
                .arg(m->upwindPercent, 0, 'f', 0)
                .arg(plannerText(texts, kPlannerUpwind))
                .arg(m->engineHours, 0, 'f', 1)
                .arg(plannerText(texts, kPlannerEngine));
    if (m->nightArrival) text += " - " + plannerText(texts, kPlannerNightArrival);
    return text;
}

} // namespace navorel::app

#include "render/polar_diagram.h"

#include "core/geodesy.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPointF>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace navorel {

namespace {

// Whole-knot steps the wind searches take at most: winds beyond a few hundred knots are no
// sailing conditions, and a header with an absurd last wind must not stall the display.
constexpr int kMaxWholeSteps = 500;

// A table that polarSpeed can read without going out of bounds or dividing by zero.
bool usable(const Polar& p) {
    if (p.rowCount < 2 || p.lastColumn < 1) return false;
    if (static_cast<int>(p.table.size()) != p.rowCount || p.lastRow != p.rowCount - 1) return false;
    for (const auto& row : p.table)
        if (static_cast<int>(row.size()) <= p.lastColumn) return false;
    return p.minTws >= 0.0f && std::isfinite(p.minTws) && std::isfinite(p.maxTws) &&
           p.maxTws >= p.minTws;
}

std::string formatLine(const char* label, const char* format, double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return std::string(label) + buf;
}

// The lightest wind on a grid of 0.1 knot from `from` (at most `steps` steps) whose speed
// exceeds bs; false when none does.
bool firstWindAbove(const Polar& p, float twa, double bs, double from, int steps, double& wind) {
    for (int m = 0; m <= steps; ++m) {
        const double w = from + m * 0.1;
        if (polarSpeed(p, twa, static_cast<float>(w)) > bs) {
            wind = w;
            return true;
        }
    }
    return false;
}

// The wind that drives the boat at bs at this angle: whole knots upwards from the first table
// wind + 1 while the speed stays at or below bs, then tenths from one knot lower until the
// speed exceeds bs.
bool windForSpeed(const Polar& p, float twa, double bs, double& wind) {
    const double first = p.minTws;
    const int wholeSteps =
        static_cast<int>(std::min<double>(std::floor(p.maxTws - first), kMaxWholeSteps));
    float best = 0.0f;
    for (int n = 0; n <= wholeSteps; ++n)
        best = std::max(best, polarSpeed(p, twa, static_cast<float>(first + n)));
    if (!(best >= bs)) return false;

    int n = 1;
    while (n <= wholeSteps && polarSpeed(p, twa, static_cast<float>(first + n)) <= bs) ++n;
    const double start = first + n - 1;
    if (firstWindAbove(p, twa, bs, start, 10 * (wholeSteps - n + 2), wind)) {
        // Already the first table wind is too fast: the speed scales from 0 at no wind up to
        // that column, so the wind lies below it.
        if (n == 1 && wind == first)
            firstWindAbove(p, twa, bs, 0.1,
                           static_cast<int>(std::min(std::ceil(first * 10), 10.0 * kMaxWholeSteps)),
                           wind);
        return true;
    }
    // A speed that falls again in stronger winds: the tenths below the whole-knot stop.
    return firstWindAbove(p, twa, bs, first, 10 * (n - 1), wind);
}

double largestSpeed(const Polar& p) {
    double m = 0;
    for (int r = 1; r <= p.lastRow; ++r)
        for (int c = 1; c <= p.lastColumn; ++c) m = std::max<double>(m, p.table[r][c]);
    return m;
}

// One colour per wind column, from blue for the lightest through green and orange to purple
// for the strongest.
QColor columnColour(int index, int count) {
    static const QColor kRamp[] = {QColor(31, 63, 191),  QColor(23, 128, 214), QColor(0, 150, 160),
                                   QColor(44, 160, 44),  QColor(120, 165, 0),  QColor(196, 150, 0),
                                   QColor(255, 127, 14), QColor(214, 39, 40),  QColor(176, 24, 110),
                                   QColor(140, 45, 191), QColor(80, 40, 140)};
    constexpr int kRampSize = sizeof kRamp / sizeof kRamp[0];
    if (count <= 1) return kRamp[0];
    if (count <= kRampSize)
        return kRamp[static_cast<int>(std::lround(index * (kRampSize - 1.0) / (count - 1)))];
    return QColor::fromHsvF(std::fmod(0.66 - 0.9 * index / (count - 1) + 1.0, 1.0), 0.85, 0.8);
}

QPointF pointAt(const PolarDiagramLayout& layout, double twa, double speed) {
    double x, y;
    polarDiagramPoint(layout, twa, speed, x, y);
    return {x, y};
}

QString windLabel(double tws) {
    return QString::number(tws, 'g', 4) + " kt";
}

// Speed rings and angle spokes on the right half, light grey, with their values.
void paintGrid(QPainter& painter, const PolarDiagramLayout& layout, const Polar& polar, int width,
               int height) {
    const double top = largestSpeed(polar);
    if (!(top > 0)) return;
    static const double kSteps[] = {0.5, 1, 2, 5, 10, 20, 50, 100};
    double step = kSteps[7];
    for (double s : kSteps)
        if (top / s <= 8) {
            step = s;
            break;
        }
    const int rings = static_cast<int>(std::ceil(top / step - 1e-9));
    const double outer = rings * step * layout.k;
    const QPointF origin(layout.x0, layout.y0);

    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    const QColor gridColour(215, 215, 215), textColour(130, 130, 130);

    painter.setBrush(Qt::NoBrush);
    for (int i = 1; i <= rings; ++i) {
        const double r = i * step * layout.k;
        painter.setPen(QPen(gridColour, 1));
        painter.drawArc(QRectF(layout.x0 - r, layout.y0 - r, 2 * r, 2 * r), -90 * 16, 180 * 16);
        if (layout.y0 - r < 24) continue; // would sit on the label of the 0 degree spoke
        painter.setPen(textColour);
        painter.drawText(QRectF(layout.x0 - 64, layout.y0 - r - 8, 60, 16),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(i * step, 'g', 4));
    }
    // Spokes end inside the window, their labels just beyond.
    const double margin = 20;
    for (int twa = 0; twa <= 180; twa += 30) {
        const double a = normalise360(twa + 270.0) * kDegToRad;
        const double c = std::cos(a), s = std::sin(a);
        double reach = outer;
        if (c > 1e-9) reach = std::min(reach, (width - margin - layout.x0) / c);
        if (s > 1e-9) reach = std::min(reach, (height - margin - layout.y0) / s);
        if (s < -1e-9) reach = std::min(reach, (margin - layout.y0) / s);
        if (!(reach > 0)) continue;
        const QPointF end(layout.x0 + reach * c, layout.y0 + reach * s);
        painter.setPen(QPen(gridColour, 1));
        painter.drawLine(origin, end);
        const QPointF at(end.x() + 11 * c, end.y() + 9 * s);
        painter.setPen(textColour);
        painter.drawText(QRectF(at.x() - 20, at.y() - 8, 40, 16), Qt::AlignCenter,
                         QString::number(twa) + QStringLiteral("°"));
    }
}

// The table's name, then one swatch per wind and the mark of the best VMG angles.
void paintLegend(QPainter& painter, const Polar& polar) {
    QFont font = painter.font();
    font.setPixelSize(16);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::black);
    double y = 12;
    if (!polar.name.empty()) {
        painter.drawText(QPointF(12, y + 14), QString::fromStdString(polar.name));
        y += 26;
    }
    font.setPixelSize(12);
    painter.setFont(font);
    painter.drawText(QPointF(12, y + 12), QStringLiteral("TWS"));
    y += 20;
    font.setBold(false);
    painter.setFont(font);
    const int count = polar.lastColumn;
    for (int c = 1; c <= count; ++c) {
        const QColor colour = columnColour(c - 1, count);
        painter.setPen(QPen(colour, 2.5));
        painter.drawLine(QPointF(12, y + 7), QPointF(36, y + 7));
        painter.setPen(Qt::black);
        painter.drawText(QPointF(42, y + 11), windLabel(polar.table[0][c]));
        y += 17;
    }
    y += 4;
    painter.setPen(QPen(QColor(90, 90, 90), 1, Qt::DashLine));
    painter.drawLine(QPointF(12, y + 7), QPointF(36, y + 7));
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(24, y + 7), 3.5, 3.5);
    painter.setBrush(Qt::NoBrush);
    painter.drawText(QPointF(42, y + 11), QStringLiteral("VMG"));
}

void paintReadout(QPainter& painter, const PolarReadout& readout, const PolarDiagramLayout& layout,
                  QPointF mouse, int width, int height) {
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    painter.drawLine(QPointF(layout.x0, layout.y0), mouse);

    QFont font(QStringLiteral("Monospace"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(13);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    // Labels in one column, values right-aligned in the next.
    std::vector<std::pair<QString, QString>> rows;
    int labelWidth = 0, valueWidth = 0;
    for (const auto& line : readout.lines) {
        const QString text = QString::fromStdString(line);
        const qsizetype colon = text.indexOf(QLatin1Char(':')) + 1;
        rows.emplace_back(text.left(colon), text.mid(colon));
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(rows.back().first));
        valueWidth = std::max(valueWidth, metrics.horizontalAdvance(rows.back().second));
    }
    const double pad = 6, lineHeight = metrics.height();
    const double boxW = labelWidth + valueWidth + 2 * pad;
    const double boxH = rows.size() * lineHeight + 2 * pad;
    double x = mouse.x() + 14, y = mouse.y() + 14;
    if (x + boxW > width) x = mouse.x() - 14 - boxW;
    if (y + boxH > height) y = mouse.y() - 14 - boxH;
    x = std::max(0.0, x);
    y = std::max(0.0, y);

    painter.setPen(QPen(QColor(120, 120, 120), 1));
    painter.setBrush(QColor(255, 255, 240, 235));
    painter.drawRect(QRectF(x, y, boxW, boxH));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(Qt::black);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const QRectF line(x + pad, y + pad + i * lineHeight, boxW - 2 * pad, lineHeight);
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, rows[i].first);
        painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter, rows[i].second);
    }
}

} // namespace

PolarDiagramLayout polarDiagramLayout(const Polar& polar, int width, int height) {
    PolarDiagramLayout layout;
    if (!usable(polar) || width <= 0 || height <= 0) return layout;
    const double span = polar.maxAlong - polar.minAlong;
    if (!(span > 0) || !std::isfinite(span) || !std::isfinite(polar.maxAcross)) return layout;
    double k = 0.8 * height / span;
    // A narrow window: scale by the width instead, so the beam reach stays inside.
    if (polar.maxAcross > 0) k = std::min(k, 0.8 * width / polar.maxAcross);
    layout.k = k;
    layout.x0 = (width - polar.maxAcross * k) / 2;
    layout.y0 = (height - span * k) / 2 - polar.minAlong * k;
    return layout;
}

void polarDiagramPoint(const PolarDiagramLayout& layout, double twa, double speed, double& x,
                       double& y) {
    const double a = normalise360(twa + 270.0) * kDegToRad;
    x = layout.x0 + speed * layout.k * std::cos(a);
    y = layout.y0 + speed * layout.k * std::sin(a);
}

PolarReadout polarReadout(const Polar& polar, const PolarDiagramLayout& layout, double mouseX,
                          double mouseY) {
    PolarReadout r;
    if (!layout.valid() || !usable(polar)) return r;
    const double dx = mouseX - layout.x0, dy = mouseY - layout.y0;
    if (!(dx > 0) || !std::isfinite(dy)) return r;
    const double twa = normalise360(std::atan2(dy, dx) * kRadToDeg - 270.0);
    if (!(twa > polar.minTwa && twa <= 180.0)) return r;
    r.show = true;
    r.twa = twa;
    r.boatSpeed = std::hypot(dx, dy) / layout.k;
    r.vmg = std::cos(twa * kDegToRad) * r.boatSpeed;
    r.lines.push_back(formatLine("TWA:", " %6.1f °", twa));
    double wind = 0;
    if (windForSpeed(polar, static_cast<float>(twa), r.boatSpeed, wind)) {
        r.haveWind = true;
        r.tws = wind;
        r.lines.push_back(formatLine("TWS:", " %6.1f kt", wind));
        r.lines.push_back(formatLine("BS:", " %6.2f kt", r.boatSpeed));
        r.lines.push_back(formatLine("VMG:", " %6.2f kt", r.vmg));
    }
    return r;
}

void paintPolarDiagram(QPainter& painter, int width, int height, const Polar& polar,
                       const QPointF* mouse) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillRect(QRectF(0, 0, width, height), Qt::white);
    const PolarDiagramLayout layout = polarDiagramLayout(polar, width, height);
    if (!layout.valid()) {
        painter.restore();
        return;
    }
    paintGrid(painter, layout, polar, width, height);

    const int count = polar.lastColumn;
    QPolygonF upwindMarks, downwindMarks;
    for (int c = 1; c <= count; ++c) {
        const QColor colour = columnColour(c - 1, count);
        const float tws = polar.table[0][c];

        // The table's own points, joined by straight lines.
        QPolygonF table;
        for (int r = 1; r <= polar.lastRow; ++r)
            table << pointAt(layout, polar.table[r][0], polar.table[r][c]);
        QColor faint = colour;
        faint.setAlpha(110);
        painter.setPen(QPen(faint, 1));
        painter.drawPolyline(table);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        for (const QPointF& p : table) painter.drawEllipse(p, 2.0, 2.0);
        painter.setBrush(Qt::NoBrush);

        // The interpolated speed, degree by degree.
        QPolygonF curve;
        const int steps = static_cast<int>(std::floor(polar.maxTwa - polar.minTwa));
        for (int i = 0; i <= steps; ++i) {
            const float twa = polar.minTwa + static_cast<float>(i);
            curve << pointAt(layout, twa, polarSpeed(polar, twa, tws));
        }
        if (polar.minTwa + static_cast<float>(steps) < polar.maxTwa)
            curve << pointAt(layout, polar.maxTwa, polarSpeed(polar, polar.maxTwa, tws));
        painter.setPen(QPen(colour, 2));
        painter.drawPolyline(curve);

        if (tws >= polar.minTws && tws <= polar.maxTws) {
            const BestAngle up = bestUpwind(polar, tws);
            if (up.speed > 0) upwindMarks << pointAt(layout, up.angle, up.speed);
            const BestAngle down = bestDownwind(polar, tws);
            if (down.speed > 0) downwindMarks << pointAt(layout, down.angle, down.speed);
        }
    }

    // The best VMG angles: a dashed line through the winds' marks.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(90, 90, 90), 1, Qt::DashLine));
    painter.drawPolyline(upwindMarks);
    painter.drawPolyline(downwindMarks);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    for (const QPointF& p : upwindMarks) painter.drawEllipse(p, 3.5, 3.5);
    for (const QPointF& p : downwindMarks) painter.drawEllipse(p, 3.5, 3.5);
    painter.setBrush(Qt::NoBrush);

    paintLegend(painter, polar);

    if (mouse) {
        const PolarReadout readout = polarReadout(polar, layout, mouse->x(), mouse->y());
        if (readout.show) paintReadout(painter, readout, layout, *mouse, width, height);
    }
    painter.restore();
}

} // namespace navorel

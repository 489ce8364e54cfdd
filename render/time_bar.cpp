#include "render/time_bar.h"

#include "render/toolbar.h"

#include "core/datetime.h"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPointF>
#include <QString>

#include <algorithm>
#include <cmath>

namespace navorel {

ToolbarRow toolbarRow(int clientWidth) {
    return {(clientWidth - Toolbar::kRowWidth) / 2, Toolbar::kRowWidth};
}

TimeBarLayout layoutTimeBar(int toolbarLeft, int toolbarWidth) {
    TimeBarLayout r;
    r.left = toolbarLeft;
    r.width = toolbarWidth;
    return r;
}

void TimeBar::setRange(double firstTime, double lastTime) {
    first = firstTime;
    last = lastTime;
}

double TimeBar::fractionAt(double x) const {
    if (rect.width <= 0) return 0;
    return std::clamp((x - rect.left) / rect.width, 0.0, 1.0);
}

int TimeBar::indexAt(double x, int count) const {
    if (count <= 0) return -1;
    return std::min(count - 1, static_cast<int>(count * fractionAt(x)));
}

double TimeBar::timeAt(double x) const {
    if (rect.width <= 0) return first;
    return first + (x - rect.left) * (last - first) / rect.width;
}

bool TimeBar::contains(double x, double y) const {
    return x > rect.left && x < rect.left + rect.width && y > rect.top &&
           y < rect.top + rect.height;
}

std::vector<double> TimeBar::dayBoundaries() const {
    std::vector<double> xs;
    if (!hasRange() || rect.width <= 0) return xs;
    const double perDay = rect.width / (last - first);
    for (double d = std::floor(first) + 1; d < last; d += 1)
        xs.push_back(rect.left + (d - first) * perDay);
    return xs;
}

double TimeBar::fractionOf(double t) const {
    if (!hasRange()) return 0;
    return std::clamp((t - first) / (last - first), 0.0, 1.0);
}

std::string timeTooltipText(double dayNumber, const TextProvider& texts) {
    return weekdayText(fromDayNumber(dayNumber), texts);
}

void paintTimeBar(QPainter& painter, const TimeBar& bar, double position, const QColor& first,
                  const QColor& second) {
    const TimeBarLayout& r = bar.rect;
    if (r.width <= 0) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QRectF whole(r.left, r.top, r.width, r.height);
    const std::vector<double> days = bar.dayBoundaries();
    if (days.empty()) {
        painter.fillRect(whole, first);
    } else {
        // Stripe k runs from the k-th boundary (the bar's left edge for the first) to the next
        // one; odd stripes take the first colour, even ones the second.
        double from = r.left + 1;
        for (std::size_t k = 0; k <= days.size(); ++k) {
            const double to = k < days.size() ? days[k] : r.left + r.width;
            painter.fillRect(QRectF(from, r.top + 1, to - from, r.height - 1),
                             k % 2 == 1 ? first : second);
            from = to;
        }
    }
    painter.setPen(QPen(QColor(40, 40, 40), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(whole);
    // The mark: a dark tick through the bar with a light edge, readable on both stripes.
    const double x = std::round(r.left + position * r.width);
    painter.fillRect(QRectF(x - 2, r.top - 3, 5, r.height + 6), Qt::white);
    painter.fillRect(QRectF(x - 1, r.top - 2, 3, r.height + 4), QColor(200, 0, 0));
    painter.restore();
}

void paintTooltip(QPainter& painter, const QPointF& at, double offset, const QString& text,
                  const QColor& back) {
    painter.save();
    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);
    const QRectF measured =
        painter.boundingRect(QRectF(0, 0, 300, 20), Qt::AlignLeft | Qt::AlignTop, text);
    // Kept inside the painter's device when the mouse is near its right edge.
    double x = at.x();
    if (const QPaintDevice* device = painter.device())
        x = std::min(x, device->width() / device->devicePixelRatioF() - measured.width() - 12);
    const QRectF box(x, at.y() + offset, measured.width() + 10, measured.height() + 3);
    painter.fillRect(box, back);
    painter.setPen(back.lightness() < 128 ? Qt::white : Qt::black);
    painter.drawText(QRectF(x + 5, at.y() + offset + 1, 300, 20), Qt::AlignLeft | Qt::AlignTop,
                     text);
    painter.restore();
}

} // namespace navorel

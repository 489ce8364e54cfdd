#pragma once
// The time bar under the toolbar: a thin bar over the forecast's (or the routing's) time range
// with a stripe per day, a mark at the time shown, a click or drag choosing a record or a
// routing step, and a tooltip naming the time under the mouse.
#include <string>
#include <vector>

class QPainter;
class QPointF;
class QColor;
class QString;

namespace navorel {

class TextProvider;

// The toolbar's row of ten tabs and the date field, centred in the client area.
struct ToolbarRow {
    int left = 0, width = 0;
};
ToolbarRow toolbarRow(int clientWidth);

// Pixel rectangle of the bar: under the toolbar, as wide as it.
struct TimeBarLayout {
    int left = 0, top = 60, width = 0, height = 8;
};
TimeBarLayout layoutTimeBar(int toolbarLeft, int toolbarWidth);

struct TimeBar {
    TimeBarLayout rect;
    double first = 0, last = 0; // day numbers of the range

    void setRange(double firstTime, double lastTime);
    bool hasRange() const { return last > first; }
    // Where x falls along the bar, clamped to 0..1.
    double fractionAt(double x) const;
    // The record or step of `count` under x: the bar split in `count` equal parts, the right
    // edge in the last one; -1 when there is none.
    int indexAt(double x, int count) const;
    // The time under x (not clamped: the tooltip follows the mouse).
    double timeAt(double x) const;
    // Strictly inside the bar's rectangle.
    bool contains(double x, double y) const;
    // The x of every whole day inside the range, left to right.
    std::vector<double> dayBoundaries() const;
    // Where the time `t` lies along the bar, clamped to 0..1.
    double fractionOf(double t) const;
};

// "Monday 05 - 14:30": the weekday name of the language texts 304..310, the day of the month,
// the hour and the minute.
std::string timeTooltipText(double dayNumber, const TextProvider& texts);

// The bar with its day stripes in the two colours and the mark at `position` (0..1).
void paintTimeBar(QPainter& painter, const TimeBar& bar, double position, const QColor& first,
                  const QColor& second);
// A tooltip box under and right of the mouse, `offset` pixels down: used by the time bar (22)
// and the chart's other tooltips.
void paintTooltip(QPainter& painter, const QPointF& at, double offset, const QString& text,
                  const QColor& back);

} // namespace navorel

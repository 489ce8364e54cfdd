#include "render/panels.h"

#include "core/geodesy.h"
#include "routing/routing_run.h"
#include "routing/user_route.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <cmath>
#include <cstdio>

namespace navorel {

namespace {

constexpr int kButtonSize = 24;
constexpr int kButtonGap = 2;
constexpr int kPanelPad = 4;
// Speeds are held in m/s (a knot of 0.5145694444444444 m/s) and distances in metres.
constexpr double kKnotsPerMs = 1.9433722907500877;
constexpr double kMilesPerMetre = 0.0005399568034557236;

std::string format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

std::string dateText(double dayNumber, bool seconds) {
    const DateTime t = fromDayNumber(dayNumber);
    char text[64];
    if (seconds)
        std::snprintf(text, sizeof text, "%02d/%02d - %02d:%02d:%02d", t.day, t.month, t.hour,
                      t.minute, t.second);
    else
        std::snprintf(text, sizeof text, "%02d/%02d - %02d:%02d", t.day, t.month, t.hour, t.minute);
    return text;
}

// The waypoint a step heads for: the one whose distance from the step agrees best with the
// distance to the leg's target the routing recorded.
int targetWaypoint(const IsochronePoint& p, const UserRoute& route) {
    int best = -1;
    double error = 0;
    for (std::size_t i = 1; i < route.waypoints.size(); ++i) {
        const double d =
            std::fabs(greatCircleDistance({p.lon, p.lat}, route.waypoints[i]) - p.distToTarget);
        if (best < 0 || d < error) {
            best = static_cast<int>(i);
            error = d;
        }
    }
    return best;
}

// Each image drawn once at the button's size.
const QPixmap& buttonImage(int index) {
    static QHash<int, QPixmap> cache;
    auto found = cache.find(index);
    if (found != cache.end()) return *found;
    QPixmap pixmap(kButtonSize - 4, kButtonSize - 4);
    pixmap.fill(Qt::transparent);
    QSvgRenderer svg(QStringLiteral(":/images/") + kPanelImages[index]);
    if (svg.isValid()) {
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing, true);
        svg.render(&p);
    }
    return *cache.insert(index, pixmap);
}

} // namespace

const char* const kPanelImages[kPanelButtons] = {
    "DotsImage",          "LinesImage",     "DotsLinesImage",     "BoatSpeedImage",
    "EngineSailingImage", "WindForceImage", "WindDirectionImage", "PointsOfSailImage",
    "CurrentImage",       "TackImage",      "CenterImage",        "IsochronImage",
    "SegmentImage",       "EllipseImage",   "DayImage",           "ResultsImage"};

PanelLayout layoutPanels(int left, int top) {
    PanelLayout l;
    const int step = kButtonSize + kButtonGap;
    const int rowWidth = 8 * step - kButtonGap;
    const int inset = (kPanelWidth - rowWidth) / 2;
    for (int i = 0; i < kPanelButtons; ++i)
        l.buttons[static_cast<std::size_t>(i)] = {left + inset + (i % 8) * step,
                                                  top + kPanelPad + (i / 8) * step, kButtonSize,
                                                  kButtonSize};
    l.routing = {left, top, kPanelWidth, 2 * step - kButtonGap + 2 * kPanelPad};
    l.information = {left, l.routing.y + l.routing.height + 6, kPanelWidth,
                     kInfoRows * kInfoRowHeight};
    return l;
}

int panelButtonAt(const PanelLayout& layout, double x, double y) {
    for (int i = 0; i < kPanelButtons; ++i)
        if (layout.buttons[static_cast<std::size_t>(i)].contains(x, y)) return i;
    return -1;
}

std::vector<InfoRow> informationRows(const std::vector<IsochronePoint>& route, int step,
                                     const UserRoute* userRoute, const std::string& mark) {
    std::vector<InfoRow> rows(kInfoRows);
    if (route.empty()) return rows;
    step = std::clamp(step, 0, static_cast<int>(route.size()) - 1);
    const IsochronePoint& last = route.back();
    const IsochronePoint& p = route[static_cast<std::size_t>(step)];
    char text[96];
    const long long total = std::llround(routeDurationSeconds(route));
    std::snprintf(text, sizeof text, "TTG: %02lld - %02lld:%02lld", total / 86400,
                  total % 86400 / 3600, total % 3600 / 60);
    rows[0].label = text;
    rows[1].label = format("DTG: %.1f M", last.totalDistance * kMilesPerMetre);
    rows[2].label = dateText(route.front().parentTime.dayNumber, false);
    rows[3].label = dateText(last.time.dayNumber, false);
    if (!mark.empty()) rows[3].label = mark + " " + rows[3].label;
    // Engine hours count on past 24: a day and two and a half hours reads 26:30.
    const long long engine = std::llround(last.engineSeconds);
    std::snprintf(text, sizeof text, "E: %02lld:%02lld (%ld L)", engine / 3600, engine % 3600 / 60,
                  std::lround(last.fuel));
    rows[4].label = text;
    rows[5].label = dateText(p.time.dayNumber, true);
    const auto angle = [](double degrees) { return format("%6.1f \xC2\xB0", degrees); };
    const auto knots = [](double ms, const char* pattern) {
        return format(pattern, ms * kKnotsPerMs);
    };
    rows[6] = {"BTW:", ""};
    rows[7] = {"DTW:", format("%6.1f M", p.distToTarget * kMilesPerMetre)};
    if (userRoute) {
        const int target = targetWaypoint(p, *userRoute);
        if (target >= 0)
            rows[6].value = angle(greatCircleBearing(
                {p.lon, p.lat}, userRoute->waypoints[static_cast<std::size_t>(target)]));
    }
    rows[8] = {"CD:", angle(p.currentDir)};
    rows[9] = {"CS:", knots(p.currentSpeed, "%6.1f kt")};
    rows[10] = {"TWD:", angle(p.windDir)};
    rows[11] = {"TWS:", knots(p.windSpeed, "%6.1f kt")};
    rows[12] = {"SWD:", angle(p.twd)};
    rows[13] = {"SWS:", knots(p.tws, "%6.1f kt")};
    rows[14].label = p.engine ? "=== ENGINE ===" : "=== SAILING ===";
    rows[15] = {"SWA:", angle(p.twa)};
    rows[16] = {"AWA:", angle(p.awa)};
    rows[17] = {"AWS:", knots(p.aws, "%6.1f kt")};
    rows[18] = {"HDG:", angle(p.heading)};
    rows[19] = {"BS:", knots(p.boatSpeed, "%7.2f kt")};
    rows[20] = {"COG:", angle(p.cog)};
    rows[21] = {"SOG:", knots(p.sog, "%7.2f kt")};
    rows[22] = {"Dist:", format("%6.0f m", p.stepDistance)};
    return rows;
}

void paintRoutingPanel(QPainter& painter, const PanelLayout& layout,
                       const std::array<bool, kPanelButtons>& pressed, const QColor& back) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const PanelRect& r = layout.routing;
    painter.setPen(Qt::NoPen);
    painter.setBrush(back);
    painter.drawRoundedRect(QRectF(r.x, r.y, r.width, r.height), 4, 4);
    for (int i = 0; i < kPanelButtons; ++i) {
        const PanelRect& b = layout.buttons[static_cast<std::size_t>(i)];
        const QRectF box(b.x + 0.5, b.y + 0.5, b.width - 1, b.height - 1);
        if (pressed[static_cast<std::size_t>(i)]) {
            painter.setPen(QPen(QColor(20, 90, 200), 1.5));
            painter.setBrush(QColor(200, 225, 255));
        } else {
            painter.setPen(QPen(QColor(150, 150, 150), 1));
            painter.setBrush(QColor(250, 250, 250));
        }
        painter.drawRoundedRect(box, 3, 3);
        painter.drawPixmap(b.x + 2, b.y + 2, buttonImage(i));
    }
    painter.restore();
}

void paintInformationPanel(QPainter& painter, const PanelLayout& layout,
                           const std::vector<InfoRow>& rows, const QColor& back) {
    painter.save();
    const PanelRect& r = layout.information;
    painter.fillRect(QRectF(r.x, r.y, r.width, r.height), back);
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPixelSize(13);
    painter.setFont(font);
    // On a solid panel the text takes the colour that stands out from it; on a see-through
    // one it is dark with a light rim, readable over any chart.
    const bool solid = back.alpha() >= 128;
    const QColor ink = solid && back.lightness() < 128 ? Qt::white : Qt::black;
    // The rim: the text drawn a pixel off in each direction in white first (glyphs come from
    // the font cache; stroking their outlines would cost ten times as much).
    static const QPointF offsets[] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
    const Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
    const auto drawRows = [&](QPointF shift) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const double y = r.y + static_cast<double>(i) * kInfoRowHeight + shift.y();
            painter.drawText(QRectF(r.x + 10 + shift.x(), y, r.width - 10, kInfoRowHeight), align,
                             QString::fromStdString(rows[i].label));
            if (!rows[i].value.empty())
                painter.drawText(QRectF(r.x + 45 + shift.x(), y, r.width - 45, kInfoRowHeight),
                                 align, QString::fromStdString(rows[i].value));
        }
    };
    if (!solid) {
        painter.setPen(QColor(255, 255, 255));
        for (const QPointF& o : offsets) drawRows(o);
    }
    painter.setPen(ink);
    drawRows({0, 0});
    painter.restore();
}

std::vector<std::string> gribInformationRows(const std::string& informationText, double first,
                                             double last) {
    std::vector<std::string> rows;
    std::size_t from = 0;
    while (from < informationText.size()) {
        std::size_t end = informationText.find('\n', from);
        if (end == std::string::npos) end = informationText.size();
        if (end > from) rows.push_back(informationText.substr(from, end - from));
        from = end + 1;
    }
    if (rows.empty()) return rows;
    const DateTime a = fromDayNumber(first), b = fromDayNumber(last);
    char text[96];
    std::snprintf(text, sizeof text, "%02d/%02d %02d:%02d - %02d/%02d %02d:%02d", a.day, a.month,
                  a.hour, a.minute, b.day, b.month, b.hour, b.minute);
    rows.push_back(text);
    return rows;
}

PanelRect gribInformationRect(const PanelLayout& layout, bool underInformation, int rows) {
    const int top =
        underInformation ? layout.information.y + layout.information.height + 6 : layout.routing.y;
    return {layout.information.x, top, kPanelWidth, rows * kInfoRowHeight + 4};
}

void paintGribInformation(QPainter& painter, const PanelRect& where,
                          const std::vector<std::string>& rows, const QColor& back) {
    if (rows.empty()) return;
    painter.save();
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPixelSize(13);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    int width = where.width;
    for (const std::string& row : rows)
        width = std::max(width, metrics.horizontalAdvance(QString::fromStdString(row)) + 20);
    painter.fillRect(QRectF(where.x, where.y, width, where.height), back);
    const bool solid = back.alpha() >= 128;
    painter.setPen(solid && back.lightness() < 128 ? Qt::white : Qt::black);
    for (std::size_t i = 0; i < rows.size(); ++i)
        painter.drawText(QRectF(where.x + 10, where.y + 2 + static_cast<double>(i) * kInfoRowHeight,
                                width - 10, kInfoRowHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(rows[i]));
    painter.restore();
}

} // namespace navorel

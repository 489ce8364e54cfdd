#include "render/toolbar.h"

#include <QHash>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>

namespace navorel {

namespace {

struct ButtonInfo {
    int group;
    const char* image;
};

constexpr ButtonInfo kInfo[Toolbar::kCount] = {
    {-1, "GribsImage"},       {-1, "CurrentssImage"}, {-1, "MapsImage"},
    {-1, "WaypointsImage"},   {-1, "BarriersImage"},  {-1, ""},
    {-1, "ClockImage"},       {-1, "RoutesImage"},    {-1, "RoutingImage"},
    {-1, "OptionsImage"},     {0, "FolderImage"},     {0, "ArrowImage"},
    {0, "GradientImage"},     {0, "ColoredImage"},    {0, "ZonesImage"},
    {0, "InfoImage"},         {0, "FrameImage"},      {1, "CurrentsImage"},
    {1, "ZonesImage"},        {1, "InfoImage"},       {1, "TideImage"},
    {2, "LandColoredImage"},  {2, "ShorelineImage"},  {2, "MapgridImage"},
    {3, "FolderImage"},       {3, "CancelImage"},     {3, "WaypointImage"},
    {3, "WaypointTypeImage"}, {4, "FolderImage"},     {4, "SaveImage"},
    {4, "CancelImage"},       {7, "FolderImage"},     {7, "SaveImage"},
    {7, "CancelImage"},       {7, "FrameImage"},      {7, "MagnetImage"},
    {8, "ParametersImage"},   {8, "StartImage"},      {8, "ExportImage"},
    {8, "CancelImage"},       {8, "FrameImage"},      {8, "InfoImage"},
    {9, "OptionImage"},       {9, "FullScreenImage"}, {9, "QuestionImage"},
    {9, "Navorel32Image"},    {8, "PlannerImage"},    {1, "FolderImage"},
    {1, "FolderImage"},       {1, "GradientImage"},
};

QColor settingColor(int value, int alpha = 255) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF, alpha);
}

// The images rendered once at their drawn size: the overlay redraw must stay cheap.
const QImage& icon(const char* name, int side) {
    static QHash<QString, QImage> cache;
    const QString key = QString::fromLatin1(name) + QLatin1Char('@') + QString::number(side);
    auto it = cache.find(key);
    if (it != cache.end()) return *it;
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer svg(QStringLiteral(":/images/") + QLatin1String(name));
    // An image that cannot be read leaves its button without one.
    if (svg.isValid()) {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        svg.render(&p, QRectF(0, 0, side, side));
    }
    return *cache.insert(key, image);
}

} // namespace

int Toolbar::groupOf(int index) {
    return index >= 0 && index < kCount ? kInfo[index].group : -1;
}

const char* Toolbar::imageOf(int index) {
    return index >= 0 && index < kCount ? kInfo[index].image : "";
}

void Toolbar::layout(int width) {
    width_ = width;
    int x = (width - kRowWidth) / 2;
    std::array<int, kTabs> rows{}; // command buttons placed under each tab so far
    for (int i = 0; i < kTabs; ++i) {
        const int w = i == kDateSlot ? kDateWidth : kButton;
        rects_[static_cast<std::size_t>(i)] = {x, kGap, w, kButton};
        x += w + kGap;
    }
    for (int i = kTabs; i < kCount; ++i) {
        const int tab = kInfo[i].group;
        const ToolRect& t = rects_[static_cast<std::size_t>(tab)];
        const int row = ++rows[static_cast<std::size_t>(tab)];
        rects_[static_cast<std::size_t>(i)] = {t.x, t.y + row * (kButton + kGap), kButton, kButton};
    }
}

bool Toolbar::visible(int index) const {
    if (index < 0 || index >= kCount) return false;
    if (index < kTabs) return true;
    return openGroup_ >= 0 && kInfo[index].group == openGroup_;
}

int Toolbar::hitTest(double x, double y) const {
    for (int i = 0; i < kCount; ++i)
        if (i != kDateSlot && visible(i) && rects_[static_cast<std::size_t>(i)].contains(x, y))
            return i;
    return -1;
}

ToolRect Toolbar::groupArea(int tab) const {
    const ToolRect& t = rects_[static_cast<std::size_t>(tab)];
    int bottom = t.y + t.height;
    for (int i = kTabs; i < kCount; ++i)
        if (kInfo[i].group == tab)
            bottom = std::max(bottom, rects_[static_cast<std::size_t>(i)].y + kButton);
    return {t.x - kGap, 0, t.width + 2 * kGap, bottom + kGap};
}

bool Toolbar::closeGroups() {
    const bool changed = openGroup_ >= 0;
    openGroup_ = -1;
    return changed;
}

bool Toolbar::pointerMoved(double x, double y, bool alwaysVisible, bool dragging) {
    bool changed = false;
    // Shown in the top band; hidden below it unless a group is open.
    if (!dragging && y < kShowBand && !shown_) {
        shown_ = true;
        changed = true;
    }
    if (shown(alwaysVisible)) {
        const int hit = hitTest(x, y);
        if (isTab(hit) && hit != kClockTab && hit != openGroup_) {
            openGroup_ = hit;
            changed = true;
        } else if (openGroup_ >= 0 && !groupArea(openGroup_).contains(x, y)) {
            changed = closeGroups() || changed;
        }
    }
    if (y > kShowBand && shown_ && openGroup_ < 0) {
        shown_ = false;
        changed = true;
    }
    const int hover = shown(alwaysVisible) ? hitTest(x, y) : -1;
    if (hover != hovered_) {
        hovered_ = hover;
        changed = true;
    }
    return changed;
}

bool Toolbar::pointerLeft(bool alwaysVisible) {
    bool changed = closeGroups();
    if (hovered_ >= 0 || (shown_ && !alwaysVisible)) changed = true;
    hovered_ = -1;
    shown_ = false;
    return changed;
}

void paintToolbar(QPainter& painter, const Toolbar& toolbar, const ToolbarLook& look) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QColor background = settingColor(look.background, std::clamp(look.opacity, 0, 255));
    const QColor frame(90, 90, 90, 200);
    const int side = Toolbar::kButton - 8;
    // The row's band and the open group's column behind the buttons.
    const ToolRect& first = toolbar.rect(0);
    const ToolRect& last = toolbar.rect(Toolbar::kTabs - 1);
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(QRectF(first.x - Toolbar::kGap, 0,
                                   last.x + last.width - first.x + 2 * Toolbar::kGap,
                                   first.y + first.height + Toolbar::kGap),
                            6, 6);
    if (toolbar.groupOpen()) {
        const ToolRect a = toolbar.groupArea(toolbar.openGroup());
        painter.drawRoundedRect(
            QRectF(a.x, first.y + first.height, a.width, a.height - first.y - first.height), 6, 6);
    }
    for (int i = 0; i < Toolbar::kCount; ++i) {
        if (!toolbar.visible(i)) continue;
        const ToolRect& r = toolbar.rect(i);
        const QRectF box(r.x, r.y, r.width, r.height);
        if (i == Toolbar::kDateSlot) {
            painter.setPen(QPen(frame, 1));
            painter.setBrush(QColor(255, 255, 255, 230));
            painter.drawRoundedRect(box.adjusted(0.5, 4.5, -0.5, -4.5), 4, 4);
            QFont font = painter.font();
            font.setPixelSize(12);
            painter.setFont(font);
            painter.setPen(Qt::black);
            painter.drawText(box, Qt::AlignCenter, QString::fromStdString(look.date));
            continue;
        }
        const bool pressed = look.pressed[static_cast<std::size_t>(i)];
        const bool hovered = i == toolbar.hovered() || i == toolbar.openGroup();
        painter.setPen(QPen(pressed ? QColor(20, 90, 170) : frame, pressed ? 2 : 1));
        painter.setBrush(pressed   ? QColor(170, 205, 240)
                         : hovered ? QColor(255, 255, 255)
                                   : QColor(235, 235, 235));
        painter.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
        const QImage& image = icon(Toolbar::imageOf(i), side);
        if (!look.enabled[static_cast<std::size_t>(i)]) painter.setOpacity(0.35);
        painter.drawImage(QPointF(r.x + 4, r.y + 4), image);
        painter.setOpacity(1);
    }
    // The tooltip of the hovered button: under the row for a tab, beside the column else.
    const int h = toolbar.hovered();
    if (look.showTooltips && h >= 0 && h != Toolbar::kDateSlot) {
        const QString text = QString::fromStdString(look.tooltips[static_cast<std::size_t>(h)]);
        if (!text.isEmpty()) {
            QFont font = painter.font();
            font.setPixelSize(12);
            painter.setFont(font);
            const QFontMetrics metrics(font);
            const ToolRect& r = toolbar.rect(h);
            const int w = metrics.horizontalAdvance(text) + 12, th = metrics.height() + 6;
            // Beside the button; a tab's goes below the row, beside its group's column.
            QPointF at = h == Toolbar::kClockTab ? QPointF(r.x, r.y + r.height + 6)
                         : h < Toolbar::kTabs
                             ? QPointF(r.x + r.width + 8, r.y + r.height + 6)
                             : QPointF(r.x + r.width + 8, r.y + (r.height - th) / 2.0);
            const int right = painter.device() ? painter.device()->width() : 1 << 20;
            if (at.x() + w > right) at.setX(h < Toolbar::kTabs ? right - w : r.x - 8 - w);
            const QRectF tip(at, QSizeF(w, th));
            painter.setPen(QPen(frame, 1));
            painter.setBrush(settingColor(look.tooltipColor));
            painter.drawRect(tip.adjusted(0.5, 0.5, -0.5, -0.5));
            painter.setPen(Qt::black);
            painter.drawText(tip, Qt::AlignCenter, text);
        }
    }
    painter.restore();
}

} // namespace navorel

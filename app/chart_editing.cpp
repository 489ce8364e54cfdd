#include "app/chart_editing.h"

#include "settings/language_table.h"

#include <QIcon>
#include <QMenu>
#include <QPainter>

namespace navorel::app {

const char* contextMenuImage(int command) {
    switch (command) {
    case kPopupInsertPoint:
    case kPopupEditWaypoint:
        return "WaypointImage";
    case kPopupAppendPoints:
    case kPopupNewRoute:
        return "RoutesImage";
    case kPopupReverseRoute:
        return "ArrowImage";
    case kPopupEditBarrier:
    case kPopupContinueBarrier:
    case kPopupNewBarrier:
        return "BarriersImage";
    default: // the removals
        return "CancelImage";
    }
}

void fillContextMenu(QMenu& menu, const ContextMenu& items, const LanguageTable& texts,
                     std::function<void(int)> run) {
    for (const MenuItem& item : items.items) {
        if (item.separator()) {
            menu.addSeparator();
            continue;
        }
        QAction* a = menu.addAction(
            QIcon(QStringLiteral(":/images/") + QLatin1String(contextMenuImage(item.command))),
            QString::fromStdString(texts.text(item.textId)));
        a->setData(item.command);
        QObject::connect(a, &QAction::triggered, &menu,
                         [run, command = item.command] { run(command); });
    }
}

QPoint contextMenuPlace(const ContextMenu& items, QPoint mouse, int menuHeight) {
    const QPoint offset = items.target == MenuTarget::RoutePoint ? QPoint(10, 50) : QPoint(5, 50);
    return mouse + offset - QPoint(0, menuHeight);
}

void paintRubberBand(QPainter& painter, const ChartProjection& view, GeoPoint from, GeoPoint to,
                     int colour) {
    double x1, y1, x2, y2;
    projectToScreen(view, from, x1, y1);
    projectToScreen(view, to, x2, y2);
    const QColor c(colour & 0xff, (colour >> 8) & 0xff, (colour >> 16) & 0xff);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(c, 2, Qt::DashLine, Qt::RoundCap));
    painter.drawLine(QPointF(x1, y1), QPointF(x2, y2));
    painter.restore();
}

} // namespace navorel::app

#pragma once
// The Qt side of the chart's editing: the context menu made from the interaction machine's
// items, and the moving end drawn over the chart.
#include "app/interaction.h"

#include <QPoint>

#include <functional>

class QMenu;
class QPainter;

namespace navorel {
class LanguageTable;
}

namespace navorel::app {

// The image of a context-menu command, from the program's own set (":/images/NAME").
const char* contextMenuImage(int command);

// Fills `menu` with the items, texts from the language table and images from
// contextMenuImage; choosing one calls `run` with its command.
void fillContextMenu(QMenu& menu, const ContextMenu& items, const LanguageTable& texts,
                     std::function<void(int)> run);

// Where the menu opened at the mouse's global position `mouse` goes: offset by (10, 50) on a
// route point and (5, 50) elsewhere, its bottom there.
QPoint contextMenuPlace(const ContextMenu& items, QPoint mouse, int menuHeight);

// The moving end of the route or the barrier being drawn, as a dashed line; `colour` in the
// settings' form (red in the low byte).
void paintRubberBand(QPainter& painter, const ChartProjection& view, GeoPoint from, GeoPoint to,
                     int colour);

} // namespace navorel::app

#include "app/dialogs/dialog_place.h"

#include <QWidget>

namespace navorel::app {

void placeDialog(QWidget& dialog, int x, int y) {
    if (x == 0 && y == 0) return;
    // The size the dialog would take when shown, unless it was given one; setGeometry places
    // the client area, where move() would place the frame.
    if (!dialog.testAttribute(Qt::WA_Resized)) dialog.adjustSize();
    dialog.setGeometry(x, y, dialog.width(), dialog.height());
}

void keepDialogPlace(const QWidget& dialog, int& x, int& y) {
    if (!dialog.isVisible()) return;
    x = dialog.geometry().x();
    y = dialog.geometry().y();
}

} // namespace navorel::app

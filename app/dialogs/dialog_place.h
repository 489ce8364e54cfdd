#pragma once
// Where the dialogs open: where they were last left. The place kept is the top-left corner of
// the dialog's client area (inside the window frame), and the same corner is placed again. The
// frame never enters either side: a window system tells its size late or not at all, and a
// place read with the frame but restored without it (or the other way round) made the dialogs
// creep by the height of the title bar at every opening.
class QWidget;

namespace navorel::app {

// Puts the client area's top-left corner at (x, y), at the size the dialog was given or else
// its natural size; (0, 0) (never moved) leaves the place to the window system.
void placeDialog(QWidget& dialog, int x, int y);
// Keeps the client area's top-left corner in (x, y) while the dialog is shown (from its
// moveEvent).
void keepDialogPlace(const QWidget& dialog, int& x, int& y);

} // namespace navorel::app

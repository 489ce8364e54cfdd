#pragma once
// The main window: the chart with the status bar under it. Closing it saves the settings and
// the user's files; a save that fails is shown with the choice to retry.
#include "app/chart_widget.h"

#include <QLabel>
#include <QMainWindow>

#include <array>
#include <string>
#include <vector>

namespace navorel::app {

class MainWindow : public QMainWindow {
  public:
    explicit MainWindow(AppData& data);

    ChartWidget& chart() { return *chart_; }
    // Fits the configured place and size to the screen and shows the window there.
    void placeAndShow();
    // The start-up has loaded everything: the chart takes the wind and the view.
    void dataLoaded();
    // The title from the forecast, the currents switch and the polar (after a GRIB load, a
    // polar or a setting change).
    void refreshTitle();
    // The window's place and size go into the settings, as placeAndShow reads them.
    void keepGeometry();

    // Stops the routing and saves everything. With `ask`, a failure is shown in a message box
    // that offers to retry, to close anyway or to stay open (answers false then: the window
    // stays). Without, the failures are only listed. Done once; later calls answer true.
    bool saveForExit(bool ask);
    bool exitSaveDone() const { return exitSaveDone_; }
    // What could not be saved (the log included); empty when everything was.
    const std::vector<std::string>& unsaved() const { return unsaved_; }
    // A closing by the session (a signal) has nobody to ask.
    void setAskOnClose(bool ask) { askOnClose_ = ask; }
    // The text of status bar part `part` (0..6).
    QString statusPart(int part) const;
    // The status bar's note of what the editing mode expects (empty outside such a mode).
    QString modeHint() const { return modeHint_->text(); }
    // Fills the status bar from the chart: the mouse's place, the time shown, the shoreline
    // level; all parts empty in the polar view.
    void refreshStatus();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    AppData& data_;
    ChartWidget* chart_;
    std::array<QLabel*, 7> parts_{};
    // What the editing mode expects ("Click to place the point"), then how the last routing
    // ended, at the right of the status bar.
    QLabel* modeHint_;
    QLabel* routingStatus_;
    bool exitSaveDone_ = false;
    bool askOnClose_ = true;
    std::vector<std::string> unsaved_;
};

// The start-up's question about a forecast whose last opening never came back: a Yes/No
// message box captioned "Navorel". True for Yes.
bool askToReopenGrib(const TextProvider& texts, const std::string& path, QWidget* parent = nullptr);

} // namespace navorel::app

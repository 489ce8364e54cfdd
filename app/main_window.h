#pragma once
// The main window: the chart with the status bar under it.
#include "app/chart_widget.h"

#include <QLabel>
#include <QMainWindow>

namespace navorel::app {

class MainWindow : public QMainWindow {
  public:
    explicit MainWindow(AppData& data);

    ChartWidget& chart() { return *chart_; }
    // Fits the configured place and size to the screen and shows the window there.
    void placeAndShow();
    // The start-up has loaded everything: the chart takes the wind and the view.
    void dataLoaded();
    // The window's place and size go into the settings.
    void keepGeometry();

  private:
    AppData& data_;
    ChartWidget* chart_;
    QLabel* position_;
};

} // namespace navorel::app

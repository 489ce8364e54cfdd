#pragma once
// The runs of a routing over several forecasts, in the results window: a table of the runs
// (forecast, arrival, duration, distance, share upwind, strongest wind) that sorts on any
// column, and a picture of the arrival times: every run a dot, the box from 10 % to 90 % with
// the median across it, the whiskers to the earliest and the latest, the control ringed.
// Both are saved, the table as CSV and the picture as PNG, whole or not at all.
#include "app/startup.h"
#include "routing/forecast_series.h"

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QChartView;
class QLabel;
class QTableWidget;

namespace navorel::app {

// Whether a result is a routing over several forecasts (each run with its forecast).
bool forecastSeriesResult(const RoutingResult& result);

class ForecastRunsView : public QWidget {
  public:
    ForecastRunsView(AppData& data, QWidget* parent = nullptr);

    // Fills the table and the picture; false (and nothing shown) for a result that is not
    // over several forecasts.
    bool showResult(const RoutingResult& result);
    QTableWidget* table() const { return table_; }
    QChartView* picture() const { return picture_; }
    const ArrivalDistribution& distribution() const { return distribution_; }
    // Told the run (its place in the series) of the row the user chose.
    std::function<void(int run)> onRunChosen;
    // Replaceable by the tests: the file a save writes to, empty when cancelled.
    std::function<QString(const QString& title, const QString& filter, const QString& suffix)>
        chooseSaveFile;
    bool saveCsv(const QString& path, std::string& error) const;
    bool savePng(const QString& path, std::string& error) const;

  private:
    void fillTable();
    void drawPicture();

    AppData& data_;
    QLabel* summary_;
    QTableWidget* table_;
    QChartView* picture_;
    std::vector<RunSummary> runs_;
    GeoPoint destination_{};
    ArrivalDistribution distribution_;
};

} // namespace navorel::app

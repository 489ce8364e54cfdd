#pragma once
// The results window (key R): the results table of the last routing, one column per run of a
// scan, copied to the clipboard as tab-separated text (Ctrl+C) or saved as CSV (Ctrl+S), so
// it pastes into a spreadsheet. Above the table, a routing that did not arrive says where and
// why it stopped; choosing a cell of a run's column (or its title) chooses that run. It opens at
// ResultsX/Y, 400 x 750 pixels the first time, and keeps its place (in the settings) and its size
// (for the run).
#include "app/startup.h"

#include <QWidget>

#include <functional>
#include <string>

class QLabel;
class QTableWidget;

namespace navorel::app {

class ForecastRunsView;

// The table as text: one line per row (the column titles first, the computation time last),
// cells separated by tabs; with `csv` separated by commas and quoted where a cell holds a
// comma, a quote or a line break.
std::string resultsText(const ResultsTable& table, const std::string& timeLabel, bool csv);

class ResultsWindow : public QWidget {
  public:
    ResultsWindow(AppData& data, QWidget* parent = nullptr);

    // Fills the table from a result.
    void showResult(const RoutingResult& result);
    QTableWidget* table() const { return table_; }
    // The sea met at each step of the chosen run (the last one at first): shown when the run
    // met a current or sailed with a wave forecast.
    QTableWidget* steps() const { return steps_; }
    // The runs over several forecasts (hidden for any other routing).
    ForecastRunsView* forecastRuns() const { return forecastRuns_; }
    // The line that tells why the routing did not arrive (hidden when it did).
    QLabel* reason() const { return reason_; }
    // Told the run (0 the first column) whose cell or title the user chose.
    std::function<void(int run)> onRunChosen;
    const ResultsTable& results() const { return results_; }
    void copyToClipboard() const;
    // Asks for a file (through fileChoosers().save) and writes the CSV there, whole or not at
    // all. False with the reason when it could not be written.
    bool saveCsv(const QString& path, std::string& error) const;

  protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void chooseColumn(int column);
    void showSteps(const RunSummary* run);

    AppData& data_;
    QLabel* reason_;
    QTableWidget* table_;
    QLabel* stepsLabel_;
    QTableWidget* steps_;
    ForecastRunsView* forecastRuns_;
    ResultsTable results_;
    std::vector<RunSummary> runs_; // the result's runs, for their steps
    bool filling_ = false;
};

// Opens the results window (one for the program, raised when already open) on `result`;
// `onRunChosen` is told the run the user chooses in it.
ResultsWindow* showResults(AppData& data, const RoutingResult& result, QWidget* parent,
                           std::function<void(int run)> onRunChosen = {});

} // namespace navorel::app

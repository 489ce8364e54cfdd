#pragma once
// The departure planner window: the current route routed for every departure of a span
// (first and last departure, every so many hours; by default every 3 hours over the
// forecast's first 4 days), on the run pool's threads, with a progress bar and Cancel; the
// picture of the plan (app/dialogs/planner_chart.*) and its table. Clicking a departure, in
// the picture or the table, routes it on the chart as the current routing. The table saves
// as CSV and the picture as PNG.
#include "app/dialogs/planner_chart.h"
#include "app/startup.h"

#include <QDialog>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class QChartView;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace navorel::app {

class ChartWidget;

class PlannerWindow : public QDialog {
  public:
    PlannerWindow(AppData& data, ChartWidget& chart, QWidget* parent = nullptr);
    ~PlannerWindow() override;

    // Routes the departures of the span in the controls; false when a planning or a
    // routing already runs, or there is nothing to route.
    bool startPlanning();
    void cancelPlanning();
    bool planning() const { return worker_.joinable() && !finished_; }
    // The last plan made (empty before the first ends).
    const DeparturePlan& plan() const { return plan_; }
    // Routes departure `index` of the plan on the chart (as the start command would, from its
    // time, one run without a scan).
    bool choose(int index);
    // The span the controls hold (day numbers and hours).
    DepartureSpan span() const;
    void setSpan(const DepartureSpan& span);
    void setPicture(const PlannerPicture& picture);
    const PlannerPicture& picture() const { return picture_; }

    // The table as CSV and the picture as PNG, written whole or not at all.
    bool saveCsv(const QString& path, std::string& error) const;
    bool savePng(const QString& path, std::string& error);

    QChartView* chartView() const { return view_; }
    QTableWidget* table() const { return table_; }
    QProgressBar* progress() const { return progress_; }
    // Told when a planning ends (the tests wait for it).
    std::function<void()> onFinished;
    // Asks for a file to save to; replaceable by the tests.
    std::function<QString(const QString& title, const QString& filter, const QString& suffix)>
        chooseSaveFile;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void runFinished(int done);
    void planFinished(std::shared_ptr<DeparturePlan> plan);
    void redraw();
    void fillTable();
    void pointClicked(const QPointF& value);
    void joinWorker();

    AppData& data_;
    ChartWidget& chart_;
    QDateTimeEdit* from_;
    QDateTimeEdit* to_;
    QSpinBox* step_;
    QComboBox* axis_;
    QComboBox* colour_;
    QPushButton* planButton_;
    QPushButton* cancel_;
    QProgressBar* progress_;
    QLabel* info_;
    QChartView* view_;
    QTableWidget* table_;

    PlannerPicture picture_;
    DeparturePlan plan_;
    GeoPoint destination_{};
    // What the running planning reads: its own copies of the settings and the route.
    RoutingParameters params_;
    UserRoute route_;
    RunControl control_;
    std::thread worker_;
    std::atomic<bool> finished_{true};
    int expected_ = 0;
};

// Opens the planner (one for the program, raised when already open).
PlannerWindow* showPlanner(AppData& data, ChartWidget& chart, QWidget* parent);

} // namespace navorel::app

#pragma once
// The routing-parameters dialog (Tab): ten pages over the routing settings. The pages edit a
// copy of the settings; OK, Start and Display write it back, never while a routing runs on
// the settings (a run reads them on its worker thread): the edits then wait in the outcome
// until the run has ended.
#include "app/dialogs/setting_controls.h"
#include "app/startup.h"

#include <QDialog>

#include <functional>
#include <memory>

class QCheckBox;
class QDateTimeEdit;
class QLabel;
class QTabWidget;

namespace navorel::app {

struct RoutingParametersOutcome {
    enum class Action {
        Cancelled,
        Accepted,
        Start,     // start the routing (unless one runs)
        ShowPolar, // show the polar view; the caller opens the dialog again on Escape
        Defaults,  // "Default", Yes: Data/Default.ini replaces the settings, then the caller
                   // opens the dialog again
    };
    Action action = Action::Cancelled;
    // A start date and time chosen on the first page (day number, UTC); without one the run
    // starts at the time of the record shown.
    bool startChosen = false;
    double startTime = 0;
    // The polar file chosen on the polar page, to be loaded (empty: unchanged).
    std::string polarPath;
    // The edits, written back by applyRoutingParameters; `pending` while a routing ran when
    // the dialog closed: apply them when it has ended.
    bool pending = false;
    RoutingParameters parameters;
    // The parameters are the routing defaults: their drawing mode replaces the panel's.
    bool defaults = false;
};

class RoutingParametersDialog : public QDialog {
  public:
    RoutingParametersDialog(AppData& data, QWidget* parent = nullptr);
    ~RoutingParametersDialog() override;

    SettingPages& pages() { return *pages_; }
    QTabWidget* tabs() const { return tabs_; }
    QPushButton* defaultButton() const { return default_; }
    QPushButton* startButton() const { return start_; }
    QPushButton* displayButton() const { return display_; }
    QCheckBox* startChoice() const { return startChoice_; }
    QDateTimeEdit* startEdit() const { return startEdit_; }
    // The start page's text about the forecast.
    QLabel* gribInformation() const { return gribInfo_; }
    const Settings& edited() const { return edited_.settings; }
    // What the dialog was closed with (the edits are in `parameters` when it was not Cancel).
    const RoutingParametersOutcome& outcome() const { return outcome_; }

    void accept() override;

  protected:
    void moveEvent(QMoveEvent* event) override;
    void done(int result) override;

  private:
    void closeWith(RoutingParametersOutcome::Action action);
    void askDefaults();
    void refreshCounts();

    AppData& data_;
    ConfigStore edited_;
    std::unique_ptr<SettingPages> pages_;
    RoutingParametersOutcome outcome_;
    QTabWidget* tabs_ = nullptr;
    QPushButton* default_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* display_ = nullptr;
    QCheckBox* startChoice_ = nullptr;
    QDateTimeEdit* startEdit_ = nullptr;
    QLabel* polarName_ = nullptr;
    QLabel* gribInfo_ = nullptr;
    QLabel* scanCounts_[3] = {};
};

// Opens the dialog at ParametersX/Y on the tab last chosen in this run. When it closes with
// OK, Start or Display and no routing runs (`routingRunning` answers false or is empty), the
// edits are written back at once; otherwise they wait in `outcome` (pending). Closed by
// "Default" (Yes), the settings read from Data/Default.ini go the same way, the edits of the
// dialog dropped; a file that cannot be read changes nothing and is told. True unless it was
// cancelled or the defaults could not be read.
bool showRoutingParameters(AppData& data, QWidget* parent, RoutingParametersOutcome& outcome,
                           const std::function<bool()>& routingRunning = {});

// Writes the edited parameters into the settings (the routing's drawing mode stays the
// panel's), shifts the wind times when the lag changed, tells the currents their provider
// and loads a newly chosen polar. Call it only while no routing runs. False with the reason
// when the polar cannot be loaded (the other edits are kept).
bool applyRoutingParameters(AppData& data, RoutingParametersOutcome& outcome, std::string& error);

// How many runs a scan from min to max by step makes ("Iterations").
int scanRunCount(int min, int max, int step);

} // namespace navorel::app

#pragma once
// The options dialog (F10): nine pages of display, colour, folder, map, route, wind, traffic
// zone and GPS settings. The pages edit a copy of the settings, written back on OK; the
// language changes at once, relabelling the dialog and, through the caller's callback, the
// window.
#include "app/dialogs/setting_controls.h"
#include "app/startup.h"

#include <QDialog>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace navorel::app {

class OptionsDialog : public QDialog {
  public:
    OptionsDialog(AppData& data, std::function<void()> relabelWindow,
                  std::function<bool()> routingRunning = {}, QWidget* parent = nullptr);
    ~OptionsDialog() override;

    SettingPages& pages() { return *pages_; }
    QTabWidget* tabs() const { return tabs_; }
    QComboBox* languages() const { return languages_; }
    // The copy the pages edit.
    const Settings& edited() const { return edited_.settings; }
    // "Update" of the zone page changed the zones drawn and avoided, whatever the dialog's end.
    bool zonesUpdated() const { return zonesUpdated_; }

    void accept() override;

  protected:
    void moveEvent(QMoveEvent* event) override;
    void done(int result) override;

  private:
    void chooseLanguage(int index);
    void relabel();
    // The Connect button's caption and the status text for the link's state.
    void showGpsState();
    // The zone page's "All" (0), "None" (1) and "Update" (2).
    void zoneButton(int button);

    AppData& data_;
    ConfigStore edited_;
    std::function<void()> relabelWindow_;
    std::function<bool()> routingRunning_;
    std::vector<ZonePageEntry> zones_;
    QListWidget* zoneList_ = nullptr;
    bool zonesUpdated_ = false;
    std::unique_ptr<SettingPages> pages_;
    QTabWidget* tabs_ = nullptr;
    QComboBox* languages_ = nullptr;
    QPushButton* connect_ = nullptr;
    QLabel* gpsStatus_ = nullptr;
};

// Opens the options dialog at OptionsX/Y on the tab last chosen in this run. True when it
// was closed with OK and the settings changed, or when the traffic zones were updated (the
// window then redraws); the wind colours are read again when their file changed.
bool showOptions(AppData& data, QWidget* parent, std::function<void()> relabel,
                 std::function<bool()> routingRunning = {});

} // namespace navorel::app

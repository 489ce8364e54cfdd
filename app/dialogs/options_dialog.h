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
class QPushButton;
class QTabWidget;

namespace navorel::app {

class OptionsDialog : public QDialog {
  public:
    OptionsDialog(AppData& data, std::function<void()> relabelWindow, QWidget* parent = nullptr);
    ~OptionsDialog() override;

    SettingPages& pages() { return *pages_; }
    QTabWidget* tabs() const { return tabs_; }
    QComboBox* languages() const { return languages_; }
    // The copy the pages edit.
    const Settings& edited() const { return edited_.settings; }

    void accept() override;

  protected:
    void moveEvent(QMoveEvent* event) override;
    void done(int result) override;

  private:
    void chooseLanguage(int index);
    void relabel();
    // The Connect button's caption and the status text for the link's state.
    void showGpsState();

    AppData& data_;
    ConfigStore edited_;
    std::function<void()> relabelWindow_;
    std::unique_ptr<SettingPages> pages_;
    QTabWidget* tabs_ = nullptr;
    QComboBox* languages_ = nullptr;
    QPushButton* connect_ = nullptr;
    QLabel* gpsStatus_ = nullptr;
};

// Opens the options dialog at OptionsX/Y on the tab last chosen in this run. True when it
// was closed with OK and the settings changed (the window then redraws); the wind colours are
// read again when their file changed.
bool showOptions(AppData& data, QWidget* parent, std::function<void()> relabel);

} // namespace navorel::app

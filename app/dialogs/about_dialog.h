#pragma once
// The about box: the program's name and version, the help lines and the licences of the
// data it ships with.
#include "app/startup.h"

#include <QDialog>

namespace navorel::app {

class AboutDialog : public QDialog {
  public:
    AboutDialog(AppData& data, QWidget* parent = nullptr);
};

void showAbout(AppData& data, QWidget* parent);

// The version shown ("0.1.0").
const char* programVersion();

} // namespace navorel::app

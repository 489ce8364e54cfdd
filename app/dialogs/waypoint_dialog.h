#pragma once
// The waypoint dialog: a point's latitude and longitude as text in one of the three
// coordinate formats ([Map] FormatLatLon), chosen by three radio buttons labelled with an
// example each. Choosing a format shows the position again in it and keeps the choice; Update
// reads both fields (hemisphere letters N S E W, or a minus sign; degrees, minutes and
// seconds) and applies them. A field that cannot be read is refused with a message under the
// fields, and the position stays as it was.
#include "core/geodesy.h"
#include "core/texts.h"
#include "settings/config_store.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace navorel::app {

class WaypointDialog : public QDialog {
  public:
    WaypointDialog(GeoPoint position, Settings& settings, const TextProvider& texts,
                   QWidget* parent = nullptr);

    QLineEdit* latitudeEdit() const { return lat_; }
    QLineEdit* longitudeEdit() const { return lon_; }
    QPushButton* updateButton() const { return update_; }
    QRadioButton* formatButton(int format) const { return formats_[format]; }
    // Why the last Update was refused; empty after a good one.
    QString refusal() const;
    // The position, as applied by the last Update.
    GeoPoint position() const { return position_; }

  private:
    void chooseFormat(int format);
    void showPosition(double lat, double lon);
    void apply();
    // Reads one field; false with the refusal shown.
    bool read(QLineEdit* field, bool latitude, double& value);

    Settings& settings_;
    GeoPoint position_;
    QLineEdit* lat_ = nullptr;
    QLineEdit* lon_ = nullptr;
    QPushButton* update_ = nullptr;
    QRadioButton* formats_[3] = {};
    QLabel* message_ = nullptr;
};

// Opens the dialog on `position`. True when Update applied a new position (written into
// `position`); [Map] FormatLatLon follows the format chosen, whatever the outcome.
bool editWaypoint(QWidget* parent, GeoPoint& position, Settings& settings,
                  const TextProvider& texts);

} // namespace navorel::app

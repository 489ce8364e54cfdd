#include "app/dialogs/waypoint_dialog.h"

#include "core/position_text.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace navorel::app {

namespace {

// The examples that label the three formats.
const char* const kFormatExamples[3] = {"N 45 06.123", "N 45\u00B0 06' 07\"", "45.102"};

// The language's text, or the built-in English one when the language file lacks it.
QString label(const TextProvider& texts, int id, const char* english) {
    const std::string t = texts.text(id);
    return QString::fromUtf8(t.empty() ? english : t.c_str());
}

// A stored single-precision coordinate as the decimal number it was typed as: 45.1f widened
// as it stands is 45.09999847..., which the whole-minute and whole-second formats would show
// as 05' 60".
double widened(float v) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text - 1, v).ptr;
    *end = '\0';
    return std::strtod(text, nullptr);
}

int clampedFormat(int format) {
    return std::clamp(format, 0, 2);
}

} // namespace

WaypointDialog::WaypointDialog(GeoPoint position, Settings& settings, const TextProvider& texts,
                               QWidget* parent)
    : QDialog(parent), settings_(settings), position_(position) {
    setObjectName(QStringLiteral("waypoint"));
    setWindowTitle(label(texts, 268, "Waypoint"));
    auto* layout = new QVBoxLayout(this);
    auto* fields = new QGridLayout;
    lat_ = new QLineEdit(this);
    lon_ = new QLineEdit(this);
    lat_->setObjectName(QStringLiteral("lat"));
    lon_->setObjectName(QStringLiteral("lon"));
    lat_->setMinimumWidth(160);
    fields->addWidget(new QLabel(label(texts, 266, "Lat:"), this), 0, 0);
    fields->addWidget(lat_, 0, 1);
    fields->addWidget(new QLabel(label(texts, 267, "Lon:"), this), 1, 0);
    fields->addWidget(lon_, 1, 1);
    update_ = new QPushButton(label(texts, 244, "Update"), this);
    update_->setDefault(true);
    fields->addWidget(update_, 0, 2, 2, 1);
    layout->addLayout(fields);

    auto* group = new QGroupBox(label(texts, 265, "Format"), this);
    auto* groupLayout = new QVBoxLayout(group);
    for (int f = 0; f < 3; ++f) {
        formats_[f] = new QRadioButton(QString::fromUtf8(kFormatExamples[f]), group);
        groupLayout->addWidget(formats_[f]);
    }
    layout->addWidget(group);
    message_ = new QLabel(this);
    message_->setStyleSheet(QStringLiteral("color: #b00000"));
    message_->setWordWrap(true);
    message_->hide();
    layout->addWidget(message_);

    const int format = clampedFormat(settings_.map.formatLatLon);
    formats_[format]->setChecked(true);
    showPosition(widened(position_.lat), widened(position_.lon));
    for (int f = 0; f < 3; ++f)
        connect(formats_[f], &QRadioButton::toggled, this, [this, f](bool on) {
            if (on) chooseFormat(f);
        });
    connect(update_, &QPushButton::clicked, this, &WaypointDialog::apply);
}

QString WaypointDialog::refusal() const {
    return message_->text();
}

void WaypointDialog::showPosition(double lat, double lon) {
    const int format = clampedFormat(settings_.map.formatLatLon);
    CoordinateText text;
    text.format(lat, CoordinateText::Kind::Latitude, CoordinateText::latitudePattern(format));
    lat_->setText(QString::fromStdString(text.text()));
    text.format(lon, CoordinateText::Kind::Longitude, CoordinateText::longitudePattern(format));
    lon_->setText(QString::fromStdString(text.text()));
}

void WaypointDialog::chooseFormat(int format) {
    // What the fields hold, when it reads, else the position applied last.
    double lat = widened(position_.lat), lon = widened(position_.lon);
    CoordinateText a, b;
    a.parse(lat_->text().toUpper().toStdString(), CoordinateText::Kind::Latitude);
    b.parse(lon_->text().toUpper().toStdString(), CoordinateText::Kind::Longitude);
    if (a.kind() == CoordinateText::Kind::Latitude && std::fabs(a.value()) < 90 &&
        b.kind() == CoordinateText::Kind::Longitude) {
        lat = a.value();
        lon = b.value();
    }
    settings_.map.formatLatLon = format;
    showPosition(lat, lon);
}

bool WaypointDialog::read(QLineEdit* field, bool latitude, double& value) {
    const QString typed = field->text();
    const std::string text = typed.toUpper().toStdString();
    CoordinateText c;
    const CoordinateText::Kind kind =
        latitude ? CoordinateText::Kind::Latitude : CoordinateText::Kind::Longitude;
    c.parse(text, kind);
    QString why;
    const QString name = latitude ? QStringLiteral("latitude") : QStringLiteral("longitude");
    // A field without a digit would read as 0; a letter of the other axis is a slip.
    if (text.find_first_of("0123456789") == std::string::npos || c.kind() != kind)
        why = QStringLiteral("The %1 \"%2\" cannot be read.").arg(name, typed.trimmed());
    else if (latitude && !(std::fabs(c.value()) < 90))
        why = QStringLiteral("The latitude \"%1\" must lie between 90\u00B0 S and 90\u00B0 N.")
                  .arg(typed.trimmed());
    else if (!latitude && !(std::fabs(c.value()) <= 180))
        why = QStringLiteral("The longitude \"%1\" must lie between 180\u00B0 W and 180\u00B0 E.")
                  .arg(typed.trimmed());
    if (why.isEmpty()) {
        value = c.value();
        return true;
    }
    message_->setText(why);
    message_->show();
    field->setFocus();
    field->selectAll();
    return false;
}

void WaypointDialog::apply() {
    double lat = 0, lon = 0;
    if (!read(lat_, true, lat) || !read(lon_, false, lon)) return;
    message_->clear();
    message_->hide();
    position_ = {static_cast<float>(lon), static_cast<float>(lat)};
    accept();
}

bool editWaypoint(QWidget* parent, GeoPoint& position, Settings& settings,
                  const TextProvider& texts) {
    WaypointDialog dialog(position, settings, texts, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    position = dialog.position();
    return true;
}

} // namespace navorel::app

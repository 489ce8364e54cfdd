#include "app/dialogs/about_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#ifndef NAVOREL_VERSION
#define NAVOREL_VERSION "0"
#endif

namespace navorel::app {

namespace {

// The shipped data sets and their licences.
constexpr const char* kDataLicences =
    "Shorelines: GSHHG (Wessel and Smith), GNU LGPL version 3 or later.\n"
    "Tides and tidal streams: NOAA harmonic constants, public domain. Not for navigation.\n"
    "Traffic separation schemes: contains public-domain data of 33 CFR Part 167. Not for "
    "navigation.\n"
    "Town names: contains GeoNames data, CC-BY 4.0.";

} // namespace

const char* programVersion() {
    return NAVOREL_VERSION;
}

AboutDialog::AboutDialog(AppData& data, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("about"));
    const LanguageTable& t = data.texts;
    const auto text = [&t](int id) { return QString::fromStdString(t.text(id)); };
    setWindowTitle(text(45));
    auto* layout = new QVBoxLayout(this);
    auto* name = new QLabel(text(425), this);
    QFont font = name->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.5);
    name->setFont(font);
    layout->addWidget(name);
    QString version = text(269) + ' ' + programVersion();
    if (data.config.settings.version.build != 0)
        version +=
            QStringLiteral("  (%1 %2)").arg(text(426)).arg(data.config.settings.version.build);
    layout->addWidget(new QLabel(version, this));
    layout->addSpacing(8);
    for (int id = 270; id <= 273; ++id) layout->addWidget(new QLabel(text(id), this));
    layout->addSpacing(8);
    layout->addWidget(new QLabel(text(274), this));
    layout->addSpacing(8);
    auto* licences = new QLabel(QString::fromUtf8(kDataLicences), this);
    licences->setWordWrap(true);
    layout->addWidget(licences);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

void showAbout(AppData& data, QWidget* parent) {
    AboutDialog dialog(data, parent);
    dialog.exec();
}

} // namespace navorel::app

#include "app/dialogs/options_dialog.h"

#include "app/dialogs/dialog_place.h"
#include "app/gps_link.h"
#include "app/qt_translations.h"
#include "app/status_texts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QListWidgetItem>
#include <QMoveEvent>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QTabWidget>
#include <QVBoxLayout>

namespace navorel::app {

namespace {

using K = ControlKind;
constexpr const char* W = "Window";
constexpr const char* M = "Map";
constexpr const char* T = "Toolbar";
constexpr const char* Wi = "Winds";
constexpr const char* R = "Routing";

// The rates the GPS page offers, in this order.
constexpr int kGpsBaudRates[] = {150,   300,   600,   1200,   2400,   4800,   9600,
                                 19200, 38400, 57600, 115200, 230400, 460800, 921600};

enum Custom { kLanguage = 1, kTssList, kSerialPort, kBaudRate, kParity, kConnect, kSourceHelp };

// The GPS page's texts: the source field's placeholder and the line of help under it.
constexpr int kSourcePlaceholderText = 478;
constexpr int kSourceHelpText = 479;

// Pages 1900 to 1908, in tab order.
const std::vector<PageSpec>& optionPages() {
    static const std::vector<PageSpec> pages = {
        {121,
         {control(K::Check, 86, T, "AlwaysVisible"), control(K::Int, 87, T, "Opacity"),
          control(K::Color, 88, T, "Background"), control(K::Check, 89, T, "Sounds"),
          custom(90, kLanguage), control(K::Check, 91, T, "ShowTooltips"),
          control(K::Color, 92, T, "ColorTooltip"), control(K::Heading, 93),
          control(K::Color, 94, T, "ColorTooltime1"), control(K::Color, 95, T, "ColorTooltime2")}},
        {122, {control(K::Color, 88, W, "ColorPanel"), control(K::Int, 87, W, "OpacityPanel")}},
        {123,
         {control(K::Color, 246, "Tss", "Color"),
          next(control(K::Color, 247, "Waypoints", "Color")),
          control(K::Color, 248, "Route", "Color"), next(control(K::Color, 249, R, "ColorRouting")),
          control(K::Color, 250, Wi, "ColorZones"),
          next(control(K::Color, 251, "Currents", "ColorZones")),
          control(K::Color, 252, R, "ColorSailing"), next(control(K::Color, 253, R, "ColorEngine")),
          control(K::Color, 254, R, "ColorIsochron"),
          next(control(K::Color, 255, R, "ColorSegment")),
          control(K::Color, 256, R, "ColorEllipse"),
          next(control(K::Color, 257, "Currents", "ColorTides")),
          control(K::Color, 258, M, "ColorCoast"), next(control(K::Color, 259, M, "ColorLand")),
          control(K::Color, 260, M, "ColorSea"), next(control(K::Color, 261, M, "ColorMapGrid")),
          control(K::Color, 262, M, "ColorCities"),
          next(control(K::Color, 263, "Barriers", "Color"))}},
        {124,
         {control(K::Folder, 96, "Folders", "Gribs"), control(K::Folder, 97, "Folders", "Polars"),
          control(K::Folder, 98, "Folders", "Routes"),
          control(K::Folder, 99, "Folders", "Waypoints")}},
        {125,
         {control(K::Real, 101, M, "Zoom"), control(K::Heading, 102),
          control(K::Check, 103, M, "ShowCoastalCities"),
          control(K::Check, 104, M, "ShowLakeCities"), control(K::Check, 105, M, "ShowLakes"),
          control(K::Check, 106, M, "ShowCapitals")}},
        {126,
         {control(K::Int, 107, "Route", "Thickness", "px"),
          control(K::Int, 108, "Route", "StraitSegment", "M")}},
        {127,
         {control(K::Check, 109, Wi, "ShowWindBarbs"), control(K::Check, 110, Wi, "ArrowCentered"),
          control(K::Check, 111, Wi, "OneColorPerKnot"),
          control(K::Radio, 238, Wi, "Colors", "", {{239, "Wind10.txt"}, {240, "Wind26.txt"}})}},
        {128, {custom(241, kTssList)}},
        {129,
         {custom(115, kSerialPort), custom(-1, kSourceHelp), custom(213, kBaudRate),
          custom(214, kParity), custom(-1, kConnect), control(K::Check, 215, "Com", "ShowBoat")}},
    };
    return pages;
}

int& lastOptionsTab() {
    static int tab = 0;
    return tab;
}

} // namespace

OptionsDialog::OptionsDialog(AppData& data, std::function<void()> relabelWindow,
                             std::function<bool()> routingRunning, QWidget* parent)
    : QDialog(parent), data_(data), edited_(data.config), relabelWindow_(std::move(relabelWindow)),
      routingRunning_(std::move(routingRunning)) {
    setObjectName(QStringLiteral("options"));
    pages_ = std::make_unique<SettingPages>(edited_, data.texts, data.colors.namedColors());
    SettingPages& pages = *pages_;
    pages.makeCustom = [this, &pages](int id, QWidget* page) -> QWidget* {
        const auto text = [&pages](auto* w, int textId) {
            pages.addText([w, textId](const LanguageTable& t) {
                w->setText(QString::fromStdString(t.text(textId)));
            });
            return w;
        };
        switch (id) {
        case kLanguage: {
            languages_ = new QComboBox(page);
            for (const std::string& name : listLanguages(data_.folder))
                languages_->addItem(QString::fromStdString(name));
            languages_->setCurrentText(
                QString::fromStdString(data_.config.settings.window.language));
            connect(languages_, &QComboBox::currentIndexChanged, this,
                    &OptionsDialog::chooseLanguage);
            return languages_;
        }
        case kTssList: {
            // One checkable line per zone file of the folder; "All" and "None" set the flags,
            // "Update" writes the selection and reloads the outlines at once.
            auto* box = new QWidget(page);
            auto* column = new QVBoxLayout(box);
            column->setContentsMargins(0, 0, 0, 0);
            zoneList_ = new QListWidget(box);
            zoneList_->setObjectName(QStringLiteral("tssList"));
            zones_ = openZonePage(data_.tss);
            for (const ZonePageEntry& entry : zones_) {
                auto* item = new QListWidgetItem(QString::fromStdString(entry.name), zoneList_);
                item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
                item->setCheckState(entry.selected ? Qt::Checked : Qt::Unchecked);
            }
            column->addWidget(zoneList_);
            auto* buttons = new QHBoxLayout;
            const char* names[] = {"tssAll", "tssNone", "tssUpdate"};
            for (int i = 0; i < 3; ++i) {
                auto* b = text(new QPushButton(box), 242 + i);
                b->setObjectName(QString::fromLatin1(names[i]));
                // A running routing reads the outlines: "Update" waits until it has ended.
                b->setEnabled(!zones_.empty() && (i < 2 || !routingRunning_ || !routingRunning_()));
                buttons->addWidget(b);
                connect(b, &QPushButton::clicked, this, [this, i] { zoneButton(i); });
            }
            buttons->addStretch();
            column->addLayout(buttons);
            return box;
        }
        case kSerialPort: {
            // The devices this machine lists, or any path, tcp:HOST:PORT or udp:PORT typed in.
            auto* combo = new QComboBox(page);
            combo->setObjectName(QStringLiteral("gpsSource"));
            combo->setEditable(true);
            for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
                combo->addItem(info.systemLocation());
            combo->setCurrentText(QString::fromStdString(edited_.settings.com.device));
            pages.addText([combo](const LanguageTable& t) {
                combo->lineEdit()->setPlaceholderText(
                    QString::fromStdString(t.text(kSourcePlaceholderText)));
            });
            connect(combo, &QComboBox::currentTextChanged, this, [this](const QString& text) {
                edited_.settings.com.device = text.trimmed().toStdString();
            });
            return combo;
        }
        case kSourceHelp: {
            auto* help = text(new QLabel(page), kSourceHelpText);
            help->setObjectName(QStringLiteral("gpsSourceHelp"));
            help->setWordWrap(true);
            return help;
        }
        case kBaudRate: {
            auto* combo = new QComboBox(page);
            for (int rate : kGpsBaudRates) combo->addItem(QString::number(rate));
            const QString current = QString::number(edited_.settings.com.baudRate);
            if (combo->findText(current) < 0) combo->addItem(current);
            combo->setCurrentText(current);
            connect(combo, &QComboBox::currentTextChanged, this,
                    [this](const QString& text) { edited_.settings.com.baudRate = text.toInt(); });
            return combo;
        }
        case kParity: {
            auto* combo = new QComboBox(page);
            for (int i = 0; i < 3; ++i) combo->addItem(QString());
            pages.addText([combo](const LanguageTable& t) {
                for (int i = 0; i < 3; ++i)
                    combo->setItemText(i, QString::fromStdString(t.text(112 + i)));
            });
            combo->setCurrentIndex(std::clamp(edited_.settings.com.parity, 0, 2));
            connect(combo, &QComboBox::currentIndexChanged, this,
                    [this](int index) { edited_.settings.com.parity = index; });
            return combo;
        }
        case kConnect: {
            auto* box = new QWidget(page);
            auto* line = new QHBoxLayout(box);
            line->setContentsMargins(0, 0, 0, 0);
            connect_ = new QPushButton(box);
            connect_->setObjectName(QStringLiteral("gpsConnect"));
            gpsStatus_ = new QLabel(box);
            gpsStatus_->setObjectName(QStringLiteral("gpsStatus"));
            gpsStatus_->setWordWrap(true);
            line->addWidget(connect_);
            line->addWidget(gpsStatus_, 1);
            pages.addText([this](const LanguageTable&) { showGpsState(); });
            if (GpsLink* link = data_.gpsLink) {
                connect(connect_, &QPushButton::clicked, this, [this, link] {
                    if (link->isOn()) {
                        link->close();
                        return;
                    }
                    const ComSettings& com = edited_.settings.com;
                    link->open(QString::fromStdString(com.device), com.baudRate, com.parity);
                });
                link->onStateChanged = [this] { showGpsState(); };
            } else {
                connect_->setEnabled(false);
            }
            return box;
        }
        default:
            return nullptr;
        }
    };

    tabs_ = new QTabWidget(this);
    tabs_->setUsesScrollButtons(false); // every tab in sight
    for (const PageSpec& entry : optionPages()) {
        QWidget* page = pages.buildPage(entry);
        const int index = tabs_->addTab(page, QString());
        pages.addText([this, index, id = entry.tabTextId](const LanguageTable& t) {
            tabs_->setTabText(index, QString::fromStdString(t.text(id)));
        });
    }
    tabs_->setCurrentIndex(std::clamp(lastOptionsTab(), 0, tabs_->count() - 1));
    connect(tabs_, &QTabWidget::currentChanged, this, [](int index) { lastOptionsTab() = index; });
    pages.addText(
        [this](const LanguageTable& t) { setWindowTitle(QString::fromStdString(t.text(120))); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(pages.reasonLabel());
    layout->addWidget(buttons);

    const WindowSettings& w = data_.config.settings.window;
    placeDialog(*this, w.optionsX, w.optionsY);
}

OptionsDialog::~OptionsDialog() {
    if (data_.gpsLink) data_.gpsLink->onStateChanged = nullptr;
}

void OptionsDialog::zoneButton(int button) {
    for (int i = 0; i < zoneList_->count() && i < static_cast<int>(zones_.size()); ++i)
        zones_[static_cast<std::size_t>(i)].selected =
            zoneList_->item(i)->checkState() == Qt::Checked;
    if (button == 0) selectAllZones(data_.tss, zones_);
    if (button == 1) selectNoZones(data_.tss, zones_);
    if (button < 2) {
        for (int i = 0; i < zoneList_->count() && i < static_cast<int>(zones_.size()); ++i)
            zoneList_->item(i)->setCheckState(
                zones_[static_cast<std::size_t>(i)].selected ? Qt::Checked : Qt::Unchecked);
        return;
    }
    std::string error;
    if (!updateZoneSelection(data_.tss, zones_, error))
        pages_->reasonLabel()->setText(QString::fromStdString(error));
    zonesUpdated_ = true;
}

void OptionsDialog::showGpsState() {
    const GpsLink* link = data_.gpsLink;
    const bool open = link && link->isOpen();
    // While the link waits to reconnect, the button stops it.
    connect_->setText(QString::fromStdString(data_.texts.text(link && link->isOn() ? 118 : 119)));
    QString status = QString::fromStdString(data_.texts.text(open ? 117 : 116));
    if (link && !open && !link->lastError().isEmpty()) status += " - " + link->lastError();
    if (link && link->retrying())
        status += " - " + QString::fromStdString(retryText(data_.texts, link->retryDelayMs()));
    gpsStatus_->setText(status);
}

void OptionsDialog::chooseLanguage(int index) {
    const std::string name = languages_->itemText(index).toStdString();
    std::string error;
    // Without a fallback: a language that cannot be read leaves the texts as they were.
    if (!data_.texts.load(data_.folder, name, error)) {
        pages_->reasonLabel()->setText(QString::fromStdString(error));
        const QSignalBlocker blocker(languages_);
        languages_->setCurrentText(QString::fromStdString(data_.config.settings.window.language));
        return;
    }
    data_.config.settings.window.language = name;
    edited_.settings.window.language = name;
    if (!data_.wind.empty())
        data_.wind.rebuildInformationText(gribDisplayName(data_.config.settings.winds.grib),
                                          data_.texts);
    applyQtTranslations(data_.texts);
    relabel();
}

void OptionsDialog::relabel() {
    pages_->relabel();
    if (relabelWindow_) relabelWindow_();
}

void OptionsDialog::accept() {
    QWidget* bad = nullptr;
    QString reason;
    if (!pages_->validate(bad, reason)) {
        for (int i = 0; i < tabs_->count(); ++i)
            if (tabs_->widget(i)->isAncestorOf(bad)) tabs_->setCurrentIndex(i);
        bad->setFocus();
        return;
    }
    QDialog::accept();
}

void OptionsDialog::done(int result) {
    lastOptionsTab() = tabs_->currentIndex();
    QDialog::done(result);
}

void OptionsDialog::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    WindowSettings& w = data_.config.settings.window;
    keepDialogPlace(*this, w.optionsX, w.optionsY);
}

bool showOptions(AppData& data, QWidget* parent, std::function<void()> relabel,
                 std::function<bool()> routingRunning) {
    OptionsDialog dialog(data, std::move(relabel), std::move(routingRunning), parent);
    if (dialog.exec() != QDialog::Accepted) return dialog.zonesUpdated();
    const std::string oldColors = data.config.settings.winds.colors;
    const int oldSea = data.config.settings.map.colorSea;
    dialog.pages().writeBack(data.config);
    // The GPS source and line are edited by the page's own lists.
    data.config.settings.com.device = dialog.edited().com.device;
    data.config.settings.com.baudRate = dialog.edited().com.baudRate;
    data.config.settings.com.parity = dialog.edited().com.parity;
    const Settings& s = data.config.settings;
    if (s.winds.colors != oldColors || s.map.colorSea != oldSea) {
        if (s.winds.colors != oldColors)
            data.colors.loadWindScale(data.folder + "/Data/Colors", s.winds.colors);
        data.windColors =
            buildRamp(data.colors.windScale(), static_cast<std::uint32_t>(s.map.colorSea));
        data.wind.setColorRamp(data.windColors);
    }
    return true;
}

} // namespace navorel::app

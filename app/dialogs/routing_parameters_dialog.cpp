#include "app/dialogs/routing_parameters_dialog.h"

#include "app/dialogs/dialog_place.h"
#include "app/dialogs/planner_texts.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMoveEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cmath>

namespace navorel::app {

namespace {

using K = ControlKind;
constexpr const char* R = "Routing";
constexpr const char* Wi = "Winds";

enum Custom { kStartTime = 1, kGribInfo, kPolarFile, kPolarCount, kWindCount, kStartCount };

// A fan of headings spans at most half a turn.
std::string fanRule(int count, int step) {
    if (static_cast<long long>(count) * step <= 180) return {};
    return "headings x step must not pass 180 degrees (" + std::to_string(count) + " x " +
           std::to_string(step) + ")";
}
std::string multipleRule(double value, int of) {
    if (std::fmod(value, of) == 0) return {};
    return "takes steps of " + std::to_string(of) + ", not " + std::to_string(int(value));
}

const std::vector<PageSpec>& routingPages() {
    static const std::vector<PageSpec> pages = {
        {131,
         {control(K::Check, 143, R, "NoRoutingOutside"), control(K::Check, 144, R, "FromBoat"),
          custom(-1, kStartTime), custom(-1, kGribInfo)}},
        {132,
         {control(K::Radio, 147, R, "Method", "", {{148, "0"}, {149, "1"}}),
          control(K::Combo, 150, R, "Quality", "",
                  {{380, "0"}, {381, "1"}, {382, "2"}, {383, "3"}, {384, "4"}}),
          control(K::Combo, 709, R, "Search", "", {{710, "0"}, {711, "1"}}),
          [] {
              ControlSpec c = control(K::Int, 151, R, "Timestep", "min");
              c.maxOf = [](const Settings& s) { return s.routingDisplay.timestepMax; };
              return c;
          }(),
          next(control(K::Check, 152, R, "TimestepAuto")),
          ruled(control(K::Int, 153, R, "MaxIterations"),
                [](const Settings&, double v) { return multipleRule(v, 100); }),
          ruled(control(K::Int, 154, R, "PruneDistance", "m"),
                [](const Settings&, double v) { return multipleRule(v, 50); }),
          ruled(
              control(K::Int, 155, R, "NbInitialAngles"),
              [](const Settings& s, double v) { return fanRule(int(v), s.routing.initialAngles); }),
          next(ruled(control(K::Int, 157, R, "InitialAngles", "°"),
                     [](const Settings& s, double v) {
                         return fanRule(s.routing.nbInitialAngles, int(v));
                     })),
          ruled(
              control(K::Int, 156, R, "NbFurtherAngles"),
              [](const Settings& s, double v) { return fanRule(int(v), s.routing.furtherAngles); }),
          next(ruled(control(K::Int, 157, R, "FurtherAngles", "°"),
                     [](const Settings& s, double v) {
                         return fanRule(s.routing.nbFurtherAngles, int(v));
                     })),
          control(K::Check, 158, R, "Ellipse"),
          next(control(K::Int, 159, R, "Excentricity", "%"))}},
        {133,
         {control(K::Check, 160, R, "ScanPolar"),
          next(control(K::Int, 163, R, "MinPolar")),
          next(control(K::Int, 164, R, "MaxPolar")),
          next(control(K::Int, 165, R, "StepPolar")),
          next(custom(166, kPolarCount)),
          control(K::Check, 161, R, "ScanWind"),
          next(control(K::Int, 163, R, "MinWind")),
          next(control(K::Int, 164, R, "MaxWind")),
          next(control(K::Int, 165, R, "StepWind")),
          next(custom(166, kWindCount)),
          control(K::Check, 162, R, "ScanStart"),
          next(control(K::Int, 163, R, "MinStart")),
          next(control(K::Int, 164, R, "MaxStart")),
          next(control(K::Int, 165, R, "StepStart")),
          next(custom(166, kStartCount)),
          control(K::Check, 648, R, "ScanForecasts"),
          control(K::Check, 167, R, "ScanPolars"),
          control(K::Check, 245, R, "Polar1"),
          next(control(K::File, -1, R, "PolarName1")),
          next(control(K::Real, 168, R, "IRC1")),
          control(K::Check, 245, R, "Polar2"),
          next(control(K::File, -1, R, "PolarName2")),
          next(control(K::Real, 168, R, "IRC2")),
          control(K::Check, 245, R, "Polar3"),
          next(control(K::File, -1, R, "PolarName3")),
          next(control(K::Real, 168, R, "IRC3"))}},
        {134,
         {control(K::Heading, 169), custom(-1, kPolarFile),
          control(K::Int, 172, "Polar", "Power", "%"), next(control(K::Note, 173)),
          control(K::Heading, 174), control(K::Int, 175, R, "TackLossSpeed", "%"),
          control(K::Int, 176, R, "TackDuration", "s")}},
        {135,
         {control(K::Check, 177, R, "Engine"), control(K::Real, 178, R, "LowSpeed", "kt"),
          control(K::Real, 179, R, "EngineSpeed", "kt"),
          control(K::Real, 180, R, "EngineConsumption", "L/h")}},
        {136,
         {control(K::Heading, 181), control(K::Int, 182, R, "WindMin", "kt"),
          control(K::Int, 183, R, "WindMax", "kt"),
          control(K::Int, kTextWindMaxUpwind, R, "WindMaxUpwind", "kt"),
          control(K::Int, kTextWindMaxDownwind, R, "WindMaxDownwind", "kt"),
          control(K::Int, kTextGustMax, R, "GustMax", "kt"), control(K::Note, kTextNoLimit),
          control(K::Int, 184, Wi, "Variation", "%"), control(K::Int, 185, Wi, "Lag", "h"),
          control(K::Heading, 186), control(K::Check, 187, R, "UniqueWind"),
          control(K::Int, 188, R, "WindForce", "kt"), control(K::Int, 189, R, "WindDirection", "°"),
          control(K::Note, 191)}},
        {137,
         {control(K::Heading, 192),
          control(K::Radio, -1, "Currents", "StreamProvider", "", {{193, "0"}, {194, "1"}}),
          control(K::Check, 195, R, "Currents"), control(K::Check, 196, R, "CounterCurrent")}},
        {138,
         {control(K::Check, 197, R, "SeaState"), control(K::Int, 198, R, "SeaStateUp", "%"),
          next(control(K::Note, 200)), control(K::Int, 199, R, "SeaStateDown", "%"),
          next(control(K::Note, 201))}},
        {139,
         {control(K::Check, 202, R, "AvoidCoasts"),
          control(K::Combo, 203, R, "CoastsQuality", "",
                  {{385, "0"}, {386, "1"}, {387, "2"}, {388, "3"}, {389, "4"}}),
          control(K::Check, 204, R, "AvoidBarriers"), control(K::Check, 428, R, "AvoidTss")}},
        {140,
         {control(K::Real, 205, R, "Thickness", "px"), control(K::Check, 206, R, "ShowIsochrones"),
          control(K::Check, 207, R, "RenderAfter"), control(K::Check, 208, R, "ShowSegments"),
          control(K::Check, 209, R, "ShowEllipse"), control(K::Check, 210, R, "ShowHours"),
          control(K::Check, 211, R, "ShowResults"), control(K::Check, 212, R, "ScanningsBlack")}},
    };
    return pages;
}

int& lastRoutingTab() {
    static int tab = 0;
    return tab;
}

QDateTime toQt(double day) {
    const QDateTime epoch(QDate(1980, 1, 1), QTime(0, 0), Qt::UTC);
    return epoch.addMSecs(static_cast<qint64>(std::llround(day * 86400000.0)));
}
double fromQt(const QDateTime& t) {
    const QDateTime epoch(QDate(1980, 1, 1), QTime(0, 0), Qt::UTC);
    return static_cast<double>(epoch.msecsTo(t)) / 86400000.0;
}

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

int scanRunCount(int min, int max, int step) {
    if (max < min) return 0;
    if (step < 1) return 1;
    return static_cast<int>((static_cast<long long>(max) - min) / step + 1);
}

RoutingParametersDialog::RoutingParametersDialog(AppData& data, QWidget* parent)
    : QDialog(parent), data_(data), edited_(data.config) {
    setObjectName(QStringLiteral("routingParameters"));
    pages_ = std::make_unique<SettingPages>(edited_, data.texts, data.colors.namedColors());
    SettingPages& pages = *pages_;
    const auto text = [&pages](auto* w, int textId) {
        pages.addText([w, textId](const LanguageTable& t) { w->setText(qs(t.text(textId))); });
        return w;
    };
    pages.makeCustom = [this, text](int id, QWidget* page) -> QWidget* {
        switch (id) {
        case kStartTime: {
            auto* box = new QWidget(page);
            auto* line = new QHBoxLayout(box);
            line->setContentsMargins(0, 0, 0, 0);
            startChoice_ = text(new QCheckBox(box), 145);
            startEdit_ = new QDateTimeEdit(box);
            startEdit_->setTimeSpec(Qt::UTC);
            startEdit_->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
            double start = now().dayNumber;
            if (!data_.wind.empty())
                start =
                    data_.wind.frameTimes()[static_cast<std::size_t>(data_.wind.currentFrame())];
            startEdit_->setDateTime(toQt(start));
            startEdit_->setEnabled(false);
            connect(startChoice_, &QCheckBox::toggled, startEdit_, &QWidget::setEnabled);
            line->addWidget(startChoice_);
            line->addWidget(startEdit_);
            line->addStretch();
            return box;
        }
        case kGribInfo: {
            auto* info = new QLabel(page);
            info->setWordWrap(true);
            gribInfo_ = info;
            // The forecast's information text (name, grid, extent), then the dates it covers.
            pages_->addText([this, info](const LanguageTable& t) {
                const WindStore& wind = data_.wind;
                if (wind.empty()) {
                    info->setText(qs(t.text(146)));
                    return;
                }
                info->setText(qs(wind.informationText() + "\n" + weekdayText(wind.startDate(), t) +
                                 "  ->  " + weekdayText(wind.endDate(), t)));
            });
            return info;
        }
        case kPolarFile: {
            auto* box = new QWidget(page);
            auto* line = new QHBoxLayout(box);
            line->setContentsMargins(0, 0, 0, 0);
            polarName_ = new QLabel(qs(data_.config.settings.polarName), box);
            auto* choose = text(new QPushButton(box), 170);
            display_ = text(new QPushButton(box), 171);
            line->addWidget(choose);
            line->addWidget(polarName_);
            line->addWidget(display_);
            line->addStretch();
            connect(choose, &QPushButton::clicked, this, [this, page] {
                const QString folder =
                    qs(folderPath(data_.folder, data_.config.settings.folders.polars));
                const QString chosen = choosePolarFile(page, folder, data_.texts);
                if (chosen.isEmpty()) return;
                outcome_.polarPath = chosen.toStdString();
                polarName_->setText(chosen.section('/', -1));
            });
            connect(display_, &QPushButton::clicked, this,
                    [this] { closeWith(RoutingParametersOutcome::Action::ShowPolar); });
            return box;
        }
        case kPolarCount:
        case kWindCount:
        case kStartCount: {
            auto* count = new QLabel(page);
            scanCounts_[id - kPolarCount] = count;
            return count;
        }
        default:
            return nullptr;
        }
    };
    pages.onEdited = [this] { refreshCounts(); };

    tabs_ = new QTabWidget(this);
    tabs_->setUsesScrollButtons(false); // every tab in sight
    for (const PageSpec& entry : routingPages()) {
        const int index = tabs_->addTab(pages.buildPage(entry), QString());
        pages.addText([this, index, id = entry.tabTextId](const LanguageTable& t) {
            tabs_->setTabText(index, qs(t.text(id)));
        });
    }
    tabs_->setCurrentIndex(std::clamp(lastRoutingTab(), 0, tabs_->count() - 1));
    refreshCounts();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    default_ = text(buttons->addButton(QString(), QDialogButtonBox::ResetRole), 141);
    start_ = text(buttons->addButton(QString(), QDialogButtonBox::ActionRole), 142);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(default_, &QPushButton::clicked, this, &RoutingParametersDialog::askDefaults);
    connect(start_, &QPushButton::clicked, this,
            [this] { closeWith(RoutingParametersOutcome::Action::Start); });
    pages.addText([this](const LanguageTable& t) { setWindowTitle(qs(t.text(130))); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(pages.reasonLabel());
    layout->addWidget(buttons);

    const WindowSettings& w = data_.config.settings.window;
    placeDialog(*this, w.parametersX, w.parametersY);
}

RoutingParametersDialog::~RoutingParametersDialog() = default;

void RoutingParametersDialog::refreshCounts() {
    const RoutingParameters& p = edited_.settings.routing;
    const int counts[3] = {scanRunCount(p.minPolar, p.maxPolar, p.stepPolar),
                           scanRunCount(p.minWind, p.maxWind, p.stepWind),
                           scanRunCount(p.minStart, p.maxStart, p.stepStart)};
    for (int i = 0; i < 3; ++i)
        if (scanCounts_[i]) scanCounts_[i]->setText(QString::number(counts[i]));
}

void RoutingParametersDialog::askDefaults() {
    const QMessageBox::StandardButton answer =
        QMessageBox::question(this, qs(data_.texts.text(233)), qs(data_.texts.text(232)),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes) return;
    // The edits of the pages give way to the defaults: nothing to check.
    outcome_.action = RoutingParametersOutcome::Action::Defaults;
    QDialog::accept();
}

void RoutingParametersDialog::closeWith(RoutingParametersOutcome::Action action) {
    QWidget* bad = nullptr;
    QString reason;
    if (!pages_->validate(bad, reason)) {
        for (int i = 0; i < tabs_->count(); ++i)
            if (tabs_->widget(i)->isAncestorOf(bad)) tabs_->setCurrentIndex(i);
        bad->setFocus();
        return;
    }
    outcome_.action = action;
    outcome_.parameters = edited_.settings.routing;
    outcome_.startChosen = startChoice_ && startChoice_->isChecked();
    if (outcome_.startChosen) outcome_.startTime = fromQt(startEdit_->dateTime());
    QDialog::accept();
}

void RoutingParametersDialog::accept() {
    closeWith(RoutingParametersOutcome::Action::Accepted);
}

void RoutingParametersDialog::done(int result) {
    lastRoutingTab() = tabs_->currentIndex();
    QDialog::done(result);
}

void RoutingParametersDialog::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    WindowSettings& w = data_.config.settings.window;
    keepDialogPlace(*this, w.parametersX, w.parametersY);
}

bool applyRoutingParameters(AppData& data, RoutingParametersOutcome& outcome, std::string& error) {
    RoutingParameters& live = data.config.settings.routing;
    const int oldLag = live.lag;
    const int oldProvider = live.streamProvider;
    const int renderMode = live.renderMode;
    const std::vector<RoutingBinding> from = routingParameterBindings(outcome.parameters);
    const std::vector<RoutingBinding> to = routingParameterBindings(live);
    for (std::size_t i = 0; i < from.size() && i < to.size(); ++i)
        std::visit(
            [&to, i](auto* source) {
                if (auto* const* dest = std::get_if<decltype(source)>(&to[i].binding.target))
                    **dest = *source;
            },
            from[i].binding.target);
    if (!outcome.defaults) live.renderMode = renderMode;
    if (live.lag != oldLag && !data.wind.empty()) data.wind.applyLag(live.lag);
    if (live.streamProvider != oldProvider && data.haveCurrents)
        data.currents.setStreamProvider(live.streamProvider);
    outcome.pending = false;
    if (outcome.polarPath.empty()) return true;
    Polar polar;
    if (!loadPolar(outcome.polarPath, polar, error)) return false;
    data.polar = std::move(polar);
    const std::string& path = outcome.polarPath;
    data.config.settings.polarName = path.substr(path.find_last_of('/') + 1);
    outcome.polarPath.clear();
    return true;
}

bool showRoutingParameters(AppData& data, QWidget* parent, RoutingParametersOutcome& outcome,
                           const std::function<bool()>& routingRunning) {
    RoutingParametersDialog dialog(data, parent);
    dialog.exec();
    outcome = dialog.outcome();
    if (outcome.action == RoutingParametersOutcome::Action::Cancelled) return false;
    if (outcome.action == RoutingParametersOutcome::Action::Defaults) {
        RoutingParameters defaults = data.config.settings.routing;
        std::string error;
        if (!loadRoutingDefaults(data.config.paths.routingDefaults, defaults, error)) {
            QMessageBox::warning(parent, qs(data.texts.text(425)), qs(error));
            outcome.action = RoutingParametersOutcome::Action::Cancelled;
            return false;
        }
        outcome.parameters = defaults;
        outcome.defaults = true;
        outcome.startChosen = false;
        outcome.polarPath.clear();
    }
    if (routingRunning && routingRunning()) {
        outcome.pending = true;
        return true;
    }
    std::string error;
    if (!applyRoutingParameters(data, outcome, error))
        QMessageBox::warning(parent, qs(data.texts.text(425)), qs(error));
    return true;
}

} // namespace navorel::app

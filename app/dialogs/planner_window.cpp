#include "app/dialogs/planner_window.h"

#include "app/chart_widget.h"
#include "app/dialogs/planner_texts.h"
#include "app/thread_handover.h"
#include "core/atomic_file.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScatterSeries>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimeZone>
#include <QVBoxLayout>

#include <cmath>
#include <exception>

namespace navorel::app {

namespace {

QDateTime toDateTime(double day) {
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(chartTime(day))),
                                          QTimeZone::utc());
}

double toDay(const QDateTime& t) {
    return static_cast<double>(t.toMSecsSinceEpoch()) / 86400000.0 - 3652.0;
}

QPointer<PlannerWindow>& plannerWindow() {
    static QPointer<PlannerWindow> window;
    return window;
}

} // namespace

PlannerWindow::PlannerWindow(AppData& data, ChartWidget& chart, QWidget* parent)
    : QDialog(parent), data_(data), chart_(chart) {
    const TextProvider& t = data_.texts;
    setWindowTitle(plannerText(t, kPlannerTitle));
    resize(980, 720);
    from_ = new QDateTimeEdit(this);
    to_ = new QDateTimeEdit(this);
    for (QDateTimeEdit* e : {from_, to_}) {
        e->setTimeSpec(Qt::UTC);
        e->setDisplayFormat("dd/MM/yyyy hh:mm");
    }
    step_ = new QSpinBox(this);
    step_->setRange(1, 168);
    axis_ = new QComboBox(this);
    axis_->addItem(plannerText(t, kPlannerDuration));
    axis_->addItem(plannerText(t, kPlannerArrival));
    colour_ = new QComboBox(this);
    colour_->addItem(plannerText(t, kPlannerMaxWind));
    colour_->addItem(plannerText(t, kPlannerUpwindShare));
    colour_->addItem(plannerText(t, kPlannerEngineHours));
    planButton_ = new QPushButton(plannerText(t, kPlannerPlan), this);
    cancel_ = new QPushButton(plannerText(t, kPlannerCancel), this);
    cancel_->setEnabled(false);
    progress_ = new QProgressBar(this);
    info_ = new QLabel(plannerText(t, kPlannerChoose), this);
    info_->setWordWrap(true);
    auto* chartObject = new QChart;
    chartObject->legend()->setAlignment(Qt::AlignBottom);
    view_ = new QChartView(chartObject, this);
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setMinimumHeight(380);
    table_ = new QTableWidget(0, 7, this);
    table_->setHorizontalHeaderLabels(
        {plannerText(t, kPlannerDeparture), plannerText(t, kPlannerArrival),
         plannerText(t, kPlannerDuration), plannerText(t, kPlannerMaxWind),
         plannerText(t, kPlannerUpwindShare), plannerText(t, kPlannerEngineHours),
         plannerText(t, kPlannerNightArrival)});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->setVisible(false);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* saveCsvButton = new QPushButton(plannerText(t, kPlannerSaveCsv), this);
    auto* savePngButton = new QPushButton(plannerText(t, kPlannerSavePng), this);

    auto* spanRow = new QHBoxLayout;
    spanRow->addWidget(new QLabel(plannerText(t, kPlannerFrom), this));
    spanRow->addWidget(from_);
    spanRow->addWidget(new QLabel(plannerText(t, kPlannerTo), this));
    spanRow->addWidget(to_);
    spanRow->addWidget(new QLabel(plannerText(t, kPlannerStep), this));
    spanRow->addWidget(step_);
    spanRow->addWidget(planButton_);
    spanRow->addWidget(cancel_);
    spanRow->addWidget(progress_, 1);
    auto* pictureRow = new QHBoxLayout;
    pictureRow->addWidget(new QLabel(plannerText(t, kPlannerShow), this));
    pictureRow->addWidget(axis_);
    pictureRow->addWidget(new QLabel(plannerText(t, kPlannerColourBy), this));
    pictureRow->addWidget(colour_);
    pictureRow->addStretch(1);
    pictureRow->addWidget(saveCsvButton);
    pictureRow->addWidget(savePngButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(spanRow);
    layout->addLayout(pictureRow);
    layout->addWidget(view_, 3);
    layout->addWidget(info_);
    layout->addWidget(table_, 2);

    // The default span: from the record shown, every 3 hours over 4 days, within the forecast.
    const double from =
        data_.wind.empty()
            ? now().dayNumber
            : data_.wind.frameTimes()[static_cast<std::size_t>(chart_.display().record)];
    setSpan(defaultDepartureSpan(data_.coverage, from));

    chooseSaveFile = [this](const QString& title, const QString& filter, const QString& suffix) {
        QFileDialog dialog(this, title, QString::fromStdString(data_.folder), filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(suffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().front();
    };
    connect(planButton_, &QPushButton::clicked, this, [this] { startPlanning(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { cancelPlanning(); });
    connect(axis_, &QComboBox::currentIndexChanged, this, [this](int i) {
        picture_.arrivalAxis = i == 1;
        redraw();
    });
    connect(colour_, &QComboBox::currentIndexChanged, this, [this](int i) {
        picture_.colourBy = static_cast<PlanMeasure>(i + 1);
        redraw();
        fillTable();
    });
    connect(table_, &QTableWidget::cellClicked, this, [this](int row, int) { choose(row); });
    const auto save = [this](bool png) {
        const QString path =
            png ? chooseSaveFile(plannerText(data_.texts, kPlannerSavePng), "PNG (*.png)", "png")
                : chooseSaveFile(plannerText(data_.texts, kPlannerSaveCsv), "CSV (*.csv)", "csv");
        if (path.isEmpty()) return;
        std::string error;
        if (!(png ? savePng(path, error) : saveCsv(path, error)))
            QMessageBox::warning(this, "Navorel", QString::fromStdString(error));
    };
    connect(saveCsvButton, &QPushButton::clicked, this, [save] { save(false); });
    connect(savePngButton, &QPushButton::clicked, this, [save] { save(true); });
}

PlannerWindow::~PlannerWindow() {
    control_.cancel = true;
    control_.status = kStatusCancelled;
    if (worker_.joinable()) worker_.join();
}

DepartureSpan PlannerWindow::span() const {
    DepartureSpan s;
    s.first = toDay(from_->dateTime());
    s.last = toDay(to_->dateTime());
    s.stepHours = step_->value();
    return s;
}

void PlannerWindow::setSpan(const DepartureSpan& span) {
    from_->setDateTime(toDateTime(span.first));
    to_->setDateTime(toDateTime(span.last));
    step_->setValue(span.stepHours);
}

void PlannerWindow::setPicture(const PlannerPicture& picture) {
    axis_->setCurrentIndex(picture.arrivalAxis ? 1 : 0);
    colour_->setCurrentIndex(std::max(0, static_cast<int>(picture.colourBy) - 1));
    picture_ = picture;
    redraw();
}

bool PlannerWindow::startPlanning() {
    if (planning()) return false;
    if (chart_.routingRunning()) {
        info_->setText(plannerText(data_.texts, kPlannerBusy));
        return false;
    }
    joinWorker();
    const std::vector<DateTime> starts = departureTimes(span());
    if (starts.empty() || data_.route.waypoints.size() < 2) return false;
    // The run reads its own copies: the route and the settings may be edited meanwhile.
    params_ = data_.config.settings.routing;
    route_ = data_.route;
    destination_ = route_.waypoints.back();
    RunSetup setup = makeRunSetup(data_, control_, {});
    // The store is brought to the routing's level here, while no run reads it.
    if (setup.reopenShoreline) setup.reopenShoreline(params_.coastsQuality);
    setup.reopenShoreline = {};
    setup.params = &params_;
    setup.route = &route_;
    setup.start = starts.front();
    setup.runFinished = [this](int, const RunSummary&) {
        handOver(this);
        QMetaObject::invokeMethod(
            this, [this] { runFinished(1); }, Qt::QueuedConnection);
    };
    expected_ = static_cast<int>(starts.size());
    progress_->setRange(0, expected_);
    progress_->setValue(0);
    planButton_->setEnabled(false);
    cancel_->setEnabled(true);
    control_.cancel = false;
    control_.status = 0;
    finished_ = false;
    worker_ = std::thread([this, setup, starts]() {
        auto plan = std::make_shared<DeparturePlan>();
        try {
            *plan = planDepartures(setup, starts);
        } catch (const std::exception&) {
            plan->refusal = RunRefusal::Ignored;
        }
        handOver(this);
        QMetaObject::invokeMethod(
            this, [this, plan]() { planFinished(plan); }, Qt::QueuedConnection);
    });
    return true;
}

void PlannerWindow::cancelPlanning() {
    control_.cancel = true;
    control_.status = kStatusCancelled;
}

void PlannerWindow::joinWorker() {
    if (worker_.joinable()) worker_.join();
}

void PlannerWindow::runFinished(int done) {
    takeOver(this);
    if (finished_) return;
    progress_->setValue(std::min(expected_, progress_->value() + done));
    info_->setText(QString("%1 / %2 %3")
                       .arg(progress_->value())
                       .arg(expected_)
                       .arg(plannerText(data_.texts, kPlannerRouted)));
}

void PlannerWindow::planFinished(std::shared_ptr<DeparturePlan> plan) {
    takeOver(this);
    joinWorker();
    finished_ = true;
    planButton_->setEnabled(true);
    cancel_->setEnabled(false);
    if (plan->refusal != RunRefusal::None) {
        RoutingResult refused;
        refused.refusal = plan->refusal;
        refused.onLandCount = plan->onLandCount;
        info_->setText(QString::fromStdString(refusalMessage(refused, data_.texts)));
    } else {
        info_->setText(plan->gustsIgnored ? plannerText(data_.texts, kPlannerNoGust)
                                          : plannerText(data_.texts, kPlannerChoose));
    }
    progress_->setValue(static_cast<int>(plan->departures.size()));
    plan_ = std::move(*plan);
    redraw();
    fillTable();
    if (onFinished) onFinished();
}

void PlannerWindow::redraw() {
    drawPlan(*view_->chart(), plan_, destination_, picture_, data_.texts);
    // A click on a point of the plan chooses its departure.
    for (QAbstractSeries* s : view_->chart()->series())
        if (auto* scatter = qobject_cast<QScatterSeries*>(s))
            connect(scatter, &QScatterSeries::clicked, this,
                    [this](const QPointF& p) { pointClicked(p); });
}

void PlannerWindow::fillTable() {
    table_->setRowCount(static_cast<int>(plan_.departures.size()));
    auto when = [](double day) { return toDateTime(day).toString("dd/MM hh:mm"); };
    const int fastest = plan_.best[static_cast<int>(PlanMeasure::Duration)];
    const int comfort = plan_.best[static_cast<int>(picture_.colourBy)];
    for (int r = 0; r < table_->rowCount(); ++r) {
        const Departure& d = plan_.departures[static_cast<std::size_t>(r)];
        const RunMeasures* m = d.shown();
        QStringList cells{when(d.departure.dayNumber)};
        if (m && d.arrives()) {
            const long long minutes = std::llround(m->durationHours * 60);
            cells << when(m->arrival)
                  << QString("%1h%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'))
                  << QString::number(m->maxWindKnots, 'f', 1) + " kt"
                  << QString::number(m->upwindPercent, 'f', 0) + " %"
                  << QString::number(m->engineHours, 'f', 1) + " h"
                  << (m->nightArrival ? plannerText(data_.texts, kPlannerNightArrival) : "");
        } else {
            cells << plannerText(data_.texts, kPlannerDoesNotArrive) << ""
                  << ""
                  << ""
                  << ""
                  << "";
        }
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (r == fastest || r == comfort) {
                QFont f = item->font();
                f.setBold(true);
                item->setFont(f);
            }
            if (!d.arrives()) item->setForeground(QColor(130, 130, 130));
            table_->setItem(r, c, item);
        }
    }
}

void PlannerWindow::pointClicked(const QPointF& value) {
    choose(departureNear(plan_, value, picture_));
}

bool PlannerWindow::choose(int index) {
    if (index < 0 || index >= static_cast<int>(plan_.departures.size()) || planning()) return false;
    info_->setText(departureText(plan_, index, data_.texts));
    const double day = plan_.departures[static_cast<std::size_t>(index)].departure.dayNumber;
    return chart_.startRoutingAt(day);
}

bool PlannerWindow::saveCsv(const QString& path, std::string& error) const {
    return replaceFileContents(QFile::encodeName(path).toStdString(), planCsv(plan_), error);
}

bool PlannerWindow::savePng(const QString& path, std::string& error) {
    const QPixmap picture = view_->grab();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "PNG")) {
        error = "the picture could not be made";
        return false;
    }
    return replaceFileContents(QFile::encodeName(path).toStdString(),
                               std::string_view(bytes.constData(), bytes.size()), error);
}

void PlannerWindow::closeEvent(QCloseEvent* event) {
    cancelPlanning();
    QDialog::closeEvent(event);
}

PlannerWindow* showPlanner(AppData& data, ChartWidget& chart, QWidget* parent) {
    QPointer<PlannerWindow>& window = plannerWindow();
    if (!window) {
        window = new PlannerWindow(data, chart, parent);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace navorel::app

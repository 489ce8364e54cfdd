#include "app/dialogs/forecast_runs_view.h"

#include "app/dialogs/forecast_texts.h"
#include "app/dialogs/planner_chart.h"
#include "app/forecast_sets.h"
#include "core/atomic_file.h"
#include "routing/departure_planner.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QScatterSeries>
#include <QTableWidget>
#include <QTimeZone>
#include <QVBoxLayout>
#include <QValueAxis>

#include <cmath>
#include <limits>

namespace navorel::app {

namespace {

// A cell that sorts by its number (a time, hours, miles), not by its text.
class NumberItem : public QTableWidgetItem {
  public:
    NumberItem(const QString& text, double key) : QTableWidgetItem(text) {
        setData(Qt::UserRole, key);
    }
    bool operator<(const QTableWidgetItem& other) const override {
        return data(Qt::UserRole).toDouble() < other.data(Qt::UserRole).toDouble();
    }
};

// To the nearest minute, as the information panel tells it.
QString when(double day) {
    const qint64 minute = 60000;
    return QDateTime::fromMSecsSinceEpoch(std::llround(chartTime(day) / minute) * minute,
                                          QTimeZone::utc())
        .toString("dd/MM hh:mm");
}

constexpr int kRunRole = Qt::UserRole + 1; // the run's place in the series, on the first cell

} // namespace

bool forecastSeriesResult(const RoutingResult& result) {
    if (result.summaries.empty()) return false;
    for (const RunSummary& s : result.summaries)
        if (s.source < 0) return false;
    return true;
}

ForecastRunsView::ForecastRunsView(AppData& data, QWidget* parent)
    : QWidget(parent), data_(data), summary_(new QLabel(this)), table_(new QTableWidget(this)),
      picture_(new QChartView(new QChart(), this)) {
    setObjectName(QStringLiteral("forecastRuns"));
    const TextProvider& t = data_.texts;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    summary_->setWordWrap(true);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(summary_);
    picture_->setRenderHint(QPainter::Antialiasing);
    picture_->setMinimumHeight(200);
    layout->addWidget(picture_, 2);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->setToolTip(forecastText(t, kForecastChooseRun));
    layout->addWidget(table_, 3);
    auto* buttons = new QHBoxLayout;
    auto* csv = new QPushButton(forecastText(t, kForecastSaveCsv), this);
    auto* png = new QPushButton(forecastText(t, kForecastSavePng), this);
    buttons->addWidget(csv);
    buttons->addWidget(png);
    buttons->addStretch();
    layout->addLayout(buttons);

    connect(table_, &QTableWidget::currentCellChanged, this, [this](int row) {
        const QTableWidgetItem* item = row >= 0 ? table_->item(row, 0) : nullptr;
        if (item && onRunChosen) onRunChosen(item->data(kRunRole).toInt());
    });
    chooseSaveFile = [this](const QString& title, const QString& filter, const QString& suffix) {
        QFileDialog dialog(this, title, QString::fromStdString(data_.folder), filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(suffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().front();
    };
    const auto save = [this](bool asPng) {
        const TextProvider& texts = data_.texts;
        const QString path =
            asPng ? chooseSaveFile(forecastText(texts, kForecastSavePng), "PNG (*.png)", "png")
                  : chooseSaveFile(forecastText(texts, kForecastSaveCsv), "CSV (*.csv)", "csv");
        if (path.isEmpty()) return;
        std::string error;
        if (!(asPng ? savePng(path, error) : saveCsv(path, error)))
            QMessageBox::warning(this, "Navorel", QString::fromStdString(error));
    };
    connect(csv, &QPushButton::clicked, this, [save] { save(false); });
    connect(png, &QPushButton::clicked, this, [save] { save(true); });
}

bool ForecastRunsView::showResult(const RoutingResult& result) {
    runs_.clear();
    distribution_ = {};
    if (!forecastSeriesResult(result) || data_.route.waypoints.empty()) {
        table_->clear();
        table_->setRowCount(0);
        table_->setColumnCount(0);
        picture_->chart()->removeAllSeries();
        return false;
    }
    runs_ = result.summaries;
    destination_ = data_.route.waypoints.back();
    distribution_ = arrivalDistribution(runs_, destination_, controlSource(data_));
    const TextProvider& t = data_.texts;
    QString line = QString("%1 %2 %3 %4")
                       .arg(distribution_.arrived)
                       .arg(forecastText(t, kForecastArrivedOf))
                       .arg(distribution_.runs)
                       .arg(forecastText(t, kForecastRuns));
    if (distribution_.arrived > 0)
        line += QString(" - %1 %2 - %3 %4 - %5 %6")
                    .arg(forecastText(t, kForecastSpread),
                         when(distribution_.p10) + " / " + when(distribution_.p90),
                         forecastText(t, kForecastMedian), when(distribution_.median),
                         forecastText(t, kForecastControl),
                         distribution_.controlArrived ? when(distribution_.controlArrival)
                                                      : QStringLiteral("-"));
    summary_->setText(line);
    fillTable();
    drawPicture();
    return true;
}

void ForecastRunsView::fillTable() {
    const TextProvider& t = data_.texts;
    table_->setSortingEnabled(false);
    table_->clear();
    table_->setColumnCount(6);
    table_->setRowCount(static_cast<int>(runs_.size()));
    table_->setHorizontalHeaderLabels(
        {forecastText(t, kForecastLabel), forecastText(t, kForecastArrival),
         forecastText(t, kForecastDuration), forecastText(t, kForecastDistance),
         forecastText(t, kForecastUpwind), forecastText(t, kForecastMaxWind)});
    const double never = std::numeric_limits<double>::max();
    for (std::size_t k = 0; k < runs_.size(); ++k) {
        const RunMeasures m = measureRun(runs_[k], destination_);
        const int row = static_cast<int>(k);
        QString label = QString::fromStdString(runs_[k].label);
        if (row == distribution_.nearestMedian)
            label += " (" + forecastText(t, kForecastMedian) + ")";
        if (row == distribution_.control) label += " (" + forecastText(t, kForecastControl) + ")";
        auto* first = new NumberItem(label, static_cast<double>(k));
        first->setData(kRunRole, row);
        if (row == distribution_.nearestMedian) {
            QFont bold = first->font();
            bold.setBold(true);
            first->setFont(bold);
        }
        table_->setItem(row, 0, first);
        table_->setItem(
            row, 1,
            new NumberItem(m.arrived ? when(m.arrival) : forecastText(t, kForecastNotArrived),
                           m.arrived ? m.arrival : never));
        table_->setItem(row, 2,
                        new NumberItem(QString::number(m.durationHours, 'f', 1),
                                       m.arrived ? m.durationHours : never));
        table_->setItem(row, 3,
                        new NumberItem(QString::number(m.distanceNm, 'f', 1), m.distanceNm));
        table_->setItem(row, 4,
                        new NumberItem(QString::number(m.upwindPercent, 'f', 0), m.upwindPercent));
        table_->setItem(row, 5,
                        new NumberItem(QString::number(m.maxWindKnots, 'f', 1), m.maxWindKnots));
    }
    table_->setSortingEnabled(true);
    table_->resizeColumnsToContents();
}

void ForecastRunsView::drawPicture() {
    QChart& chart = *picture_->chart();
    chart.removeAllSeries();
    for (QAbstractAxis* axis : chart.axes()) chart.removeAxis(axis);
    const TextProvider& t = data_.texts;
    chart.setTitle(forecastText(t, kForecastArrivals));
    chart.legend()->setVisible(true);
    chart.legend()->setAlignment(Qt::AlignBottom);
    const ArrivalDistribution& d = distribution_;
    auto* timeAxis = new QDateTimeAxis;
    timeAxis->setFormat("dd/MM hh:mm");
    auto* rows = new QValueAxis;
    rows->setRange(-1, 1);
    rows->setVisible(false);
    chart.addAxis(timeAxis, Qt::AlignBottom);
    chart.addAxis(rows, Qt::AlignLeft);
    const auto attach = [&](QXYSeries* series) {
        chart.addSeries(series);
        series->attachAxis(timeAxis);
        series->attachAxis(rows);
    };
    if (d.arrived == 0) return;
    const double span = std::max(d.max - d.min, 1.0 / 24);
    timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(
                           static_cast<qint64>(chartTime(d.min - span * 0.08)), QTimeZone::utc()),
                       QDateTime::fromMSecsSinceEpoch(
                           static_cast<qint64>(chartTime(d.max + span * 0.08)), QTimeZone::utc()));
    // The box from 10 % to 90 %, the median across it, the whiskers to the extremes.
    auto* box = new QLineSeries;
    box->setName(QString("10 % - 90 %"));
    box->setPen(QPen(QColor(40, 80, 160), 2));
    for (const auto& [x, y] : std::initializer_list<std::pair<double, double>>{
             {d.p10, -0.35}, {d.p90, -0.35}, {d.p90, 0.35}, {d.p10, 0.35}, {d.p10, -0.35}})
        box->append(chartTime(x), y);
    attach(box);
    auto* whiskers = new QLineSeries;
    whiskers->setName(forecastText(t, kForecastMinimum) + " - " +
                      forecastText(t, kForecastMaximum));
    whiskers->setPen(QPen(QColor(40, 80, 160), 1));
    for (const auto& [x, y] : std::initializer_list<std::pair<double, double>>{
             {d.min, -0.2}, {d.min, 0.2}, {d.min, 0}, {d.p10, 0}})
        whiskers->append(chartTime(x), y);
    attach(whiskers);
    auto* upper = new QLineSeries;
    upper->setPen(whiskers->pen());
    for (const auto& [x, y] : std::initializer_list<std::pair<double, double>>{
             {d.p90, 0}, {d.max, 0}, {d.max, -0.2}, {d.max, 0.2}})
        upper->append(chartTime(x), y);
    attach(upper);
    auto* median = new QLineSeries;
    median->setName(forecastText(t, kForecastMedian) + " " + when(d.median));
    median->setPen(QPen(QColor(200, 30, 30), 3));
    median->append(chartTime(d.median), -0.45);
    median->append(chartTime(d.median), 0.45);
    attach(median);
    // Every run that arrived as a dot, spread a little upwards so that equal times show.
    auto* dots = new QScatterSeries;
    dots->setName(forecastText(t, kForecastRuns));
    dots->setMarkerSize(7);
    dots->setColor(QColor(30, 30, 30, 150));
    dots->setBorderColor(Qt::transparent);
    for (std::size_t k = 0; k < runs_.size(); ++k) {
        const RunMeasures m = measureRun(runs_[k], destination_);
        if (m.arrived) dots->append(chartTime(m.arrival), 0.55 + 0.08 * static_cast<double>(k % 4));
    }
    attach(dots);
    if (d.controlArrived) {
        auto* control = new QScatterSeries;
        control->setName(forecastText(t, kForecastControl) + " " + when(d.controlArrival));
        control->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
        control->setMarkerSize(12);
        control->setColor(QColor(230, 150, 0));
        control->append(chartTime(d.controlArrival), 0);
        attach(control);
    }
    // The extremes' halves of the whisker need no second entry in the legend.
    const QList<QLegendMarker*> markers = chart.legend()->markers(upper);
    for (QLegendMarker* marker : markers) marker->setVisible(false);
}

bool ForecastRunsView::saveCsv(const QString& path, std::string& error) const {
    if (runs_.empty()) {
        error = "no runs over several forecasts";
        return false;
    }
    return replaceFileContents(QFile::encodeName(path).toStdString(),
                               forecastRunsCsv(runs_, destination_), error);
}

bool ForecastRunsView::savePng(const QString& path, std::string& error) const {
    const QPixmap image = picture_->grab();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (image.isNull() || !image.save(&buffer, "PNG")) {
        error = "the picture could not be made";
        return false;
    }
    return replaceFileContents(QFile::encodeName(path).toStdString(),
                               std::string_view(bytes.constData(), bytes.size()), error);
}

} // namespace navorel::app

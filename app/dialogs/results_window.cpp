#include "app/dialogs/results_window.h"

#include "app/dialogs/dialog_place.h"
#include "app/dialogs/forecast_runs_view.h"

#include "core/atomic_file.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTableWidget>
#include <QVBoxLayout>

namespace navorel::app {

namespace {

QSize& resultsSize() {
    static QSize size(400, 750);
    return size;
}

std::string csvCell(const std::string& cell) {
    if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
    std::string quoted = "\"";
    for (char c : cell) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace

std::string resultsText(const ResultsTable& table, const std::string& timeLabel, bool csv) {
    const char separator = csv ? ',' : '\t';
    std::string text;
    const auto line = [&](const std::vector<std::string>& cells) {
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (i) text += separator;
            text += csv ? csvCell(cells[i]) : cells[i];
        }
        text += csv ? "\r\n" : "\n";
    };
    line(table.titles);
    for (const auto& row : table.rows) line(row);
    line({timeLabel, table.computationTime});
    return text;
}

ResultsWindow::ResultsWindow(AppData& data, QWidget* parent)
    : QWidget(parent, Qt::Window), data_(data), reason_(new QLabel(this)),
      table_(new QTableWidget(this)), stepsLabel_(new QLabel(this)), steps_(new QTableWidget(this)),
      forecastRuns_(new ForecastRunsView(data, this)) {
    setObjectName(QStringLiteral("results"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);
    reason_->setWordWrap(true);
    reason_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    reason_->hide();
    layout->addWidget(reason_);
    layout->addWidget(forecastRuns_, 3);
    forecastRuns_->hide();
    forecastRuns_->onRunChosen = [this](int run) {
        if (onRunChosen) onRunChosen(run);
    };
    layout->addWidget(table_, 3);
    layout->addWidget(stepsLabel_);
    layout->addWidget(steps_, 2);
    stepsLabel_->hide();
    steps_->hide();
    steps_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    steps_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(table_, &QTableWidget::currentCellChanged, this,
            [this](int, int column) { chooseColumn(column); });
    connect(table_, &QTableWidget::cellClicked, this,
            [this](int, int column) { chooseColumn(column); });
    connect(table_->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { chooseColumn(column); });

    auto* copy = new QAction(QStringLiteral("Copy"), this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WindowShortcut);
    connect(copy, &QAction::triggered, this, [this] { copyToClipboard(); });
    auto* save = new QAction(QStringLiteral("Save as CSV..."), this);
    save->setShortcut(QKeySequence::Save);
    save->setShortcutContext(Qt::WindowShortcut);
    connect(save, &QAction::triggered, this, [this] {
        const QString path = QFileDialog::getSaveFileName(
            this, QString(), QString::fromStdString(data_.folder + "/Results.csv"),
            QStringLiteral("CSV (*.csv)"));
        if (path.isEmpty()) return;
        std::string error;
        if (!saveCsv(path, error))
            QMessageBox::warning(this, windowTitle(),
                                 QString::fromStdString(data_.texts.text(300) + "\n" + error));
    });
    addAction(copy);
    addAction(save);
    table_->addAction(copy);
    table_->addAction(save);

    const WindowSettings& w = data_.config.settings.window;
    resize(resultsSize());
    placeDialog(*this, w.resultsX, w.resultsY);
}

void ResultsWindow::chooseColumn(int column) {
    if (filling_ || column < 1 || column >= table_->columnCount()) return;
    if (static_cast<std::size_t>(column - 1) < runs_.size())
        showSteps(&runs_[static_cast<std::size_t>(column - 1)]);
    if (onRunChosen) onRunChosen(column - 1);
}

void ResultsWindow::showSteps(const RunSummary* run) {
    bool sea = run && !run->waveHeights.empty();
    if (run)
        for (const IsochronePoint& p : run->route) sea = sea || p.currentSpeed > 0;
    stepsLabel_->setVisible(sea);
    steps_->setVisible(sea);
    steps_->clear();
    if (!sea) return;
    const SeaStepsTable t = seaStepsTable(*run, data_.texts);
    stepsLabel_->setText(QString::fromStdString(data_.texts.text(kTextSeaSteps)));
    steps_->setColumnCount(static_cast<int>(t.titles.size()));
    steps_->setRowCount(static_cast<int>(t.rows.size()));
    QStringList titles;
    for (const std::string& title : t.titles) titles << QString::fromStdString(title);
    steps_->setHorizontalHeaderLabels(titles);
    for (std::size_t r = 0; r < t.rows.size(); ++r)
        for (std::size_t c = 0; c < t.rows[r].size(); ++c)
            steps_->setItem(static_cast<int>(r), static_cast<int>(c),
                            new QTableWidgetItem(QString::fromStdString(t.rows[r][c])));
    steps_->resizeColumnsToContents();
}

void ResultsWindow::showResult(const RoutingResult& result) {
    filling_ = true;
    results_ = resultsTable(result, data_.route, data_.texts);
    setWindowTitle(QString::fromStdString(data_.texts.text(81)));
    const RunOutcome outcome = runOutcome(result, data_.texts);
    reason_->setText(QString::fromStdString(outcome.text));
    reason_->setVisible(outcome.end != RunEnd::Arrived);
    const bool forecasts = forecastRuns_->showResult(result);
    forecastRuns_->setVisible(forecasts);
    // The runs over several forecasts need room beside their table.
    if (forecasts && width() < 720) resize(720, std::max(height(), 800));
    const ResultsTable& t = results_;
    table_->clear();
    table_->setColumnCount(static_cast<int>(t.titles.size()));
    table_->setRowCount(static_cast<int>(t.rows.size()) + 1);
    QStringList titles;
    for (const std::string& title : t.titles) titles << QString::fromStdString(title);
    table_->setHorizontalHeaderLabels(titles);
    const auto set = [this](int row, int col, const std::string& text) {
        table_->setItem(row, col, new QTableWidgetItem(QString::fromStdString(text)));
    };
    for (std::size_t r = 0; r < t.rows.size(); ++r)
        for (std::size_t c = 0; c < t.rows[r].size(); ++c)
            set(static_cast<int>(r), static_cast<int>(c), t.rows[r][c]);
    const int last = static_cast<int>(t.rows.size());
    set(last, 0, data_.texts.text(76));
    set(last, 1, t.computationTime);
    table_->resizeColumnsToContents();
    // Each run's column is at least as wide as its title and 20 pixels.
    const QFontMetrics metrics(table_->horizontalHeader()->font());
    for (int c = 1; c < table_->columnCount(); ++c)
        table_->setColumnWidth(
            c, std::max(table_->columnWidth(c), metrics.horizontalAdvance(titles[c]) + 20));
    runs_ = result.summaries;
    showSteps(runs_.empty() ? nullptr : &runs_.back());
    filling_ = false;
}

void ResultsWindow::copyToClipboard() const {
    QApplication::clipboard()->setText(
        QString::fromStdString(resultsText(results_, data_.texts.text(76), false)));
}

bool ResultsWindow::saveCsv(const QString& path, std::string& error) const {
    return replaceFileContents(path.toStdString(),
                               resultsText(results_, data_.texts.text(76), true), error);
}

void ResultsWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    WindowSettings& w = data_.config.settings.window;
    keepDialogPlace(*this, w.resultsX, w.resultsY);
}

void ResultsWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (isVisible()) resultsSize() = size();
}

ResultsWindow* showResults(AppData& data, const RoutingResult& result, QWidget* parent,
                           std::function<void(int run)> onRunChosen) {
    static QPointer<ResultsWindow> window;
    if (!window || window->parentWidget() != parent) {
        delete window;
        window = new ResultsWindow(data, parent);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->onRunChosen = std::move(onRunChosen);
    window->showResult(result);
    window->show();
    window->raise();
    return window;
}

} // namespace navorel::app

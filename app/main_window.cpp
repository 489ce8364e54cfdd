#include "app/main_window.h"

#include "app/commands.h"
#include "app/gps_link.h"
#include "app/status_texts.h"
#include "app/window_title.h"
#include "core/datetime.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>

namespace navorel::app {

MainWindow::MainWindow(AppData& data) : data_(data) {
    setWindowTitle("Navorel");
    chart_ = new ChartWidget(data, this);
    setCentralWidget(chart_);
    // Seven parts of fixed widths (right edges 180, 320, ... 745), the last one stretching.
    static const char* const initial[kStatusParts] = {"Lat Lon", "Current", "Wind", "Layer",
                                                      "Gshhs",   "GPS",     "Boat"};
    int left = 0;
    for (int i = 0; i < kStatusParts; ++i) {
        auto* label = new QLabel(initial[i], this);
        if (i < kStatusParts - 1) {
            // At least the part's width; a longer text widens it rather than being cut.
            label->setMinimumWidth(kStatusEdges[i] - left);
            left = kStatusEdges[i];
        }
        statusBar()->addWidget(label, i == kStatusParts - 1 ? 1 : 0);
        parts_[static_cast<std::size_t>(i)] = label;
    }
    modeHint_ = new QLabel(this);
    modeHint_->setObjectName(QStringLiteral("modeHint"));
    statusBar()->addPermanentWidget(modeHint_);
    routingStatus_ = new QLabel(this);
    statusBar()->addPermanentWidget(routingStatus_);
    chart_->onRoutingStatus = [this](const QString& text) { routingStatus_->setText(text); };
    chart_->onStatusChanged = [this] { refreshStatus(); };
    // The polar diagram takes the whole window.
    chart_->onPolarView = [this](bool polar) { statusBar()->setVisible(!polar); };
    chart_->commands().onTitleChange = [this] { refreshTitle(); };
}

void MainWindow::refreshTitle() {
    setWindowTitle(
        QString::fromStdString(app::windowTitle(data_.config.settings, data_.wind, data_.texts)));
}

QString MainWindow::statusPart(int part) const {
    return parts_[static_cast<std::size_t>(part)]->text();
}

void MainWindow::refreshStatus() {
    if (chart_->polarView()) {
        for (QLabel* label : parts_) label->clear();
        modeHint_->clear();
        return;
    }
    // What the editing mode expects of the user.
    const int hint = chart_->interaction().modeHint();
    const QString hintText = hint < 0 ? QString() : QString::fromStdString(data_.texts.text(hint));
    if (modeHint_->text() != hintText) modeHint_->setText(hintText);
    StatusPlace place;
    place.known = chart_->mousePosition(place.lon, place.lat);
    place.shoreLevel = chart_->view().level;
    place.gpsOpen = data_.gpsOpen;
    place.now = now().dayNumber;
    if (data_.gpsLink) {
        place.gpsProblem = data_.gpsLink->lastError().toStdString();
        place.gpsRetryMs = data_.gpsLink->retryDelayMs();
    }
    const auto texts = statusTexts(data_, chart_->display(), place);
    for (int i = 0; i < kStatusParts; ++i) {
        const QString text = QString::fromStdString(texts[static_cast<std::size_t>(i)]);
        QLabel* label = parts_[static_cast<std::size_t>(i)];
        if (label->text() != text) label->setText(text);
    }
}

void MainWindow::placeAndShow() {
    WindowSettings configured = data_.config.settings.window;
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    // A first run has no size of its own yet.
    if (configured.width < 200 || configured.height < 150) {
        configured.width = std::min(1600, area.width());
        configured.height = std::min(1000, area.height());
        configured.x = (area.width() - configured.width) / 2;
        configured.y = (area.height() - configured.height) / 2;
    }
    const WindowPlace p = fitToScreen(configured, area.width(), area.height());
    resize(p.width, p.height);
    move(area.x() + p.x, area.y() + p.y);
    show();
}

void MainWindow::dataLoaded() {
    chart_->dataLoaded();
    refreshTitle();
    chart_->setFocus();
}

void MainWindow::keepGeometry() {
    // A maximised or full-screen window keeps the normal place it was given.
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)) return;
    // placeAndShow sizes the client area and moves the frame, within the available area: the
    // same is saved, or the frame's decorations would grow the window on every run.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QPoint origin = screen ? screen->availableGeometry().topLeft() : QPoint();
    WindowSettings& w = data_.config.settings.window;
    w.x = pos().x() - origin.x();
    w.y = pos().y() - origin.y();
    w.width = width();
    w.height = height();
}

bool MainWindow::saveForExit(bool ask) {
    if (exitSaveDone_) return true;
    chart_->stopRouting();
    keepGeometry();
    for (;;) {
        unsaved_.clear();
        saveAtExit(data_, &chart_->view(), unsaved_);
        if (unsaved_.empty() || !ask) break;
        QString text = QString::fromStdString(data_.texts.text(515)) + "\n";
        for (const std::string& e : unsaved_) text += "\n" + QString::fromStdString(e);
        QMessageBox box(QMessageBox::Warning, "Navorel", text, QMessageBox::NoButton, this);
        QPushButton* retry = box.addButton(QMessageBox::Retry);
        QPushButton* close = box.addButton(QString::fromStdString(data_.texts.text(516)),
                                           QMessageBox::DestructiveRole);
        box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(retry);
        box.exec();
        if (box.clickedButton() == retry) continue;
        if (box.clickedButton() != close) return false; // the window stays open
        break;
    }
    // The log cannot be written again; it is told, and counts as something not saved.
    const std::string& logError = data_.log.writeError();
    if (!logError.empty()) {
        unsaved_.push_back(logError);
        if (ask) QMessageBox::warning(this, "Navorel", QString::fromStdString(logError));
    }
    exitSaveDone_ = true;
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (saveForExit(askOnClose_))
        event->accept();
    else
        event->ignore();
}

bool askToReopenGrib(const TextProvider& texts, const std::string& path, QWidget* parent) {
    // No is the default: Enter does not open again a file that stopped the program.
    return QMessageBox::question(
               parent, "Navorel", QString::fromStdString(reopenGribQuestion(texts, path)),
               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

} // namespace navorel::app

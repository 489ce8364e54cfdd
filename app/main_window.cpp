#include "app/main_window.h"

#include "app/commands.h"
#include "app/window_title.h"
#include "core/position_text.h"

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
    position_ = new QLabel(this);
    statusBar()->addWidget(position_, 1);
    routingStatus_ = new QLabel(this);
    statusBar()->addPermanentWidget(routingStatus_);
    chart_->onRoutingStatus = [this](const QString& text) { routingStatus_->setText(text); };
    chart_->onMousePosition = [this](double lon, double lat) {
        position_->setText(QString::fromStdString(formatPosition(lat, lon)));
    };
    // The polar diagram takes the whole window.
    chart_->onPolarView = [this](bool polar) { statusBar()->setVisible(!polar); };
    chart_->commands().onTitleChange = [this] { refreshTitle(); };
}

void MainWindow::refreshTitle() {
    setWindowTitle(
        QString::fromStdString(app::windowTitle(data_.config.settings, data_.wind, data_.texts)));
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
        QString text = "These could not be saved:\n";
        for (const std::string& e : unsaved_) text += "\n" + QString::fromStdString(e);
        QMessageBox box(QMessageBox::Warning, "Navorel", text, QMessageBox::NoButton, this);
        QPushButton* retry = box.addButton(QMessageBox::Retry);
        QPushButton* close = box.addButton("Close anyway", QMessageBox::DestructiveRole);
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

} // namespace navorel::app

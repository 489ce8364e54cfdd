#include "app/main_window.h"

#include "core/position_text.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStatusBar>

namespace navorel::app {

MainWindow::MainWindow(AppData& data) : data_(data) {
    setWindowTitle("Navorel");
    chart_ = new ChartWidget(data, this);
    setCentralWidget(chart_);
    position_ = new QLabel(this);
    statusBar()->addWidget(position_, 1);
    chart_->onMousePosition = [this](double lon, double lat) {
        position_->setText(QString::fromStdString(formatPosition(lat, lon)));
    };
    // The polar diagram takes the whole window.
    chart_->onPolarView = [this](bool polar) { statusBar()->setVisible(!polar); };
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
    chart_->setFocus();
}

void MainWindow::keepGeometry() {
    WindowSettings& w = data_.config.settings.window;
    const QRect frame = frameGeometry();
    w.x = frame.x();
    w.y = frame.y();
    w.width = frame.width();
    w.height = frame.height();
}

} // namespace navorel::app

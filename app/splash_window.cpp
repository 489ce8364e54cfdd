#include "app/splash_window.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QSvgRenderer>

namespace navorel::app {

namespace {
constexpr int kWidth = 485, kHeight = 300;
}

SplashWindow::SplashWindow(const QString (&stageTexts)[4])
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint) {
    for (int i = 0; i < 4; ++i) texts_[i] = stageTexts[i];
    setFixedSize(kWidth + 2, kHeight + 2);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void SplashWindow::setStage(int stage) {
    stage_ = std::clamp(stage, 0, 3);
    repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void SplashWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(90, 90, 90));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    QSvgRenderer image(QStringLiteral(":/images/SplashImage"));
    if (image.isValid()) image.render(&painter, QRectF(1, 1, kWidth, kHeight));
    painter.setPen(QColor(40, 60, 80));
    QFont font = painter.font();
    font.setPixelSize(13);
    painter.setFont(font);
    // The text's top-left corner stands at (20, 270) of the image.
    painter.drawText(QRect(21, 271, kWidth - 40, 24), Qt::AlignLeft | Qt::AlignTop, texts_[stage_]);
}

} // namespace navorel::app

#include "app/chart_widget.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QWheelEvent>

#include <exception>

namespace navorel::app {

ChartWidget::ChartWidget(AppData& data, QWidget* parent)
    : QWidget(parent), data_(data), wind_(displayWind(data)) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

ChartWidget::~ChartWidget() {
    // The worker uses the loaded data: it must end before they go.
    cancelRequested_ = true;
    control_.cancel = true;
    control_.status = 2;
    if (worker_.joinable()) worker_.join();
}

void ChartWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintChart(painter, view_, makeScene(data_, wind_, result_.get(), &liveFronts_));
}

void ChartWidget::resizeEvent(QResizeEvent*) {
    if (!framed_) {
        setUpView(view_, data_, width(), height());
        framed_ = true;
    } else {
        view_.resize(width(), height());
    }
}

void ChartWidget::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) return;
    const QPointF at = event->position();
    view_.zoomAt(delta, at.x(), at.y());
    update();
}

void ChartWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    dragging_ = true;
    dragFrom_ = event->position();
}

void ChartWidget::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return;
    const QPointF at = event->position();
    view_.pan(at.x() - dragFrom_.x(), at.y() - dragFrom_.y());
    view_.update();
    dragFrom_ = at;
    update();
}

void ChartWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragging_ = false;
}

void ChartWidget::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        startRouting();
    } else if (event->key() == Qt::Key_Escape) {
        cancelRouting();
    } else {
        QWidget::keyPressEvent(event);
    }
}

bool ChartWidget::startRouting() {
    if (running_) return false;
    if (worker_.joinable()) worker_.join();
    running_ = true;
    control_.cancel = false;
    control_.status = 0;
    liveFronts_.clear();
    liveFrontCount_ = 0;
    result_.reset();
    cancelRequested_ = false;
    // The run clears the cancel flag when it starts, so an Escape pressed before that is
    // asserted again after each front; the run sees it at its next isochrone.
    const bool renderAfter = data_.config.settings.routing.renderAfter;
    FrontCallback afterFront = [this, renderAfter](const FrontEvent& e) {
        if (cancelRequested_.load()) {
            control_.cancel = true;
            control_.status = 2;
        }
        if (!renderAfter) return;
        // A copy of the front goes to the window; the routing does not wait for the paint.
        std::vector<GeoPoint> front;
        front.reserve(e.front->size());
        for (const IsochronePoint& p : *e.front)
            if (p.valid) front.push_back({p.lon, p.lat});
        QMetaObject::invokeMethod(
            this, [this, f = std::move(front)]() mutable { addLiveFront(std::move(f)); },
            Qt::QueuedConnection);
    };
    RunSetup setup = makeRunSetup(data_, control_, std::move(afterFront));
    worker_ = std::thread([this, setup]() mutable {
        auto result = std::make_shared<RoutingResult>();
        try {
            *result = runRouting(setup);
        } catch (const std::exception&) {
            // Out of memory in a very large run: the window keeps going without a result.
            result->refusal = RunRefusal::Ignored;
        }
        QMetaObject::invokeMethod(
            this, [this, result]() { finishRouting(result); }, Qt::QueuedConnection);
    });
    update();
    return true;
}

void ChartWidget::cancelRouting() {
    if (!running_) return;
    cancelRequested_ = true;
    control_.cancel = true;
    control_.status = 2;
}

void ChartWidget::addLiveFront(std::vector<GeoPoint> front) {
    if (!running_) return; // a late front of a run already published
    liveFronts_.push_back(std::move(front));
    ++liveFrontCount_;
    update();
}

void ChartWidget::finishRouting(std::shared_ptr<RoutingResult> result) {
    if (worker_.joinable()) worker_.join();
    running_ = false;
    liveFronts_.clear();
    if (result->refusal != RunRefusal::None) {
        if (result->refusal != RunRefusal::Ignored)
            QMessageBox::warning(this, "Navorel",
                                 QString::fromStdString(refusalMessage(*result, data_.texts)));
        result.reset();
    }
    result_ = std::move(result);
    update();
}

} // namespace navorel::app

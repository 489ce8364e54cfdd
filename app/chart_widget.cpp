#include "app/chart_widget.h"

#include "app/thread_handover.h"
#include "render/polar_diagram.h"

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
    setMouseTracking(true); // the status bar, the boat's tooltip and the polar read-out
}

ChartWidget::~ChartWidget() {
    stopRouting();
}

void ChartWidget::stopRouting() {
    // The worker uses the loaded data: it must end before they go or are saved.
    cancelRequested_ = true;
    control_.cancel = true;
    control_.status = 2;
    if (worker_.joinable()) worker_.join();
}

void ChartWidget::leaveEvent(QEvent*) {
    mouse_ = QPointF(-1000, -1000);
    if (overBoat_ || polarView_) update();
    overBoat_ = false;
}

ChartScene ChartWidget::scene() {
    return makeScene(data_, wind_, result_.get(), &liveFronts_);
}

void ChartWidget::dataLoaded() {
    wind_ = displayWind(data_);
    if (data_.firstRun && width() > 0) setUpView(view_, data_, width(), height(), true);
    redrawChart();
}

void ChartWidget::redrawChart() {
    chartDirty_ = true;
    update();
}

void ChartWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (polarView_) {
        painter.fillRect(rect(), Qt::white);
        const QPointF mouse = mouse_;
        paintPolarDiagram(painter, width(), height(), data_.polar, &mouse);
        return;
    }
    const qreal ratio = devicePixelRatioF();
    const QSize pixels(static_cast<int>(width() * ratio), static_cast<int>(height() * ratio));
    if (chartDirty_ || cache_.size() != pixels) {
        if (cache_.size() != pixels) {
            cache_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
            cache_.setDevicePixelRatio(ratio);
        }
        QPainter chart(&cache_);
        paintChart(chart, view_, scene());
        chartDirty_ = false;
        ++chartPaints_;
    } else {
        ++overlayPaints_;
    }
    painter.drawImage(0, 0, cache_);
    paintOverlays(painter, view_, scene(), mouse_.x(), mouse_.y());
}

void ChartWidget::resizeEvent(QResizeEvent*) {
    if (!framed_) {
        setUpView(view_, data_, width(), height(), data_.firstRun);
        framed_ = true;
    } else {
        view_.resize(width(), height());
    }
    chartDirty_ = true;
}

void ChartWidget::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) return;
    const QPointF at = event->position();
    view_.zoomAt(delta, at.x(), at.y());
    redrawChart();
}

void ChartWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    dragging_ = true;
    dragFrom_ = event->position();
}

void ChartWidget::mouseMoveEvent(QMouseEvent* event) {
    const QPointF at = event->position();
    mouse_ = at;
    if (polarView_) {
        update(); // the read-out follows the mouse
        return;
    }
    if (onMousePosition) {
        double lon, lat;
        view_.unproject(at.x(), at.y(), lon, lat);
        onMousePosition(lon, lat);
    }
    if (dragging_) {
        view_.pan(at.x() - dragFrom_.x(), at.y() - dragFrom_.y());
        view_.update();
        dragFrom_ = at;
        redrawChart();
        return;
    }
    // Hovering redraws only the overlays, and only when what they show changes.
    const bool over = overBoat(view_, scene(), at.x(), at.y());
    if (over != overBoat_) {
        overBoat_ = over;
        update();
    }
}

void ChartWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragging_ = false;
}

void ChartWidget::keyPressEvent(QKeyEvent* event) {
    GeoBox box;
    const int points = static_cast<int>(data_.route.waypoints.size());
    bool changed = false;
    switch (event->key()) {
    case Qt::Key_Space:
        if (!event->isAutoRepeat()) startRouting();
        return;
    case Qt::Key_Escape:
        // Out of the polar view first; else a running routing stops.
        if (polarView_) {
            polarView_ = false;
            if (onPolarView) onPolarView(false);
            changed = true;
        } else {
            cancelRouting();
        }
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End: {
        // The forecast record shown (the routing samples by time, not by this choice).
        const int count = static_cast<int>(data_.wind.frames().size());
        if (count == 0) return;
        const int now = data_.wind.currentFrame();
        const int next = event->key() == Qt::Key_Left    ? now - 1
                         : event->key() == Qt::Key_Right ? now + 1
                         : event->key() == Qt::Key_Home  ? 0
                                                         : count - 1;
        if (next < 0 || next >= count || next == now) return;
        data_.wind.setCurrentFrame(next);
        changed = true;
        break;
    }
    case Qt::Key_F2:
        changed = view_.centreOn(data_.boat.lon, data_.boat.lat,
                                 data_.config.settings.com.showBoat && data_.boat.valid);
        break;
    case Qt::Key_F3:
        changed = routeBox(data_.route, box) && view_.frameRoute(box, points);
        break;
    case Qt::Key_F4:
        changed = routeBox(data_.route, box) && view_.frameRouting(box, points);
        break;
    case Qt::Key_F11:
        if (QWidget* top = window()) {
            top->setWindowState(top->windowState() ^ Qt::WindowFullScreen);
            changed = true;
        }
        break;
    case Qt::Key_P:
        polarView_ = !polarView_;
        if (onPolarView) onPolarView(polarView_);
        changed = true;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    if (changed) redrawChart();
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
        handOver(this);
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
        handOver(this);
        QMetaObject::invokeMethod(
            this, [this, result]() { finishRouting(result); }, Qt::QueuedConnection);
    });
    redrawChart();
    return true;
}

void ChartWidget::cancelRouting() {
    if (!running_) return;
    cancelRequested_ = true;
    control_.cancel = true;
    control_.status = 2;
}

void ChartWidget::addLiveFront(std::vector<GeoPoint> front) {
    takeOver(this);
    if (!running_) return; // a late front of a run already published
    liveFronts_.push_back(std::move(front));
    ++liveFrontCount_;
    redrawChart();
}

void ChartWidget::finishRouting(std::shared_ptr<RoutingResult> result) {
    takeOver(this);
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
    redrawChart();
}

} // namespace navorel::app

#include "app/chart_widget.h"

#include "app/commands.h"
#include "app/interface_sounds.h"
#include "core/datetime.h"
#include "render/help_overlay.h"
#include "render/polar_diagram.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QWheelEvent>

#include <cstdio>
#include <exception>

namespace navorel::app {

ChartWidget::ChartWidget(AppData& data, QWidget* parent)
    : QWidget(parent), data_(data), wind_(displayWind(data)) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);        // the status bar, the boat's tooltip and the polar read-out
    state_.time = now().dayNumber; // until a forecast is shown
    commands_ = new Commands(data_, *this);
    sounds_ = new InterfaceSounds(this);
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
    const bool toolbarChanged = toolbar_.pointerLeft(data_.config.settings.toolbar.alwaysVisible);
    if (overBoat_ || polarView_ || toolbarChanged) update();
    overBoat_ = false;
}

ChartScene ChartWidget::scene() {
    ChartScene s = makeScene(data_, wind_, result_.get(), &liveFronts_);
    s.windFrame = state_.record;
    s.displayTime = state_.time;
    s.windAtTime = state_.interpolated;
    s.windField = data_.windField.get();
    return s;
}

void ChartWidget::setHelpShown(bool shown) {
    helpShown_ = shown;
    update();
}

void ChartWidget::setPolarView(bool on) {
    polarView_ = on;
    if (onPolarView) onPolarView(on);
    redrawChart();
}

const std::vector<IsochronePoint>* ChartWidget::resultRoute() const {
    return result_ && !result_->output.route.empty() ? &result_->output.route : nullptr;
}

void ChartWidget::clearResult() {
    stopRouting();
    if (worker_.joinable()) worker_.join();
    running_ = false;
    liveFronts_.clear();
    result_.reset();
    selectStep(state_, data_.wind, {}, 0);
    commands_->refresh();
    redrawChart();
}

void ChartWidget::forecastChanged() {
    wind_ = displayWind(data_);
    state_ = DisplayState{};
    selectRecord(state_, data_.wind, 0);
    if (!data_.wind.empty()) {
        const FrameGeometry& g = data_.wind.geometry(0);
        view_.frameGrib({g.minLon, g.maxLon, g.minLat, g.maxLat}, g.wrap);
    }
    redrawChart();
}

bool ChartWidget::toolbarShown() const {
    return !polarView_ && toolbar_.shown(data_.config.settings.toolbar.alwaysVisible);
}

ToolbarLook ChartWidget::toolbarLook() const {
    const ToolbarSettings& t = data_.config.settings.toolbar;
    ToolbarLook look;
    for (int i = 0; i < Toolbar::kCount; ++i) {
        const QAction* a = commands_->action(i);
        const auto k = static_cast<std::size_t>(i);
        look.pressed[k] = a && a->isChecked();
        look.enabled[k] = !a || a->isEnabled();
        look.tooltips[k] = a ? a->text().toStdString() : data_.texts.text(i);
    }
    const DateTime d = fromDayNumber(state_.time);
    char date[64];
    std::snprintf(date, sizeof date, "%s %02d/%02d %02d:%02d",
                  data_.texts.text(311 + weekday(d)).c_str(), d.day, d.month, d.hour, d.minute);
    look.date = date;
    look.background = t.background;
    look.opacity = t.opacity;
    look.tooltipColor = t.colorTooltip;
    look.showTooltips = t.showTooltips;
    return look;
}

void ChartWidget::dataLoaded() {
    wind_ = displayWind(data_);
    // The record the start-up left, else the present time for the streams and the clock.
    if (data_.wind.empty())
        setDisplayTime(state_, data_.wind, now().dayNumber);
    else
        selectRecord(state_, data_.wind, data_.wind.currentFrame());
    commands_->refresh();
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
    if (helpShown_)
        paintHelpOverlay(painter, width(), height(), commands_->helpTitle(),
                         commands_->helpLines());
    if (toolbarShown()) {
        commands_->refresh(); // pressed states follow the settings, whoever changed them
        paintToolbar(painter, toolbar_, toolbarLook());
    }
}

void ChartWidget::resizeEvent(QResizeEvent*) {
    toolbar_.layout(width());
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
    const QPointF at = event->position();
    if (helpShown_) {
        setHelpShown(false);
        return;
    }
    if (toolbarShown()) {
        const int hit = toolbar_.hitTest(at.x(), at.y());
        // Tabs open their group by pointing; the clock is the one tab that acts on a click.
        if (hit >= 0 && (!Toolbar::isTab(hit) || hit == Toolbar::kClockTab)) {
            sounds_->click(data_.config.settings.toolbar.sounds);
            toolbar_.closeGroups();
            update();
            if (QAction* a = commands_->action(hit)) a->trigger();
            return;
        }
        if (hit >= 0) return;
    }
    dragging_ = true;
    dragFrom_ = at;
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
    const ToolbarSettings& t = data_.config.settings.toolbar;
    const int hovered = toolbar_.hovered();
    bool changed = toolbar_.pointerMoved(at.x(), at.y(), t.alwaysVisible, dragging_);
    if (toolbar_.hovered() != hovered && toolbar_.hovered() >= 0) sounds_->hover(t.sounds);
    // Hovering redraws only the overlays, and only when what they show changes.
    const bool over = overBoat(view_, scene(), at.x(), at.y());
    if (over != overBoat_) {
        overBoat_ = over;
        changed = true;
    }
    if (changed) update();
}

void ChartWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragging_ = false;
}

void ChartWidget::keyPressEvent(QKeyEvent* event) {
    QAction* a = commands_->actionForKey(*event);
    if (!a) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (event->key() == Qt::Key_Space) {
        if (event->isAutoRepeat()) return;
        if (toolbar_.closeGroups()) update();
    }
    a->trigger();
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
    routingStatus_.clear();
    if (onRoutingStatus) onRoutingStatus(routingStatus_);
    cancelRequested_ = false;
    commands_->refresh();
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
    if (!running_) return; // a late front of a run already published
    liveFronts_.push_back(std::move(front));
    ++liveFrontCount_;
    redrawChart();
}

void ChartWidget::finishRouting(std::shared_ptr<RoutingResult> result) {
    if (!running_) return; // a run dropped by clearResult
    if (worker_.joinable()) worker_.join();
    running_ = false;
    liveFronts_.clear();
    if (result->refusal != RunRefusal::None) {
        if (result->refusal != RunRefusal::Ignored)
            QMessageBox::warning(this, "Navorel",
                                 QString::fromStdString(refusalMessage(*result, data_.texts)));
        result.reset();
    }
    routingStatus_ =
        result ? QString::fromStdString(routingStatusText(*result, data_.texts)) : QString();
    if (onRoutingStatus) onRoutingStatus(routingStatus_);
    result_ = std::move(result);
    selectStep(state_, data_.wind, result_ ? result_->output.route : std::vector<IsochronePoint>{},
               0);
    commands_->refresh();
    redrawChart();
}

} // namespace navorel::app

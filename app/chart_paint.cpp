// The chart window's paint: the chart drawn into the cached image when it changed (its layers
// reused from the layer cache where they did not), the live fronts of a run over it, then the
// overlays.
#include "app/chart_widget.h"

#include "app/chart_editing.h"
#include "app/commands.h"
#include "render/help_overlay.h"
#include "render/polar_diagram.h"

#include <QPainter>
#include <QTimer>

namespace navorel::app {

void ChartWidget::redrawChart() {
    chartDirty_ = true;
    update();
}

void ChartWidget::prepareNextRecord() {
    // Not while the chart waits for a paint or is dragged: the view will change.
    if (polarView_ || chartDirty_ || interaction_.dragging() || data_.wind.empty()) return;
    const int next = display_.record + 1;
    if (display_.record < 0 || next >= static_cast<int>(data_.wind.frames().size())) return;
    // The scene the step to the next record shows (display_state's selectRecord).
    ChartScene ahead = scene();
    ahead.windFrame = next;
    ahead.windAtTime = false;
    ahead.displayTime = data_.wind.frameTimes()[static_cast<std::size_t>(next)];
    layers_.prepare(view_, ahead, devicePixelRatioF());
}

void ChartWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (polarView_) {
        painter.fillRect(rect(), Qt::white);
        const QPointF mouse = mouse_;
        paintPolarDiagram(painter, width(), height(), data_.polar, &mouse);
        painter.end();
        statusChanged(); // emptied
        return;
    }
    const qreal ratio = devicePixelRatioF();
    const QSize pixels(static_cast<int>(width() * ratio), static_cast<int>(height() * ratio));
    // A wheel step's first frame is the chart kept, scaled; the exact one is drawn right after.
    const bool preview = chartDirty_ && zoomPreview_ && cache_.size() == pixels;
    zoomPreview_ = false;
    if (preview) {
        const int sea = data_.config.settings.map.colorSea; // red in the low byte
        paintZoomPreview(painter, cache_, cacheView_, view_,
                         QColor(sea & 0xff, (sea >> 8) & 0xff, (sea >> 16) & 0xff));
        QTimer::singleShot(0, this, [this] { update(); });
        ++previewPaints_;
    } else if (chartDirty_ || cache_.size() != pixels) {
        if (cache_.size() != pixels) {
            cache_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
            cache_.setDevicePixelRatio(ratio);
        }
        QPainter chart(&cache_);
        paintChart(chart, view_, scene(), &layers_);
        cacheView_ = view_;
        chartDirty_ = false;
        ++chartPaints_;
        // Once the chart has stood still a moment (not between the moves of a drag or the
        // notches of a wheel), the next record's layers are drawn ahead: the step to it (the
        // Right key, the time bar) then finds them.
        aheadTimer_->start();
        // The live layer follows the chart's view: drawn again from its first front.
        liveFrontsDrawn_ = liveRoutesDrawn_ = 0;
        if (live_.size() != pixels) {
            live_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
            live_.setDevicePixelRatio(ratio);
        }
        live_.fill(Qt::transparent);
    } else {
        ++overlayPaints_;
    }
    if (!preview) painter.drawImage(0, 0, cache_);
    if (running_ && !preview) {
        // What is left after a slice is drawn at the next paint, once the events that came
        // meanwhile are handled.
        if (!drawLive() && !liveMorePending_) {
            liveMorePending_ = true;
            QTimer::singleShot(0, this, [this] {
                liveMorePending_ = false;
                update();
            });
        }
        painter.drawImage(0, 0, live_);
    }
    paintOverlays(painter, view_, scene(), mouse_.x(), mouse_.y());
    GeoPoint from, to;
    if (interaction_.rubberBand(from, to))
        paintRubberBand(painter, projection(), from, to,
                        interaction_.appending() ? data_.config.settings.route.color
                                                 : data_.config.settings.barrierColor);
    paintInterface(painter, data_, display_, result_.get(), overlay_);
    if (helpShown_)
        paintHelpOverlay(painter, width(), height(), commands_->helpTitle(),
                         commands_->helpLines());
    if (toolbarShown()) {
        commands_->refresh(); // pressed states follow the settings, whoever changed them
        paintToolbar(painter, toolbar_, toolbarLook());
    }
    painter.end();
    statusChanged();
}

} // namespace navorel::app

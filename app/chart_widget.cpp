#include "app/chart_widget.h"

#include "app/chart_editing.h"
#include "app/commands.h"
#include "app/gps_link.h"
#include "app/interface_sounds.h"
#include "app/status_texts.h"
#include "core/datetime.h"

#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QTimer>
#include <QWheelEvent>

#include <cstdio>

namespace navorel::app {

ChartWidget::ChartWidget(AppData& data, QWidget* parent)
    : QWidget(parent), data_(data), interaction_(data), wind_(displayWind(data)) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);          // the status bar, the boat's tooltip and the polar read-out
    display_.time = now().dayNumber; // until a forecast is shown
    commands_ = new Commands(data_, *this);
    sounds_ = new InterfaceSounds(this);
    gps_ = new GpsLink(data_.texts, this);
    data_.gpsLink = gps_;
    // A boat without a newer fix turns grey a minute after its last one.
    boatAgeTimer_ = new QTimer(this);
    boatAgeTimer_->setSingleShot(true);
    boatAgeTimer_->setInterval(static_cast<int>(kBoatStaleSeconds * 1000) + 500);
    connect(boatAgeTimer_, &QTimer::timeout, this, [this] { boatChanged(); });
    aheadTimer_ = new QTimer(this);
    aheadTimer_->setSingleShot(true);
    aheadTimer_->setInterval(kRecordAheadMs);
    connect(aheadTimer_, &QTimer::timeout, this, [this] { prepareNextRecord(); });
    gps_->onFix = [this](const GpsFix& fix) {
        if (!fix.hasPosition()) return;
        AppData::BoatFix& boat = data_.boat;
        boat.valid = true;
        boat.lat = fix.lat;
        boat.lon = fix.lon;
        if (fix.hasSpeed()) boat.speed = fix.speed;
        if (fix.hasCourse()) boat.course = fix.course;
        boat.receivedAt = now().dayNumber;
        boatAgeTimer_->start();
        boatChanged();
    };
    gps_->onEvent = [this](int code) { gpsEvent(code); };
    // The worker reads the route and the barriers: an edit stops it first.
    interaction_.beforeEdit = [this] { stopRouting(); };
    interaction_.edited = [this] {
        commands_->refresh();
        redrawChart();
    };
    interaction_.clearResult = [this] { clearResult(); };
    interaction_.editWaypoint = [this](GeoPoint& p) {
        return commands_->editWaypoint && commands_->editWaypoint(p);
    };
}

ChartProjection ChartWidget::projection() const {
    return {view_.scale, view_.transX, view_.transY, view_.westLon, view_.eastLon};
}

void ChartWidget::openGps() {
    const ComSettings& com = data_.config.settings.com;
    if (com.device.empty()) return;
    gps_->open(QString::fromStdString(com.device), com.baudRate, com.parity);
}

void ChartWidget::gpsEvent(int code) {
    if (code == kGpsRead) return;
    data_.gpsOpen = gps_->isOpen();
    if (!gps_->lastError().isEmpty())
        std::fprintf(stderr, "%s\n", gps_->lastError().toLocal8Bit().constData());
    // The boat turns grey while the link is not reading, and back once it is.
    if (data_.boat.valid) boatChanged();
    statusChanged();
}

void ChartWidget::boatChanged() {
    // The boat is drawn over the cached chart, which stays as it is.
    if (data_.config.settings.com.showBoat && !polarView_) update();
    statusChanged();
}

ChartWidget::~ChartWidget() {
    stopRouting();
}

void ChartWidget::leaveEvent(QEvent*) {
    mouse_ = QPointF(-1000, -1000);
    overlay_.mouse = mouse_;
    const bool toolbarChanged = toolbar_.pointerLeft(data_.config.settings.toolbar.alwaysVisible);
    setOverlaysShown(toolbarShown());
    if (toolbarChanged || overBoat_ || polarView_ || overlay_.barHovered || overlay_.legHovered ||
        overlay_.scanHovered >= 0)
        update();
    overBoat_ = overlay_.barHovered = overlay_.legHovered = false;
    overlay_.scanHovered = -1;
    statusChanged();
}

ChartScene ChartWidget::scene() {
    // The fronts and scan routes of a run in progress are drawn on their own layer.
    ChartScene scene = makeScene(data_, wind_, result_.get(), nullptr, &display_, nullptr);
    scene.routingRunning = running_ && liveFrontCount_ > 0;
    scene.selectedBarrier = data_.barriers.selectedBarrier;
    scene.selectedBarrierPoint = data_.barriers.selectedPoint;
    scene.editingBarriers = interaction_.editingBarriers();
    scene.selectedRun = overlay_.selectedRun;
    scene.boatOverChart = true;
    return scene;
}

void ChartWidget::setOverlaysShown(bool shown) {
    if (shown == overlay_.overlaysShown) return;
    overlay_.overlaysShown = shown;
    update();
}

bool ChartWidget::mousePosition(double& lon, double& lat) const {
    if (!rect().contains(mouse_.toPoint())) return false;
    view_.unproject(mouse_.x(), mouse_.y(), lon, lat);
    return true;
}

void ChartWidget::statusChanged() {
    if (onStatusChanged) onStatusChanged();
}

void ChartWidget::layOutBar() {
    layoutBar(overlay_, data_, result_.get(), width());
}

void ChartWidget::followStep() {
    const std::vector<IsochronePoint>* route = resultRoute();
    if (!overlay_.follow || !route || display_.step < 0) return;
    const IsochronePoint& p = (*route)[static_cast<std::size_t>(display_.step)];
    const double lon = p.lon, lat = p.lat;
    view_.update(&lon, &lat);
}

void ChartWidget::barTo(double x) {
    const std::vector<IsochronePoint>* route = resultRoute();
    bool changed;
    if (route && route->size() > 1) {
        changed = selectStep(display_, data_.wind, *route,
                             overlay_.bar.indexAt(x, static_cast<int>(route->size())));
        if (changed) followStep();
    } else {
        changed =
            selectRecord(display_, data_.wind,
                         overlay_.bar.indexAt(x, static_cast<int>(data_.wind.frames().size())));
    }
    if (changed) {
        redrawChart();
        statusChanged(); // the record shown is in the status bar
    } else {
        update();
    }
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
    return app::resultRoute(result_.get(), overlay_.selectedRun);
}

void ChartWidget::selectRun(int run) {
    if (!result_ || run < 0 || run >= static_cast<int>(result_->scanRoutes.size())) run = -1;
    if (run == overlay_.selectedRun) return;
    overlay_.selectedRun = run;
    // The display goes to the departure of the run chosen.
    if (const std::vector<IsochronePoint>* route = resultRoute())
        selectStep(display_, data_.wind, *route, 0);
    layOutBar();
    redrawChart();
}

void ChartWidget::clearResult() {
    stopRouting();
    if (worker_.joinable()) worker_.join();
    running_ = false;
    liveFronts_.clear();
    liveRoutes_.clear();
    result_.reset();
    overlay_.selectedRun = -1;
    selectStep(display_, data_.wind, {}, 0);
    layOutBar();
    commands_->refresh();
    redrawChart();
}

void ChartWidget::forecastChanged() {
    wind_ = displayWind(data_);
    display_ = DisplayState{};
    selectRecord(display_, data_.wind, 0);
    layOutBar();
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
    const DateTime d = fromDayNumber(display_.time);
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
        setDisplayTime(display_, data_.wind, now().dayNumber);
    else
        selectRecord(display_, data_.wind, std::max(0, data_.wind.currentFrame()));
    overlay_.overlaysShown = toolbarShown();
    layOutBar();
    commands_->refresh();
    if (data_.firstRun && width() > 0) setUpView(view_, data_, width(), height(), true);
    redrawChart();
    openGps();
}

void ChartWidget::resizeEvent(QResizeEvent*) {
    toolbar_.layout(width());
    if (!framed_) {
        setUpView(view_, data_, width(), height(), data_.firstRun);
        framed_ = true;
    } else {
        view_.resize(width(), height());
    }
    layOutBar();
    chartDirty_ = true;
}

void ChartWidget::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) return;
    const QPointF at = event->position();
    view_.zoomAt(delta, at.x(), at.y());
    zoomPreview_ = chartPaints_ > 0;
    redrawChart();
}

void ChartWidget::mousePressEvent(QMouseEvent* event) {
    const QPointF at = event->position();
    if (event->button() == Qt::RightButton) return contextMenu(at);
    if (event->button() != Qt::LeftButton) return;
    // In order: the help overlay, a route point or barrier vertex, the routing panel, the time
    // bar, the toolbar, then the chart.
    if (helpShown_) {
        setHelpShown(false);
        return;
    }
    interaction_.setProjection(projection());
    interaction_.hover(at.x(), at.y());
    if (interaction_.pressOnEdit(at.x(), at.y())) {
        update();
        return;
    }
    if (panelsShown(data_, result_.get())) {
        const int button = panelButtonAt(overlay_.panels, at.x(), at.y());
        if (button >= 0) {
            if (button == kPanelResults) {
                commands_->action(kResults)->trigger();
            } else if (pressPanelButton(data_, overlay_, button)) {
                followStep();
                redrawChart();
            }
            return;
        }
    }
    if (overlay_.overlaysShown && !toolbar_.groupOpen() && !wind_.unique &&
        overlay_.bar.contains(at.x(), at.y())) {
        overlay_.barDragged = true;
        barTo(at.x());
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
    if (interaction_.pressOnChart(at.x(), at.y())) dragFrom_ = at;
    update();
}

void ChartWidget::contextMenu(QPointF at) {
    if (helpShown_) return setHelpShown(false);
    if (interaction_.rightButton()) return redrawChart();
    if (polarView_) return setPolarView(false);
    interaction_.setProjection(projection());
    const ContextMenu items = interaction_.contextMenu(at.x(), at.y());
    QMenu menu(this);
    fillContextMenu(menu, items, data_.texts, [this](int command) {
        interaction_.execute(command);
        commands_->refresh();
        redrawChart(); // a drawing mode shows the barriers' vertices
    });
    const QPoint place =
        contextMenuPlace(items, mapToGlobal(at.toPoint()), menu.sizeHint().height());
    if (showMenu)
        showMenu(menu, place);
    else
        menu.exec(place);
}

void ChartWidget::mouseMoveEvent(QMouseEvent* event) {
    const QPointF at = event->position();
    mouse_ = at;
    overlay_.mouse = at;
    if (polarView_) {
        update(); // the read-out follows the mouse
        return;
    }
    view_.unproject(at.x(), at.y(), overlay_.mouseLon, overlay_.mouseLat);
    if (onMousePosition) onMousePosition(overlay_.mouseLon, overlay_.mouseLat);
    statusChanged();
    // The toolbar and the time bar show while the mouse is in the top 74 pixels or over an
    // open group, or always when pinned.
    const ToolbarSettings& t = data_.config.settings.toolbar;
    bool changed = false;
    if (!interaction_.dragging() && !overlay_.barDragged) {
        const int hovered = toolbar_.hovered();
        changed = toolbar_.pointerMoved(at.x(), at.y(), t.alwaysVisible, false);
        if (toolbar_.hovered() != hovered && toolbar_.hovered() >= 0) sounds_->hover(t.sounds);
        setOverlaysShown(toolbarShown());
    }
    // An open group lies over the bar: its buttons take the mouse, not the bar.
    const bool overBar = overlay_.overlaysShown && !toolbar_.groupOpen() && !wind_.unique &&
                         overlay_.bar.contains(at.x(), at.y());
    interaction_.setProjection(projection());
    const BarrierSet& barriers = data_.barriers;
    const int selected = barriers.selectedBarrier, vertex = barriers.selectedPoint;
    const bool overEdit = interaction_.hover(at.x(), at.y());
    // The chart marks the barrier under the mouse.
    if (barriers.selectedBarrier != selected || barriers.selectedPoint != vertex) redrawChart();
    // The routing result's points too, while the panels show their values.
    const bool overResult = panelsShown(data_, result_.get()) &&
                            resultPointAt(view_, result_.get(), at.x(), at.y()) >= 0;
    setCursor(overBar || overlay_.barDragged || overEdit || overResult ? Qt::PointingHandCursor
                                                                       : Qt::ArrowCursor);
    if (overlay_.barDragged) {
        barTo(at.x());
        return;
    }
    if (overBar || overlay_.barHovered) {
        overlay_.barHovered = overBar;
        update(); // the time tooltip follows the mouse
    }
    if (interaction_.dragging()) {
        view_.pan(at.x() - dragFrom_.x(), at.y() - dragFrom_.y());
        view_.update();
        dragFrom_ = at;
        redrawChart();
        return;
    }
    // A moved point or vertex redraws the chart; the moving end only the overlays.
    if (interaction_.move(at.x(), at.y())) return;
    GeoPoint from, to;
    if (interaction_.rubberBand(from, to)) changed = true;
    // Hovering redraws only the overlays, and only when what they show changes.
    const bool over = overBoat(view_, scene(), at.x(), at.y());
    if (over != overBoat_) {
        overBoat_ = over;
        changed = true;
    }
    const bool leg = data_.route.hoveredLeg >= 0;
    const int scan = scanRunAt(view_, result_.get(), at.x(), at.y());
    if (leg || overlay_.legHovered || scan >= 0 || overlay_.scanHovered >= 0) update();
    overlay_.legHovered = leg;
    overlay_.scanHovered = scan;
    if (changed) update();
}

void ChartWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    interaction_.release();
    if (overlay_.barDragged) {
        overlay_.barDragged = false;
        setCursor(Qt::ArrowCursor);
        update();
    }
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

} // namespace navorel::app

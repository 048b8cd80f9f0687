#include "ui/drawing_surface.h"

#include "ui/render.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>

namespace zalor::ui {

namespace {
constexpr int kMarkerRadius = 4;
constexpr uint32_t kMarkerColour = 255;
constexpr uint32_t kBandColour = 0xFFFF00;
} // namespace

TDrawingSurface::TDrawingSurface(const view::DrawingModel& model, view::ViewState& view, QWidget* parent)
    : QWidget(parent), model_(model), view_(view)
{
    setObjectName(QStringLiteral("DrawingSurface"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 150);
    setCursor(Qt::CrossCursor);
}

void TDrawingSurface::Invalidate()
{
    stale_ = true;
    update();
}

void TDrawingSurface::SetMarker(std::optional<QPointF> world)
{
    if (markerShown_) update(MarkerRect());
    marker_ = world;
    if (markerShown_) update(MarkerRect());
}

void TDrawingSurface::SetHighlight(std::optional<std::size_t> object)
{
    if (object == highlight_) return;
    if (markerShown_) update(HighlightArea());
    highlight_ = object;
    if (markerShown_) update(HighlightArea());
}

void TDrawingSurface::SetMarkerShown(bool shown)
{
    if (shown == markerShown_) return;
    markerShown_ = shown;
    update(MarkerRect());
    update(HighlightArea());
}

QRect TDrawingSurface::HighlightArea() const
{
    return highlight_ ? HighlightRect(size(), model_, view_, *highlight_) : QRect();
}

std::optional<QPoint> TDrawingSurface::PanOffset() const
{
    if (!dragging_ || dragButton_ != Qt::LeftButton) return std::nullopt;
    const QPoint d = dragAt_ - anchor_;
    if (std::abs(d.x()) > view::ViewState::kPanPixels && std::abs(d.y()) > view::ViewState::kPanPixels)
        return std::nullopt;
    return d;
}

QRect TDrawingSurface::MarkerRect() const
{
    if (!marker_ || !view_.HasWindow()) return QRect();
    const view::ScreenPoint s = view_.ToScreen(marker_->x(), marker_->y());
    if (!(std::abs(s.x) < 1e7 && std::abs(s.y) < 1e7)) return QRect();
    const QPoint c(int(std::lround(s.x)), int(std::lround(s.y)));
    return QRect(c.x() - kMarkerRadius - 1, c.y() - kMarkerRadius - 1, 2 * kMarkerRadius + 3, 2 * kMarkerRadius + 3);
}

QRegion TDrawingSurface::BandRegion(const QRect& band)
{
    if (band.isNull()) return QRegion();
    const QRect r = band.normalized().adjusted(-1, -1, 1, 1);
    QRegion region;
    region += QRect(r.left(), r.top(), r.width(), 3);
    region += QRect(r.left(), r.bottom() - 2, r.width(), 3);
    region += QRect(r.left(), r.top(), 3, r.height());
    region += QRect(r.right() - 2, r.top(), 3, r.height());
    return region;
}

void TDrawingSurface::EnsurePicture()
{
    view_.SetSurface(width(), height());
    if (!stale_ && pictureGeneration_ == view_.Generation() && picture_.size() == size()) return;
    if (picture_.size() != size()) picture_ = QImage(size(), QImage::Format_RGB32);
    RenderDrawing(picture_, model_, view_);
    pictureGeneration_ = view_.Generation();
    stale_ = false;
    ++renders_;
}

const QImage& TDrawingSurface::Picture()
{
    EnsurePicture();
    return picture_;
}

void TDrawingSurface::paintEvent(QPaintEvent* event)
{
    EnsurePicture();
    QPainter p(this);
    if (const std::optional<QPoint> offset = PanOffset()) {
        // The map moves with the mouse; what comes into view is drawn on release.
        p.fillRect(rect(), ToQColor(view::kBackground));
        p.drawImage(*offset, picture_);
        return;
    }
    for (const QRect& r : event->region()) p.drawImage(r, picture_, r);
    if (markerShown_ && highlight_) DrawHighlight(p, size(), model_, view_, *highlight_);
    if (dragging_ && !band_.isNull()) {
        // The band is drawn XOR-wise over the picture.
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.setPen(QPen(ToQColor(kBandColour), 0));
        p.setBrush(Qt::NoBrush);
        p.drawRect(band_.normalized());
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    if (markerShown_ && marker_ && view_.HasWindow()) {
        const QRect m = MarkerRect();
        if (!m.isNull()) {
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(Qt::NoPen);
            p.setBrush(ToQColor(kMarkerColour));
            p.drawEllipse(m.center() + QPointF(0.5, 0.5), kMarkerRadius, kMarkerRadius);
        }
    }
}

void TDrawingSurface::resizeEvent(QResizeEvent*)
{
    view_.SetSurface(width(), height());
    stale_ = true;
}

void TDrawingSurface::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (event->modifiers() & Qt::ShiftModifier) {
        if (event->button() == Qt::LeftButton && view_.HasWindow()) {
            double x = 0, y = 0;
            view_.ToWorld({double(at.x()), double(at.y())}, x, y);
            emit queryRequested(x, y);
        }
        return;
    }
    if (!zoomMode_ || !view_.HasWindow() || dragging_) return;
    if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton) return;
    dragging_ = true;
    dragButton_ = event->button();
    anchor_ = dragAt_ = at;
    band_ = QRect();
}

void TDrawingSurface::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (dragging_) {
        const bool panned = PanOffset().has_value();
        const QRect band = QRect(anchor_, at);
        if (!panned) update(BandRegion(band_));
        band_ = band;
        dragAt_ = at;
        if (panned || PanOffset()) update();
        else update(BandRegion(band_));
    }
    if (view_.HasWindow()) {
        double x = 0, y = 0;
        view_.ToWorld({double(at.x()), double(at.y())}, x, y);
        emit positionChanged(x, y);
    }
}

void TDrawingSurface::mouseReleaseEvent(QMouseEvent* event)
{
    if (!dragging_ || event->button() != dragButton_) return;
    dragging_ = false;
    update(BandRegion(band_));
    band_ = QRect();
    const QPoint at = event->position().toPoint();
    const uint64_t before = view_.Generation();
    view_.Drag({double(anchor_.x()), double(anchor_.y())}, {double(at.x()), double(at.y())},
               dragButton_ == Qt::RightButton ? view::MouseButton::Right : view::MouseButton::Left);
    if (view_.Generation() == before) {
        update(); // a click: the map stays as it is
        return;
    }
    Invalidate();
    emit windowChanged();
}

void TDrawingSurface::wheelEvent(QWheelEvent* event)
{
    event->accept();
    if (!view_.HasWindow() || dragging_) return;
    // A notch (15 degrees, 120 eighths) zooms by the square root of two;
    // finer wheels and touchpads zoom in proportion.
    wheelAngle_ += event->angleDelta().y();
    const int turned = wheelAngle_ / 15 * 15;
    if (turned == 0) return;
    wheelAngle_ -= turned;
    const QPointF at = event->position();
    view_.ZoomAbout({at.x(), at.y()}, std::pow(2.0, turned / 240.0));
    Invalidate();
    emit windowChanged();
}

} // namespace zalor::ui

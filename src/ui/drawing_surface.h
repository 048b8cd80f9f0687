// The viewer's drawing surface: shows the cached picture of the objects and
// draws only the drag band, the map moved by a drag, the queried object and
// the query marker over it, so that moving the mouse never redraws the
// whole picture. The mouse wheel zooms about the cursor.
#pragma once

#include "view/drawing.h"
#include "view/view_state.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <optional>

namespace zalor::ui {

class TDrawingSurface : public QWidget {
    Q_OBJECT
public:
    TDrawingSurface(const view::DrawingModel& model, view::ViewState& view, QWidget* parent = nullptr);

    // The objects or the window changed: the picture is drawn again at the next paint.
    void Invalidate();
    // Zoom mode: drags zoom and pan; otherwise (query mode) only queries.
    void SetZoomMode(bool zoom) { zoomMode_ = zoom; }
    // The queried location (world units), marked in query mode.
    void SetMarker(std::optional<QPointF> world);
    // The queried object, highlighted in query mode.
    void SetHighlight(std::optional<std::size_t> object);
    void SetMarkerShown(bool shown);

    // The picture as it is now (drawn when it is out of date).
    const QImage& Picture();
    // How many times the whole picture was drawn.
    int RenderCount() const { return renders_; }

signals:
    // The cursor is at this world position.
    void positionChanged(double x, double y);
    // Shift and a press at this world position.
    void queryRequested(double x, double y);
    // A drag, a right click or the wheel changed the window.
    void windowChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void EnsurePicture();
    QRect MarkerRect() const;
    QRect HighlightArea() const;
    // While a left drag is short enough to move the map: how far it moved.
    std::optional<QPoint> PanOffset() const;
    // The area the band's outline covers.
    static QRegion BandRegion(const QRect& band);

    const view::DrawingModel& model_;
    view::ViewState& view_;
    QImage picture_;
    uint64_t pictureGeneration_ = ~uint64_t{0};
    bool stale_ = true;
    int renders_ = 0;
    bool zoomMode_ = true;
    // Drag in progress.
    bool dragging_ = false;
    Qt::MouseButton dragButton_ = Qt::NoButton;
    QPoint anchor_;
    QPoint dragAt_;
    QRect band_;
    std::optional<QPointF> marker_;
    std::optional<std::size_t> highlight_;
    bool markerShown_ = false;
    int wheelAngle_ = 0; // eighths of a degree not yet turned into a zoom
};

} // namespace zalor::ui

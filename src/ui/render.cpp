#include "ui/render.h"

#include "view/object_grid.h"

#include <QCoreApplication>
#include <QFont>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <vector>

namespace zalor::ui {

using view::DrawingObject;
using view::ObjectKind;

namespace {

// Objects whose box lies within this many pixels of the surface are handed
// to the painter as they are; farther ones have their segments clipped
// first, so that no coordinate the painter sees is out of its range.
constexpr double kSafePixels = 8192;
// The queried object is drawn over the picture in this colour (0x00BBGGRR).
constexpr uint32_t kHighlightColour = 0x00FFFF;

// Liang-Barsky: clips the segment to the rectangle; false when nothing is left.
bool ClipSegment(double& x0, double& y0, double& x1, double& y1, double minX, double minY, double maxX, double maxY)
{
    double t0 = 0, t1 = 1;
    const double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - minX, maxX - x0, y0 - minY, maxY - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0) {
            if (t > t1) return false;
            t0 = std::max(t0, t);
        } else {
            if (t < t0) return false;
            t1 = std::min(t1, t);
        }
    }
    const double ex = x0 + t1 * dx, ey = y0 + t1 * dy;
    x0 += t0 * dx;
    y0 += t0 * dy;
    x1 = ex;
    y1 = ey;
    return true;
}

class Painter {
public:
    Painter(QPainter& painter, QSize size, const view::DrawingModel& model, const view::ViewState& view)
        : p_(painter), model_(model), scale_(view.Scale()), minX_(view.Visible().minX), minY_(view.Visible().minY),
          bottom_(double(size.height() - 1)), width_(size.width()), height_(size.height())
    {
    }

    // Draws the object in its own pen, or (highlight) in `pen` over it.
    void Draw(const DrawingObject& o, const QPen* highlight = nullptr)
    {
        if (highlight) {
            p_.setPen(*highlight);
            colour_ = highlight->color();
            penColour_ = 0xFFFFFFFF;
        } else {
            SetPen(o.penColour, o.penWidth);
        }
        if (o.kind == ObjectKind::Point) {
            const int side = highlight ? 9 : 5;
            for (const GeoPoint pt : model_.PointsOf(o)) {
                const double sx = X(pt.x), sy = Y(pt.y);
                if (!(std::fabs(sx) < kSafePixels * 4 && std::fabs(sy) < kSafePixels * 4)) continue;
                p_.fillRect(Round(sx) - side / 2, Round(sy) - side / 2, side, side, colour_);
            }
            return;
        }
        const bool safe = X(o.box.minX) > -kSafePixels && X(o.box.maxX) < width_ + kSafePixels &&
                          Y(o.box.maxY) > -kSafePixels && Y(o.box.minY) < height_ + kSafePixels;
        const auto pts = model_.PointsOf(o);
        std::size_t at = 0;
        for (uint32_t size : model_.PartsOf(o)) {
            const std::size_t end = std::min<std::size_t>(at + size, pts.size());
            if (end > at) {
                if (safe)
                    DrawPart(pts.subspan(at, end - at), o.kind == ObjectKind::Region);
                else
                    DrawClipped(pts.subspan(at, end - at), o.kind == ObjectKind::Region);
            }
            at = end;
        }
    }

private:
    double X(double x) const { return (x - minX_) * scale_; }
    double Y(double y) const { return bottom_ - (y - minY_) * scale_; }
    static int Round(double v) { return int(std::floor(v + 0.5)); }

    void SetPen(uint32_t colour, int width)
    {
        if (colour == penColour_ && width == penWidth_) return;
        penColour_ = colour;
        penWidth_ = width;
        colour_ = ToQColor(colour);
        QPen pen(colour_, width <= 1 ? 0 : width); // width 0: the one-pixel cosmetic pen
        pen.setCapStyle(Qt::FlatCap);
        p_.setPen(pen);
    }

    // The part in pixels, without repeats of the same pixel.
    void DrawPart(std::span<const GeoPoint> pts, bool closed)
    {
        buf_.clear();
        for (const GeoPoint& g : pts) {
            const QPoint q(Round(X(g.x)), Round(Y(g.y)));
            if (buf_.empty() || buf_.back() != q) buf_.push_back(q);
        }
        if (closed && buf_.size() > 2 && buf_.front() != buf_.back()) buf_.push_back(buf_.front());
        if (buf_.size() == 1)
            p_.drawPoint(buf_.front());
        else
            p_.drawPolyline(buf_.data(), int(buf_.size()));
    }

    void DrawClipped(std::span<const GeoPoint> pts, bool closed)
    {
        lines_.clear();
        const double m = 8;
        auto segment = [&](GeoPoint a, GeoPoint b) {
            double x0 = X(a.x), y0 = Y(a.y), x1 = X(b.x), y1 = Y(b.y);
            if (ClipSegment(x0, y0, x1, y1, -m, -m, width_ + m, height_ + m))
                lines_.emplace_back(Round(x0), Round(y0), Round(x1), Round(y1));
        };
        for (std::size_t i = 1; i < pts.size(); ++i) segment(pts[i - 1], pts[i]);
        if (closed && pts.size() > 2 && !(pts.front() == pts.back())) segment(pts.back(), pts.front());
        if (!lines_.empty()) p_.drawLines(lines_.data(), int(lines_.size()));
    }

    QPainter& p_;
    const view::DrawingModel& model_;
    const double scale_, minX_, minY_, bottom_;
    const int width_, height_;
    uint32_t penColour_ = 0xFFFFFFFF;
    int penWidth_ = -1;
    QColor colour_;
    std::vector<QPoint> buf_;
    std::vector<QLine> lines_;
};

} // namespace

void RenderDrawing(QImage& picture, const view::DrawingModel& model, const view::ViewState& view, RenderStats* stats)
{
    picture.fill(ToQColor(view::kBackground));
    QPainter p(&picture);
    if (!view.HasWindow()) {
        QFont font("Arial");
        font.setPointSize(20);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(picture.rect(), Qt::AlignCenter,
                   QCoreApplication::translate("zalor::ui::RenderDrawing", "Empty Drawing"));
        return;
    }
    // The world the surface shows, widened by the half width of the widest
    // pen and of a point's square.
    const double margin = 4 / view.Scale();
    const view::WorldRect w = view.Visible();
    Painter painter(p, picture.size(), model, view);
    std::vector<uint32_t> visible;
    model.Grid().Query(w.minX - margin, w.minY - margin, w.maxX + margin, w.maxY + margin, visible);
    const auto objects = model.Objects();
    const auto files = model.Files();
    std::size_t drawn = 0;
    for (uint32_t k : visible) {
        if (!files[objects[k].file].shown) continue;
        painter.Draw(objects[k]);
        ++drawn;
    }
    if (stats) stats->drawn = drawn;
}

void DrawHighlight(QPainter& p, QSize size, const view::DrawingModel& model, const view::ViewState& view,
                   std::size_t index)
{
    if (!view.HasWindow() || index >= model.Objects().size()) return;
    const DrawingObject& o = model.Objects()[index];
    if (!model.Files()[o.file].shown || o.box.Empty()) return;
    QPen pen(ToQColor(kHighlightColour), 3);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    Painter painter(p, size, model, view);
    painter.Draw(o, &pen);
    p.restore();
}

QRect HighlightRect(QSize size, const view::DrawingModel& model, const view::ViewState& view, std::size_t index)
{
    if (!view.HasWindow() || index >= model.Objects().size()) return {};
    const view::Box& b = model.Objects()[index].box;
    if (b.Empty()) return {};
    const view::ScreenPoint low = view.ToScreen(b.minX, b.minY), high = view.ToScreen(b.maxX, b.maxY);
    const QRectF r(QPointF(std::clamp(low.x, -16.0, size.width() + 16.0), std::clamp(high.y, -16.0, size.height() + 16.0)),
                   QPointF(std::clamp(high.x, -16.0, size.width() + 16.0), std::clamp(low.y, -16.0, size.height() + 16.0)));
    return r.toAlignedRect().adjusted(-6, -6, 6, 6).intersected(QRect(QPoint(0, 0), size));
}

} // namespace zalor::ui

// zalor-viewer-shot: a picture of the real viewer window, for the README.
//
//   zalor-viewer-shot [--size WxH] [--zoom K] OUT.png FILE...
//
// Opens the viewer window on the files (on the display it is given, e.g.
// Xvfb), zooms in K times (default 1) on the middle, switches to query
// mode, queries a named line near the middle with Shift and a click, moves
// the pointer there, and saves what the screen shows of the window.
#include "ui/drawing_surface.h"
#include "ui/view_dlg.h"
#include "view/drawing.h"
#include "view/view_state.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QToolButton>

#include <cmath>
#include <cstdio>

namespace {

void Settle(int ms)
{
    for (int i = 0; i < ms / 10; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
}

void Send(QWidget* w, QEvent::Type type, QPoint at, Qt::KeyboardModifiers mods)
{
    QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                  type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, mods);
    QApplication::sendEvent(w, &e);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    int width = 1000, height = 760, zoom = 1;
    while (args.size() >= 2 && args.front().startsWith(QStringLiteral("--"))) {
        const QString option = args.takeFirst(), value = args.takeFirst();
        if (option == QStringLiteral("--size")) {
            const QStringList wh = value.split(QLatin1Char('x'));
            if (wh.size() == 2) {
                width = wh[0].toInt();
                height = wh[1].toInt();
            }
        } else if (option == QStringLiteral("--zoom")) {
            zoom = value.toInt();
        }
    }
    if (args.size() < 2 || width < 300 || height < 200) {
        std::fprintf(stderr, "usage: zalor-viewer-shot [--size WxH] [--zoom K] OUT.png FILE...\n");
        return 2;
    }
    const QString out = args.takeFirst();

    zalor::ui::TViewDlg dialog;
    dialog.move(0, 0);
    dialog.resize(width, height);
    dialog.show();
    Settle(300);
    if (!dialog.OpenFiles(args)) std::fprintf(stderr, "%s\n", qPrintable(dialog.StatusMessage()));
    for (int i = 0; i < zoom; ++i) dialog.ZoomIn();
    dialog.findChild<QToolButton*>(QStringLiteral("QueryModeButton"))->click();
    Settle(300);

    // A line with a name near the middle of the surface, at the middle of
    // its longest segment, where a query finds it.
    zalor::ui::TDrawingSurface* surface = dialog.Surface();
    const zalor::view::DrawingModel& model = dialog.Model();
    const zalor::view::ViewState& view = dialog.View();
    const QPointF middle(surface->width() / 2.0, surface->height() / 2.0);
    QPoint best;
    double bestDistance = 1e300;
    for (std::size_t k = 0; k < model.Objects().size(); ++k) {
        const zalor::view::DrawingObject& o = model.Objects()[k];
        if (o.kind != zalor::view::ObjectKind::Line) continue;
        const auto pts = model.PointsOf(o);
        for (std::size_t i = 1; i < pts.size(); ++i) {
            const auto s = view.ToScreen((double(pts[i].x) + pts[i - 1].x) / 2, (double(pts[i].y) + pts[i - 1].y) / 2);
            const double d = std::hypot(s.x - middle.x(), s.y - middle.y());
            if (d >= bestDistance) continue;
            const QPoint p(int(std::lround(s.x)), int(std::lround(s.y)));
            double x = 0, y = 0;
            view.ToWorld({double(p.x()), double(p.y())}, x, y);
            if (zalor::view::HitTest(model, x, y, view.Tolerance()) != int64_t(k)) continue;
            std::vector<zalor::view::Attribute> values;
            bool named = false;
            if (model.Attributes(k, values))
                for (const auto& v : values) named |= v.name == "NAME" && !v.value.empty();
            if (!named) continue;
            bestDistance = d;
            best = p;
        }
    }
    if (bestDistance < 1e300) {
        Send(surface, QEvent::MouseButtonPress, best, Qt::ShiftModifier);
        Send(surface, QEvent::MouseButtonRelease, best, Qt::ShiftModifier);
        QCursor::setPos(surface->mapToGlobal(best));
        Send(surface, QEvent::MouseMove, best, Qt::NoModifier);
    }
    Settle(500);

    const QRect frame = dialog.frameGeometry();
    const QPixmap shot = dialog.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (!shot.save(out, "PNG")) {
        std::fprintf(stderr, "Cannot write %s\n", qPrintable(out));
        return 1;
    }
    return 0;
}

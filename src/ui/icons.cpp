#include "ui/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace zalor::ui {

namespace {

// The icon drawn by `draw` on a 32 x 32 grid, at the sizes tool bars and
// menus use.
QIcon Drawn(const std::function<void(QPainter&)>& draw)
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap p(size, size);
        p.fill(Qt::transparent);
        QPainter g(&p);
        g.setRenderHint(QPainter::Antialiasing);
        g.scale(size / 32.0, size / 32.0);
        draw(g);
        g.end();
        icon.addPixmap(p);
    }
    return icon;
}

const QColor kInk(0x30, 0x38, 0x48);
const QColor kBlue(0x2A, 0x6E, 0xC8);
const QColor kPaper(0xFC, 0xFC, 0xF8);

void Page(QPainter& g, const QRectF& r)
{
    g.setPen(QPen(kInk, 1.5));
    g.setBrush(kPaper);
    g.drawRoundedRect(r, 1.5, 1.5);
}

} // namespace

QIcon FeaturesIcon()
{
    return Drawn([](QPainter& g) {
        for (int row = 0; row < 3; ++row) {
            const qreal y = 4 + row * 9.5;
            g.setPen(QPen(kInk, 1.5));
            g.setBrush(kPaper);
            g.drawRect(QRectF(3, y, 7, 7));
            if (row != 1) { // the middle one is left unchecked
                g.setPen(QPen(QColor(0x20, 0x90, 0x30), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                g.drawPolyline(QPolygonF({{4.5, y + 3.5}, {6.5, y + 5.8}, {11, y - 0.5}}));
            }
            g.setPen(QPen(kInk, 2.2, Qt::SolidLine, Qt::RoundCap));
            g.drawLine(QPointF(14, y + 3.5), QPointF(29, y + 3.5));
        }
    });
}

QIcon OptionsIcon()
{
    return Drawn([](QPainter& g) {
        const qreal knobs[3] = {10, 21, 14};
        for (int row = 0; row < 3; ++row) {
            const qreal y = 6 + row * 10;
            g.setPen(QPen(kInk, 2.2, Qt::SolidLine, Qt::RoundCap));
            g.drawLine(QPointF(3, y), QPointF(29, y));
            g.setPen(QPen(kInk, 1.5));
            g.setBrush(kBlue);
            g.drawRoundedRect(QRectF(knobs[row] - 3, y - 4.5, 6, 9), 1.5, 1.5);
        }
    });
}

QIcon LogIcon()
{
    return Drawn([](QPainter& g) {
        Page(g, QRectF(5, 2, 22, 28));
        for (int row = 0; row < 5; ++row) {
            const qreal y = 8 + row * 4.5;
            g.setPen(QPen(kBlue, 2, Qt::SolidLine, Qt::FlatCap));
            g.drawLine(QPointF(9, y), QPointF(11, y));
            g.setPen(QPen(kInk, 1.6, Qt::SolidLine, Qt::FlatCap));
            g.drawLine(QPointF(13, y), QPointF(row % 2 ? 20 : 23, y));
        }
    });
}

QIcon ViewIcon()
{
    return Drawn([](QPainter& g) {
        Page(g, QRectF(2, 3, 22, 22));
        g.setPen(QPen(QColor(0xC0, 0x30, 0x30), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        g.setBrush(Qt::NoBrush);
        g.drawPolyline(QPolygonF({{4, 20}, {9, 14}, {13, 16}, {21, 6}}));
        g.setPen(QPen(kInk, 2.2));
        g.setBrush(QColor(0xD8, 0xE8, 0xFF, 160));
        g.drawEllipse(QPointF(18, 18), 6.5, 6.5);
        g.setPen(QPen(kInk, 4, Qt::SolidLine, Qt::RoundCap));
        g.drawLine(QPointF(23, 23), QPointF(29, 29));
    });
}

QIcon HelpIcon()
{
    return Drawn([](QPainter& g) {
        g.setPen(Qt::NoPen);
        g.setBrush(kBlue);
        g.drawEllipse(QRectF(2, 2, 28, 28));
        QFont f = g.font();
        f.setBold(true);
        f.setPixelSize(22);
        g.setFont(f);
        g.setPen(Qt::white);
        g.drawText(QRectF(2, 2, 28, 28), Qt::AlignCenter, QStringLiteral("?"));
    });
}

} // namespace zalor::ui

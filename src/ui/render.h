// Drawing the loaded objects into a picture, as the viewer's drawing
// surface shows them (and as a snapshot is written).
#pragma once

#include "view/drawing.h"
#include "view/view_state.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>

namespace zalor::ui {

// A platform colour value (0x00BBGGRR) as a QColor.
inline QColor ToQColor(uint32_t c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

struct RenderStats {
    std::size_t drawn = 0; // objects whose box met the visible window
};

// Clears the picture with the background colour and draws every object
// whose box meets the visible part of the world: lines as polylines in
// their pen, regions ring by ring as outlines, points as 5 x 5 squares.
// Without a window, "Empty Drawing" is written in the centre.
// Objects of hidden files are not drawn.
void RenderDrawing(QImage& picture, const view::DrawingModel& model, const view::ViewState& view,
                   RenderStats* stats = nullptr);

// Draws object `index` highlighted (a wide yellow pen) on a surface of
// `size` pixels; nothing when its file is hidden.
void DrawHighlight(QPainter& painter, QSize size, const view::DrawingModel& model, const view::ViewState& view,
                   std::size_t index);
// The part of the surface the highlight of object `index` may cover.
QRect HighlightRect(QSize size, const view::DrawingModel& model, const view::ViewState& view, std::size_t index);

} // namespace zalor::ui

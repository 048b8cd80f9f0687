// A picture of files without a window: what the viewer's drawing surface
// shows at "Zoom All", written as a PNG file.
#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

namespace zalor::ui {

// Reads the files and writes a PNG of exactly `size` pixels. Returns true
// when every file was read whole and the picture written; `messages` gets
// one line per fault (what was valid is still drawn).
bool WriteSnapshot(const QStringList& files, const QString& out, QSize size, QString& messages);

} // namespace zalor::ui

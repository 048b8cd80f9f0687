#include "ui/snapshot.h"

#include "ui/render.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>

namespace zalor::ui {

bool WriteSnapshot(const QStringList& files, const QString& out, QSize size, QString& messages)
{
    view::DrawingModel model;
    std::vector<std::string> paths;
    for (const QString& f : files) paths.push_back(QFile::encodeName(f).toStdString());
    const view::LoadResult result = model.Load(paths);
    if (!result.whole) messages = QString::fromLocal8Bit(result.message.data(), qsizetype(result.message.size()));

    view::ViewState view;
    view.SetSurface(size.width(), size.height());
    view.ZoomAll(model.Extent());
    QImage picture(size, QImage::Format_RGB32);
    RenderDrawing(picture, model, view);
    if (!picture.save(out, "PNG")) {
        if (!messages.isEmpty()) messages += QLatin1Char('\n');
        messages += QCoreApplication::translate("zalor::ui::WriteSnapshot", "Cannot write %1").arg(out);
        return false;
    }
    return result.whole;
}

} // namespace zalor::ui

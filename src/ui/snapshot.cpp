#include "ui/snapshot.h"

#include "ui/render.h"
#include "ui/text.h"

#include <QCoreApplication>
#include <QImage>

namespace zalor::ui {

bool WriteSnapshot(const QStringList& files, const QString& out, QSize size, QString& messages)
{
    view::DrawingModel model;
    std::vector<std::string> paths;
    for (const QString& f : files) paths.push_back(ToPath(f));
    const view::LoadResult result = model.Load(paths);
    if (!result.whole) messages = ShownPath(result.message);

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

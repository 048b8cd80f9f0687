// The main window's output list: the files a run wrote, in the order it
// wrote them, and what can be done with them (open, open the folder that
// holds them, copy their paths).
#include "ui/main_window.h"

#include "ui/entry_list.h"
#include "ui/text.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace zalor::ui {

namespace {

bool Viewable(const QString& path)
{
    const QString upper = path.toUpper();
    return upper.contains(QLatin1String(".MIF")) || upper.contains(QLatin1String(".SHP"));
}

} // namespace

QLayout* TMainWindow::MakeOutputList(QWidget* parent)
{
    outputCaption_ = new QLabel(parent);
    outputList_ = new EntryListView(parent);
    outputList_->setObjectName(QStringLiteral("OutputList"));
    outputs_ = new EntryListModel(EntryListModel::Kind::Outputs, outputEntries_, this);
    outputList_->setModel(outputs_);
    outputList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(outputList_, &QTreeView::doubleClicked, this, &TMainWindow::OpenOutput);
    MakeOutputActions();
    auto* outputs = new QVBoxLayout;
    outputs->addWidget(outputCaption_);
    outputs->addWidget(outputList_, 1);
    return outputs;
}

// The list's context menu.
void TMainWindow::MakeOutputActions()
{
    auto action = [this](const QString& text, const char* name, auto slot) {
        auto* a = new QAction(text, outputList_);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, slot);
        outputList_->addAction(a);
        return a;
    };
    openOutput_ = action(tr("&Open"), "OpenOutput", &TMainWindow::OpenSelectedOutput);
    openOutput_->setToolTip(tr("MIF and shapefiles in the viewer, other files in the desktop's program for them"));
    openFolder_ = action(tr("Open Containing &Folder"), "OpenOutputFolder", &TMainWindow::OpenOutputFolder);
    copyPath_ = action(tr("&Copy Path"), "CopyOutputPath", &TMainWindow::CopyOutputPaths);
    copyPath_->setShortcuts(QKeySequence::Copy);
    copyPath_->setShortcutContext(Qt::WidgetShortcut);
    outputList_->setContextMenuPolicy(Qt::ActionsContextMenu);
}

// The paths of the selected outputs (or the current one), top to bottom.
QStringList TMainWindow::SelectedOutputs() const
{
    QModelIndexList rows = outputList_->selectionModel()->selectedRows();
    if (rows.isEmpty() && outputList_->currentIndex().isValid()) rows << outputList_->currentIndex();
    std::sort(rows.begin(), rows.end());
    QStringList paths;
    for (const QModelIndex& row : rows)
        if (row.row() < static_cast<int>(outputEntries_.size()))
            paths << FromPath(outputEntries_[static_cast<std::size_t>(row.row())].path);
    return paths;
}

void TMainWindow::OpenOutput(const QModelIndex& index)
{
    if (running_ || !index.isValid()) return;
    const QString path = FromPath(outputEntries_[static_cast<std::size_t>(index.row())].path);
    if (!Exists(path)) {
        QApplication::beep();
        return;
    }
    if (Viewable(path)) OpenViewer({path});
}

void TMainWindow::OpenSelectedOutput()
{
    const QStringList paths = SelectedOutputs();
    if (running_ || paths.isEmpty()) return;
    const QString& path = paths.front();
    if (!Exists(path)) {
        QApplication::beep();
        Message(tr("%1 is not there any more").arg(ShownPath(path)));
    } else if (Viewable(path)) {
        OpenViewer({path});
    } else if (!OpenUrl(LocalUrl(path))) {
        Message(tr("No program to open %1").arg(ShownPath(path)));
    }
}

void TMainWindow::OpenOutputFolder()
{
    const QStringList paths = SelectedOutputs();
    if (paths.isEmpty()) return;
    const QString path = AbsolutePath(paths.front());
    const QString folder = path.left(std::max<qsizetype>(path.lastIndexOf(QLatin1Char('/')), 1));
    if (!OpenUrl(LocalUrl(folder))) Message(tr("No program to open the folder %1").arg(ShownPath(folder)));
}

void TMainWindow::CopyOutputPaths()
{
    const QStringList paths = SelectedOutputs();
    QStringList shown;
    for (const QString& path : paths) shown << ShownPath(path);
    if (!shown.isEmpty()) QApplication::clipboard()->setText(shown.join(QLatin1Char('\n')));
}

} // namespace zalor::ui

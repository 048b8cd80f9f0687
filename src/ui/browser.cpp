#include "ui/browser.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QStorageInfo>
#include <QTreeView>
#include <QVBoxLayout>

namespace zalor::ui {

namespace {

// The mount point that holds `dir`: the longest root that starts it.
QString DriveOf(const QString& dir, const QStringList& roots)
{
    QString best = QStringLiteral("/");
    for (const QString& root : roots) {
        const QString withSlash = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
        if ((dir == root || dir.startsWith(withSlash)) && root.size() > best.size()) best = root;
    }
    return best;
}

} // namespace

DirectoryBrowser::DirectoryBrowser(QWidget* parent, bool captions) : QWidget(parent)
{
    drives_ = new QComboBox(this);
    drives_->setObjectName(QStringLiteral("DriveList"));
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady()) roots << volume.rootPath();
    if (!roots.contains(QStringLiteral("/"))) roots << QStringLiteral("/");
    roots.sort();
    roots.removeDuplicates();
    drives_->addItems(roots);

    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
    model_->setReadOnly(true);
    model_->setRootPath(QStringLiteral("/"));
    tree_ = new QTreeView(this);
    tree_->setObjectName(QStringLiteral("DirectoryTree"));
    tree_->setModel(model_);
    for (int c = 1; c < model_->columnCount(); ++c) tree_->hideColumn(c);
    tree_->setHeaderHidden(true);
    tree_->setToolTip(tr("Select"));

    // The tree fills in as the directories are read: keep the chosen one in view.
    connect(model_, &QFileSystemModel::directoryLoaded, this, [this] { tree_->scrollTo(tree_->currentIndex()); });
    connect(drives_, &QComboBox::textActivated, this, &DirectoryBrowser::ChooseDrive);
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& index) {
        const QString dir = model_->filePath(index);
        if (dir.isEmpty() || dir == directory_) return;
        directory_ = dir;
        emit DirectoryChanged(dir);
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (captions) layout->addWidget(new QLabel(tr("Drives ..."), this));
    layout->addWidget(drives_);
    if (captions) layout->addWidget(new QLabel(tr(" Directories ..."), this));
    layout->addWidget(tree_, 1);
}

void DirectoryBrowser::ChooseDrive(const QString& root)
{
    tree_->setRootIndex(model_->index(root));
    SetDirectory(root);
}

void DirectoryBrowser::SetDirectory(const QString& dirArg)
{
    QString dir = QDir::cleanPath(QDir(dirArg).absolutePath());
    if (!QDir(dir).exists()) return;
    QStringList roots;
    for (int i = 0; i < drives_->count(); ++i) roots << drives_->itemText(i);
    const QString drive = DriveOf(dir, roots);
    drives_->setCurrentText(drive);
    tree_->setRootIndex(model_->index(drive));
    const QModelIndex index = model_->index(dir);
    tree_->setCurrentIndex(index);
    tree_->scrollTo(index);
    if (dir != directory_) {
        directory_ = dir;
        emit DirectoryChanged(dir);
    }
}

} // namespace zalor::ui

// A drive list over a directory tree: the drives are the file system's
// roots and mount points.
#pragma once

#include <QWidget>

class QComboBox;
class QFileSystemModel;
class QTreeView;

namespace zalor::ui {

class DirectoryBrowser : public QWidget {
    Q_OBJECT
public:
    // `captions`: the lists are headed "Drives ..." and " Directories ...".
    explicit DirectoryBrowser(QWidget* parent = nullptr, bool captions = false);

    QString Directory() const { return directory_; }
    // Moves the drive list and the tree to `dir` (an existing directory).
    void SetDirectory(const QString& dir);
    QComboBox* Drives() const { return drives_; }
    QTreeView* Tree() const { return tree_; }

signals:
    void DirectoryChanged(const QString& dir);

private:
    void ChooseDrive(const QString& root);
    QComboBox* drives_ = nullptr;
    QTreeView* tree_ = nullptr;
    QFileSystemModel* model_ = nullptr;
    QString directory_;
};

} // namespace zalor::ui

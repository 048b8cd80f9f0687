// The input and output lists of the main window: files and their sizes in
// two columns, "Name" and "Size", drawn by one delegate.
#pragma once

#include <QAbstractTableModel>
#include <QFontMetrics>
#include <QStyledItemDelegate>
#include <QTreeView>

#include "run/entries.h"

#include <string>
#include <unordered_set>
#include <vector>

namespace zalor::ui {

// The entries shown by a list; the input list shows the settings' own
// vector, the output list one of its own.
class EntryListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class Kind {
        Inputs,  // the path as it is on disk; a size of -1 reads "** NOT FOUND **"
        Outputs, // the file name alone, the path as its tooltip
    };
    // The role of an entry's path as it is stored (bytes in a QByteArray).
    static constexpr int kPathRole = Qt::UserRole + 1;
    static constexpr int kArchiveRole = Qt::UserRole + 2; // true for a path holding ".ZIP"

    EntryListModel(Kind kind, std::vector<FileEntry>& entries, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const std::vector<FileEntry>& Entries() const { return entries_; }
    // Call around any change of the entries.
    void BeginChange() { beginResetModel(); }
    void EndChange() { endResetModel(); }
    // The newest entry goes at the end (the output list: files in the order
    // they were written).
    void Append(const FileEntry& entry);
    // The entry of this path, if listed, off the list.
    void Remove(const std::string& path);
    void Clear();

private:
    Kind kind_;
    std::vector<FileEntry>& entries_;
    std::unordered_set<std::string> listed_; // paths appended since the last Clear
};

// Draws an entry 18 pixels high: the archive icon before an archive's
// path, the text 20 pixels in, the size 4 pixels into its column. A path
// too long for its column loses the middle of its directories, never its
// file name.
class EntryDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// A two-column list with the blue line at the column boundary over its
// whole height.
class EntryListView : public QTreeView {
    Q_OBJECT
public:
    explicit EntryListView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The entry of an output file as it is now (size 0 when it does not exist).
FileEntry OutputEntryFor(const std::string& path);

// `path` in at most `width` pixels: whole when it fits, else its directory
// elided in the middle before the whole file name ("/home/…/TGR08901.ZIP"),
// and only when the name alone is too wide, the name's end.
QString ElidedPath(const QFontMetrics& metrics, const QString& path, int width);

} // namespace zalor::ui

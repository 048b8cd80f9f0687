#include "ui/entry_list.h"

#include "run/log.h"
#include "ui/text.h"

#include <QHeaderView>
#include <QPainter>
#include <QPixmap>

#include <sys/stat.h>

namespace zalor::ui {

namespace {

constexpr int kRowHeight = 18;
constexpr int kTextIndent = 20;
constexpr int kSizeIndent = 4;
constexpr int kFirstColumnWidth = 200;

// An archive: a small box with a zip down its middle, on white, which the
// mask makes transparent.
const QPixmap& ArchiveIcon()
{
    static const QPixmap icon = [] {
        QPixmap p(kRowHeight, kRowHeight);
        p.fill(Qt::white);
        QPainter g(&p);
        g.setPen(QColor(0x80, 0x60, 0x00));
        g.setBrush(QColor(0xF0, 0xC8, 0x40));
        g.drawRect(2, 3, 13, 12);
        g.setPen(Qt::black);
        for (int y = 4; y < 15; y += 2) g.drawLine(8, y, 9, y);
        g.end();
        p.setMask(p.createMaskFromColor(Qt::white));
        return p;
    }();
    return icon;
}

} // namespace

QString ElidedPath(const QFontMetrics& metrics, const QString& path, int width)
{
    if (metrics.horizontalAdvance(path) <= width) return path;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = path.mid(slash + 1);
    const int nameWidth = metrics.horizontalAdvance(name);
    if (slash < 0 || nameWidth >= width) return metrics.elidedText(name, Qt::ElideRight, width);
    const QString directory = metrics.elidedText(path.left(slash + 1), Qt::ElideMiddle, width - nameWidth);
    // Too narrow for any of the directory: the name alone.
    return directory.isEmpty() ? name : directory + name;
}

FileEntry OutputEntryFor(const std::string& path)
{
    struct stat st;
    return {path, ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0};
}

EntryListModel::EntryListModel(Kind kind, std::vector<FileEntry>& entries, QObject* parent)
    : QAbstractTableModel(parent), kind_(kind), entries_(entries)
{
}

int EntryListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int EntryListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant EntryListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const FileEntry& entry = entries_[static_cast<std::size_t>(index.row())];
    const std::string& path = entry.path;
    if (role == kPathRole) return QByteArray::fromStdString(path);
    const QString shownPath = ShownPath(path);
    if (role == kArchiveRole) return kind_ == Kind::Inputs && shownPath.toUpper().contains(QLatin1String(".ZIP"));
    if (role == Qt::ToolTipRole) return shownPath;
    if (role != Qt::DisplayRole) return {};
    if (index.column() == 1) {
        if (kind_ == Kind::Inputs && entry.size < 0) return tr("** NOT FOUND **");
        return FromText(FormatThousands(entry.size));
    }
    if (kind_ == Kind::Inputs) return shownPath;
    const std::size_t slash = path.rfind('/');
    return ShownPath(slash == std::string::npos ? path : path.substr(slash + 1));
}

QVariant EntryListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section == 0 ? tr("Name") : tr("Size");
}

void EntryListModel::Append(const FileEntry& entry)
{
    // A file written again (the same county converted twice) is listed
    // once, where it was written last.
    if (kind_ == Kind::Outputs && listed_.count(entry.path)) {
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (entries_[i].path != entry.path) continue;
            beginRemoveRows({}, static_cast<int>(i), static_cast<int>(i));
            entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
            endRemoveRows();
            break;
        }
    }
    listed_.insert(entry.path);
    const int row = rowCount();
    beginInsertRows({}, row, row);
    entries_.push_back(entry);
    endInsertRows();
}

void EntryListModel::Remove(const std::string& path)
{
    if (!listed_.erase(path)) return;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].path != path) continue;
        beginRemoveRows({}, static_cast<int>(i), static_cast<int>(i));
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
        endRemoveRows();
        return;
    }
}

void EntryListModel::Clear()
{
    beginResetModel();
    entries_.clear();
    listed_.clear();
    endResetModel();
}

void EntryDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->fillRect(option.rect, selected ? option.palette.highlight() : option.palette.base());
    painter->setPen(selected ? Qt::white : Qt::black);
    QRect text = option.rect;
    if (index.column() == 0) {
        if (index.data(EntryListModel::kArchiveRole).toBool())
            painter->drawPixmap(option.rect.left(), option.rect.top(), ArchiveIcon());
        text.setLeft(text.left() + kTextIndent);
    } else {
        text.setLeft(text.left() + kSizeIndent);
    }
    const QString shown = index.data(Qt::DisplayRole).toString();
    const QString fitted = index.column() == 0 ? ElidedPath(option.fontMetrics, shown, text.width())
                                               : option.fontMetrics.elidedText(shown, Qt::ElideRight, text.width());
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter, fitted);
    painter->restore();
}

QSize EntryDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    return {QStyledItemDelegate::sizeHint(option, index).width(), kRowHeight};
}

EntryListView::EntryListView(QWidget* parent) : QTreeView(parent)
{
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setItemsExpandable(false);
    setAllColumnsShowFocus(true);
    setItemDelegate(new EntryDelegate(this));
    header()->setStretchLastSection(true);
    header()->setSectionsMovable(false);
    header()->setDefaultSectionSize(kFirstColumnWidth);
    // A column resize repaints the whole list, the line included.
    connect(header(), &QHeaderView::sectionResized, viewport(), qOverload<>(&QWidget::update));
}

void EntryListView::paintEvent(QPaintEvent* event)
{
    QTreeView::paintEvent(event);
    QPainter painter(viewport());
    painter.setPen(Qt::blue);
    const int x = columnViewportPosition(1) - 1;
    painter.drawLine(x, 0, x, viewport()->height());
}

} // namespace zalor::ui

#include "ui/layer_list.h"

#include "ui/render.h"
#include "ui/text.h"

namespace zalor::ui {

namespace {

QString FromBytes(const std::string& s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }

} // namespace

LayerListModel::LayerListModel(view::DrawingModel& model, QObject* parent) : QAbstractTableModel(parent), model_(model)
{
}

void LayerListModel::Reload()
{
    beginResetModel();
    endResetModel();
}

int LayerListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(model_.Files().size());
}

int LayerListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant LayerListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(model_.Files().size())) return {};
    const view::SourceFile& f = model_.Files()[std::size_t(index.row())];
    const QString coordSys = f.coordSys.empty() ? tr("not declared") : FromBytes(f.coordSys);
    if (role == Qt::ToolTipRole) {
        return tr("%1\n%n object(s)", "", int(f.objectCount)).arg(ShownPath(f.path) +
                                                                   (f.table.empty() ? QString() : QStringLiteral(", ") +
                                                                    tr("table %1").arg(FromBytes(f.table)))) +
               QLatin1Char('\n') + coordSys;
    }
    if (index.column() == kCoordSys) return role == Qt::DisplayRole ? QVariant(coordSys) : QVariant();
    switch (role) {
    case Qt::DisplayRole: return ShownPath(view::LayerName(f));
    case Qt::DecorationRole: return ToQColor(f.colour);
    case Qt::CheckStateRole: return f.shown ? Qt::Checked : Qt::Unchecked;
    default: return {};
    }
}

bool LayerListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != kLayer || role != Qt::CheckStateRole ||
        index.row() >= int(model_.Files().size()))
        return false;
    const bool shown = value.toInt() == Qt::Checked;
    if (model_.Files()[std::size_t(index.row())].shown == shown) return true;
    model_.SetShown(std::size_t(index.row()), shown);
    emit dataChanged(index, index, {Qt::CheckStateRole});
    emit visibilityChanged();
    return true;
}

Qt::ItemFlags LayerListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == kLayer) f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant LayerListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section == kLayer ? tr("Layer") : tr("Coordinate system");
}

} // namespace zalor::ui

#include "ui/attribute_list.h"

#include "ui/render.h"

#include <QPainter>

namespace zalor::ui {

namespace {
constexpr uint32_t kHeaderBackground = 0xFF0000;
constexpr uint32_t kFrameColour = 8421504;
} // namespace

void AttributeListModel::SetAttributes(std::vector<view::Attribute> values)
{
    beginResetModel();
    values_ = std::move(values);
    endResetModel();
}

int AttributeListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(values_.size()) + 1;
}

QVariant AttributeListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() > int(values_.size())) return {};
    const bool header = index.row() == 0;
    if (role == kHeaderRole) return header;
    if (header) return role == Qt::DisplayRole ? QVariant(tr(" Feature Attributes")) : QVariant();
    const view::Attribute& a = values_[std::size_t(index.row() - 1)];
    // File texts are single bytes, Latin-1.
    if (role == Qt::DisplayRole) return QString::fromLatin1(a.value.data(), qsizetype(a.value.size()));
    if (role == kNameRole) return QString::fromLatin1(a.name.data(), qsizetype(a.name.size()));
    // The whole value, wrapped (rich text wraps where plain text would not).
    if (role == Qt::ToolTipRole)
        return QStringLiteral("<p><b>%1</b>: %2</p>")
            .arg(QString::fromLatin1(a.name.data(), qsizetype(a.name.size())).toHtmlEscaped(),
                 QString::fromLatin1(a.value.data(), qsizetype(a.value.size())).toHtmlEscaped());
    return {};
}

void AttributeDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    painter->save();
    const QRect r = option.rect;
    const QString text = index.data(Qt::DisplayRole).toString();
    if (index.data(AttributeListModel::kHeaderRole).toBool()) {
        painter->fillRect(r, ToQColor(kHeaderBackground));
        painter->setPen(Qt::white);
        painter->drawText(r.adjusted(2, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft, text);
        painter->restore();
        return;
    }
    painter->fillRect(r, option.palette.base());
    const QRect nameCell(r.left(), r.top(), kNameWidth, r.height());
    const QRect valueCell(r.left() + kNameWidth, r.top(), std::max(r.width() - kNameWidth, 0), r.height());
    painter->setPen(option.palette.color(QPalette::Text));
    const QString name = index.data(AttributeListModel::kNameRole).toString();
    painter->drawText(nameCell.adjusted(3, 0, -3, 0), Qt::AlignVCenter | Qt::AlignLeft,
                      option.fontMetrics.elidedText(name, Qt::ElideRight, kNameWidth - 6));
    painter->drawText(valueCell.adjusted(3, 0, -3, 0), Qt::AlignVCenter | Qt::AlignLeft,
                      option.fontMetrics.elidedText(text, Qt::ElideRight, std::max(valueCell.width() - 6, 0)));
    painter->setPen(ToQColor(kFrameColour));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(nameCell.adjusted(0, 0, -1, -1));
    painter->drawRect(valueCell.adjusted(0, 0, -1, -1));
    painter->restore();
}

QSize AttributeDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return QSize(kNameWidth + 40, option.fontMetrics.height() + 4);
}

} // namespace zalor::ui

// The attribute list of the viewer: a header row, then one row per value of
// the queried object, each beside its column name.
#pragma once

#include "view/drawing.h"

#include <QAbstractListModel>
#include <QStyledItemDelegate>

#include <vector>

namespace zalor::ui {

class AttributeListModel : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int kNameRole = Qt::UserRole + 1;
    static constexpr int kHeaderRole = Qt::UserRole + 2;

    using QAbstractListModel::QAbstractListModel;

    // Shows these values (none: the header alone).
    void SetAttributes(std::vector<view::Attribute> values);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::vector<view::Attribute> values_;
};

// Draws the header in white on blue and each value beside its column name
// (the name in a column of kNameWidth pixels), in grey cell frames.
class AttributeDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kNameWidth = 104;

    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace zalor::ui

// The viewer's layer list: a line per loaded file (or GeoPackage table)
// with the colour it is drawn in, a box that shows or hides it, and the
// coordinate system it declares.
#pragma once

#include "view/drawing.h"

#include <QAbstractTableModel>

namespace zalor::ui {

class LayerListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kLayer, kCoordSys, kColumns };

    LayerListModel(view::DrawingModel& model, QObject* parent = nullptr);

    // The files were loaded anew.
    void Reload();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    // A layer was shown or hidden.
    void visibilityChanged();

private:
    view::DrawingModel& model_;
};

} // namespace zalor::ui

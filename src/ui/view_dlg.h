// The viewer window: draws MIF, shapefile and GeoPackage layers, zooms and
// pans (buttons, mouse, wheel and keys), lists the layers with their
// colours, visibility and coordinate systems, shows the cursor position and
// the attributes of the object under the mouse.
#pragma once

#include "view/drawing.h"
#include "view/view_state.h"

#include <QDialog>
#include <QStringList>

#include <cstdint>
#include <optional>

class QButtonGroup;
class QLabel;
class QLayout;
class QListView;
class QProgressBar;
class QSplitter;
class QToolButton;
class QTreeView;

namespace zalor::ui {

class AttributeListModel;
class LayerListModel;
class TDrawingSurface;

class TViewDlg : public QDialog {
    Q_OBJECT
public:
    explicit TViewDlg(QWidget* parent = nullptr);
    ~TViewDlg() override;

    // Discards what is shown, reads the files in order and shows them all.
    // False when a file was damaged, missing or not readable; the valid
    // objects are shown anyway and the status line says what went wrong.
    bool OpenFiles(const QStringList& files);

    const view::DrawingModel& Model() const { return model_; }
    const view::ViewState& View() const { return view_; }
    TDrawingSurface* Surface() const { return surface_; }
    bool QueryMode() const { return queryMode_; }
    // The message of the status line (the outcome of the last reading).
    QString StatusMessage() const;
    // The warning under the layer list ("" when the shown layers agree).
    QString CoordSysWarning() const;
    // The object last queried (-1: none).
    int64_t Queried() const { return lastQueried_ < 0 ? -1 : lastQueried_; }

public slots:
    void ZoomIn();
    void ZoomOut();
    void ZoomAll();
    void SetQueryMode(bool query);
    // Asks for the files to show.
    void ChooseFiles();

private:
    QLayout* MakeTools();
    void MakeShortcuts();
    QWidget* MakeLayerPanel();
    QWidget* MakeDrawingArea();
    QLayout* MakeStatusLine();
    void Query(double x, double y);
    void ShowPosition(double x, double y);
    void ShowOutcome(const view::LoadResult& result, int fileCount);
    // The layers shown changed: title, warning, picture.
    void LayersChanged();
    void Redraw();

    view::DrawingModel model_;
    view::ViewState view_;
    TDrawingSurface* surface_ = nullptr;
    AttributeListModel* attributes_ = nullptr;
    QListView* attributeList_ = nullptr;
    LayerListModel* layers_ = nullptr;
    QTreeView* layerList_ = nullptr;
    QLabel* warning_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QLabel* hint_ = nullptr;
    QLabel* position_ = nullptr;
    QLabel* row_ = nullptr;
    QLabel* message_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QButtonGroup* modes_ = nullptr;
    QList<QToolButton*> buttons_;
    int attributeWidth_ = 200;
    bool queryMode_ = false;
    bool reading_ = false;
    int64_t lastQueried_ = -2; // none yet
    int64_t lastHovered_ = -2;
    QString lastDirectory_;
};

} // namespace zalor::ui

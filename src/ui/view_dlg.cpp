#include "ui/view_dlg.h"

#include "ui/attribute_list.h"
#include "ui/drawing_surface.h"
#include "ui/layer_list.h"
#include "ui/text.h"
#include "view/coord_sys.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QSplitter>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

namespace zalor::ui {

namespace {

constexpr int kListWidth = 200;
constexpr int kLayerPanelWidth = 340;
// The title names this many files, then says how many more there are.
constexpr int kTitleFiles = 3;

QString FromBytes(const std::string& s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }

QToolButton* MakeButton(QWidget* parent, const char* name, const QString& caption, const QString& hint)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(caption);
    b->setToolTip(hint);
    b->setAutoRaise(true);
    return b;
}

// "View - A.MIF, H.MIF": the names of the files whose layers are shown (a
// GeoPackage once, whatever number of its tables).
QString ViewTitle(const view::DrawingModel& model)
{
    QStringList names;
    for (const view::SourceFile& f : model.Files()) {
        if (!f.shown) continue;
        const QString name = ShownName(FromPath(f.path));
        if (!names.contains(name)) names << name;
    }
    const QString title = QCoreApplication::translate("zalor::ui::TViewDlg", "View");
    if (names.isEmpty()) return title;
    QString shown = QStringList(names.mid(0, kTitleFiles)).join(QStringLiteral(", "));
    if (names.size() > kTitleFiles)
        shown += QCoreApplication::translate("zalor::ui::TViewDlg", " and %n more", "", int(names.size() - kTitleFiles));
    return title + QStringLiteral(" - ") + shown;
}

} // namespace

TViewDlg::TViewDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TViewDlg"));
    setWindowTitle(tr("View"));
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMinMaxButtonsHint);
    setSizeGripEnabled(true);
    resize(1100, 700);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(3);
    layout->addLayout(MakeTools());
    layout->addWidget(MakeDrawingArea(), 1);
    layout->addLayout(MakeStatusLine());
    MakeShortcuts();
    connect(surface_, &TDrawingSurface::queryRequested, this, &TViewDlg::Query);
    connect(surface_, &TDrawingSurface::positionChanged, this, &TViewDlg::ShowPosition);
}

// The tool buttons, and the query hint beside them.
QLayout* TViewDlg::MakeTools()
{
    auto* open = MakeButton(this, "OpenButton", tr("Open..."), tr("View generated MIF/SHP/GeoPackage files (Ctrl+O)"));
    auto* zoomIn = MakeButton(this, "ZoomInButton", tr("In"), tr("Zoom In (+ or the mouse wheel)"));
    auto* zoomOut = MakeButton(this, "ZoomOutButton", tr("Out"), tr("Zoom Out (-)"));
    auto* zoomAll = MakeButton(this, "ZoomAllButton", tr("All"), tr("Zoom All (Home)"));
    auto* zoomMode = MakeButton(this, "ZoomModeButton", tr("Zoom"), tr("Zoom Mode"));
    auto* queryMode = MakeButton(this, "QueryModeButton", tr("Query"), tr("Query Mode"));
    zoomMode->setCheckable(true);
    queryMode->setCheckable(true);
    zoomMode->setChecked(true);
    modes_ = new QButtonGroup(this);
    modes_->setExclusive(true);
    modes_->addButton(zoomMode);
    modes_->addButton(queryMode);
    buttons_ = {open, zoomIn, zoomOut, zoomAll, zoomMode, queryMode};
    connect(open, &QToolButton::clicked, this, &TViewDlg::ChooseFiles);
    connect(zoomIn, &QToolButton::clicked, this, &TViewDlg::ZoomIn);
    connect(zoomOut, &QToolButton::clicked, this, &TViewDlg::ZoomOut);
    connect(zoomAll, &QToolButton::clicked, this, &TViewDlg::ZoomAll);
    connect(queryMode, &QToolButton::toggled, this, &TViewDlg::SetQueryMode);

    hint_ = new QLabel(tr("Hold Shift Down and Click to Query"), this);
    hint_->setObjectName(QStringLiteral("QueryHint"));
    hint_->setVisible(false);

    auto* tools = new QHBoxLayout;
    tools->setSpacing(2);
    tools->addWidget(open);
    tools->addSpacing(8);
    tools->addWidget(zoomIn);
    tools->addWidget(zoomOut);
    tools->addWidget(zoomAll);
    tools->addSpacing(8);
    tools->addWidget(zoomMode);
    tools->addWidget(queryMode);
    tools->addSpacing(12);
    tools->addWidget(hint_);
    tools->addStretch(1);
    return tools;
}

// +, - and Home (and the platform's zoom keys, Ctrl++ and Ctrl+-) zoom;
// Ctrl+O opens files.
void TViewDlg::MakeShortcuts()
{
    auto add = [this](const char* name, QList<QKeySequence> keys, void (TViewDlg::*slot)()) {
        auto* action = new QAction(this);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(action, &QAction::triggered, this, slot);
        addAction(action);
    };
    add("ZoomInAction", {QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal), QKeySequence::ZoomIn},
        &TViewDlg::ZoomIn);
    add("ZoomOutAction", {QKeySequence(Qt::Key_Minus), QKeySequence::ZoomOut}, &TViewDlg::ZoomOut);
    add("ZoomAllAction", {QKeySequence(Qt::Key_Home)}, &TViewDlg::ZoomAll);
    add("OpenAction", {QKeySequence::Open}, &TViewDlg::ChooseFiles);
}

// The layer list and, under it, the warning about coordinate systems.
QWidget* TViewDlg::MakeLayerPanel()
{
    layers_ = new LayerListModel(model_, this);
    layerList_ = new QTreeView(this);
    layerList_->setObjectName(QStringLiteral("LayerList"));
    layerList_->setModel(layers_);
    layerList_->setRootIsDecorated(false);
    layerList_->setUniformRowHeights(true);
    layerList_->setSelectionMode(QAbstractItemView::SingleSelection);
    layerList_->header()->setStretchLastSection(true);
    layerList_->setColumnWidth(LayerListModel::kLayer, 150);
    connect(layers_, &LayerListModel::visibilityChanged, this, &TViewDlg::LayersChanged);

    warning_ = new QLabel(this);
    warning_->setObjectName(QStringLiteral("CoordSysWarning"));
    warning_->setWordWrap(true);
    warning_->setStyleSheet(QStringLiteral("QLabel { color: #a00000; }"));
    warning_->setVisible(false);

    auto* panel = new QWidget(this);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    column->addWidget(layerList_, 1);
    column->addWidget(warning_);
    return panel;
}

// The attribute list (shown in query mode), the drawing surface and the
// layer panel, side by side; the user may widen any of them.
QWidget* TViewDlg::MakeDrawingArea()
{
    attributes_ = new AttributeListModel(this);
    attributeList_ = new QListView(this);
    attributeList_->setObjectName(QStringLiteral("AttributeList"));
    attributeList_->setModel(attributes_);
    attributeList_->setItemDelegate(new AttributeDelegate(attributeList_));
    attributeList_->setUniformItemSizes(true);
    attributeList_->setSelectionMode(QAbstractItemView::NoSelection);
    attributeList_->setMinimumWidth(kListWidth / 2);
    attributeList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    attributeList_->setVisible(false);

    surface_ = new TDrawingSurface(model_, view_, this);
    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setChildrenCollapsible(false);
    splitter_->addWidget(attributeList_);
    splitter_->addWidget(surface_);
    splitter_->addWidget(MakeLayerPanel());
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setStretchFactor(2, 0);
    splitter_->setSizes({0, width() - kLayerPanelWidth, kLayerPanelWidth});
    return splitter_;
}

// The cursor position, the row under it in query mode, the outcome of the
// last reading and its progress.
QLayout* TViewDlg::MakeStatusLine()
{
    position_ = new QLabel(this);
    position_->setObjectName(QStringLiteral("Position"));
    position_->setMinimumWidth(260);
    row_ = new QLabel(this);
    row_->setObjectName(QStringLiteral("Row"));
    row_->setVisible(false);
    // A long row must not widen the window: what does not fit is in its tooltip.
    row_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("Message"));
    message_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 100);
    progress_->setMaximumWidth(200);
    progress_->setVisible(false);
    auto* status = new QHBoxLayout;
    status->addWidget(position_);
    status->addWidget(row_, 1);
    status->addWidget(message_, 1);
    status->addWidget(progress_);
    return status;
}

// Hidden while the objects its lists and surface show are still there.
TViewDlg::~TViewDlg()
{
    hide();
    layerList_->setModel(nullptr);
}

QString TViewDlg::StatusMessage() const { return message_->toolTip().isEmpty() ? message_->text() : message_->toolTip(); }

QString TViewDlg::CoordSysWarning() const { return warning_->isVisibleTo(this) ? warning_->text() : QString(); }

bool TViewDlg::OpenFiles(const QStringList& files)
{
    if (reading_) return false;
    reading_ = true;
    for (QToolButton* b : buttons_) b->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    progress_->setValue(0);
    progress_->setVisible(true);
    message_->setText(tr("Reading..."));
    message_->setToolTip(QString());
    view_.ClearWindow();
    surface_->SetMarker(std::nullopt);
    surface_->SetHighlight(std::nullopt);
    surface_->Invalidate();

    std::vector<std::string> paths;
    for (const QString& f : files) paths.push_back(ToPath(f));
    if (!files.isEmpty()) {
        const QString last = AbsolutePath(files.back());
        lastDirectory_ = last.left(last.lastIndexOf(QLatin1Char('/')) + 1);
    }
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    // Reading runs here; the window is repainted now and then, but takes
    // no input until it is done.
    const view::LoadResult result = model_.Load(paths, [&](int64_t done, int64_t total) {
        if (sinceEvents.elapsed() >= 50) {
            progress_->setValue(total > 0 ? int(done * 100 / total) : 100);
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            sinceEvents.restart();
        }
        return true;
    });

    lastQueried_ = lastHovered_ = -2;
    attributes_->SetAttributes({});
    row_->clear();
    layers_->Reload();
    layerList_->resizeColumnToContents(LayerListModel::kLayer);
    view_.SetSurface(surface_->width(), surface_->height());
    view_.ZoomAll(model_.Extent());
    LayersChanged();
    ShowOutcome(result, int(files.size()));
    progress_->setVisible(false);
    QApplication::restoreOverrideCursor();
    for (QToolButton* b : buttons_) b->setEnabled(true);
    reading_ = false;
    return result.whole;
}

// The counts read, and the faults: the first in the status line, all in its tooltip.
void TViewDlg::ShowOutcome(const view::LoadResult& result, int fileCount)
{
    const QString counts = tr("%n object(s)", "", int(model_.Objects().size())) + tr(" from %n file(s)", "", fileCount);
    if (result.whole) {
        message_->setText(counts);
        return;
    }
    const QString all = ShownPath(result.message);
    const QStringList lines = all.split(QLatin1Char('\n'));
    QString text = lines.front();
    if (lines.size() > 1) text += tr(" (and %n more)", "", int(lines.size() - 1));
    message_->setText(counts + QStringLiteral("; ") + text);
    message_->setToolTip(all);
}

void TViewDlg::LayersChanged()
{
    setWindowTitle(ViewTitle(model_));
    const std::string warning = view::CoordSysWarning(model_);
    warning_->setText(FromBytes(warning));
    warning_->setVisible(!warning.empty());
    Redraw();
}

void TViewDlg::ChooseFiles()
{
    if (reading_) return;
    const QStringList files = LocalPaths(QFileDialog::getOpenFileUrls(
        this, tr("View generated MIF/SHP/GeoPackage files"), LocalUrl(lastDirectory_),
        tr("MIF, shapefiles and GeoPackages (*.mif *.MIF *.shp *.SHP *.gpkg *.GPKG)")));
    if (!files.isEmpty()) OpenFiles(files);
}

void TViewDlg::Redraw()
{
    surface_->Invalidate();
}

void TViewDlg::ZoomIn()
{
    view_.ZoomIn();
    Redraw();
}

void TViewDlg::ZoomOut()
{
    view_.ZoomOut();
    Redraw();
}

// The shown layers (all of them when none is shown), centred.
void TViewDlg::ZoomAll()
{
    const view::Box shown = model_.ShownExtent();
    view_.ZoomAll(shown.Empty() ? model_.Extent() : shown);
    Redraw();
}

void TViewDlg::SetQueryMode(bool query)
{
    if (queryMode_ && !query) attributeWidth_ = attributeList_->width();
    queryMode_ = query;
    surface_->SetZoomMode(!query);
    surface_->SetMarkerShown(query);
    hint_->setVisible(query);
    attributeList_->setVisible(query);
    if (query) {
        QList<int> sizes = splitter_->sizes();
        sizes[1] = std::max(sizes[1] - attributeWidth_, 1);
        sizes[0] = attributeWidth_;
        splitter_->setSizes(sizes);
    }
    row_->setVisible(query);
    message_->setVisible(!query);
    lastHovered_ = -2;
    row_->clear();
    row_->setToolTip(QString());
}

void TViewDlg::Query(double x, double y)
{
    surface_->SetMarker(QPointF(x, y));
    const int64_t hit = HitTest(model_, x, y, view_.Tolerance());
    if (hit == lastQueried_) return;
    lastQueried_ = hit;
    surface_->SetHighlight(hit >= 0 ? std::optional<std::size_t>(std::size_t(hit)) : std::nullopt);
    std::vector<view::Attribute> values;
    if (hit >= 0) model_.Attributes(std::size_t(hit), values);
    attributes_->SetAttributes(std::move(values));
}

void TViewDlg::ShowPosition(double x, double y)
{
    const std::string text = view::PositionText(model_.WorldUnits(), x, y);
    position_->setText(QString::fromLatin1(text.data(), qsizetype(text.size())));
    if (!queryMode_) return;
    const int64_t hit = HitTest(model_, x, y, view_.Tolerance());
    if (hit == lastHovered_) return;
    lastHovered_ = hit;
    const QString row = hit >= 0 ? FromBytes(model_.RowText(std::size_t(hit))) : QString();
    row_->setText(row);
    row_->setToolTip(row);
}

} // namespace zalor::ui

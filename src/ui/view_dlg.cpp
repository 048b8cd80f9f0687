#include "ui/view_dlg.h"

#include "ui/attribute_list.h"
#include "ui/drawing_surface.h"

#include <QApplication>
#include <QButtonGroup>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace zalor::ui {

namespace {

constexpr int kListWidth = 200;

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

} // namespace

TViewDlg::TViewDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TViewDlg"));
    setWindowTitle(tr("View"));
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMinMaxButtonsHint);
    setSizeGripEnabled(true);
    resize(900, 700);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(3);
    layout->addLayout(MakeTools());
    layout->addLayout(MakeDrawingArea(), 1);
    layout->addLayout(MakeStatusLine());
    connect(surface_, &TDrawingSurface::queryRequested, this, &TViewDlg::Query);
    connect(surface_, &TDrawingSurface::positionChanged, this, &TViewDlg::ShowPosition);
}

// The tool buttons, and the query hint beside them.
QLayout* TViewDlg::MakeTools()
{
    auto* open = MakeButton(this, "OpenButton", tr("Open..."), tr("View generated MIF/SHP files"));
    auto* zoomIn = MakeButton(this, "ZoomInButton", tr("In"), tr("Zoom In"));
    auto* zoomOut = MakeButton(this, "ZoomOutButton", tr("Out"), tr("Zoom Out"));
    auto* zoomAll = MakeButton(this, "ZoomAllButton", tr("All"), tr("Zoom All"));
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

// The attribute list (shown in query mode) and the drawing surface.
QLayout* TViewDlg::MakeDrawingArea()
{
    attributes_ = new AttributeListModel(this);
    attributeList_ = new QListView(this);
    attributeList_->setObjectName(QStringLiteral("AttributeList"));
    attributeList_->setModel(attributes_);
    attributeList_->setItemDelegate(new AttributeDelegate(attributeList_));
    attributeList_->setUniformItemSizes(true);
    attributeList_->setSelectionMode(QAbstractItemView::NoSelection);
    attributeList_->setFixedWidth(kListWidth);
    attributeList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    attributeList_->setVisible(false);

    surface_ = new TDrawingSurface(model_, view_, this);
    auto* middle = new QHBoxLayout;
    middle->setSpacing(2);
    middle->addWidget(attributeList_);
    middle->addWidget(surface_, 1);
    return middle;
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
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("Message"));
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

TViewDlg::~TViewDlg() = default;

QString TViewDlg::StatusMessage() const { return message_->toolTip().isEmpty() ? message_->text() : message_->toolTip(); }

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
    surface_->Invalidate();

    std::vector<std::string> paths;
    for (const QString& f : files) paths.push_back(QFile::encodeName(f).toStdString());
    if (!files.isEmpty()) lastDirectory_ = QFileInfo(files.back()).absolutePath();
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    // Reading runs here; the window is repainted now and then, but takes
    // no input until it is done.
    view::LoadResult result = model_.Load(paths, [&](int64_t done, int64_t total) {
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
    view_.SetSurface(surface_->width(), surface_->height());
    view_.ZoomAll(model_.Extent());
    surface_->Invalidate();

    const QString counts = tr("%n object(s)", "", int(model_.Objects().size())) + tr(" from %n file(s)", "", int(files.size()));
    if (result.whole) {
        message_->setText(counts);
    } else {
        const QString all = QString::fromLocal8Bit(result.message.data(), qsizetype(result.message.size()));
        const QStringList lines = all.split(QLatin1Char('\n'));
        QString text = lines.front();
        if (lines.size() > 1) text += tr(" (and %n more)", "", int(lines.size() - 1));
        message_->setText(counts + QStringLiteral("; ") + text);
        message_->setToolTip(all);
    }
    progress_->setVisible(false);
    QApplication::restoreOverrideCursor();
    for (QToolButton* b : buttons_) b->setEnabled(true);
    reading_ = false;
    return result.whole;
}

void TViewDlg::ChooseFiles()
{
    const QStringList files = QFileDialog::getOpenFileNames(this, tr("View generated MIF/SHP files"), lastDirectory_,
                                                            tr("MIF and shapefiles (*.mif *.MIF *.shp *.SHP)"));
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

void TViewDlg::ZoomAll()
{
    view_.ZoomAll(model_.Extent());
    Redraw();
}

void TViewDlg::SetQueryMode(bool query)
{
    queryMode_ = query;
    surface_->SetZoomMode(!query);
    surface_->SetMarkerShown(query);
    hint_->setVisible(query);
    attributeList_->setVisible(query);
    row_->setVisible(query);
    message_->setVisible(!query);
    lastHovered_ = -2;
    row_->clear();
}

void TViewDlg::Query(double x, double y)
{
    surface_->SetMarker(QPointF(x, y));
    const int64_t hit = HitTest(model_, x, y, view_.Tolerance());
    if (hit == lastQueried_) return;
    lastQueried_ = hit;
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
    row_->setText(hit >= 0 ? FromBytes(model_.RowText(std::size_t(hit))) : QString());
}

} // namespace zalor::ui

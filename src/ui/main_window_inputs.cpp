// The main window's input side: the file browser, the buttons that move
// files into and out of the input list, the list itself with the logo over
// it, and the output root.
#include "ui/main_window.h"

#include "run/input_paths.h"
#include "run/inputs.h"
#include "ui/browser.h"
#include "ui/dialogs.h"
#include "ui/entry_list.h"
#include "ui/text.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSplitter>
#include <QStringListModel>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace zalor::ui {

namespace {

constexpr int kLogoMs = 4000;
const QStringList kInputMask = {QStringLiteral("TGR*.rt1"), QStringLiteral("TGR*.zip")};

QPushButton* Button(const QString& caption, const QString& hint, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setToolTip(hint);
    return b;
}

QString UpperExtension(const QString& path) { return QFileInfo(path).suffix().toUpper(); }

} // namespace

QWidget* TMainWindow::MakeBrowserPanel()
{
    browserPanel_ = new QWidget(this);
    browser_ = new DirectoryBrowser(browserPanel_);
    files_ = new QStringListModel(this);
    fileList_ = new QListView(browserPanel_);
    fileList_->setObjectName(QStringLiteral("FileList"));
    fileList_->setModel(files_);
    fileList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    fileList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fileList_->installEventFilter(this);
    connect(fileList_, &QListView::doubleClicked, this, [this](const QModelIndex& index) {
        AddInputs({browser_->Directory() + QLatin1Char('/') + index.data().toString()});
    });
    connect(browser_, &DirectoryBrowser::DirectoryChanged, this, &TMainWindow::ShowDirectory);

    auto* layout = new QVBoxLayout(browserPanel_);
    layout->setContentsMargins(0, 0, 0, 0);
    browserSplit_ = new QSplitter(Qt::Vertical, browserPanel_);
    browserSplit_->setObjectName(QStringLiteral("BrowserSplitter"));
    browserSplit_->addWidget(browser_);
    browserSplit_->addWidget(fileList_);
    layout->addWidget(browserSplit_);
    return browserPanel_;
}

QWidget* TMainWindow::MakeInputPanel()
{
    // Made in the order the focus goes through them.
    auto* panel = new QWidget(this);
    QWidget* addRemove = MakeAddRemovePanel(panel);
    QWidget* inputList = MakeInputListPanel(panel);
    QWidget* outputRoot = MakeOutputRootPanel(panel);
    MakeGoAndStop(panel);
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(addRemove, 0, 0);
    grid->addWidget(inputList, 0, 1);
    auto* runRow = new QHBoxLayout;
    runRow->addWidget(outputRoot, 1);
    runRow->addWidget(go_);
    runRow->addWidget(stop_);
    grid->addLayout(runRow, 1, 1);
    grid->setColumnStretch(1, 1);
    return panel;
}

QWidget* TMainWindow::MakeAddRemovePanel(QWidget* parent)
{
    addRemovePanel_ = new QWidget(parent);
    add_ = Button(tr(">"), tr("Add"), addRemovePanel_);
    remove_ = Button(tr("<"), tr("Remove"), addRemovePanel_);
    addAll_ = Button(tr(">>"), tr("Add All"), addRemovePanel_);
    removeAll_ = Button(tr("<<"), tr("Remove All"), addRemovePanel_);
    add_->setObjectName(QStringLiteral("AddButton"));
    remove_->setObjectName(QStringLiteral("RemoveButton"));
    addAll_->setObjectName(QStringLiteral("AddAllButton"));
    removeAll_->setObjectName(QStringLiteral("RemoveAllButton"));
    connect(add_, &QPushButton::clicked, this, &TMainWindow::AddSelected);
    connect(remove_, &QPushButton::clicked, this, &TMainWindow::RemoveSelected);
    connect(addAll_, &QPushButton::clicked, this, &TMainWindow::AddAll);
    connect(removeAll_, &QPushButton::clicked, this, &TMainWindow::RemoveAll);
    auto* buttons = new QVBoxLayout(addRemovePanel_);
    buttons->addStretch(1);
    for (QPushButton* b : {add_, remove_, addAll_, removeAll_}) {
        b->setFixedWidth(36);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    return addRemovePanel_;
}

QWidget* TMainWindow::MakeInputListPanel(QWidget* parent)
{
    inputPanel_ = new QWidget(parent);
    inputCaption_ = new QLabel(inputPanel_);
    inputList_ = new EntryListView(inputPanel_);
    inputList_->setObjectName(QStringLiteral("InputList"));
    inputs_ = new EntryListModel(EntryListModel::Kind::Inputs, settings_.inputs, this);
    inputList_->setModel(inputs_);
    inputList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    inputList_->installEventFilter(this);
    auto* inputs = new QVBoxLayout(inputPanel_);
    inputs->setContentsMargins(0, 0, 0, 0);
    inputs->addWidget(inputCaption_);
    inputs->addWidget(inputList_, 1);
    MakeLogo(inputPanel_);
    return inputPanel_;
}

// The logo over the input list, for the first seconds.
void TMainWindow::MakeLogo(QWidget* parent)
{
    logo_ = new QLabel(tr("<h1>Zalor</h1><p>TIGER/Line Converter</p><p>Version %1</p>")
                           .arg(QStringLiteral(ZALOR_VERSION)),
                       parent);
    logo_->setObjectName(QStringLiteral("Logo"));
    logo_->setAlignment(Qt::AlignCenter);
    logo_->setFrameShape(QFrame::Box);
    logo_->setAutoFillBackground(true);
    logo_->setStyleSheet(QStringLiteral("QLabel { background: #203860; color: white; padding: 12px; }"));
    logo_->adjustSize();
    QTimer::singleShot(kLogoMs, logo_, [this] {
        logo_->deleteLater();
        logo_ = nullptr;
    });
}

QWidget* TMainWindow::MakeOutputRootPanel(QWidget* parent)
{
    rootPanel_ = new QWidget(parent);
    outputRoot_ = new QLineEdit(rootPanel_);
    outputRoot_->setObjectName(QStringLiteral("Output"));
    auto* pick = Button(tr("..."), tr("Select Output Folder"), rootPanel_);
    pick->setFixedWidth(32);
    connect(pick, &QPushButton::clicked, this, &TMainWindow::ChooseOutputRoot);
    auto* root = new QHBoxLayout(rootPanel_);
    root->setContentsMargins(0, 0, 0, 0);
    root->addWidget(new QLabel(tr("Output (Root):"), rootPanel_));
    root->addWidget(outputRoot_, 1);
    root->addWidget(pick);
    return rootPanel_;
}

void TMainWindow::UpdateButtons()
{
    if (running_) return;
    const bool inputs = inputs_->rowCount() > 0;
    const bool files = files_->rowCount() > 0;
    remove_->setEnabled(inputs && inputList_->currentIndex().isValid());
    add_->setEnabled(files && (fileList_->currentIndex().isValid() || fileList_->hasFocus()));
    go_->setEnabled(inputs);
    addAll_->setEnabled(files);
    removeAll_->setEnabled(inputs);
}

// --- the input list ----------------------------------------------------------

void TMainWindow::AddInputs(const QStringList& paths)
{
    inputs_->BeginChange();
    for (const QString& path : paths) AddInput(settings_, ToPath(path));
    inputs_->EndChange();
    RefreshCaptions();
    UpdateButtons();
}

void TMainWindow::AddSelected()
{
    QModelIndexList rows = fileList_->selectionModel()->selectedRows();
    if (rows.isEmpty() && fileList_->currentIndex().isValid()) rows << fileList_->currentIndex();
    std::sort(rows.begin(), rows.end());
    QStringList paths;
    for (const QModelIndex& row : rows) paths << browser_->Directory() + QLatin1Char('/') + row.data().toString();
    AddInputs(paths);
}

void TMainWindow::AddAll()
{
    QStringList paths;
    for (const QString& name : files_->stringList()) paths << browser_->Directory() + QLatin1Char('/') + name;
    AddInputs(paths);
}

void TMainWindow::RemoveSelected()
{
    QModelIndexList rows = inputList_->selectionModel()->selectedRows();
    if (rows.isEmpty() && inputList_->currentIndex().isValid()) rows << inputList_->currentIndex();
    std::vector<int> numbers;
    for (const QModelIndex& row : rows) numbers.push_back(row.row());
    std::sort(numbers.rbegin(), numbers.rend());
    inputs_->BeginChange();
    for (int n : numbers) settings_.inputs.erase(settings_.inputs.begin() + n);
    inputs_->EndChange();
    RefreshCaptions();
    UpdateButtons();
}

void TMainWindow::RemoveAll()
{
    inputs_->BeginChange();
    settings_.inputs.clear();
    inputs_->EndChange();
    RefreshCaptions();
    UpdateButtons();
}

void TMainWindow::AddFiles(const QStringList& paths)
{
    if (running_) return;
    QStringList inputs, configurations, passed;
    for (const QString& path : paths) {
        const QString extension = UpperExtension(path);
        if (IsDirectory(path)) {
            // Its counties, as the command line takes a folder.
            const InputExpansion found = ExpandInputs({ToPath(path)});
            for (const std::string& county : found.paths) inputs << FromPath(county);
            for (const std::string& note : found.notes) passed << ShownPath(note);
            if (found.paths.empty()) passed << tr("%1: no county (TGR*.ZIP, TGR*.RT1)").arg(ShownPath(path));
        } else if (extension == QLatin1String("ZIP") || extension == QLatin1String("RT1") ||
                   extension == QLatin1String("RT5")) {
            inputs << path;
        } else if (extension == QLatin1String("CFG")) {
            configurations << path;
        } else if (extension == QLatin1String("MIF")) {
            if (settings_.Box("BEEP")) QApplication::beep();
            outputs_->Append(OutputEntryFor(ToPath(path)));
        } else {
            passed << tr("%1: not a county archive or chain file, folder, configuration or MIF file")
                          .arg(ShownName(path));
        }
    }
    // A configuration first: it brings its own input list, which the
    // counties dropped with it join.
    if (!configurations.isEmpty()) LoadChosen(configurations.takeFirst());
    for (const QString& other : configurations)
        passed << tr("%1: not loaded, one configuration at a time").arg(ShownName(other));
    if (!inputs.isEmpty()) AddInputs(inputs);
    RefreshCaptions();
    if (!passed.isEmpty()) Message(tr("Not added: %1").arg(passed.join(QStringLiteral("; "))));
}

void TMainWindow::ShowDirectory(const QString& dir)
{
    settings_.SetText("Input", ToPath(WithSlash(dir)));
    files_->setStringList(QDir(dir).entryList(kInputMask, QDir::Files, QDir::Name | QDir::IgnoreCase));
    UpdateButtons();
}

void TMainWindow::RefreshCaptions()
{
    inputCaption_->setText(tr("Input Files [ %1 ]").arg(inputs_->rowCount()));
    outputCaption_->setText(tr("Output Files [ %1 ]").arg(outputs_->rowCount()));
}

void TMainWindow::ChooseOutputRoot()
{
    QString chosen;
    if (dirDlg_->Pick(FromPath(settings_.Text("Output")), &chosen)) outputRoot_->setText(WithSlash(chosen));
}

} // namespace zalor::ui

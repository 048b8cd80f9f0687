#include "ui/main_window.h"

#include "run/inputs.h"
#include "run/log.h"
#include "ui/browser.h"
#include "ui/dialogs.h"
#include "ui/entry_list.h"
#include "ui/feature_dlg.h"
#include "ui/run_thread.h"
#include "ui/settings_binder.h"
#include "ui/text.h"
#include "ui/view_dlg.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStringListModel>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

namespace zalor::ui {

namespace {

constexpr int kTickMs = 250;
constexpr int kLogoMs = 4000;
const QStringList kInputMask = {QStringLiteral("TGR*.rt1"), QStringLiteral("TGR*.zip")};

QPushButton* Button(const QString& caption, const QString& hint, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setToolTip(hint);
    return b;
}

// The grey of a disabled list or field, the white of an enabled one.
void SetBackground(QWidget* w, bool enabled)
{
    QPalette p = w->palette();
    const QColor colour = enabled ? QColor(0xFF, 0xFF, 0xFF) : QColor(0xC0, 0xC0, 0xC0);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) p.setColor(group, QPalette::Base, colour);
    w->setPalette(p);
}

QString UpperExtension(const QString& path) { return QFileInfo(path).suffix().toUpper(); }

} // namespace

TMainWindow::TMainWindow(WindowOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)),
      settings_(ToPath(options_.outputDirectory), ToPath(WithSlash(options_.currentDirectory))),
      config_(ToPath(options_.dataDirectory))
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Zalor - TIGER/Line Converter"));
    setAcceptDrops(true);
    settings_.SetText("Log", ToPath(options_.dataDirectory) + "ZALOR.LOG");

    binder_ = new SettingsBinder(settings_, this);
    runner_ = new ConversionRunner(this);
    featureDlg_ = new TFeatureDlg(*binder_, this);
    optionsDlg_ = new TOptionsDlg(*binder_, this);
    logDlg_ = new TLogDlg(*binder_, this);
    dirDlg_ = new TDirDlg(this);
    warningDlg_ = new TWarningDlg(this);

    MakeActions();
    auto* top = new QSplitter(Qt::Horizontal, this);
    top->addWidget(MakeBrowserPanel());
    top->addWidget(MakeInputPanel());
    top->setStretchFactor(1, 1);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(top, 1);
    layout->addWidget(MakeRunPanel());
    setCentralWidget(central);

    configPath_ = new QLabel(this);
    configPath_->setObjectName(QStringLiteral("ConfigPath"));
    statusBar()->addWidget(configPath_, 1);

    binder_->Bind(this);
    ConnectRunner();
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &TMainWindow::Tick);
    timer_->start(kTickMs);
    RefreshCaptions();
    RefreshRecent();
    UpdateButtons();
    resize(980, 700);
}

TMainWindow::~TMainWindow()
{
    // The lists and controls show members of this window: they go first.
    delete runner_;
    delete binder_;
    delete centralWidget();
    delete inputs_;
    delete outputs_;
}

void TMainWindow::MakeActions()
{
    QStyle* s = style();
    auto action = [this](const QString& text, const QString& hint, const QIcon& icon, auto slot) {
        auto* a = new QAction(icon, text, this);
        a->setToolTip(hint);
        a->setStatusTip(hint);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    QAction* newConfig = action(QStringLiteral("&New"), QStringLiteral("New Configuration"),
                                s->standardIcon(QStyle::SP_FileIcon), &TMainWindow::NewConfig);
    QAction* load = action(QStringLiteral("&Load"), QStringLiteral("Load Configuration"),
                           s->standardIcon(QStyle::SP_DialogOpenButton), &TMainWindow::LoadConfig);
    QAction* saveDefault = action(QStringLiteral("&Save as Default"), QStringLiteral("Save as Default"), {},
                                  &TMainWindow::SaveDefault);
    QAction* saveAs = action(QStringLiteral("Save&As"), QStringLiteral("Save Configuration"),
                             s->standardIcon(QStyle::SP_DialogSaveButton), &TMainWindow::SaveAs);
    QAction* view = action(QStringLiteral("View MIF/SHP"), QStringLiteral("View generated MIF/SHP files"),
                           s->standardIcon(QStyle::SP_FileDialogContentsView), &TMainWindow::ViewFiles);
    QAction* exit = action(QStringLiteral("&Exit"), QStringLiteral("Exit"), {}, &QWidget::close);
    QAction* features = action(QStringLiteral("&Tiger Features"), QStringLiteral("Select Tiger Features to Process"),
                               s->standardIcon(QStyle::SP_FileDialogListView), [this] { featureDlg_->exec(); });
    QAction* optionsAction = action(QStringLiteral("&Options"), QStringLiteral("Set Program Options"),
                                    s->standardIcon(QStyle::SP_FileDialogDetailedView), [this] { optionsDlg_->exec(); });
    QAction* log = action(QStringLiteral("&Log File"), QStringLiteral("View Processor Log File"),
                          s->standardIcon(QStyle::SP_FileDialogInfoView), [this] {
                              logDlg_->show();
                              logDlg_->raise();
                          });
    QAction* viewTool = action(QStringLiteral("&View"), QStringLiteral("View generated MIF/SHP files"), {},
                               &TMainWindow::ViewFiles);
    QAction* help = action(QStringLiteral("&Help"), QStringLiteral("Help"), s->standardIcon(QStyle::SP_DialogHelpButton),
                           &TMainWindow::ShowHelp);
    QAction* about = action(QStringLiteral("&About"), QStringLiteral("About"), {}, &TMainWindow::ShowAbout);
    newConfig->setObjectName(QStringLiteral("New"));
    load->setObjectName(QStringLiteral("Load"));
    saveAs->setObjectName(QStringLiteral("SaveAs"));
    features->setObjectName(QStringLiteral("TigerFeatures"));
    optionsAction->setObjectName(QStringLiteral("Options"));
    log->setObjectName(QStringLiteral("LogFile"));

    fileMenu_ = menuBar()->addMenu(QStringLiteral("&File"));
    fileMenu_->addActions({newConfig, load, saveDefault, saveAs});
    fileMenu_->addSeparator();
    fileMenu_->addAction(view);
    fileMenu_->addSeparator();
    fileMenu_->addAction(exit);
    QAction* recentSeparator = fileMenu_->addSeparator();
    for (std::size_t i = 0; i < kRecentConfigurationCount; ++i) {
        auto* recent = new QAction(this);
        recent->setObjectName(QStringLiteral("Recent%1").arg(i));
        connect(recent, &QAction::triggered, this, [this, i] { LoadRecent(static_cast<int>(i)); });
        fileMenu_->addAction(recent);
        recentActions_ << recent;
    }
    connect(fileMenu_, &QMenu::aboutToShow, recentSeparator, [this, recentSeparator] {
        recentSeparator->setVisible(!config_.Recent().empty());
    });
    toolsMenu_ = menuBar()->addMenu(QStringLiteral("&Tools"));
    toolsMenu_->addActions({features, optionsAction, log, viewTool});
    QMenu* helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    helpMenu->addActions({help, about});

    toolBar_ = addToolBar(QStringLiteral("Tools"));
    toolBar_->setObjectName(QStringLiteral("ToolBar"));
    toolBar_->setMovable(false);
    toolBar_->addActions({newConfig, load, saveAs});
    toolBar_->addSeparator();
    toolBar_->addActions({features, optionsAction, log});
    toolBar_->addSeparator();
    toolBar_->addActions({view, help});
    if (options_.kxf) {
        auto* spacer = new QWidget(toolBar_);
        spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        toolBar_->addWidget(spacer);
        auto* kxf = new QLabel(QStringLiteral("KXF Mode Active "), toolBar_);
        kxf->setObjectName(QStringLiteral("KxfMode"));
        toolBar_->addWidget(kxf);
    }
}

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
    auto* split = new QSplitter(Qt::Vertical, browserPanel_);
    split->addWidget(browser_);
    split->addWidget(fileList_);
    layout->addWidget(split);
    return browserPanel_;
}

QWidget* TMainWindow::MakeInputPanel()
{
    auto* panel = new QWidget(this);
    addRemovePanel_ = new QWidget(panel);
    add_ = Button(QStringLiteral(">"), QStringLiteral("Add"), addRemovePanel_);
    remove_ = Button(QStringLiteral("<"), QStringLiteral("Remove"), addRemovePanel_);
    addAll_ = Button(QStringLiteral(">>"), QStringLiteral("Add All"), addRemovePanel_);
    removeAll_ = Button(QStringLiteral("<<"), QStringLiteral("Remove All"), addRemovePanel_);
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

    inputPanel_ = new QWidget(panel);
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

    // The logo over the input list, for the first seconds.
    logo_ = new QLabel(QStringLiteral("<h1>Zalor</h1><p>TIGER/Line Converter</p><p>Version %1</p>")
                           .arg(QStringLiteral(ZALOR_VERSION)),
                       inputPanel_);
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

    rootPanel_ = new QWidget(panel);
    outputRoot_ = new QLineEdit(rootPanel_);
    outputRoot_->setObjectName(QStringLiteral("Output"));
    auto* pick = Button(QStringLiteral("..."), QStringLiteral("Select Output Folder"), rootPanel_);
    pick->setFixedWidth(32);
    connect(pick, &QPushButton::clicked, this, &TMainWindow::ChooseOutputRoot);
    auto* root = new QHBoxLayout(rootPanel_);
    root->setContentsMargins(0, 0, 0, 0);
    root->addWidget(new QLabel(QStringLiteral("Output (Root):"), rootPanel_));
    root->addWidget(outputRoot_, 1);
    root->addWidget(pick);

    go_ = Button(QStringLiteral("Go  "), QStringLiteral("Process the input files"), panel);
    go_->setObjectName(QStringLiteral("GoButton"));
    stop_ = Button(QStringLiteral("Stop"), QStringLiteral("Stop processing"), panel);
    stop_->setObjectName(QStringLiteral("StopButton"));
    stop_->setEnabled(false);
    connect(go_, &QPushButton::clicked, this, &TMainWindow::Go);
    connect(stop_, &QPushButton::clicked, this, &TMainWindow::Stop);

    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(addRemovePanel_, 0, 0);
    grid->addWidget(inputPanel_, 0, 1);
    auto* runRow = new QHBoxLayout;
    runRow->addWidget(rootPanel_, 1);
    runRow->addWidget(go_);
    runRow->addWidget(stop_);
    grid->addLayout(runRow, 1, 1);
    grid->setColumnStretch(1, 1);
    return panel;
}

QWidget* TMainWindow::MakeRunPanel()
{
    auto* panel = new QWidget(this);
    status_ = new QLabel(panel);
    status_->setObjectName(QStringLiteral("StatusLine"));
    county_ = new QLabel(panel);
    county_->setObjectName(QStringLiteral("CountyLine"));
    time_ = new QLabel(panel);
    time_->setObjectName(QStringLiteral("TimeLine"));
    progress_ = new QProgressBar(panel);
    progress_->setObjectName(QStringLiteral("ProgressBar"));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setFormat(QStringLiteral("%p%"));
    progress_->setTextVisible(false);
    auto* texts = new QVBoxLayout;
    for (QLabel* l : {status_, county_, time_}) {
        l->setFrameShape(QFrame::StyledPanel);
        l->setMinimumWidth(280);
        texts->addWidget(l);
    }
    texts->addWidget(progress_);
    texts->addStretch(1);

    outputCaption_ = new QLabel(panel);
    outputList_ = new EntryListView(panel);
    outputList_->setObjectName(QStringLiteral("OutputList"));
    outputs_ = new EntryListModel(EntryListModel::Kind::Outputs, outputEntries_, this);
    outputList_->setModel(outputs_);
    connect(outputList_, &QTreeView::doubleClicked, this, &TMainWindow::OpenOutput);
    auto* outputs = new QVBoxLayout;
    outputs->addWidget(outputCaption_);
    outputs->addWidget(outputList_, 1);

    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(texts);
    layout->addLayout(outputs, 1);
    panel->setMinimumHeight(190);
    return panel;
}

void TMainWindow::ConnectRunner()
{
    QtReporter& r = runner_->Reporter();
    const auto queued = Qt::QueuedConnection;
    connect(&r, &QtReporter::LogLine, logDlg_, &TLogDlg::Append, queued);
    connect(&r, &QtReporter::LogLineReplaced, logDlg_, &TLogDlg::ReplaceLast, queued);
    connect(&r, &QtReporter::StatusChanged, status_, &QLabel::setText, queued);
    connect(&r, &QtReporter::CountyChanged, county_, &QLabel::setText, queued);
    connect(
        &r, &QtReporter::ProgressChanged, this,
        [this](int percent) {
            progress_->setValue(percent);
            progress_->setTextVisible(percent != 100 && percent != 0);
        },
        queued);
    connect(
        &r, &QtReporter::OutputListCleared, this,
        [this] {
            outputs_->Clear();
            RefreshCaptions();
        },
        queued);
    connect(
        &r, &QtReporter::OutputListAdded, this,
        [this](const QByteArray& entry) {
            outputs_->Prepend(entry.toStdString());
            RefreshCaptions();
        },
        queued);
    connect(&r, &QtReporter::ErrorShown, this, &TMainWindow::Message, queued);
    connect(
        &r, &QtReporter::WarningShown, this,
        [this](const QString& text) {
            // A run from the command line has no one to press "Ok".
            if (options_.quitAfterRun) std::fprintf(stderr, "zalor: %s\n", qPrintable(text));
            else warningDlg_->ShowWarning(text);
        },
        queued);
    connect(&r, &QtReporter::BeepWanted, this, [] { QApplication::beep(); }, queued);
    connect(
        &r, &QtReporter::RunningChanged, this,
        [this](bool running) {
            if (!running) return;
            runClock_.start();
            SetControlsEnabled(false);
            stop_->setEnabled(true);
        },
        queued);
    connect(runner_, &ConversionRunner::Finished, this, &TMainWindow::Finished);
}

bool TMainWindow::Running() const { return running_; }

// --- runs ----------------------------------------------------------------

void TMainWindow::Go()
{
    if (running_) return;
    running_ = true;
    go_->setEnabled(false);
    runner_->Start(settings_);
}

void TMainWindow::Stop()
{
    if (running_) runner_->Stop();
}

void TMainWindow::Finished(const RunResult& result)
{
    running_ = false;
    if (runClock_.isValid()) time_->setText(FromText(ElapsedText(runClock_.elapsed())));
    runClock_.invalidate();
    // The run ended the output root with "/"; the field shows it.
    settings_.SetText("Output", runner_->Settings().Text("Output"));
    binder_->Refresh();
    SetControlsEnabled(true);
    stop_->setEnabled(false);
    progress_->setTextVisible(false);
    UpdateButtons();
    exitStatus_ = result.refused || result.failed > 0 || result.stopped || result.logFailed ? 1 : 0;
    emit RunFinished(result);
    if (options_.quitAfterRun) close();
}

void TMainWindow::SetControlsEnabled(bool enabled)
{
    for (QWidget* w : {static_cast<QWidget*>(toolBar_), browserPanel_, addRemovePanel_, rootPanel_, inputPanel_})
        w->setEnabled(enabled);
    fileMenu_->setEnabled(enabled);
    toolsMenu_->setEnabled(enabled);
    for (QWidget* w : {static_cast<QWidget*>(browser_->Drives()), static_cast<QWidget*>(browser_->Tree()),
                       static_cast<QWidget*>(fileList_), static_cast<QWidget*>(outputRoot_),
                       static_cast<QWidget*>(inputList_)})
        SetBackground(w, enabled);
}

void TMainWindow::Tick()
{
    if (running_) {
        if (runClock_.isValid()) time_->setText(FromText(ElapsedText(runClock_.elapsed())));
        return;
    }
    UpdateButtons();
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

// --- the input and output lists --------------------------------------------

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
    QStringList inputs;
    for (const QString& path : paths) {
        const QString extension = UpperExtension(path);
        if (extension == QLatin1String("ZIP") || extension == QLatin1String("RT5")) {
            inputs << path;
        } else if (extension == QLatin1String("MIF")) {
            if (settings_.Box("BEEP")) QApplication::beep();
            outputs_->Prepend(OutputEntryFor(ToPath(path)));
        }
    }
    if (!inputs.isEmpty()) AddInputs(inputs);
    RefreshCaptions();
}

void TMainWindow::OpenOutput(const QModelIndex& index)
{
    if (running_ || !index.isValid()) return;
    const std::string entry = outputEntries_[static_cast<std::size_t>(index.row())];
    const QString path = FromPath(EntryFilePath(entry));
    if (!QFileInfo::exists(path)) {
        QApplication::beep();
        return;
    }
    const QString upper = path.toUpper();
    if (!upper.contains(QLatin1String(".MIF")) && !upper.contains(QLatin1String(".SHP"))) return;
    auto* viewer = new TViewDlg(this);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->show();
    viewer->OpenFiles({path});
}

void TMainWindow::ShowDirectory(const QString& dir)
{
    settings_.SetText("Input", ToPath(WithSlash(dir)));
    files_->setStringList(QDir(dir).entryList(kInputMask, QDir::Files, QDir::Name | QDir::IgnoreCase));
    UpdateButtons();
}

void TMainWindow::RefreshCaptions()
{
    inputCaption_->setText(QStringLiteral("Input Files [ %1 ]").arg(inputs_->rowCount()));
    outputCaption_->setText(QStringLiteral("Output Files [ %1 ]").arg(outputs_->rowCount()));
}

// --- configurations --------------------------------------------------------

void TMainWindow::ShowSettings()
{
    binder_->Refresh();
    const QString input = FromPath(settings_.Text("Input"));
    if (QFileInfo(input).isDir()) browser_->SetDirectory(input);
    RefreshCaptions();
    RefreshRecent();
    UpdateButtons();
}

void TMainWindow::RefreshRecent()
{
    const auto& recent = config_.Recent();
    for (int i = 0; i < recentActions_.size(); ++i) {
        const bool used = static_cast<std::size_t>(i) < recent.size();
        recentActions_[i]->setVisible(used);
        if (used) recentActions_[i]->setText(QStringLiteral("&%1 ").arg(i + 1) + FromPath(recent[i]));
    }
}

void TMainWindow::AfterLoad(ConfigLoad result, const std::string& path, const std::string& error)
{
    if (result == ConfigLoad::Loaded) configPath_->setText(QStringLiteral(" ") + FromPath(path));
    if (result == ConfigLoad::Failed) Message(FromPath(error));
    ShowSettings();
}

void TMainWindow::NewConfig()
{
    inputs_->BeginChange();
    NewConfiguration(settings_);
    inputs_->EndChange();
    ShowSettings();
}

void TMainWindow::LoadConfig()
{
    const QString last = FromPath(config_.lastName);
    const QStringList chosen = Choose(FileDialog::Open, QFileInfo(last).absolutePath(), QStringLiteral("*.CFG"));
    if (chosen.isEmpty()) return;
    const std::string path = ToPath(chosen.front());
    std::string error;
    inputs_->BeginChange();
    const ConfigLoad result = LoadChosenConfiguration(settings_, config_, path, &error);
    inputs_->EndChange();
    AfterLoad(result, path, error);
}

void TMainWindow::LoadRecent(int i)
{
    if (static_cast<std::size_t>(i) >= config_.Recent().size()) return;
    const std::string path = config_.Recent()[static_cast<std::size_t>(i)];
    std::string error;
    inputs_->BeginChange();
    const ConfigLoad result = LoadRecentConfiguration(settings_, config_, path, &error);
    inputs_->EndChange();
    AfterLoad(result, path, error);
}

void TMainWindow::SaveDefault()
{
    std::string error;
    if (!SaveConfiguration(settings_, config_, config_.DefaultPath(), &error)) Message(FromPath(error));
}

void TMainWindow::SaveAs()
{
    // The dialog proposes the last name, in the program's directory unless
    // the name says where.
    QString last = FromPath(config_.lastName);
    if (QFileInfo(last).isRelative()) last = options_.dataDirectory + last;
    const QStringList chosen = Choose(FileDialog::Save, last, QStringLiteral("*.cfg"));
    if (chosen.isEmpty()) return;
    std::string error;
    const std::string path = SaveConfigurationAs(settings_, config_, ToPath(chosen.front()), &error);
    if (path.empty()) Message(FromPath(error));
    else configPath_->setText(QStringLiteral(" ") + FromPath(path));
}

// --- other commands -------------------------------------------------------

void TMainWindow::ViewFiles()
{
    const QStringList files = Choose(FileDialog::OpenMany, FromPath(settings_.Text("Output")),
                                     QStringLiteral("*.mif;*.shp"));
    if (files.isEmpty()) return;
    auto* viewer = new TViewDlg(this);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->show();
    viewer->OpenFiles(files);
}

void TMainWindow::ShowHelp()
{
    if (options_.manual.isEmpty() || !QFileInfo::exists(options_.manual)) {
        Message(QStringLiteral("The user manual manual.html was not found"));
        return;
    }
    // The desktop's viewer starts on its own; nothing waits for it.
    QDesktopServices::openUrl(QUrl::fromLocalFile(options_.manual));
}

void TMainWindow::ShowAbout()
{
    const QString where = options_.dataIsProgramDirectory ? QStringLiteral("the program's directory")
                                                          : QStringLiteral("your configuration directory");
    QMessageBox::about(this, QStringLiteral("About Zalor"),
                       QStringLiteral("<h3>Zalor %1</h3><p>Converts U.S. Census TIGER/Line county files into MapInfo "
                                      "MIF/MID, ESRI shapefiles, GeoPackage and KXF/MTD.</p><p>The default configuration "
                                      "ZALOR.CFG and the log ZALOR.LOG are kept in %2:<br>%3</p>")
                           .arg(QStringLiteral(ZALOR_VERSION), where, options_.dataDirectory.toHtmlEscaped()));
}

void TMainWindow::ChooseOutputRoot()
{
    QString chosen;
    if (dirDlg_->Pick(FromPath(settings_.Text("Output")), &chosen)) outputRoot_->setText(WithSlash(chosen));
}

QStringList TMainWindow::Choose(FileDialog kind, const QString& start, const QString& filter)
{
    if (chooser_) return chooser_(kind, start, filter);
    const QString qtFilter = filter + QStringLiteral(" (") + QString(filter).replace(QLatin1Char(';'), QLatin1Char(' ')) +
                             QStringLiteral(")");
    switch (kind) {
    case FileDialog::Open: {
        const QString f = QFileDialog::getOpenFileName(this, QStringLiteral("Load Configuration"), start, qtFilter);
        return f.isEmpty() ? QStringList() : QStringList{f};
    }
    case FileDialog::OpenMany:
        return QFileDialog::getOpenFileNames(this, QStringLiteral("View MIF/SHP"), start, qtFilter);
    case FileDialog::Save: {
        const QString f = QFileDialog::getSaveFileName(this, QStringLiteral("Save Configuration"), start, qtFilter);
        return f.isEmpty() ? QStringList() : QStringList{f};
    }
    }
    return {};
}

void TMainWindow::Message(const QString& text)
{
    if (options_.quitAfterRun) std::fprintf(stderr, "zalor: %s\n", qPrintable(text));
    statusBar()->showMessage(text, 10000);
}

// --- events ----------------------------------------------------------------

void TMainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    // The default configuration, or the one named on the command line.
    const std::string path = options_.configFile.isEmpty() ? config_.DefaultPath() : ToPath(options_.configFile);
    browser_->SetDirectory(FromPath(settings_.Text("Input")));
    std::string error;
    inputs_->BeginChange();
    const ConfigLoad result = LoadConfiguration(settings_, config_, path, &error);
    inputs_->EndChange();
    AfterLoad(result, path, error);
    if (!options_.files.isEmpty()) AddFiles(options_.files);
    PlaceLogo();
    if (options_.go) QTimer::singleShot(0, this, &TMainWindow::Go);
}

void TMainWindow::closeEvent(QCloseEvent* event)
{
    if (running_) {
        runner_->Stop();
        runner_->Wait();
    }
    timer_->stop();
    if (options_.saveDefaultAtExit) {
        std::string error;
        if (!SaveConfiguration(settings_, config_, config_.DefaultPath(), &error))
            std::fprintf(stderr, "zalor: %s\n", error.c_str());
    }
    logDlg_->close();
    event->accept();
}

void TMainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls() && !running_) event->acceptProposedAction();
}

void TMainWindow::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    AddFiles(paths);
    event->acceptProposedAction();
}

bool TMainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == inputList_ && event->type() == QEvent::Resize) PlaceLogo();
    if (watched == fileList_ && event->type() == QEvent::FocusIn && !running_ && files_->rowCount() > 0)
        add_->setEnabled(true);
    return QMainWindow::eventFilter(watched, event);
}

void TMainWindow::PlaceLogo()
{
    if (!logo_) return;
    const QRect area = inputList_->geometry();
    logo_->move(area.center() - QPoint(logo_->width() / 2, logo_->height() / 2));
    logo_->raise();
}

} // namespace zalor::ui

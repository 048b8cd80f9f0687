// The main window's frame: its parts put together, the messages of the
// status bar, and the window's events. The menus and commands, the input
// side and the run side are in main_window_commands.cpp,
// main_window_inputs.cpp and main_window_run.cpp.
#include "ui/main_window.h"

#include "ui/browser.h"
#include "ui/dialogs.h"
#include "ui/entry_list.h"
#include "ui/failure_dlg.h"
#include "ui/feature_dlg.h"
#include "ui/run_thread.h"
#include "ui/settings_binder.h"
#include "ui/text.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QStringListModel>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <cstdio>

namespace zalor::ui {

namespace {

constexpr int kTickMs = 250;

} // namespace

TMainWindow::TMainWindow(WindowOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)),
      settings_(ToPath(options_.outputDirectory), ToPath(WithSlash(options_.currentDirectory))),
      config_(ToPath(options_.dataDirectory))
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(tr("Zalor - TIGER/Line Converter"));
    setAcceptDrops(true);
    settings_.SetText("Log", ToPath(options_.dataDirectory) + "ZALOR.LOG");

    binder_ = new SettingsBinder(settings_, this);
    runner_ = new ConversionRunner(this);
    featureDlg_ = new TFeatureDlg(*binder_, this);
    optionsDlg_ = new TOptionsDlg(*binder_, this);
    logDlg_ = new TLogDlg(*binder_, this);
    dirDlg_ = new TDirDlg(this);
    warningDlg_ = new TWarningDlg(this);
    failureDlg_ = new TFailureDlg(this);
    connect(failureDlg_, &TFailureDlg::LogWanted, this, [this] {
        logDlg_->show();
        logDlg_->raise();
    });
    urlOpener_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    // A format that only the KXF mode offers.
    if (options_.kxf)
        for (const OutputFormatDef& format : OutputFormatTable())
            if (format.name == "kxf") optionsDlg_->Offer(FromText(format.key));

    MakeActions();
    topSplit_ = new QSplitter(Qt::Horizontal, this);
    topSplit_->setObjectName(QStringLiteral("TopSplitter"));
    topSplit_->addWidget(MakeBrowserPanel());
    topSplit_->addWidget(MakeInputPanel());
    topSplit_->setStretchFactor(1, 1);
    mainSplit_ = new QSplitter(Qt::Vertical, this);
    mainSplit_->setObjectName(QStringLiteral("MainSplitter"));
    mainSplit_->addWidget(topSplit_);
    mainSplit_->addWidget(MakeRunPanel());
    mainSplit_->setStretchFactor(0, 1);
    mainSplit_->setChildrenCollapsible(false);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(mainSplit_, 1);
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
    RestoreLayout();
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
    // A first start: a selection that Go can convert at once.
    if (result == ConfigLoad::Missing) FirstStartSelection(settings_);
    inputs_->EndChange();
    AfterLoad(result, path, error);
    if (result == ConfigLoad::Missing)
        Message(tr("No configuration yet: the roads and the census tracts are selected (Tools / Tiger Features)"));
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
    SaveLayout();
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
    AddFiles(LocalPaths(event->mimeData()->urls()));
    event->acceptProposedAction();
}

bool TMainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == inputList_ && event->type() == QEvent::Resize) PlaceLogo();
    if (watched == fileList_ && event->type() == QEvent::FocusIn && !running_ && files_->rowCount() > 0)
        add_->setEnabled(true);
    return QMainWindow::eventFilter(watched, event);
}

// --- what the window remembers between starts -------------------------------

namespace {

const char kGeometry[] = "window/geometry";
const char kMainSplitter[] = "window/mainSplitter";
const char kTopSplitter[] = "window/topSplitter";
const char kBrowserSplitter[] = "window/browserSplitter";
const char kInputColumns[] = "window/inputColumns";
const char kOutputColumns[] = "window/outputColumns";

} // namespace

void TMainWindow::SaveLayout()
{
    if (options_.layoutFile.isEmpty()) return;
    QSettings layout(options_.layoutFile, QSettings::IniFormat);
    layout.setValue(QLatin1String(kGeometry), saveGeometry());
    layout.setValue(QLatin1String(kMainSplitter), mainSplit_->saveState());
    layout.setValue(QLatin1String(kTopSplitter), topSplit_->saveState());
    layout.setValue(QLatin1String(kBrowserSplitter), browserSplit_->saveState());
    layout.setValue(QLatin1String(kInputColumns), inputList_->header()->saveState());
    layout.setValue(QLatin1String(kOutputColumns), outputList_->header()->saveState());
}

void TMainWindow::RestoreLayout()
{
    if (options_.layoutFile.isEmpty()) return;
    const QSettings layout(options_.layoutFile, QSettings::IniFormat);
    restoreGeometry(layout.value(QLatin1String(kGeometry)).toByteArray());
    mainSplit_->restoreState(layout.value(QLatin1String(kMainSplitter)).toByteArray());
    topSplit_->restoreState(layout.value(QLatin1String(kTopSplitter)).toByteArray());
    browserSplit_->restoreState(layout.value(QLatin1String(kBrowserSplitter)).toByteArray());
    inputList_->header()->restoreState(layout.value(QLatin1String(kInputColumns)).toByteArray());
    outputList_->header()->restoreState(layout.value(QLatin1String(kOutputColumns)).toByteArray());
}

void TMainWindow::PlaceLogo()
{
    if (!logo_) return;
    const QRect area = inputList_->geometry();
    logo_->move(area.center() - QPoint(logo_->width() / 2, logo_->height() / 2));
    logo_->raise();
}

} // namespace zalor::ui

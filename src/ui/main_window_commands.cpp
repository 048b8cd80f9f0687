// The main window's menus and tool bar, and the commands behind them: the
// configuration commands, the viewer, the manual and the About box.
#include "ui/main_window.h"

#include "ui/browser.h"
#include "ui/dialogs.h"
#include "ui/entry_list.h"
#include "ui/feature_dlg.h"
#include "ui/icons.h"
#include "ui/settings_binder.h"
#include "ui/text.h"
#include "ui/view_dlg.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QStyle>
#include <QTextBrowser>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include <utility>

namespace zalor::ui {

// The actions of the menus and the tool bar.
struct TMainWindow::Commands {
    QAction* newConfig = nullptr;
    QAction* load = nullptr;
    QAction* saveDefault = nullptr;
    QAction* saveAs = nullptr;
    QAction* view = nullptr;
    QAction* exit = nullptr;
    QAction* features = nullptr;
    QAction* options = nullptr;
    QAction* log = nullptr;
    QAction* viewTool = nullptr;
    QAction* help = nullptr;
    QAction* about = nullptr;
};

void TMainWindow::MakeActions()
{
    const Commands commands = MakeCommands();
    MakeMenus(commands);
    MakeToolBar(commands);
}

TMainWindow::Commands TMainWindow::MakeCommands()
{
    QStyle* s = style();
    auto action = [this](const QString& text, const QString& hint, const QIcon& icon, auto slot) {
        auto* a = new QAction(icon, text, this);
        a->setToolTip(hint);
        a->setStatusTip(hint);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    Commands c;
    c.newConfig = action(tr("&New"), tr("New Configuration"),
                         s->standardIcon(QStyle::SP_FileIcon), &TMainWindow::NewConfig);
    c.load = action(tr("&Load"), tr("Load Configuration"),
                    s->standardIcon(QStyle::SP_DialogOpenButton), &TMainWindow::LoadConfig);
    c.saveDefault = action(tr("&Save as Default"), tr("Save as Default"), {},
                           &TMainWindow::SaveDefault);
    c.saveAs = action(tr("Save&As"), tr("Save Configuration"),
                      s->standardIcon(QStyle::SP_DialogSaveButton), &TMainWindow::SaveAs);
    c.view = action(tr("View MIF/SHP"), tr("View generated MIF/SHP files"), ViewIcon(), &TMainWindow::ViewFiles);
    c.exit = action(tr("&Exit"), tr("Exit"), {}, &QWidget::close);
    c.features = action(tr("&Tiger Features"), tr("Select Tiger Features to Process"), FeaturesIcon(),
                        [this] { featureDlg_->exec(); });
    c.options = action(tr("&Options"), tr("Set Program Options"), OptionsIcon(), [this] { optionsDlg_->exec(); });
    c.log = action(tr("&Log File"), tr("View Processor Log File"), LogIcon(), [this] {
        logDlg_->show();
        logDlg_->raise();
    });
    c.viewTool = action(tr("&View"), tr("View generated MIF/SHP files"), {}, &TMainWindow::ViewFiles);
    c.help = action(tr("&Help"), tr("Open the user manual"), HelpIcon(), &TMainWindow::ShowHelp);
    c.about = action(tr("&About"), tr("About"), {}, &TMainWindow::ShowAbout);
    NameCommands(c);
    // The platform's keys for the file commands and the manual.
    c.newConfig->setShortcuts(QKeySequence::New);
    c.load->setShortcuts(QKeySequence::Open);
    c.saveDefault->setShortcuts(QKeySequence::Save);
    c.saveAs->setShortcuts(QKeySequence::SaveAs);
    c.exit->setShortcuts(QKeySequence::Quit);
    c.help->setShortcuts(QKeySequence::HelpContents);
    // Where a platform has no standard key for a command, the usual one.
    const std::pair<QAction*, QKeySequence> usual[] = {
        {c.newConfig, QKeySequence(Qt::CTRL | Qt::Key_N)}, {c.load, QKeySequence(Qt::CTRL | Qt::Key_O)},
        {c.saveDefault, QKeySequence(Qt::CTRL | Qt::Key_S)}, {c.exit, QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {c.help, QKeySequence(Qt::Key_F1)},
    };
    for (const auto& [a, key] : usual)
        if (a->shortcuts().isEmpty()) a->setShortcut(key);
    // What a run shuts: the commands that would change its settings or its
    // input list under it. The log, the viewer, saving and the manual stay.
    idleCommands_ = {c.newConfig, c.load, c.features, c.options};
    return c;
}

void TMainWindow::NameCommands(const Commands& c)
{
    const std::pair<QAction*, const char*> names[] = {
        {c.newConfig, "New"}, {c.load, "Load"}, {c.saveDefault, "SaveDefault"}, {c.saveAs, "SaveAs"},
        {c.view, "ViewFiles"}, {c.exit, "Exit"}, {c.features, "TigerFeatures"}, {c.options, "Options"},
        {c.log, "LogFile"}, {c.viewTool, "ViewTool"}, {c.help, "Help"}, {c.about, "About"},
    };
    for (const auto& [action, name] : names) action->setObjectName(QLatin1String(name));
}

void TMainWindow::MakeMenus(const Commands& c)
{
    fileMenu_ = menuBar()->addMenu(tr("&File"));
    fileMenu_->addActions({c.newConfig, c.load, c.saveDefault, c.saveAs});
    fileMenu_->addSeparator();
    fileMenu_->addAction(c.view);
    fileMenu_->addSeparator();
    fileMenu_->addAction(c.exit);
    QAction* recentSeparator = fileMenu_->addSeparator();
    for (std::size_t i = 0; i < kRecentConfigurationCount; ++i) {
        auto* recent = new QAction(this);
        recent->setObjectName(QStringLiteral("Recent%1").arg(i));
        connect(recent, &QAction::triggered, this, [this, i] { LoadRecent(static_cast<int>(i)); });
        fileMenu_->addAction(recent);
        recentActions_ << recent;
        idleCommands_ << recent;
    }
    connect(fileMenu_, &QMenu::aboutToShow, recentSeparator, [this, recentSeparator] {
        recentSeparator->setVisible(!config_.Recent().empty());
    });
    toolsMenu_ = menuBar()->addMenu(tr("&Tools"));
    toolsMenu_->addActions({c.features, c.options, c.log, c.viewTool});
    QMenu* helpMenu = menuBar()->addMenu(tr("&Help"));
    helpMenu->addActions({c.help, c.about});
}

void TMainWindow::MakeToolBar(const Commands& c)
{
    toolBar_ = addToolBar(tr("Tools"));
    toolBar_->setObjectName(QStringLiteral("ToolBar"));
    toolBar_->setMovable(false);
    toolBar_->addActions({c.newConfig, c.load, c.saveAs});
    toolBar_->addSeparator();
    toolBar_->addActions({c.features, c.options, c.log});
    toolBar_->addSeparator();
    toolBar_->addActions({c.view, c.help});
    if (options_.kxf) {
        auto* spacer = new QWidget(toolBar_);
        spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        toolBar_->addWidget(spacer);
        auto* kxf = new QLabel(tr("KXF Mode Active "), toolBar_);
        kxf->setObjectName(QStringLiteral("KxfMode"));
        kxf->setToolTip(tr("Tools / Options offers the KXF/MTD output format"));
        toolBar_->addWidget(kxf);
    }
}

// --- configurations --------------------------------------------------------

void TMainWindow::ShowSettings()
{
    binder_->Refresh();
    const QString input = FromPath(settings_.Text("Input"));
    if (IsDirectory(input)) browser_->SetDirectory(input);
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
        if (used) recentActions_[i]->setText(QStringLiteral("&%1 ").arg(i + 1) + ShownPath(recent[i]));
    }
}

void TMainWindow::AfterLoad(ConfigLoad result, const std::string& path, const std::string& error)
{
    if (result == ConfigLoad::Loaded) configPath_->setText(QStringLiteral(" ") + ShownPath(path));
    if (result == ConfigLoad::Failed) Message(ShownPath(error));
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
    const QStringList chosen = Choose(FileDialog::Open, QFileInfo(last).absolutePath(),
                                      NameFilter(tr("Configurations"), {QStringLiteral("*.cfg")}));
    if (!chosen.isEmpty()) LoadChosen(chosen.front());
}

// A configuration chosen in the Load dialog or dropped on the window.
void TMainWindow::LoadChosen(const QString& chosen)
{
    const std::string path = ToPath(chosen);
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
    if (!SaveConfiguration(settings_, config_, config_.DefaultPath(), &error)) Message(ShownPath(error));
}

void TMainWindow::SaveAs()
{
    // The dialog proposes the last name, in the program's directory unless
    // the name says where.
    QString last = FromPath(config_.lastName);
    if (QFileInfo(last).isRelative()) last = options_.dataDirectory + last;
    const QStringList chosen =
        Choose(FileDialog::Save, last, NameFilter(tr("Configurations"), {QStringLiteral("*.cfg")}));
    if (chosen.isEmpty()) return;
    std::string error;
    const std::string path = SaveConfigurationAs(settings_, config_, ToPath(chosen.front()), &error);
    if (path.empty()) Message(ShownPath(error));
    else configPath_->setText(QStringLiteral(" ") + ShownPath(path));
}

// --- other commands -------------------------------------------------------

void TMainWindow::ViewFiles()
{
    const QStringList files =
        Choose(FileDialog::OpenMany, FromPath(settings_.Text("Output")),
               NameFilter(tr("MIF and shapefiles"), {QStringLiteral("*.mif"), QStringLiteral("*.shp")}));
    if (!files.isEmpty()) OpenViewer(files);
}

void TMainWindow::OpenViewer(const QStringList& files)
{
    auto* viewer = new TViewDlg(this);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->show();
    viewer->OpenFiles(files);
}

void TMainWindow::ShowHelp()
{
    if (options_.manual.isEmpty() || !QFileInfo::exists(options_.manual)) {
        Message(tr("The user manual manual.html was not found"));
        return;
    }
    // The desktop's browser starts on its own; nothing waits for it. With
    // none, the manual opens in a window of the program's own.
    if (!OpenUrl(QUrl::fromLocalFile(options_.manual))) ShowManual();
}

bool TMainWindow::OpenUrl(const QUrl& url) { return urlOpener_ && urlOpener_(url); }

void TMainWindow::ShowManual()
{
    if (!manualDlg_) {
        manualDlg_ = new QDialog(this);
        manualDlg_->setObjectName(QStringLiteral("ManualWindow"));
        manualDlg_->setWindowTitle(tr("Zalor User Manual"));
        manualDlg_->setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
        auto* text = new QTextBrowser(manualDlg_);
        text->setObjectName(QStringLiteral("ManualText"));
        text->setOpenExternalLinks(true);
        text->setSource(QUrl::fromLocalFile(options_.manual));
        auto* layout = new QVBoxLayout(manualDlg_);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(text);
        manualDlg_->resize(820, 680);
    }
    manualDlg_->show();
    manualDlg_->raise();
    manualDlg_->activateWindow();
}

void TMainWindow::ShowAbout()
{
    const QString where = options_.dataIsProgramDirectory ? tr("the program's directory")
                                                          : tr("your configuration directory");
    QMessageBox::about(this, tr("About Zalor"),
                       tr("<h3>Zalor %1</h3><p>Converts U.S. Census TIGER/Line county files into MapInfo "
                          "MIF/MID, ESRI shapefiles, GeoPackage and KXF/MTD.</p><p>The default configuration "
                          "ZALOR.CFG and the log ZALOR.LOG are kept in %2:<br>%3</p>")
                           .arg(QStringLiteral(ZALOR_VERSION), where, options_.dataDirectory.toHtmlEscaped()));
}

QStringList TMainWindow::Choose(FileDialog kind, const QString& start, const QString& filter)
{
    if (chooser_) return chooser_(kind, start, filter);
    switch (kind) {
    case FileDialog::Open: {
        const QUrl f = QFileDialog::getOpenFileUrl(this, tr("Load Configuration"), LocalUrl(start), filter);
        return LocalPaths({f});
    }
    case FileDialog::OpenMany:
        return LocalPaths(QFileDialog::getOpenFileUrls(this, tr("View MIF/SHP"), LocalUrl(start), filter));
    case FileDialog::Save: {
        const QUrl f = QFileDialog::getSaveFileUrl(this, tr("Save Configuration"), LocalUrl(start), filter);
        return LocalPaths({f});
    }
    }
    return {};
}

} // namespace zalor::ui

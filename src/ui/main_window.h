// The main window: the file browser, the input list, the output root, Go
// and Stop, the output list, the menus and tool buttons, and the status
// fields of a run with its phase's and its batch's progress.
//
// main_window.cpp puts it together and takes its events; the menus, the
// tool bar and their commands are in main_window_commands.cpp, the input
// side in main_window_inputs.cpp, Go, Stop and the run's fields in
// main_window_run.cpp, the output list in main_window_outputs.cpp.
#pragma once

#include "run/config.h"
#include "run/driver.h"
#include "run/settings.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QLayout;
class QLineEdit;
class QListView;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QStringListModel;
class QTimer;
class QToolBar;
class QUrl;

namespace zalor::ui {

class ConversionRunner;
class DirectoryBrowser;
class QtReporter;
class EntryListModel;
class EntryListView;
class SettingsBinder;
class TDirDlg;
class TFailureDlg;
class TFeatureDlg;
class TLogDlg;
class TOptionsDlg;
class TWarningDlg;

struct WindowOptions {
    QString dataDirectory;   // the default configuration and the log, ending in "/"
    bool dataIsProgramDirectory = true;
    QString outputDirectory; // the output root of "New" and of a first start, ending in "/"
    QString currentDirectory;
    QString configFile;      // loaded instead of the default configuration
    bool saveDefaultAtExit = true;
    bool kxf = false;        // the word KXF was on the command line
    bool go = false;         // press Go once the window is shown
    bool quitAfterRun = false;
    QStringList files;       // added as if dropped on the window
    QString manual;          // the user manual (HTML)
    QString layoutFile;      // where the window's size, splitters and columns are kept (none when empty)
};

class TMainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainWindow(WindowOptions options, QWidget* parent = nullptr);
    ~TMainWindow() override;

    // How the window asks for files: Open and OpenMany return the chosen
    // files (none when cancelled), Save the name to save under.
    enum class FileDialog { Open, OpenMany, Save };
    using FileChooser = std::function<QStringList(FileDialog kind, const QString& start, const QString& filter)>;
    void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
    // How the window hands a file or folder to the desktop (its browser,
    // file manager or viewer): true when it could.
    using UrlOpener = std::function<bool(const QUrl& url)>;
    void SetUrlOpener(UrlOpener opener) { urlOpener_ = std::move(opener); }

    RunSettings& Settings() { return settings_; }
    const ConfigurationState& Configuration() const { return config_; }
    EntryListModel* Inputs() const { return inputs_; }
    EntryListModel* Outputs() const { return outputs_; }
    TFeatureDlg* FeatureDialog() const { return featureDlg_; }
    TOptionsDlg* OptionsDialog() const { return optionsDlg_; }
    TLogDlg* LogDialog() const { return logDlg_; }
    TWarningDlg* WarningBox() const { return warningDlg_; }
    TFailureDlg* FailureDialog() const { return failureDlg_; }
    // The manual in the program's own window, once Help has opened it there.
    QDialog* ManualWindow() const { return manualDlg_; }
    bool Running() const;
    // The status a run from the command line ends with: 0 every county
    // converted, 1 refused, a county failed, stopped or the log not written.
    int ExitStatus() const { return exitStatus_; }

public slots:
    void Go();
    void Stop();
    // Files dropped on the window or named on the command line: county
    // archives and record files, folders of counties, a configuration
    // (loaded) and MIF files (listed among the outputs).
    void AddFiles(const QStringList& paths);

signals:
    void RunFinished(const zalor::RunResult& result);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The actions of the menus and the tool bar.
    struct Commands;
    void MakeActions();
    Commands MakeCommands();
    void NameCommands(const Commands& commands);
    void MakeMenus(const Commands& commands);
    void MakeToolBar(const Commands& commands);
    QWidget* MakeBrowserPanel();
    QWidget* MakeInputPanel();
    QWidget* MakeAddRemovePanel(QWidget* parent);
    QWidget* MakeInputListPanel(QWidget* parent);
    void MakeLogo(QWidget* parent);
    QWidget* MakeOutputRootPanel(QWidget* parent);
    void MakeGoAndStop(QWidget* parent);
    QWidget* MakeRunPanel();
    QLayout* MakeStatusTexts(QWidget* parent);
    QLayout* MakeOutputList(QWidget* parent);
    void MakeOutputActions();
    void ConnectRunner();
    void ConnectProgress(QtReporter& r);

    // Commands.
    void NewConfig();
    void LoadConfig();
    void LoadRecent(int i);
    void SaveDefault();
    void SaveAs();
    void ViewFiles();
    void ShowHelp();
    void ShowAbout();
    void ChooseOutputRoot();
    void AddSelected();
    void AddAll();
    void RemoveSelected();
    void RemoveAll();
    void OpenOutput(const QModelIndex& index);
    // A viewer window of its own on the files.
    void OpenViewer(const QStringList& files);
    void OpenSelectedOutput();
    void OpenOutputFolder();
    void CopyOutputPaths();
    QStringList SelectedOutputs() const;
    bool OpenUrl(const QUrl& url);
    // The manual in a window of the program's own.
    void ShowManual();

    void AfterLoad(ConfigLoad result, const std::string& path, const std::string& error);
    void LoadChosen(const QString& path);
    void AddInputs(const QStringList& paths);
    void ShowDirectory(const QString& dir);
    void ShowSettings();
    void RefreshRecent();
    void RefreshCaptions();
    void UpdateButtons();
    void Tick();
    void SetControlsEnabled(bool enabled);
    // A plan that cannot run although the run would start: refused here.
    bool RefusedBeforeRun();
    void Finished(const zalor::RunResult& result);
    void SaveLayout();
    void RestoreLayout();
    void PlaceLogo();
    QStringList Choose(FileDialog kind, const QString& start, const QString& filter);
    void Message(const QString& text);

    WindowOptions options_;
    RunSettings settings_;
    ConfigurationState config_;
    std::vector<FileEntry> outputEntries_;
    SettingsBinder* binder_ = nullptr;
    ConversionRunner* runner_ = nullptr;
    FileChooser chooser_;
    UrlOpener urlOpener_;

    TFeatureDlg* featureDlg_ = nullptr;
    TOptionsDlg* optionsDlg_ = nullptr;
    TLogDlg* logDlg_ = nullptr;
    TDirDlg* dirDlg_ = nullptr;
    TWarningDlg* warningDlg_ = nullptr;
    TFailureDlg* failureDlg_ = nullptr;
    QDialog* manualDlg_ = nullptr;

    QToolBar* toolBar_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* toolsMenu_ = nullptr;
    QList<QAction*> recentActions_;
    QList<QAction*> idleCommands_; // the commands that a run shuts
    QAction* openOutput_ = nullptr;
    QAction* openFolder_ = nullptr;
    QAction* copyPath_ = nullptr;
    QSplitter* mainSplit_ = nullptr;    // the lists above, the run's panel below
    QSplitter* topSplit_ = nullptr;     // the browser beside the inputs
    QSplitter* browserSplit_ = nullptr; // the directories over the files
    DirectoryBrowser* browser_ = nullptr;
    QListView* fileList_ = nullptr;
    QStringListModel* files_ = nullptr;
    QWidget* browserPanel_ = nullptr;
    QWidget* inputPanel_ = nullptr;
    QWidget* rootPanel_ = nullptr;
    QWidget* addRemovePanel_ = nullptr;
    EntryListView* inputList_ = nullptr;
    EntryListModel* inputs_ = nullptr;
    EntryListView* outputList_ = nullptr;
    EntryListModel* outputs_ = nullptr;
    QLabel* inputCaption_ = nullptr;
    QLabel* outputCaption_ = nullptr;
    QLabel* logo_ = nullptr;
    QLineEdit* outputRoot_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* addAll_ = nullptr;
    QPushButton* removeAll_ = nullptr;
    QPushButton* go_ = nullptr;
    QPushButton* stop_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* county_ = nullptr;
    QLabel* phase_ = nullptr;
    QLabel* time_ = nullptr;
    QProgressBar* progress_ = nullptr;      // of the phase
    QProgressBar* batchProgress_ = nullptr; // of the whole run
    QLabel* configPath_ = nullptr;
    QTimer* timer_ = nullptr;
    QElapsedTimer runClock_;
    QString countyOf_; // "2 of 5: " before the county line
    bool running_ = false;
    bool shown_ = false;
    int exitStatus_ = 0;
};

} // namespace zalor::ui

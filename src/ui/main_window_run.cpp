// The main window's run side: Go and Stop, the status texts and the
// progress bar, the output list, and what the window does while a run goes
// on and when it ends.
#include "ui/main_window.h"

#include "run/log.h"
#include "ui/browser.h"
#include "ui/dialogs.h"
#include "ui/entry_list.h"
#include "ui/run_thread.h"
#include "ui/settings_binder.h"
#include "ui/text.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <cstdio>

namespace zalor::ui {

namespace {

// The grey of a disabled list or field, the white of an enabled one.
void SetBackground(QWidget* w, bool enabled)
{
    QPalette p = w->palette();
    const QColor colour = enabled ? QColor(0xFF, 0xFF, 0xFF) : QColor(0xC0, 0xC0, 0xC0);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) p.setColor(group, QPalette::Base, colour);
    w->setPalette(p);
}

} // namespace

void TMainWindow::MakeGoAndStop(QWidget* parent)
{
    go_ = new QPushButton(tr("Go  "), parent);
    go_->setToolTip(tr("Process the input files"));
    go_->setObjectName(QStringLiteral("GoButton"));
    stop_ = new QPushButton(tr("Stop"), parent);
    stop_->setToolTip(tr("Stop processing"));
    stop_->setObjectName(QStringLiteral("StopButton"));
    stop_->setEnabled(false);
    connect(go_, &QPushButton::clicked, this, &TMainWindow::Go);
    connect(stop_, &QPushButton::clicked, this, &TMainWindow::Stop);
}

QWidget* TMainWindow::MakeRunPanel()
{
    auto* panel = new QWidget(this);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(MakeStatusTexts(panel));
    layout->addLayout(MakeOutputList(panel), 1);
    panel->setMinimumHeight(190);
    return panel;
}

QLayout* TMainWindow::MakeStatusTexts(QWidget* parent)
{
    status_ = new QLabel(parent);
    status_->setObjectName(QStringLiteral("StatusLine"));
    county_ = new QLabel(parent);
    county_->setObjectName(QStringLiteral("CountyLine"));
    time_ = new QLabel(parent);
    time_->setObjectName(QStringLiteral("TimeLine"));
    progress_ = new QProgressBar(parent);
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
    return texts;
}

QLayout* TMainWindow::MakeOutputList(QWidget* parent)
{
    outputCaption_ = new QLabel(parent);
    outputList_ = new EntryListView(parent);
    outputList_->setObjectName(QStringLiteral("OutputList"));
    outputs_ = new EntryListModel(EntryListModel::Kind::Outputs, outputEntries_, this);
    outputList_->setModel(outputs_);
    connect(outputList_, &QTreeView::doubleClicked, this, &TMainWindow::OpenOutput);
    auto* outputs = new QVBoxLayout;
    outputs->addWidget(outputCaption_);
    outputs->addWidget(outputList_, 1);
    return outputs;
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
        [this](const QByteArray& path, qint64 size) {
            outputs_->Prepend(FileEntry{path.toStdString(), size});
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
    // The completion signal: its beeps half a second apart.
    connect(
        &r, &QtReporter::BeepWanted, this,
        [](int times) {
            QApplication::beep();
            for (int i = 1; i < times; ++i) QTimer::singleShot(500 * i, [] { QApplication::beep(); });
        },
        queued);
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
    if (!result.outputRoot.empty()) settings_.SetText("Output", result.outputRoot);
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

// --- the output list ---------------------------------------------------------

void TMainWindow::OpenOutput(const QModelIndex& index)
{
    if (running_ || !index.isValid()) return;
    const QString path = FromPath(outputEntries_[static_cast<std::size_t>(index.row())].path);
    if (!QFileInfo::exists(path)) {
        QApplication::beep();
        return;
    }
    const QString upper = path.toUpper();
    if (!upper.contains(QLatin1String(".MIF")) && !upper.contains(QLatin1String(".SHP"))) return;
    OpenViewer({path});
}

} // namespace zalor::ui

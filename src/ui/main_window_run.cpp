// The main window's run side: Go and Stop, the run's fields and progress
// bars, and what the window does while a run goes on and when it ends (the
// output list is in main_window_outputs.cpp).
#include "ui/main_window.h"

#include "run/log.h"
#include "run/plan.h"
#include "ui/browser.h"
#include "ui/dialogs.h"
#include "ui/entry_list.h"
#include "ui/failure_dlg.h"
#include "ui/run_thread.h"
#include "ui/settings_binder.h"
#include "ui/text.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMap>
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

namespace {

QLabel* Field(const char* name, QWidget* parent)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setFrameShape(QFrame::StyledPanel);
    l->setMinimumWidth(260);
    return l;
}

QProgressBar* Bar(const char* name, QWidget* parent)
{
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setFormat(QStringLiteral("%p%"));
    bar->setTextVisible(false);
    return bar;
}

} // namespace

// The run's fields, each under its caption: the step the run is at, the
// county (n of m), its phase with the phase's progress, the batch's
// progress and the time taken.
QLayout* TMainWindow::MakeStatusTexts(QWidget* parent)
{
    status_ = Field("StatusLine", parent);
    county_ = Field("CountyLine", parent);
    phase_ = Field("PhaseLine", parent);
    phase_->setMinimumWidth(90);
    time_ = Field("TimeLine", parent);
    progress_ = Bar("ProgressBar", parent);
    progress_->setToolTip(tr("The progress of the county's phase"));
    batchProgress_ = Bar("BatchProgressBar", parent);
    batchProgress_->setToolTip(tr("The progress of the whole run"));
    auto* phaseRow = new QHBoxLayout;
    phaseRow->addWidget(phase_);
    phaseRow->addWidget(progress_, 1);
    auto* form = new QFormLayout;
    form->addRow(tr("Status:"), status_);
    form->addRow(tr("County:"), county_);
    form->addRow(tr("Phase:"), phaseRow);
    form->addRow(tr("Batch:"), batchProgress_);
    form->addRow(tr("Time:"), time_);
    auto* texts = new QVBoxLayout;
    texts->addLayout(form);
    texts->addStretch(1);
    return texts;
}

void TMainWindow::ConnectRunner()
{
    QtReporter& r = runner_->Reporter();
    const auto queued = Qt::QueuedConnection;
    connect(&r, &QtReporter::LogLine, logDlg_, &TLogDlg::Append, queued);
    connect(&r, &QtReporter::LogLineReplaced, logDlg_, &TLogDlg::ReplaceLast, queued);
    connect(&r, &QtReporter::StatusChanged, status_, &QLabel::setText, queued);
    ConnectProgress(r);
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
            outputs_->Append(FileEntry{path.toStdString(), size});
            outputList_->scrollToBottom();
            RefreshCaptions();
        },
        queued);
    connect(
        &r, &QtReporter::OutputListRemoved, this,
        [this](const QByteArray& path) {
            outputs_->Remove(path.toStdString());
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
    connect(runner_, &ConversionRunner::Finished, this, &TMainWindow::Finished);
}

// The county, its phase and the progress of both, and the run's start.
void TMainWindow::ConnectProgress(QtReporter& r)
{
    const auto queued = Qt::QueuedConnection;
    connect(
        &r, &QtReporter::CountyStarted, this,
        [this](int number, int count, const QByteArray& path) {
            countyOf_ = tr("%1 of %2: ").arg(number).arg(count);
            county_->setText(countyOf_ + ShownName(FromPath(path.toStdString())));
            county_->setToolTip(ShownPath(path.toStdString()));
        },
        queued);
    connect(
        &r, &QtReporter::CountyChanged, this, [this](const QString& text) { county_->setText(countyOf_ + text); },
        queued);
    connect(
        &r, &QtReporter::PhaseChanged, this,
        [this](const QString& name) {
            const QMap<QString, QString> captions = {
                {QStringLiteral("reading"), tr("Reading")}, {QStringLiteral("lines"), tr("Lines")},
                {QStringLiteral("landmarks"), tr("Landmarks")}, {QStringLiteral("areas"), tr("Areas")},
                {QStringLiteral("zipping"), tr("Zipping")}};
            phase_->setText(captions.value(name, name));
        },
        queued);
    connect(
        &r, &QtReporter::ProgressChanged, this,
        [this](int percent) {
            progress_->setValue(percent);
            progress_->setTextVisible(percent != 100 && percent != 0);
        },
        queued);
    connect(
        &r, &QtReporter::BatchProgressChanged, this,
        [this](int percent) {
            batchProgress_->setValue(percent);
            batchProgress_->setTextVisible(true);
        },
        queued);
    connect(
        &r, &QtReporter::RunningChanged, this,
        [this](bool running) {
            if (!running) return;
            runClock_.start();
            countyOf_.clear();
            for (QLabel* field : {county_, phase_}) field->clear();
            batchProgress_->setValue(0);
            SetControlsEnabled(false);
            stop_->setEnabled(true);
        },
        queued);
}

bool TMainWindow::Running() const { return running_; }

// --- runs ----------------------------------------------------------------

void TMainWindow::Go()
{
    if (running_ || RefusedBeforeRun()) return;
    running_ = true;
    go_->setEnabled(false);
    runner_->Start(settings_);
}

// Lambert parameters that cannot be read would fail every county with the
// same message: the run is refused instead, with the field named.
bool TMainWindow::RefusedBeforeRun()
{
    const ConversionPlan plan = BuildConversionPlan(settings_);
    if (!plan.refusal.empty() || plan.projectionError.empty() || settings_.inputs.empty()) return false;
    const QString text = FromText(plan.projectionError);
    if (options_.quitAfterRun) std::fprintf(stderr, "zalor: %s\n", qPrintable(text));
    else warningDlg_->ShowWarning(text);
    RunResult refused;
    refused.refused = true;
    Finished(refused);
    return true;
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
    phase_->clear();
    if (!result.refused && !result.stopped && result.counties > 0) batchProgress_->setValue(100);
    UpdateButtons();
    exitStatus_ = result.refused || result.failed > 0 || result.stopped || result.logFailed ? 1 : 0;
    // Which counties failed and why, beside the count in the status line.
    if ((result.failed > 0 || !result.failures.empty()) && !options_.quitAfterRun) failureDlg_->ShowFailures(result);
    emit RunFinished(result);
    if (options_.quitAfterRun) close();
}

// A run shuts the input side and the commands that would change what it
// converts; the log, the viewer, saving and the manual stay open to use.
void TMainWindow::SetControlsEnabled(bool enabled)
{
    for (QWidget* w : {browserPanel_, addRemovePanel_, rootPanel_, inputPanel_}) w->setEnabled(enabled);
    for (QAction* command : idleCommands_) command->setEnabled(enabled);
    openOutput_->setEnabled(enabled);
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

} // namespace zalor::ui

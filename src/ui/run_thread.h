// A conversion run on a thread of its own, reported to the window through
// queued signals.
//
// The run works on a copy of the settings taken when it starts, so that
// nothing the window does while it goes on (the log dialog stays usable)
// is seen by the run half-way.
#pragma once

#include "run/batch_progress.h"
#include "run/driver.h"
#include "run/reporter.h"
#include "run/session.h"
#include "run/settings.h"

#include <QObject>
#include <QString>

class QThread;

namespace zalor::ui {

// The reporting interface for the window. Its methods are called on the
// run's thread and only emit signals; connect them queued.
class QtReporter : public QObject, public Reporter {
    Q_OBJECT
public:
    using QObject::QObject;

    void LogAppended(int number, std::string_view text, int dropped) override;
    void LogLastReplaced(int number, std::string_view text) override;
    void Status(std::string_view text) override;
    void CountyStatus(std::string_view text) override;
    void Progress(int percent) override;
    void OutputsCleared() override;
    void OutputAdded(const OutputEntry& entry) override;
    void OutputRemoved(const std::string& path) override;
    void Error(std::string_view text) override;
    void Notice(std::string_view text) override;
    void Warning(std::string_view text) override;
    void Beep(int times) override;
    void Running(bool running) override;
    void CountyBegun(int number, int count, const InputEntry& input) override;
    void Phase(std::string_view name) override;

    // The input list of the run to come, whose sizes weigh the batch's progress.
    void SetInputs(const std::vector<InputEntry>& inputs) { batch_.Start(inputs); }

signals:
    void LogLine(int number, const QString& text);
    void LogLineReplaced(int number, const QString& text);
    void StatusChanged(const QString& text);
    void CountyChanged(const QString& text);
    void ProgressChanged(int percent);
    void OutputListCleared();
    void OutputListAdded(const QByteArray& path, qint64 size);
    void OutputListRemoved(const QByteArray& path);
    void ErrorShown(const QString& text);
    void WarningShown(const QString& text);
    void BeepWanted(int times);
    void RunningChanged(bool running);
    // County `number` of `count` begins, from the input at `path`.
    void CountyStarted(int number, int count, const QByteArray& path);
    void PhaseChanged(const QString& name);
    void BatchProgressChanged(int percent);

private:
    void ShowBatch();
    // The run's thread alone:
    int lastPercent_ = -1;
    BatchProgress batch_;
    int lastBatch_ = -1;
};

class ConversionRunner : public QObject {
    Q_OBJECT
public:
    explicit ConversionRunner(QObject* parent = nullptr);
    ~ConversionRunner() override;

    QtReporter& Reporter() { return reporter_; }
    // Starts a run on a copy of `settings`; false while one is going on.
    bool Start(const RunSettings& settings);
    // Asks the run to stop; it ends at its next test of the stop flag.
    void Stop() { session_.RequestStop(); }
    bool Active() const { return thread_ != nullptr; }
    // Waits for the run to end (the window is closing).
    void Wait();
    // The settings the last run used, as it left them; valid once it ended.
    const RunSettings& Settings() const { return settings_; }

signals:
    void Finished(const zalor::RunResult& result);

private:
    RunSettings settings_;
    QtReporter reporter_;
    Session session_;
    QThread* thread_ = nullptr;
    RunResult result_;
};

} // namespace zalor::ui

#include "ui/run_thread.h"

#include "ui/text.h"

#include <QThread>

namespace zalor::ui {

void QtReporter::LogAppended(int number, std::string_view text, int) { emit LogLine(number, FromText(text)); }

void QtReporter::LogLastReplaced(int number, std::string_view text) { emit LogLineReplaced(number, FromText(text)); }

void QtReporter::Status(std::string_view text) { emit StatusChanged(FromText(text)); }

void QtReporter::CountyStatus(std::string_view text) { emit CountyChanged(FromText(text)); }

void QtReporter::Progress(int percent)
{
    // Only changes cross to the window: a reader reports far more often.
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    emit ProgressChanged(percent);
    batch_.Progress(percent);
    ShowBatch();
}

void QtReporter::CountyBegun(int number, int count, const InputEntry& input)
{
    emit CountyStarted(number, count, QByteArray::fromStdString(input.path));
    batch_.CountyBegun(number, count);
    ShowBatch();
}

void QtReporter::Phase(std::string_view name)
{
    emit PhaseChanged(FromText(name));
    batch_.Phase(name);
    ShowBatch();
}

void QtReporter::ShowBatch()
{
    if (batch_.Percent() == lastBatch_) return;
    lastBatch_ = batch_.Percent();
    emit BatchProgressChanged(lastBatch_);
}

void QtReporter::OutputsCleared() { emit OutputListCleared(); }

void QtReporter::OutputAdded(const OutputEntry& entry)
{
    emit OutputListAdded(QByteArray::fromStdString(entry.path), entry.size);
}

void QtReporter::OutputRemoved(const std::string& path) { emit OutputListRemoved(QByteArray::fromStdString(path)); }

void QtReporter::Error(std::string_view text) { emit ErrorShown(FromText(text)); }

void QtReporter::Notice(std::string_view text) { emit ErrorShown(FromText(text)); }

void QtReporter::Warning(std::string_view text) { emit WarningShown(FromText(text)); }

void QtReporter::Beep(int times) { emit BeepWanted(times); }

void QtReporter::Running(bool running)
{
    lastPercent_ = -1;
    if (running) lastBatch_ = -1;
    emit RunningChanged(running);
}

ConversionRunner::ConversionRunner(QObject* parent) : QObject(parent), session_(settings_, reporter_) {}

ConversionRunner::~ConversionRunner()
{
    if (thread_) {
        session_.RequestStop();
        thread_->wait();
        delete thread_;
    }
}

bool ConversionRunner::Start(const RunSettings& settings)
{
    if (thread_) return false;
    settings_ = settings;
    reporter_.SetInputs(settings_.inputs);
    thread_ = QThread::create([this] { result_ = RunConversion(session_); });
    connect(thread_, &QThread::finished, this, [this] {
        thread_->deleteLater();
        thread_ = nullptr;
        emit Finished(result_);
    });
    thread_->start();
    return true;
}

void ConversionRunner::Wait()
{
    if (thread_) thread_->wait();
}

} // namespace zalor::ui

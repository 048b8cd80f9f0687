// The failures of a run, summed up when it ends: which counties failed and
// why, beside the count in the status line.
#pragma once

#include "run/driver.h"

#include <QDialog>

class QLabel;
class QTreeWidget;

namespace zalor::ui {

class TFailureDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFailureDlg(QWidget* parent = nullptr);

    // Shows the failures of `result` (not modal) and returns at once.
    void ShowFailures(const RunResult& result);
    // The line above the list ("1 of 3 counties failed.").
    QString Summary() const;
    // A county a row, its errors under it.
    QTreeWidget* List() const { return list_; }

signals:
    // "View &Log" was pressed.
    void LogWanted();

private:
    QLabel* summary_ = nullptr;
    QTreeWidget* list_ = nullptr;
};

} // namespace zalor::ui

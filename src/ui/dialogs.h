// The options dialog, the log dialog, the directory picker and the
// warning box. Each is made once and shown again as often as needed.
#pragma once

#include "ui/settings_dialog.h"

#include <QDialog>

class QLabel;
class QListView;
class QStringListModel;

namespace zalor::ui {

class DirectoryBrowser;
class SettingsBinder;

// The run options, grouped as the settings table groups them, and the
// comment. Cancel puts back the options it was opened with.
class TOptionsDlg : public TSettingsDlg {
    Q_OBJECT
public:
    TOptionsDlg(SettingsBinder& binder, QWidget* parent = nullptr);
    // Shows the choice of `key` that the dialog does not offer by itself
    // (a format of the KXF mode).
    void Offer(const QString& key);

private:
    void GreyZipWhereItDoesNothing();
};

// The log list and the log settings; not modal, above the other windows.
class TLogDlg : public QDialog {
    Q_OBJECT
public:
    TLogDlg(SettingsBinder& binder, QWidget* parent = nullptr);

    // Line `number` of the log; at 300 lines the first 20 go first.
    void Append(int number, const QString& text);
    // The last line becomes `number` : `text` (appended to an empty list).
    void ReplaceLast(int number, const QString& text);
    void Clear();
    QStringList Lines() const;

private:
    void ChooseLogFile();
    QStringListModel* lines_ = nullptr;
    QListView* logList_ = nullptr;
};

// "Select Output Folders/Drives": a drive list and a directory tree.
class TDirDlg : public QDialog {
    Q_OBJECT
public:
    explicit TDirDlg(QWidget* parent = nullptr);
    // Shows the picker at `start`; true with the chosen directory on "&Ok".
    bool Pick(const QString& start, QString* chosen);
    DirectoryBrowser* Browser() const { return browser_; }

private:
    DirectoryBrowser* browser_ = nullptr;
};

// " Warning": one line of text and "&Ok".
class TWarningDlg : public QDialog {
    Q_OBJECT
public:
    explicit TWarningDlg(QWidget* parent = nullptr);
    // Shows `text`, modal to the application, and returns at once.
    void ShowWarning(const QString& text);
    QString Text() const;

private:
    QLabel* text_ = nullptr;
};

} // namespace zalor::ui

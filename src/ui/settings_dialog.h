// A dialog whose controls are settings (the feature and options dialogs).
//
// Its controls write their settings as they change, so that what the
// dialog shows is what a run would use. "&Ok" keeps the changes; "&Cancel",
// Escape and closing the window put back the values the settings had when
// the dialog opened. A text field whose value cannot be used says why
// beside it, and "&Ok" waits until no field does.
#pragma once

#include "run/settings.h"

#include <QDialog>
#include <QMap>

#include <string>
#include <utility>
#include <vector>

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zalor::ui {

class SettingsBinder;

class TSettingsDlg : public QDialog {
    Q_OBJECT
public:
    // The dialog shows the settings of `place`; `comment` when it also
    // holds the comment lines.
    TSettingsDlg(SettingsBinder& binder, SettingPlace place, bool comment, QWidget* parent = nullptr);

    void accept() override;
    void reject() override;
    // Why the field of `key` cannot be used, as shown beside it ("" when it can).
    QString Problem(const QString& key) const;
    QPushButton* OkButton() const { return ok_; }

protected:
    void showEvent(QShowEvent* event) override;
    // The field in a row with the place for its reason, at its right.
    QWidget* WithReason(QLineEdit* field);
    // "&Ok" and "&Cancel" (named `prefix` + "OkButton", "CancelButton").
    QDialogButtonBox* MakeButtons(const QString& prefix);

    SettingsBinder& binder_;

private:
    void Check(QLineEdit* field);
    void UpdateOk();

    SettingPlace place_;
    bool comment_;
    // The values when the dialog opened.
    std::vector<std::pair<std::string, std::string>> opened_;
    std::vector<std::string> openedComment_;
    QPushButton* ok_ = nullptr;
    QMap<QLineEdit*, QLabel*> reasons_;
};

} // namespace zalor::ui
